#include "FileModesBind.h"
#include "RecordingPresenter.h"
#include "TempDir.h"
#include "platform/Errors.h"
#include "util/QuillTPU.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace QuillTPU;
namespace fs = std::filesystem;

TEST(AddTrailingDelimiter, AppendsOnlyWhenMissing) {
    EXPECT_EQ(AddTrailingDelimiter(""), "");
    EXPECT_EQ(AddTrailingDelimiter("a"), "a/");
    EXPECT_EQ(AddTrailingDelimiter("/tmp/x/"), "/tmp/x/");
    EXPECT_EQ(AddTrailingDelimiter("/"), "/");
}

TEST(PathParts, FolderAndNameSplitAtTheLastDelimiter) {
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFilePath("c.txt"), "");
    EXPECT_EQ(ExtractFileName("/a/b/"), "");
}

TEST(FolderExists, FoldersLinksBlanksAndFiles) {
    TempDir dir;
    const std::string file = dir.Write("f.txt", "x");
    fs::create_directory(dir / "sub");
    fs::create_directory_symlink(dir / "sub", dir / "link");
    fs::create_symlink(dir / "gone", dir / "dangling");
    EXPECT_TRUE(FolderExists(dir.Path()));
    EXPECT_TRUE(FolderExists(dir / "sub/"));
    // A trailing blank is part of a Linux name: "sub " is not "sub".
    EXPECT_FALSE(FolderExists(dir / "sub "));
    fs::create_directory(dir / "out ");
    EXPECT_TRUE(FolderExists(dir / "out "));
    EXPECT_FALSE(FolderExists(file));
    EXPECT_FALSE(FolderExists(dir / "missing"));
    EXPECT_FALSE(FolderExists(file + "/below")); // a file in the path
    EXPECT_FALSE(FolderExists(""));
    EXPECT_TRUE(FolderExists(dir / "link"));
    EXPECT_FALSE(FolderExists(dir / "dangling"));
}

TEST(FolderExists, UnreadableParentCountsAsExisting) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    TempDir dir;
    fs::create_directories(dir / "locked/inner");
    ::chmod((dir / "locked").c_str(), 0);
    // Access denied is not "not found": the folder may well be there.
    EXPECT_TRUE(FolderExists(dir / "locked/inner"));
    ::chmod((dir / "locked").c_str(), 0700);
}

TEST(CheckFileExists, FilesPassFoldersAndGapsAreReported) {
    RecordingPresenter presenter;
    TempDir dir;
    const std::string file = dir.Write("f.txt", "x");
    fs::create_symlink(file, dir / "link.txt");
    EXPECT_TRUE(CheckFileExists(file));
    EXPECT_TRUE(CheckFileExists(dir / "link.txt"));
    EXPECT_TRUE(presenter.shown.empty());

    EXPECT_FALSE(CheckFileExists(dir.Path()));
    EXPECT_FALSE(CheckFileExists(""));
    EXPECT_FALSE(CheckFileExists(dir / "nope"));
    ASSERT_EQ(presenter.shown.size(), 3u);
    EXPECT_EQ(presenter.shown[0].text, "File \"" + dir.Path() + "\" does not exist");
    EXPECT_EQ(presenter.shown[1].text, "No file specified!");
    EXPECT_EQ(presenter.shown[2].kind, MessageKind::Plain);
}

TEST(FileSizeOf, SizeOrMinusOne) {
    RecordingPresenter presenter;
    TempDir dir;
    EXPECT_EQ(FileSizeOf(dir.Write("ten", "0123456789")), 10);
    EXPECT_EQ(FileSizeOf(dir.Write("empty", "")), 0);
    EXPECT_EQ(FileSizeOf(dir / "missing"), -1);
    EXPECT_EQ(presenter.shown.size(), 1u);
}

TEST(WriteFailureText, NamesTheFileAndTheRemedies) {
    const std::string text = WriteFailureText("/x/y");
    EXPECT_EQ(text.rfind("Cannot write to \"/x/y\" because you don't have necessary privileges "
                         "or the drive is not ready!\r\n\r\nYou can try to:\r\n",
                         0),
              0u);
    EXPECT_NE(text.find("\r\n * run the program with elevated rights (as administrator)"),
              std::string::npos);
}

