#include "platform/FileSystem.h"
#include "PrivateMounts.h"
#include "TempDir.h"
#include "platform/Clock.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace Platform;
namespace fs = std::filesystem;

namespace {

std::map<std::string, FileInfo> Listing(const std::string& path) {
    std::map<std::string, FileInfo> result;
    const auto entries = ListFolder(path);
    EXPECT_TRUE(entries.has_value());
    if (entries)
        for (const auto& e : *entries)
            result[e.name] = e.info;
    return result;
}

} // namespace

TEST(ListFolder, AttributesFollowTheWindowsMeaning) {
    TempDir dir;
    dir.Write("plain.txt", "12345");
    dir.Write(".hidden", "");
    dir.Write("ro.txt", "x");
    ::chmod((dir / "ro.txt").c_str(), 0444);
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(dir / "sub", dir / "dirlink");
    fs::create_symlink(dir / "plain.txt", dir / "filelink");
    fs::create_symlink(dir / "gone", dir / "dangling");

    auto list = Listing(dir.Path());
    EXPECT_EQ(list.size(), 7u); // no "." or ".."
    EXPECT_EQ(list["plain.txt"].attributes, unsigned(faArchive));
    EXPECT_EQ(list["plain.txt"].size, 5);
    EXPECT_EQ(list[".hidden"].attributes, unsigned(faArchive | faHidden));
    EXPECT_EQ(list["ro.txt"].attributes, unsigned(faArchive | faReadOnly));
    EXPECT_EQ(list["sub"].attributes, unsigned(faDirectory));
    EXPECT_EQ(list["dirlink"].attributes & (faDirectory | faSymLink),
              unsigned(faDirectory | faSymLink));
    EXPECT_EQ(list["filelink"].attributes & (faArchive | faSymLink),
              unsigned(faArchive | faSymLink));
    EXPECT_TRUE(list["dangling"].attributes & faSymLink);
    EXPECT_FALSE(list["dangling"].attributes & faDirectory);
    for (const auto& [name, info] : list)
        EXPECT_FALSE(info.attributes & faSysFile) << name;
}

TEST(ListFolder, MissingFolderReportsTheError) {
    TempDir dir;
    int error = 0;
    EXPECT_FALSE(ListFolder(dir / "missing", &error).has_value());
    EXPECT_EQ(error, ENOENT);
    dir.Write("f", "");
    EXPECT_FALSE(ListFolder(dir / "f", &error).has_value());
    EXPECT_EQ(error, ENOTDIR);
}

// Every slash at the end goes, never the root itself: a folder that ended in
// "//" must still name the folder, and "/" must still name the root.
TEST(FileSystem, TrailingSlashesGoButTheRootStays) {
    const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                         {"/", "/"},
                                                         {"//", "/"},
                                                         {"a", "a"},
                                                         {"/mnt/x/", "/mnt/x"},
                                                         {"/mnt/x//", "/mnt/x"}};
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(WithoutTrailingSlash(path), expected) << path;
}

