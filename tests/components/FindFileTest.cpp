#include "FileModesBind.h"
#include "PrivateMounts.h"
#include "RecordingPresenter.h"
#include "TempDir.h"
#include "TestVolume.h"
#include "util/FileMask.h"
#include "components/QuillFindFile.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using QuillTPU::EInvalidMask;
using QuillTPU::SplitMaskList;
using QuillTPU::TFileMask;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// root/a.txt, root/b.log, root/README, root/.profile,
// root/sub/a2.txt, root/sub/deep/c.TXT, root/.git/config.txt
void MakeTree(const TempDir& dir) {
    dir.Write("root/a.txt", "a");
    dir.Write("root/b.log", "b");
    dir.Write("root/README", "r");
    dir.Write("root/.profile", "p");
    dir.Write("root/sub/a2.txt", "a2");
    dir.Write("root/sub/deep/c.TXT", "c");
    dir.Write("root/.git/config.txt", "g");
}

} // namespace

// ---- Masks ----------------------------------------------------------------

TEST(FileMask, SplittingFollowsSemicolonsBlanksAndQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitMaskList("*.txt;*.log"), (V{"*.txt", "*.log"}));
    EXPECT_EQ(SplitMaskList("  *.txt  *.log\t*.c "), (V{"*.txt", "*.log", "*.c"}));
    EXPECT_EQ(SplitMaskList("\"my file*.txt\" ; *.log"), (V{"my file*.txt", "*.log"}));
    EXPECT_EQ(SplitMaskList("*.txt;"), (V{"*.txt", ""}));
    EXPECT_EQ(SplitMaskList("a;;b"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitMaskList(""), V{});
}

TEST(FileMask, WildcardsSetsAndCase) {
    EXPECT_TRUE(TFileMask("*.txt").Matches("/x/A.TXT"));
    EXPECT_FALSE(TFileMask("*.txt").Matches("/x/a.txt.bak"));
    EXPECT_TRUE(TFileMask("a?c").Matches("abc"));
    EXPECT_FALSE(TFileMask("a?c").Matches("ac"));
    EXPECT_TRUE(TFileMask("[a-c]x").Matches("Bx"));
    EXPECT_FALSE(TFileMask("[a-c]x").Matches("dx"));
    EXPECT_TRUE(TFileMask("[!a-c]x").Matches("dx"));
    EXPECT_FALSE(TFileMask("[!a-c]x").Matches("ax"));
    EXPECT_TRUE(TFileMask("[xyz]*").Matches("y"));
    EXPECT_TRUE(TFileMask("*.*").Matches("README")); // no dot needed
    EXPECT_FALSE(TFileMask("*.?").Matches("README"));
    EXPECT_TRUE(TFileMask("ä*").Matches("Äpfel"));
    // A name that is no valid UTF-8 matches its own bytes, not a letter.
    EXPECT_TRUE(TFileMask("?\xFF.bin").Matches("a\xFF.bin"));
    EXPECT_FALSE(TFileMask("ÿ*").Matches("\xFF.bin"));
    EXPECT_TRUE(TFileMask("*a*b*c").Matches("xxaxxbxxbxc"));
    EXPECT_FALSE(TFileMask("").Matches("a"));
    // Many stars against a long name that does not match: must not take
    // exponential time.
    EXPECT_FALSE(TFileMask("*a*a*a*a*a*a*a*a*b").Matches(std::string(200, 'a')));
}

TEST(FileMask, UnclosedOrEmptySetIsAnInvalidMask) {
    auto message = [](const std::string& mask) {
        try {
            TFileMask m(mask);
        } catch (const EInvalidMask& e) {
            return std::string(e.what());
        }
        return std::string("valid");
    };
    EXPECT_EQ(message("[abc"), "'[abc' is an invalid mask at (1)");
    EXPECT_EQ(message("*.t[xt"), "'*.t[xt' is an invalid mask at (4)");
    EXPECT_EQ(message("a[]"), "'a[]' is an invalid mask at (2)");
    EXPECT_EQ(message("a[!]"), "'a[!]' is an invalid mask at (2)");
    EXPECT_EQ(message("a[b]"), "valid");
}

// ---- Properties -------------------------------------------------------------