TEST(EnsureFolder, CreatesThreeLevelsThenFindsThem) {
    RecordingPresenter presenter;
    TempDir dir;
    const std::string deep = dir / "a/b/c";
    EXPECT_EQ(EnsureFolder(deep), 1);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(EnsureFolder(deep), 0);
    EXPECT_EQ(EnsureFolder(deep + "/"), 0);
    EXPECT_EQ(EnsureFolderSilent(dir / "x/y/"), 1);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST(EnsureFolder, RepeatedTrailingDelimitersStillCreateTheFolder) {
    // "created" must mean the folder is there afterwards.
    TempDir dir;
    EXPECT_EQ(EnsureFolderSilent(dir / "n//"), 1);
    EXPECT_TRUE(fs::is_directory(dir / "n"));
    EXPECT_TRUE(ForceFolders(dir / "p/q///"));
    EXPECT_TRUE(fs::is_directory(dir / "p/q"));
    EXPECT_TRUE(ForceFolders("///"));
}

TEST(EnsureFolder, EmptyPathFailsWithTheUsualMessage) {
    RecordingPresenter presenter;
    EXPECT_EQ(EnsureFolderSilent(""), -1);
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_EQ(EnsureFolder(""), -1);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(presenter.shown[0].text,
              "Cannot create folder: \r\nProbably you are trying to write to a folder to which you "
              "don't have write permissions.\r\nNo folder given.");
}

TEST(EnsureFolder, FailsBelowAFileAndBelowARelativeGap) {
    RecordingPresenter presenter;
    TempDir dir;
    const std::string file = dir.Write("f", "x");
    EXPECT_EQ(EnsureFolder(file + "/sub"), -1);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text.rfind("Cannot create folder: " + file + "/sub\r\n", 0), 0u);
    // The third line says what is really in the way.
    EXPECT_TRUE(presenter.shown[0].text.ends_with("\r\nNot a directory."))
        << presenter.shown[0].text;
    EXPECT_EQ(EnsureFolder(file), -1);
    EXPECT_TRUE(presenter.shown[1].text.ends_with("permissions.\r\nNot a directory."));
    fs::create_symlink(dir / "gone", dir / "broken");
    EXPECT_EQ(EnsureFolder(dir / "broken"), -1);
    EXPECT_TRUE(presenter.shown[2].text.ends_with("\r\nNo such file or directory."));
    // A folder whose name ends in a blank is made once and found after.
    EXPECT_EQ(EnsureFolder(dir / "out "), 1);
    EXPECT_EQ(EnsureFolder(dir / "out "), 0);
    EXPECT_EQ(presenter.shown.size(), 3u);
    // A relative name with nothing to anchor it is refused, not created
    // in whatever folder the program runs in.
    EXPECT_FALSE(ForceFolders("fv-never-made-" + std::to_string(::getpid()) + "/x"));
    EXPECT_FALSE(ForceFolders(""));
}

TEST(EnsureFolder, NoPermissionGivesMinusOneAndTheMessage) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    RecordingPresenter presenter;
    TempDir dir;
    fs::create_directory(dir / "ro");
    ::chmod((dir / "ro").c_str(), 0555);
    EXPECT_EQ(EnsureFolder(dir / "ro/new/deeper"), -1);
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].text.find("Probably you are trying to write"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "ro/new"));
}

TEST(AppFolder, IsTheFolderOfTheRunningProgram) {
    const std::string folder = AppFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(folder + "core_tests"));
    // The tests run from a build folder the user may write to.
    EXPECT_EQ(DefaultOutputFolder(), folder);
}

TEST(StringToFile, AppendsOrReplaces) {
    RecordingPresenter presenter;
    TempDir dir;
    const std::string file = dir.Write("f", "0123456789");
    EXPECT_TRUE(StringToFile(file, "abc", false));
    EXPECT_EQ(ReadAll(file), "0123456789abc");
    EXPECT_TRUE(StringToFile(file, "abc", true));
    EXPECT_EQ(ReadAll(file), "abc");
    EXPECT_TRUE(StringToFile(file, "", true));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_TRUE(StringToFile(dir / "new", "xyz", false)); // created when missing
    EXPECT_EQ(ReadAll(dir / "new"), "xyz");
    EXPECT_TRUE(presenter.shown.empty());
}

TEST(StringToFile, FailureIsFalseAndShownOnlyWhenAsked) {
    RecordingPresenter presenter;
    TempDir dir;
    EXPECT_FALSE(StringToFile(dir / "no/such/folder/f", "x", true));
    EXPECT_TRUE(presenter.shown.empty());
    EXPECT_FALSE(StringToFile(dir / "no/such/folder/f", "x", true, true));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(presenter.shown[0].text,
              "Cannot create file \"" + dir.Path() +
                  "/no/such/folder/f\". No such file or directory\r\n"
                  "File may be read-only, hidden or locked by other programs.\r\n"
                  "Some antivirus programs are also known to be the reason for this error.");
}

TEST(StringToFile, FullVolumeIsAShortWrite) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full on this system";
    RecordingPresenter presenter;
    EXPECT_FALSE(StringToFile("/dev/full", "data", false, true));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, WriteFailureText("/dev/full"));
}