TEST(FileSystem, SingleStepOperations) {
    TempDir dir;
    EXPECT_TRUE(CreateFolder(dir / "a"));
    int error = 0;
    EXPECT_FALSE(CreateFolder(dir / "a", &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(CreateFolder(dir / "x/y", &error)); // one level only
    EXPECT_TRUE(IsFolder(dir / "a"));

    const std::string target = dir.Write("a/t", "keep");
    fs::create_symlink(target, dir / "l");
    EXPECT_TRUE(DeleteFile(dir / "l")); // the link goes, not its target
    EXPECT_EQ(ReadAll(target), "keep");

    EXPECT_FALSE(RemoveFolder(dir / "a", &error)); // not empty
    EXPECT_TRUE(DeleteFile(target));
    EXPECT_TRUE(RemoveFolder(dir / "a"));
    EXPECT_FALSE(EntryExists(dir / "a"));

    const std::string f = dir.Write("f", "x");
    EXPECT_TRUE(SetReadOnly(f, true));
    EXPECT_TRUE(GetInfo(f)->attributes & faReadOnly);
    EXPECT_TRUE(SetReadOnly(f, false));
    EXPECT_FALSE(GetInfo(f)->attributes & faReadOnly);
}

TEST(CopyFile, KeepsContentModeAndTimeAndRefusesWhenAsked) {
    TempDir dir;
    const std::string src = dir.Write("src", std::string(3 << 20, 'q'));
    ::chmod(src.c_str(), 0640);
    fs::last_write_time(src, fs::file_time_type::clock::now() - std::chrono::hours(48));
    ASSERT_TRUE(CopyFile(src, dir / "dst", true));
    EXPECT_EQ(ReadAll(dir / "dst"), ReadAll(src));
    EXPECT_EQ(fs::status(dir / "dst").permissions(), fs::status(src).permissions());
    EXPECT_EQ(fs::last_write_time(dir / "dst"), fs::last_write_time(src));
    int error = 0;
    EXPECT_FALSE(CopyFile(src, dir / "dst", true, &error));
    EXPECT_EQ(error, EEXIST);
    EXPECT_FALSE(CopyFile(dir / "none", dir / "dst2", false, &error));
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(EntryExists(dir / "dst2"));
}

TEST(CopyFile, NeverWritesThroughALinkNorWaitsOnAPipe) {
    TempDir dir;
    const std::string src = dir.Write("src", "new");
    const std::string mine = dir.Write("elsewhere/mine.txt", "the user's");
    fs::create_symlink(mine, dir / "dst");
    fs::create_symlink(dir / "elsewhere/none.txt", dir / "dangling");
    int error = 0;
    EXPECT_FALSE(CopyFile(src, dir / "dst", false, &error));
    EXPECT_EQ(error, ELOOP);
    EXPECT_EQ(ReadAll(mine), "the user's");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "dst")));
    EXPECT_FALSE(CopyFile(src, dir / "dangling", false));
    EXPECT_FALSE(EntryExists(dir / "elsewhere/none.txt"));

    // Opening a pipe would wait for a writer or reader that never comes.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(CopyFile(dir / "pipe", dir / "copy", false, &error));
    EXPECT_EQ(error, EINVAL);
    EXPECT_FALSE(EntryExists(dir / "copy"));
    EXPECT_FALSE(CopyFile(src, dir / "pipe", false));
}

TEST(CopyFile, FullVolumeLeavesNoPartialNewFile) {
    if (!MayMount())
        GTEST_SKIP() << "mounting a small volume needs root or a user namespace";
    TempDir dir;
    fs::create_directory(dir / "mnt");
    const std::string mnt = dir / "mnt";
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const std::string src = dir.Write("big", std::string(3 << 20, 'z'));
    int error = 0;
    EXPECT_FALSE(CopyFile(src, mnt + "/big", false, &error));
    EXPECT_EQ(error, ENOSPC);
    EXPECT_FALSE(EntryExists(mnt + "/big"));
    EXPECT_EQ(::umount(mnt.c_str()), 0);
}

TEST(Clock, MonotonicAndInStep) {
    const std::uint64_t n0 = NanoClock();
    const std::uint32_t t0 = TickCount();
    SleepMs(20);
    const std::uint32_t elapsedMs = TickCount() - t0;
    const std::uint64_t elapsedNs = NanoClock() - n0;
    EXPECT_GE(elapsedMs, 19u);
    EXPECT_GE(elapsedNs, 20000000u);
    EXPECT_LT(elapsedMs, 5000u);
}

TEST(Locale, MissingThousandsSeparatorNeverEqualsTheDecimalOne) {
    // Locales such as pt_PT or bg_BG give "," as decimal separator and no
    // thousands separator: grouping with "," too would make 1,024,0.
    EXPECT_EQ(SeparatorsFrom("", ",").thousands, ".");
    EXPECT_EQ(SeparatorsFrom("", ",").decimal, ",");
    EXPECT_EQ(SeparatorsFrom("", ".").thousands, ",");
    EXPECT_EQ(SeparatorsFrom(nullptr, nullptr).decimal, ".");
    EXPECT_EQ(SeparatorsFrom("\u202f", ",").thousands, "\u202f");
}

TEST(Locale, SeparatorsCanBeReplaced) {
    const NumberSeparators saved = LocaleSeparators();
    EXPECT_FALSE(saved.decimal.empty());
    SetLocaleSeparators({"'", ","});
    EXPECT_EQ(LocaleSeparators().thousands, "'");
    EXPECT_EQ(LocaleSeparators().decimal, ",");
    SetLocaleSeparators(saved);
}
