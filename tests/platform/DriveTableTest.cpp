#include "platform/DriveTable.h"
#include "../components/TestVolume.h"
#include "FileModesBind.h"
#include "TempDir.h"
#include "platform/VolumeQuery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <sys/sysmacros.h>

using namespace Platform;
namespace fs = std::filesystem;

namespace {

// A system as mountinfo shows it: pseudo file systems, a bind mount, an
// over-mount, escapes and optional fields.
const char* const kMountInfo =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 27 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
    "24 27 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=10k\n"
    "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
    "26 27 0:24 / /run rw,relatime - tmpfs tmpfs rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "28 27 254:0 /srv/share /export/share rw,relatime shared:1 - ext4 /dev/vda rw\n"
    "29 27 8:17 / /media/usb\\040stick rw,relatime - vfat /dev/sdb1 rw\n"
    "30 27 0:50 / /mnt/nas rw,relatime - nfs4 server:/export rw\n"
    "31 27 0:51 / /tmp/ram rw,relatime - tmpfs tmpfs rw,size=4k\n"
    "32 27 11:0 / /media/cd ro,relatime - iso9660 /dev/sr0 ro\n"
    "33 23 0:54 / /sys/fs/cgroup rw,relatime - cgroup2 cgroup2 rw\n"
    "34 27 0:60 / /mnt/over rw,relatime - tmpfs tmpfs rw\n"
    "35 27 0:61 / /mnt/over rw,relatime - tmpfs tmpfs rw\n"
    "36 26 0:62 / /run/user/1000 rw,relatime - tmpfs tmpfs rw\n"
    "37 27 8:33 /data /a/bound rw,relatime - ext4 /dev/sdc1 rw\n"
    "38 27 8:33 / /z/main rw,relatime - ext4 /dev/sdc1 rw\n"
    "garbage line\n";

std::vector<Drive> SyntheticTable() {
    return BuildDriveTable(ParseMountInfo(kMountInfo),
                           [](const std::string& device) { return device == "/dev/sdb1"; });
}

} // namespace

TEST(DriveTable, ParsesMountInfoWithEscapesAndOptionalFields) {
    const auto mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 17u); // the garbage line is dropped
    const auto usb = std::find_if(mounts.begin(), mounts.end(),
                                  [](const MountEntry& m) { return m.deviceId == "8:17"; });
    ASSERT_NE(usb, mounts.end());
    EXPECT_EQ(usb->mountPoint, "/media/usb stick");
    EXPECT_EQ(usb->fsType, "vfat");
    EXPECT_EQ(usb->source, "/dev/sdb1");
    EXPECT_EQ(mounts[5].mountPoint, "/"); // "shared:1" did not shift the fields
    EXPECT_EQ(mounts[5].source, "/dev/vda");
    EXPECT_EQ(mounts[6].fsRoot, "/srv/share");
}

TEST(DriveTable, KeepsRealVolumesSortedAndLetteredFromC) {
    const auto drives = SyntheticTable();
    std::vector<std::string> points;
    std::string letters;
    for (const auto& d : drives) {
        points.push_back(d.mountPoint);
        letters += d.letter;
    }
    // No /proc, /sys, /dev, /run tmpfs or cgroup; the bind mount of / and
    // the bound folder of /z/main are left out; the over-mount counts once.
    const std::vector<std::string> expected = {
        "/", "/media/cd", "/media/usb stick", "/mnt/nas", "/mnt/over", "/tmp/ram", "/z/main"};
    EXPECT_EQ(points, expected);
    EXPECT_EQ(letters, "CDEFGHI");
    EXPECT_EQ(drives[0].root, "/");
    EXPECT_EQ(drives[2].root, "/media/usb stick/");
}

TEST(DriveTable, KindsFollowDeviceAndFileSystem) {
    const auto drives = SyntheticTable();
    auto kindAt = [&](const std::string& point) {
        for (const auto& d : drives)
            if (d.mountPoint == point)
                return d.kind;
        ADD_FAILURE() << point << " missing";
        return DriveKind::Unknown;
    };
    EXPECT_EQ(kindAt("/"), DriveKind::Fixed);
    EXPECT_EQ(kindAt("/media/cd"), DriveKind::CDRom);
    EXPECT_EQ(kindAt("/media/usb stick"), DriveKind::Removable);
    EXPECT_EQ(kindAt("/mnt/nas"), DriveKind::Network);
    EXPECT_EQ(kindAt("/tmp/ram"), DriveKind::RamDisk);
    for (const auto& d : drives) {
        if (d.mountPoint == "/mnt/over") {
            EXPECT_EQ(d.device, "tmpfs");
        }
    }
}