TEST(TFindFile, DefaultsAndTheSearchAttributeWord) {
    TFindFile f;
    EXPECT_TRUE(f.SearchSubFolders());
    EXPECT_FALSE(f.ShowFolders());
    EXPECT_TRUE(f.FullPath());
    EXPECT_EQ(f.FileMask(), "*.*");
    EXPECT_EQ(f.Path(), "");
    EXPECT_EQ(f.FileAttr(), TFileAttr{ffaAnyFile});
    EXPECT_EQ(f.SearchAttr(), 0x1EF);
    EXPECT_FALSE(f.AbortOnDeleteFailure);
    EXPECT_TRUE(f.Output.empty());
    f.SetShowFolders(true);
    EXPECT_EQ(f.SearchAttr(), 0x1FF);
    f.SetFileAttr({ffaReadOnly, ffaVolumeID, ffaDirectory, ffaArchive});
    EXPECT_EQ(f.SearchAttr(), 0x31);
    f.SetShowFolders(false);
    EXPECT_EQ(f.SearchAttr(), 0x21);
}

TEST(TFindFile, PathSetterAddsTheDelimiterAndReportsMissingFolders) {
    RecordingPresenter presenter;
    TempDir dir;
    TFindFile f;
    f.SetPath(dir.Path());
    EXPECT_EQ(f.Path(), dir.Path() + "/");
    EXPECT_TRUE(presenter.shown.empty());
    f.SetPath(dir / "missing");
    EXPECT_EQ(f.Path(), dir / "missing/"); // kept all the same
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_TRUE(presenter.shown[0].report);
    EXPECT_EQ(presenter.shown[0].caption, "Error in TFindFile.setPath");
    EXPECT_EQ(presenter.shown[0].text.rfind("Path does not exist: " + (dir / "missing"), 0), 0u);
    f.SearchFiles();
    EXPECT_TRUE(f.Output.empty());
    f.SetPath(dir / "missing/"); // the same text as stored: nothing happens
    EXPECT_EQ(presenter.shown.size(), 1u);
}

TEST(TFindFile, EmptyPathIsReported) {
    RecordingPresenter presenter;
    TFindFile f;
    f.SearchFiles();
    f.SearchFolders();
    EXPECT_TRUE(f.Output.empty());
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].text, "TFindFile-Path is empty");
    EXPECT_EQ(presenter.shown[0].kind, QuillTPU::MessageKind::Error);
    EXPECT_THROW(f.DeleteFiles(), AssertionError);
}

// ---- Searches ---------------------------------------------------------------

TEST(TFindFile, SearchFilesListsDepthFirstAndSkipsDotFolders) {
    TempDir dir;
    dir.Write("root/one", "");
    dir.Write("root/sub/two", "");
    dir.Write("root/sub/deeper/three", "");
    dir.Write("root/.cache/hidden-inside", "");
    TFindFile f;
    f.SetPath(dir / "root");
    f.SearchFiles();
    const std::string r = dir / "root/";
    EXPECT_EQ(f.Output,
              (std::vector<std::string>{r + "one", r + "sub/two", r + "sub/deeper/three"}));
    f.SetFullPath(false);
    f.SetSearchSubFolders(false);
    f.SearchFiles();
    EXPECT_EQ(f.Output, std::vector<std::string>{"one"});
}

TEST(TFindFile, MasksMatchWholeEntries) {
    TempDir dir;
    MakeTree(dir);
    const std::string r = dir / "root/";
    TFindFile f;
    f.SetPath(r);
    f.SetFileMask("*.txt;*.log");
    f.SearchFiles();
    EXPECT_EQ(Sorted(f.Output),
              Sorted({r + "a.txt", r + "b.log", r + "sub/a2.txt", r + "sub/deep/c.TXT"}));
    f.SetFileMask("a*.txt"); // against full paths: nothing
    f.SearchFiles();
    EXPECT_TRUE(f.Output.empty());
    f.SetFullPath(false);
    f.SearchFiles();
    EXPECT_EQ(Sorted(f.Output), Sorted({"a.txt", "a2.txt"}));
}

TEST(TFindFile, StarDotStarAppliesNoFilter) {
    TempDir dir;
    MakeTree(dir);
    const std::string r = dir / "root/";
    TFindFile f;
    f.SetPath(r);
    f.SetFileMask("*.txt");
    f.SearchAllFiles();
    EXPECT_EQ(f.FileMask(), "*.*");
    EXPECT_EQ(Sorted(f.Output), Sorted({r + ".profile", r + "README", r + "a.txt", r + "b.log",
                                        r + "sub/a2.txt", r + "sub/deep/c.TXT"}));
}

