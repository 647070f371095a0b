#include "util/Drives.h"
#include "../components/TestVolume.h"
#include "FileModesBind.h"
#include "TempDir.h"
#include "platform/DriveTable.h"
#include "platform/VolumeQuery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sys/statvfs.h>
#include <thread>

using namespace QuillTPU;
using Platform::Drive;
using Platform::DriveForFolder;
using Platform::ScopedDriveTable;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Drive LabelledDrive(char letter, const std::string& folder, const std::string& label) {
    Drive d = DriveForFolder(letter, folder);
    d.label = label;
    return d;
}

} // namespace

TEST(DriveNumber, LettersInEitherCaseAndTheRangeError) {
    EXPECT_EQ(DriveNumber(u'c'), 3);
    EXPECT_EQ(DriveNumber(u'C'), 3);
    EXPECT_EQ(DriveNumber(u'z'), 26);
    EXPECT_EQ(DriveNumber(u'A'), 1);
    EXPECT_EQ(DriveNumber(u'@'), 0);        // the code minus 64, nothing more
    EXPECT_EQ(DriveNumber(u'\u00FF'), 191); // still inside 0 .. 255
    EXPECT_THROW(DriveNumber(u'1'), RangeError);
    EXPECT_THROW(DriveNumber(u'\u0200'), RangeError);
    try {
        DriveNumber(u' ');
        FAIL() << "no error";
    } catch (const RangeError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
}

TEST(DriveHelpers, ReadyFreeAndAccessibleThroughTheTable) {
    TempDir dir;
    fs::create_directory(dir / "c");
    Drive fixed = DriveForFolder('C', dir / "c");
    Drive stated = DriveForFolder('E', dir / "c");
    stated.space = Platform::DriveSpace{1000, 3000};
    ScopedDriveTable table({fixed, DriveForFolder('D', dir / "no-medium"), stated});

    EXPECT_TRUE(DriveReady(u'c'));
    EXPECT_TRUE(DriveReadyByNumber(3));
    EXPECT_FALSE(DriveReady(u'D')); // its root is not there
    EXPECT_FALSE(DriveReady(u'f')); // no such drive
    EXPECT_EQ(DriveFreeBytes(4), -1);
    EXPECT_EQ(DriveTotalBytes(4), -1);
    EXPECT_EQ(DriveFreeBytes(27), -1);

    const std::int64_t total = DriveTotalBytes(3);
    const std::int64_t free = DriveFreeBytes(3);
    EXPECT_GT(total, 0);
    EXPECT_GE(free, 0);
    EXPECT_LE(free, total);
    EXPECT_EQ(DriveFreeBytes(5), 1000);
    EXPECT_EQ(DriveTotalBytes(5), 3000);

    EXPECT_TRUE(DriveAccessible(u'c')); // an empty root is accessible
    EXPECT_FALSE(DriveAccessible(u'd'));
    EXPECT_FALSE(DriveAccessible(u'!'));
    EXPECT_EQ(DriveFreeSpace(u'e'), 1000);
    EXPECT_EQ(DriveFreeSpace(u'd'), 0);
    EXPECT_EQ(DriveFreeSpace(u'q'), 0);
}

TEST(DriveHelpers, AVolumeThatNeverAnswersIsNotReady) {
    // A hard-mounted network volume whose server is gone: its query blocks
    // until the test lets it go.
    TempDir dir;
    fs::create_directory(dir / "nas");
    Drive nas = DriveForFolder('D', dir / "nas");
    nas.kind = Platform::DriveKind::Network;
    ScopedDriveTable table({DriveForFolder('C', dir.Path()), nas});
    auto server = std::make_shared<std::promise<void>>();
    Platform::ScopedVolumeQuery query(
        [back = server->get_future().share(), silent = nas.root](const std::string& root,
                                                                 int* error) {
            if (root == silent)
                back.wait();
            return Platform::StatVolume(root, error);
        },
        std::chrono::milliseconds(100));
    EXPECT_FALSE(DriveReady(u'd'));
    EXPECT_EQ(DriveFreeBytes(4), -1);
    EXPECT_EQ(DriveTotalBytes(4), -1);
    EXPECT_FALSE(DriveAccessible(u'd'));
    EXPECT_EQ(DriveFreeSpace(u'd'), 0);
    EXPECT_TRUE(DriveWriteProtected(u'd'));
    EXPECT_TRUE(DriveReady(u'c')); // the other volumes still answer
    EXPECT_GT(DriveFreeBytes(3), 0);

    server->set_value(); // the server is back: so is the volume
    bool ready = false;
    for (int i = 0; i < 500 && !ready; ++i) {
        ready = DriveReady(u'd');
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ready);
}

TEST(DriveHelpers, DriveZeroIsTheCurrentDrive) {
    TempDir dir;
    Drive here = DriveForFolder('C', dir.Path());
    here.space = Platform::DriveSpace{7, 9};
    ScopedDriveTable table({here});
    const auto previous = fs::current_path();
    fs::current_path(dir.Path());
    const std::int64_t free = DriveFreeBytes(0);
    const std::int64_t total = DriveTotalBytes(0);
    fs::current_path(previous);
    EXPECT_EQ(free, 7);
    EXPECT_EQ(total, 9);
    EXPECT_EQ(DriveTotalBytes(0), -1); // the test's folder no longer holds it
}

TEST(DriveHelpers, UnreadableRootIsNotAccessible) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    TempDir dir;
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::none);
    ScopedDriveTable table({DriveForFolder('C', dir / "locked")});
    EXPECT_FALSE(DriveAccessible(u'c'));
    EXPECT_EQ(DriveFreeSpace(u'c'), 0);
    EXPECT_TRUE(DriveWriteProtected(u'c'));
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(DriveWriteProtected, WritableRootGivesFalseAndLeavesNoFile) {
    TempDir dir;
    dir.Write("user.txt", "x");
    ScopedDriveTable table({DriveForFolder('C', dir.Path())});
    EXPECT_FALSE(DriveWriteProtected(u'c'));
    EXPECT_FALSE(DriveWriteProtected(u'C'));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"user.txt"});
    EXPECT_TRUE(DriveWriteProtected(u'x')); // no such drive: nothing can be written there
    try {
        DriveWriteProtected(u'5');
        FAIL() << "no assertion";
    } catch (const AssertionError& e) {
        EXPECT_STREQ(e.what(), "Invalid drive specification");
    }
}