TEST(DriveTable, AFileBoundOverAFileIsNoDrive) {
    // Containers bind single files of the host's disk (/etc/hosts); a file
    // holds no volume to letter, while a bound folder of that disk does.
    TempDir dir;
    const std::string file = dir.Write("hosts", "127.0.0.1 localhost\n");
    fs::create_directory(dir / "z-data");
    const std::string text = "27 1 0:40 / / rw - overlay overlay rw\n"
                             "40 27 254:1 /containers/x/hosts " +
                             file + " rw - ext4 /dev/vdb rw\n" + "41 27 254:1 /srv/data " +
                             dir / "z-data" + " rw - ext4 /dev/vdb rw\n";
    const auto drives =
        BuildDriveTable(ParseMountInfo(text), [](const std::string&) { return false; });
    std::vector<std::string> points;
    for (const auto& d : drives)
        points.push_back(d.mountPoint);
    EXPECT_EQ(points, (std::vector<std::string>{"/", dir / "z-data"}));
}

TEST(DriveTable, SnapImagesAreNoDrivesAUsersLoopVolumeIs) {
    // Every snap is a read-only squashfs image on /dev/loopN (or a fuse
    // mount where the kernel cannot mount it); 30 of them would use up the
    // letters before /srv and /var got one.
    std::string text = "1 0 254:0 / / rw - ext4 /dev/vda1 rw\n";
    for (int i = 0; i < 30; ++i)
        text += "2 1 7:" + std::to_string(i) + " / /snap/app" + std::to_string(i) +
                "/1 ro - squashfs /dev/loop" + std::to_string(i) + " ro\n";
    text += "3 1 0:70 / /snap/core/2 ro - fuse.snapfuse snapfuse ro\n"
            "4 1 7:40 / /opt/img ro - erofs /dev/loop40 ro\n"
            "5 1 7:41 / /mnt/data rw - ext4 /dev/loop41 rw\n"
            "6 1 254:16 / /srv rw - ext4 /dev/vdb rw\n"
            "7 1 254:32 / /var rw - xfs /dev/vdc rw\n";
    const auto drives =
        BuildDriveTable(ParseMountInfo(text), [](const std::string&) { return false; });
    std::vector<std::string> points;
    std::string letters;
    for (const auto& d : drives) {
        points.push_back(d.mountPoint);
        letters += d.letter;
    }
    EXPECT_EQ(points, (std::vector<std::string>{"/", "/mnt/data", "/srv", "/var"}));
    EXPECT_EQ(letters, "CDEF");
}

TEST(DriveTable, VolumesBeyondZAreListedWithoutALetter) {
    std::string text;
    for (int i = 0; i < 30; ++i)
        text += std::to_string(100 + i) + " 1 8:" + std::to_string(i) + " / /v" +
                std::to_string(100 + i) + " rw - ext4 /dev/sd" + std::to_string(i) + " rw\n";
    const auto drives =
        BuildDriveTable(ParseMountInfo(text), [](const std::string&) { return false; });
    ASSERT_EQ(drives.size(), 30u);
    EXPECT_EQ(drives.front().letter, 'C');
    EXPECT_EQ(drives[23].letter, 'Z');
    EXPECT_EQ(drives[23].mountPoint, "/v123");
    EXPECT_EQ(drives.back().letter, 0);
    EXPECT_EQ(drives.back().mountId, 129u);
    EXPECT_EQ(drives.back().deviceNumber, static_cast<std::uint64_t>(::makedev(8, 29)));
}