TEST(TFindFile, InvalidMaskReachesTheCaller) {
    TempDir dir;
    MakeTree(dir);
    TFindFile f;
    f.SetPath(dir / "root");
    f.SetFileMask("*.txt;ab[c");
    try {
        f.SearchFiles();
        FAIL() << "no error";
    } catch (const EInvalidMask& e) {
        EXPECT_STREQ(e.what(), "'ab[c' is an invalid mask at (3)");
    }
    // A caller that goes on after the error must not find the unfiltered
    // listing there, ready for DeleteFiles.
    EXPECT_TRUE(f.Output.empty());
}

TEST(TFindFile, SearchFoldersInPreOrder) {
    TempDir dir;
    fs::create_directories(dir / "root/A/B/C");
    fs::create_directories(dir / "root/.hidden/D");
    dir.Write("root/A/file", "");
    const std::string r = dir / "root/";
    TFindFile f;
    f.SetPath(r);
    f.SetFileMask("nothing-matches"); // not applied to folders
    f.SearchFolders();
    EXPECT_EQ(f.Output, (std::vector<std::string>{r + "A/", r + "A/B/", r + "A/B/C/"}));
    f.SetSearchSubFolders(false);
    f.SetFullPath(false);
    f.SearchFolders();
    EXPECT_EQ(f.Output, std::vector<std::string>{"A"});
}

TEST(TFindFile, ShowFoldersListsFoldersAndDots) {
    TempDir dir;
    dir.Write("root/f", "");
    fs::create_directory(dir / "root/sub");
    TFindFile f;
    f.SetPath(dir / "root");
    f.SetShowFolders(true);
    f.SetFullPath(false);
    f.SetSearchSubFolders(false);
    f.SearchFiles();
    EXPECT_EQ(Sorted(f.Output), Sorted({".", "..", "f", "sub"}));
}

TEST(TFindFile, CountFilesInFolderCountsFilesOnly) {
    TempDir dir;
    MakeTree(dir);
    TFindFile f;
    f.SetPath(dir / "root");
    f.SetShowFolders(true);
    EXPECT_EQ(f.CountFilesInFolder(), 6);
    EXPECT_FALSE(f.ShowFolders());
}

TEST(TFindFile, LinksAreEntriesNeverWaysIn) {
    TempDir dir;
    dir.Write("outside/secret.txt", "s");
    dir.Write("root/own.txt", "o");
    fs::create_directory_symlink(dir / "outside", dir / "root/to-folder");
    fs::create_symlink(dir / "outside/secret.txt", dir / "root/to-file");
    fs::create_directory_symlink(dir / "root", dir / "root/loop"); // back into the tree
    const std::string r = dir / "root/";
    TFindFile f;
    f.SetPath(r);
    f.SearchFiles();
    EXPECT_EQ(Sorted(f.Output),
              Sorted({r + "loop", r + "own.txt", r + "to-file", r + "to-folder"}));
    f.SearchFolders();
    EXPECT_TRUE(f.Output.empty());
}

TEST(TFindFile, CopyToCopiesListedFilesOnly) {
    TempDir dir;
    dir.Write("root/a.txt", "new a");
    dir.Write("root/sub/b.txt", "b");
    dir.Write("root/c.txt", "new c");
    dir.Write("target/a.txt", "old a");
    // A link at the destination is not written through: its target stays.
    const std::string mine = dir.Write("mine.txt", "the user's");
    fs::create_symlink(mine, dir / "target/c.txt");
    // A pipe in the tree is refused, not waited on.
    ASSERT_EQ(::mkfifo((dir / "root/sub/pipe").c_str(), 0600), 0);
    TFindFile f;
    f.SetPath(dir / "root");
    f.SetShowFolders(true); // folder entries come along and are skipped
    f.SearchFiles();
    f.CopyTo(dir / "target/");
    EXPECT_EQ(ReadAll(dir / "target/a.txt"), "new a");
    EXPECT_EQ(ReadAll(dir / "target/b.txt"), "b");
    EXPECT_FALSE(fs::exists(dir / "target/sub"));
    EXPECT_EQ(ReadAll(mine), "the user's");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "target/c.txt")));
    EXPECT_FALSE(Exists(dir / "target/pipe"));
}

// ---- Deletion -----------------------------------------------------------------