TEST(AppendFileTo, CopiesToTheEndOfAnExistingFile) {
    TempDir dir;
    const std::string dest = dir.Write("dest", "head-");
    AppendFileTo(dir.Write("empty", ""), dest);
    EXPECT_EQ(ReadAll(dest), "head-");
    // Larger than one 61440-byte block, so the loop is exercised.
    std::string big(150000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    AppendFileTo(dir.Write("big", big), dest);
    EXPECT_EQ(ReadAll(dest), "head-" + big);
}

TEST(AppendFileTo, FailuresAreRaisedWithThePath) {
    TempDir dir;
    const std::string src = dir.Write("src", "abc");
    try {
        AppendFileTo(src, dir / "missing");
        FAIL() << "no error";
    } catch (const FileOpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + dir.Path() + "/missing\". No such file or directory");
    }
    EXPECT_THROW(AppendFileTo(dir / "nosrc", dir.Write("d", "")), FileOpenError);
}

TEST(AppendFileTo, OntoItselfFailsWithTheOpenErrorAndLeavesTheFile) {
    TempDir dir;
    const std::string file = dir.Write("self", "abc");
    fs::create_symlink(file, dir / "alias");
    EXPECT_THROW(AppendFileTo(file, file), FileOpenError);
    EXPECT_THROW(AppendFileTo(dir / "alias", file), FileOpenError);
    fs::create_hard_link(file, dir / "hard");
    EXPECT_THROW(AppendFileTo(file, dir / "hard"), FileOpenError);
    EXPECT_EQ(ReadAll(file), "abc");
}

TEST(CopyFileToFolder, CopiesByNameAndRespectsOverwrite) {
    TempDir dir;
    const std::string src = dir.Write("in/data.bin", "payload");
    fs::create_directory(dir / "out");
    EXPECT_TRUE(CopyFileToFolder(src, dir / "out/", false));
    EXPECT_EQ(ReadAll(dir / "out/data.bin"), "payload");
    dir.Write("in/data.bin", "changed");
    EXPECT_FALSE(CopyFileToFolder(src, dir / "out/", false));
    EXPECT_EQ(ReadAll(dir / "out/data.bin"), "payload");
    EXPECT_TRUE(CopyFileToFolder(src, dir / "out/", true));
    EXPECT_EQ(ReadAll(dir / "out/data.bin"), "changed");
    EXPECT_FALSE(CopyFileToFolder(dir / "in/none", dir / "out/", true));
    // Onto itself: refused, and the file keeps its content.
    EXPECT_FALSE(CopyFileToFolder(src, dir / "in/", true));
    EXPECT_EQ(ReadAll(src), "changed");
}

TEST(ShellDeleteFile, DeclinedKeepsTheFile) {
    RecordingPresenter presenter;
    RecordingShell shell;
    TempDir dir;
    const std::string file = dir.Write("f", "x");
    presenter.answer = false;
    EXPECT_EQ(ShellDeleteFile(true, true, file), 0);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(shell.trashed.empty());
    ASSERT_EQ(presenter.questions.size(), 1u);
    EXPECT_EQ(presenter.questions[0],
              "Confirmation|Are you sure you want to delete this file?\r\n" + file);
}

TEST(ShellDeleteFile, AcceptedGoesToTheTrashOrAway) {
    RecordingPresenter presenter;
    RecordingShell shell;
    TempDir dir;
    const std::string file = dir.Write("f", "x");
    presenter.answer = true;
    EXPECT_EQ(ShellDeleteFile(true, true, file), 0);
    EXPECT_EQ(shell.trashed, std::vector<std::string>{file});

    EXPECT_EQ(ShellDeleteFile(false, false, file), 0);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(presenter.questions.size(), 1u);
    EXPECT_TRUE(presenter.shown.empty());
}

TEST(ShellDeleteFile, FailureReturnsACodeAndSaysWhy) {
    RecordingPresenter presenter;
    RecordingShell shell;
    TempDir dir;
    EXPECT_NE(ShellDeleteFile(false, false, dir / "missing"), 0);
    shell.trashResult = 5;
    EXPECT_EQ(ShellDeleteFile(true, false, dir.Write("f", "x")), 5);
    ASSERT_EQ(presenter.shown.size(), 2u);
    EXPECT_EQ(presenter.shown[0].text,
              "Cannot delete file \"" + dir.Path() + "/missing\".\r\nNo such file or directory");
    EXPECT_NE(presenter.shown[1].text.find("trash refused"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "f"));
}

TEST(FileRoutines, APipeUnderAFileNameNeverHangs) {
    RecordingPresenter presenter;
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileSizeOf(fifo), -1);
    EXPECT_THROW(AppendFileTo(fifo, dir.Write("dest", "x")), FileOpenError);
    EXPECT_EQ(ReadAll(dir / "dest"), "x");
}