// Letters as one process sees them over a sequence of mount tables: each
// step lists "id:mountpoint" mounts and the letters expected in mount-point
// order.
TEST(DriveTable, AVolumeKeepsItsLetterWhileItStaysMounted) {
    struct Step {
        std::vector<std::string> mounts;
        std::string letters;
    };
    const std::vector<Step> steps = {
        {{"10:/m", "11:/p"}, "CD"},           // first reading: mount-point order
        {{"10:/m", "11:/p", "12:/a"}, "ECD"}, // /a sorts first, takes the first free
        {{"11:/p", "12:/a"}, "ED"},           // /m goes: the others keep theirs
        {{"11:/p", "12:/a", "13:/b"}, "ECD"}, // the freed C: goes to the next new one
        {{"11:/p", "12:/a", "14:/b"}, "ECD"}, // /b replaced by another mount: C: is free again
        {{"12:/a", "14:/b", "15:/p"}, "ECD"}, // /p remounted: a new volume, first free letter
    };
    DriveLettering lettering;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::string text;
        for (const std::string& mount : steps[i].mounts) {
            const auto colon = mount.find(':');
            text += mount.substr(0, colon) + " 1 8:" + mount.substr(0, colon) + " / " +
                    mount.substr(colon + 1) + " rw - ext4 /dev/sd" + mount.substr(0, colon) +
                    " rw\n";
        }
        std::string letters;
        for (const Drive& d : BuildDriveTable(
                 ParseMountInfo(text), [](const std::string&) { return false; }, &lettering))
            letters += d.letter;
        EXPECT_EQ(letters, steps[i].letters) << "step " << i;
    }
}

TEST(DriveTable, InstalledTableReplacesTheSystemAndNests) {
    TempDir dir;
    {
        Drive c;
        c.letter = 'c'; // lower case is put in upper case
        c.mountPoint = dir.Path();
        ScopedDriveTable outer({c});
        ASSERT_EQ(ReadDriveTable().size(), 1u);
        const auto found = FindDrive('C');
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->root, dir.Path() + "/");
        EXPECT_TRUE(FindDrive('c').has_value());
        EXPECT_FALSE(FindDrive('D').has_value());
        {
            ScopedDriveTable inner({});
            EXPECT_TRUE(ReadDriveTable().empty());
        }
        EXPECT_EQ(ReadDriveTable().size(), 1u);
    }
    // The system's table again: this machine's root volume is on it.
    const auto system = ReadDriveTable();
    EXPECT_TRUE(std::any_of(system.begin(), system.end(),
                            [](const Drive& d) { return d.mountPoint == "/"; }));
}

TEST(DriveTable, CurrentDriveIsTheDeepestMountHoldingTheWorkingFolder) {
    TempDir dir;
    fs::create_directories(dir / "inner/deeper");
    Drive outer = DriveForFolder('C', dir.Path());
    Drive inner = DriveForFolder('D', dir / "inner");
    Drive other = DriveForFolder('E', dir.Path() + "x"); // a prefix of the name only
    ScopedDriveTable table({outer, inner, other});
    const auto previous = fs::current_path();
    fs::current_path(dir / "inner/deeper");
    const auto current = CurrentDrive();
    fs::current_path(previous);
    ASSERT_TRUE(current.has_value());
    EXPECT_EQ(current->letter, 'D');
}

TEST(DriveTable, SpaceAndAccessOfAFolderDrive) {
    TempDir dir;
    const Drive drive = DriveForFolder('C', dir.Path());
    EXPECT_EQ(drive.kind, DriveKind::Fixed);
    const auto space = VolumeSpace(drive);
    ASSERT_TRUE(space.has_value());
    EXPECT_GT(space->totalBytes, 0);
    EXPECT_GE(space->freeBytes, 0);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_TRUE(VolumeAccessible(drive)); // empty, and still accessible
    {
        // Free space is what a user may fill; the blocks kept for root are
        // counted apart.
        ScopedVolumeQuery query([](const std::string&, int*) {
            return std::optional<VolumeBlocks>(VolumeBlocks{4096, 1000, 400, 250});
        });
        const auto stated = VolumeSpace(drive);
        ASSERT_TRUE(stated.has_value());
        EXPECT_EQ(stated->freeBytes, 250 * 4096);
        EXPECT_EQ(stated->freeBytesForRoot, 400 * 4096);
        EXPECT_EQ(stated->totalBytes, 1000 * 4096);
    }

    Drive gone = DriveForFolder('D', dir / "missing");
    int error = 0;
    EXPECT_FALSE(VolumeSpace(gone, &error).has_value());
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(VolumeAccessible(gone));
}

TEST(DriveTable, WriteProbeLeavesNothingAndTouchesNoOtherFile) {
    TempDir dir;
    dir.Write("keep.txt", "mine");
    EXPECT_FALSE(ProbeWriteProtected(dir.Path() + "/"));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(ReadAll(dir / "keep.txt"), "mine");
    EXPECT_TRUE(ProbeWriteProtected(dir / "missing/"));
}