TEST(DeleteTree, RemovesNestedFoldersReadOnlyAndHiddenFiles) {
    TempDir dir;
    dir.Write("root/a.txt", "a");
    dir.Write("root/.hidden", "h");
    dir.Write("root/x/y/z/deep.bin", "d");
    dir.Write("root/x/ro.txt", "r");
    fs::permissions(dir / "root/x/ro.txt", fs::perms::owner_read);
    fs::create_directories(dir / "root/x/empty");
    TFindFile f;
    f.SetPath(dir / "root");
    EXPECT_TRUE(f.DeleteTree());
    EXPECT_FALSE(Exists(dir / "root"));
    EXPECT_TRUE(f.FullPath());
    EXPECT_EQ(f.FileMask(), "*.*");
}

TEST(DeleteTree, DotFolderStaysAndSoDoesTheRoot) {
    TempDir dir;
    dir.Write("root/a.txt", "a");
    dir.Write("root/sub/b.txt", "b");
    dir.Write("root/.git/config", "c");
    TFindFile f;
    f.SetPath(dir / "root/");
    EXPECT_FALSE(f.DeleteTree());
    EXPECT_TRUE(Exists(dir / "root/.git/config"));
    EXPECT_FALSE(Exists(dir / "root/a.txt"));
    EXPECT_FALSE(Exists(dir / "root/sub"));
}

TEST(DeleteTree, LinksGoTheirTargetsStay) {
    TempDir dir;
    dir.Write("outside/keep/inner.txt", "inner");
    dir.Write("outside/file.txt", "file");
    dir.Write("root/own.txt", "o");
    fs::create_directories(dir / "root/nested");
    fs::create_directory_symlink(dir / "outside/keep", dir / "root/sub-link");
    fs::create_symlink(dir / "outside/file.txt", dir / "root/nested/file-link");
    fs::create_symlink(dir / "nowhere", dir / "root/dangling");
    fs::create_directory_symlink(dir / "root", dir / "root/loop");
    TFindFile f;
    f.SetPath(dir / "root");
    EXPECT_TRUE(f.DeleteTree());
    EXPECT_FALSE(Exists(dir / "root"));
    EXPECT_EQ(ReadAll(dir / "outside/keep/inner.txt"), "inner");
    EXPECT_EQ(ReadAll(dir / "outside/file.txt"), "file");
}

TEST(DeleteTree, RootThatIsALinkGoesAsALink) {
    TempDir dir;
    dir.Write("real/data.txt", "data");
    fs::create_directory_symlink(dir / "real", dir / "work");
    EXPECT_TRUE(QuillTPU::DeleteFolderTree(dir / "work/"));
    EXPECT_FALSE(Exists(dir / "work"));
    EXPECT_EQ(ReadAll(dir / "real/data.txt"), "data");

    // More delimiters at the end name the same link, not a way into it.
    fs::create_directory_symlink(dir / "real", dir / "again");
    TFindFile f;
    f.SetPath(dir / "again//");
    EXPECT_TRUE(f.DeleteTree());
    EXPECT_FALSE(Exists(dir / "again"));
    EXPECT_EQ(ReadAll(dir / "real/data.txt"), "data");
}

TEST(DeleteTree, AnOpenFileIsDeletedAllTheSame) {
    // Linux lets a file go while another program holds it open; the holder
    // keeps its data until it closes the file.
    TempDir dir;
    const std::string held = dir.Write("root/held.txt", "held");
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    TFindFile f;
    f.SetPath(dir / "root");
    EXPECT_TRUE(f.DeleteTree());
    char c = 0;
    EXPECT_EQ(::read(fd, &c, 1), 1);
    ::close(fd);
    EXPECT_FALSE(Exists(dir / "root"));
}

TEST(DeleteTree, ReadOnlyFoldersOfTheUserAreEmptied) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    TempDir dir;
    dir.Write("root/top.txt", "t");
    dir.Write("root/ro/inner.txt", "i");
    fs::create_directories(dir / "root/ro/empty");
    fs::create_directories(dir / "root/only-folders/ro-too/deep");
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec;
    for (const char* folder : {"root/ro", "root/only-folders/ro-too", "root/only-folders", "root"})
        fs::permissions(dir / folder, readOnly);
    TFindFile f;
    f.SetPath(dir / "root");
    EXPECT_TRUE(f.DeleteTree());
    EXPECT_FALSE(Exists(dir / "root"));
}