TEST(DriveLabel, CaseFollowsTheLetter) {
    TempDir dir;
    ScopedDriveTable table({LabelledDrive('C', dir.Path(), "Data Disk"),
                            LabelledDrive('D', dir.Path(), "Äpfel und Öl"),
                            LabelledDrive('E', dir.Path(), "")});
    EXPECT_EQ(DriveLabel(u'c'), "[data disk]");
    EXPECT_EQ(DriveLabel(u'C'), "[DATA DISK]");
    EXPECT_EQ(DriveLabel(u'd'), "[äpfel und öl]");
    EXPECT_EQ(DriveLabel(u'D'), "[ÄPFEL UND ÖL]");
    EXPECT_EQ(DriveLabel(u'e'), "[]");
    EXPECT_EQ(DriveLabel(u'z'), "[]"); // no such drive
}

TEST(LocaleCase, KeepsMalformedBytesAndConvertsTheRest) {
    EXPECT_EQ(LocaleUpperCase("straße \xFF x"), "STRAßE \xFF X");
    EXPECT_EQ(LocaleLowerCase("ÉCOLE"), "école");
    // Over-long forms and surrogates are no text; every byte comes back.
    EXPECT_EQ(DecodeUtf8("a\xC0\xAF"), (std::u32string{U'a', 0xDCC0, 0xDCAF}));
    EXPECT_EQ(LocaleUpperCase("x\xED\xA0\x80\xFF"), "X\xED\xA0\x80\xFF");
    // The strict UTF-16 form: a pair for a code point beyond U+FFFF, nothing
    // for bytes that are no UTF-8 (a cut sequence, an over-long form).
    EXPECT_EQ(Utf8ToUtf16("é\xF0\x9F\x98\x80"), std::u16string(u"é\U0001F600"));
    for (const char* bad : {"a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xFF"})
        EXPECT_FALSE(Utf8ToUtf16(bad).has_value()) << bad;
}

// ---- On real volumes (root only) -------------------------------------------

TEST(DriveHelpersOnVolumes, TmpfsFreeAndTotalBytes) {
    std::string why;
    auto volume = TestVolume::Tmpfs(4 << 20, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    ScopedDriveTable table({DriveForFolder('C', volume->MountPoint())});
    EXPECT_TRUE(DriveReady(u'c'));
    EXPECT_TRUE(DriveAccessible(u'c')); // freshly made and empty
    EXPECT_EQ(DriveTotalBytes(3), 4 << 20);
    EXPECT_EQ(DriveFreeBytes(3), 4 << 20);
    {
        std::ofstream out(volume->MountPoint() + "/one-mb", std::ios::binary);
        const std::string block(1 << 20, 'x');
        out << block;
    }
    EXPECT_EQ(DriveFreeBytes(3), 3 << 20); // read afresh
    EXPECT_EQ(DriveFreeSpace(u'c'), 3 << 20);
    EXPECT_EQ(DriveLabel(u'C'), "[]");
}

TEST(DriveHelpersOnVolumes, LoopVolumeLabelAndWriteProbe) {
    std::string why;
    auto volume = TestVolume::Ext4("Fv Data", false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    // The label comes from the system's table, not from the test.
    ScopedDriveTable table({DriveForFolder('C', volume->MountPoint())});
    EXPECT_EQ(DriveLabel(u'c'), "[fv data]");
    EXPECT_EQ(DriveLabel(u'C'), "[FV DATA]");
    const auto before = Names(volume->MountPoint());
    EXPECT_FALSE(DriveWriteProtected(u'c'));
    EXPECT_EQ(Names(volume->MountPoint()), before); // no RWR file left behind
    EXPECT_GT(DriveTotalBytes(3), 4 << 20);
    EXPECT_LE(DriveTotalBytes(3), 8 << 20);
    // ext4 keeps blocks for root: free space is what is left to the user.
    struct statvfs st {};
    ASSERT_EQ(::statvfs(volume->MountPoint().c_str(), &st), 0);
    ASSERT_GT(st.f_bfree, st.f_bavail);
    EXPECT_EQ(DriveFreeBytes(3), static_cast<std::int64_t>(st.f_bavail * st.f_frsize));
}

TEST(DriveHelpersOnVolumes, ReadOnlyMountIsWriteProtected) {
    std::string why;
    auto volume = TestVolume::Tmpfs(1 << 20, true, &why);
    if (!volume)
        GTEST_SKIP() << why;
    ScopedDriveTable table({DriveForFolder('E', volume->MountPoint())});
    EXPECT_TRUE(DriveWriteProtected(u'e'));
    EXPECT_TRUE(DriveReady(u'e'));
    EXPECT_TRUE(Names(volume->MountPoint()).empty());
}