TEST(DriveTable, WriteProbeOnAFolderThatRefusesWrites) {
    FileModesBind plainUser;
    if (!plainUser.Holds())
        GTEST_SKIP() << "file modes stop nothing for this root";
    TempDir dir;
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(ProbeWriteProtected(dir / "locked/"));
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(DriveTableOnVolumes, TmpfsOfAKnownSize) {
    std::string why;
    auto volume = TestVolume::Tmpfs(4 << 20, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const auto system = ReadDriveTable(); // read afresh: the new volume is on it
    const auto it = std::find_if(system.begin(), system.end(), [&](const Drive& d) {
        return d.mountPoint == volume->MountPoint();
    });
    ASSERT_NE(it, system.end());
    EXPECT_EQ(it->kind, DriveKind::RamDisk);
    EXPECT_EQ(it->root, volume->MountPoint() + "/");
    const auto space = VolumeSpace(*it);
    ASSERT_TRUE(space.has_value());
    EXPECT_EQ(space->totalBytes, 4 << 20);
    EXPECT_EQ(space->freeBytes, 4 << 20);
    EXPECT_EQ(VolumeLabel(*it), "");
}

TEST(DriveTableOnVolumes, LoopVolumeWithALabel) {
    std::string why;
    auto volume = TestVolume::Ext4("FvData", false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    const Drive drive = DriveForFolder('E', volume->MountPoint());
    EXPECT_EQ(drive.fsType, "ext4");
    EXPECT_EQ(drive.device.rfind("/dev/loop", 0), 0u) << drive.device;
    EXPECT_EQ(drive.kind, DriveKind::Fixed);
    EXPECT_EQ(VolumeLabel(drive), "FvData");
    EXPECT_FALSE(ProbeWriteProtected(drive.root));

    auto readOnly = TestVolume::Ext4("FvRead", true, &why);
    ASSERT_TRUE(readOnly) << why;
    EXPECT_TRUE(ProbeWriteProtected(readOnly->MountPoint() + "/"));
}

// The drive that holds a path on the real table: the volume's own mount, and
// a bind mount of one of its folders elsewhere (left out of the table) leads
// to the same volume; a path on no drive's volume has none.
TEST(DriveTableOnVolumes, TheDriveHoldingAPath) {
    std::string why;
    auto volume = TestVolume::Tmpfs(1 << 20, false, &why);
    if (!volume)
        GTEST_SKIP() << why;
    fs::create_directories(volume->MountPoint() + "/inner/deeper");
    TempDir elsewhere;
    ASSERT_EQ(::mount((volume->MountPoint() + "/inner").c_str(), elsewhere.Path().c_str(), nullptr,
                      MS_BIND, nullptr),
              0);
    for (const std::string& path : {volume->MountPoint(), volume->MountPoint() + "/inner/deeper",
                                    elsewhere.Path() + "/deeper"}) {
        const auto drive = DriveHolding(path);
        ASSERT_TRUE(drive.has_value()) << path;
        EXPECT_EQ(drive->mountPoint, volume->MountPoint()) << path;
    }
    EXPECT_FALSE(DriveHolding("/proc/self").has_value());
    ::umount2(elsewhere.Path().c_str(), MNT_DETACH);
}

// The process's letters on the real table: a volume keeps its letter when
// one that sorts before it goes, and the freed letter is taken again.
TEST(DriveTableOnVolumes, ALetterStaysWhenAnEarlierVolumeGoes) {
    TempDir places;
    const std::string first = places / "a";
    const std::string second = places / "b";
    fs::create_directory(first);
    fs::create_directory(second);
    if (::mount("tmpfs", first.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting needs root";
    ::mount("tmpfs", second.c_str(), "tmpfs", 0, "size=1m");
    auto letterOf = [](const std::string& point) {
        for (const Drive& d : ReadDriveTable())
            if (d.mountPoint == point)
                return d.letter;
        return '?';
    };
    const char firstLetter = letterOf(first);
    const char secondLetter = letterOf(second);
    ASSERT_NE(secondLetter, 0);
    ::umount2(first.c_str(), MNT_DETACH);
    EXPECT_EQ(letterOf(second), secondLetter);
    ASSERT_EQ(::mount("tmpfs", first.c_str(), "tmpfs", 0, "size=1m"), 0);
    EXPECT_EQ(letterOf(first), firstLetter); // the first free letter again
    EXPECT_EQ(letterOf(second), secondLetter);
    ::umount2(first.c_str(), MNT_DETACH);
    ::umount2(second.c_str(), MNT_DETACH);
}