TEST(DeleteTree, UndeletableFileLeavesItsFoldersAndTheRoot) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    TempDir dir;
    dir.Write("root/a/stuck.txt", "s");
    dir.Write("root/b/free.txt", "f");
    dir.Write("root/c/later.txt", "l");
    // A folder that cannot be read cannot be emptied (a read-only one can).
    fs::permissions(dir / "root/a", fs::perms::owner_write | fs::perms::owner_exec);
    TFindFile f;
    f.SetPath(dir / "root");
    EXPECT_FALSE(f.DeleteTree());
    EXPECT_TRUE(Exists(dir / "root/a/stuck.txt"));
    EXPECT_FALSE(Exists(dir / "root/b"));
    EXPECT_FALSE(Exists(dir / "root/c"));
    fs::permissions(dir / "root/a", fs::perms::owner_all);
}

TEST(DeleteFiles, NeverReachesOutsideThePath) {
    TempDir dir;
    const std::string outside = dir.Write("outside.txt", "keep");
    const std::string inside = dir.Write("root/in.txt", "go");
    dir.Write("root/sub/x", "");
    TFindFile f;
    f.SetPath(dir / "root");
    f.Output = {outside, dir / "root/../outside.txt", dir / "root/sub/..", inside};
    EXPECT_FALSE(f.DeleteFiles());
    EXPECT_TRUE(Exists(outside));
    EXPECT_TRUE(Exists(dir / "root/sub/x"));
    EXPECT_FALSE(Exists(inside));

    // Bare names from a search without full paths name no file here.
    dir.Write("root/again.txt", "a");
    const auto previous = fs::current_path();
    dir.Write("cwd/again.txt", "not listed");
    fs::current_path(dir / "cwd");
    f.SetFullPath(false);
    f.SearchFiles();
    f.AbortOnDeleteFailure = true;
    EXPECT_FALSE(f.DeleteFiles());
    fs::current_path(previous);
    EXPECT_TRUE(f.FullPath()); // set for later searches
    EXPECT_TRUE(Exists(dir / "cwd/again.txt"));
    EXPECT_TRUE(Exists(dir / "root/again.txt"));
}

TEST(DeleteFolderTree, MissingFolderIsDoneAlready) {
    TempDir dir;
    dir.Write("other.txt", "");
    EXPECT_TRUE(QuillTPU::DeleteFolderTree(dir / "missing/"));
    EXPECT_TRUE(Exists(dir / "other.txt"));
    dir.Write("work/sub/ro.bin", "r");
    fs::permissions(dir / "work/sub/ro.bin", fs::perms::owner_read);
    EXPECT_TRUE(QuillTPU::DeleteFolderTree(dir / "work/"));
    EXPECT_FALSE(Exists(dir / "work"));
}

// ---- With mounts (root only) ---------------------------------------------------

TEST(DeleteTreeOnVolumes, AVolumeMountedInsideIsNotEntered) {
    std::string why;
    auto volume = TestVolume::Tmpfs(1 << 20, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    TempDir dir;
    dir.Write("root/a.txt", "a");
    fs::create_directories(dir / "root/mnt");
    ASSERT_EQ(::mount(volume->MountPoint().c_str(), (dir / "root/mnt").c_str(), nullptr, MS_BIND,
                      nullptr),
              0);
    dir.Write("root/mnt/precious.txt", "p");
    TFindFile f;
    f.SetPath(dir / "root");
    const bool result = f.DeleteTree();
    const bool precious = Exists(volume->MountPoint() + "/precious.txt");
    ::umount2((dir / "root/mnt").c_str(), MNT_DETACH);
    EXPECT_FALSE(result);
    EXPECT_TRUE(precious);
    EXPECT_FALSE(Exists(dir / "root/a.txt"));
}

TEST(SearchOnVolumes, AFolderBoundBelowItselfEndsTheSearch) {
    if (!MayMount())
        GTEST_SKIP() << "bind mounts need root or a user namespace";
    TempDir dir;
    dir.Write("root/f.txt", "");
    fs::create_directories(dir / "root/a/again");
    if (::mount((dir / "root").c_str(), (dir / "root/a/again").c_str(), nullptr, MS_BIND,
                nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here";
    TFindFile f;
    f.SetPath(dir / "root");
    f.SearchFiles();
    const auto files = f.Output;
    f.SearchFolders();
    const auto folders = f.Output;
    ::umount2((dir / "root/a/again").c_str(), MNT_DETACH);
    EXPECT_EQ(files, std::vector<std::string>{dir / "root/f.txt"});
    EXPECT_EQ(folders, (std::vector<std::string>{dir / "root/a/", dir / "root/a/again/"}));
}
