// The command table: names, usage lines and help texts. The man page
// (ferrovane-cli.1) says the same in more words; keep the two in step (a
// test holds its ranges and defaults to the tools' own).
#include "cli/Command.h"
#include "cli/ToolBounds.h"
#include "tools/generator/GeneratorInputs.h"
#include "tools/profile/ProfileInputs.h"
#include "tools/speedtest/SpeedTestInputs.h"
#include "tools/wipe/WipeInputs.h"

namespace Cli {

namespace {

constexpr const char* kGenerateHelpPattern =
    R"(Creates N files of SIZE bytes each in FOLDER (made when missing).

Options:
  --count N          number of files, {} to {} (default {})
  --size SIZE        size of every file (default {}); SIZE is a whole
                     number with B, KB, MB or GB, powers of 1024: 4812B,
                     1433KB, 10MB, 1GB; the number is {} to {}
  --random-names     names "Stackwell " + counter + random number + ".bin",
                     never replacing a file (default)
  --name NAME        names NAME + counter + "." + EXT (default {});
  --ext EXT          EXT defaults to {}; either may be empty; a file of the
                     same name is replaced
  --random           pseudo-random content (default)
  --text TEXT        the text repeated to the size; "\n" is a line break,
                     written as CR LF; at most {} characters, each written
                     as one byte (the low 8 bits of its code), as the window
                     writes them
  --text-file PATH   the same with the UTF-8 text of a regular file, as it is
  --unique           append {} random bytes to every file (with --text or
                     --text-file only)
  --buffer SIZE      block size, {} to {} in whole KB (default {});
                     progress and Ctrl+C are seen between blocks
  --yes              create the files even when they need more than the free
                     space of FOLDER's volume (asked on a terminal otherwise)
  --json             print one JSON object at the end: folder, files (the
                     names created, in order), bytes, seconds
)";

constexpr const char* kSpaceHelp =
    R"(Lists every drive (mounted volume) with its letter, mount point, label, free
and total space and a bar of its free share.

Options:
  --json             print a JSON array instead: letter, mountPoint, label,
                     device, deviceNumber, mountId, fileSystem, freeBytes
                     (what you may fill), totalBytes, freePercent,
                     usedBytes, freeBytesForRoot (with the blocks kept for
                     root), usePercent (Use% as df shows it), readOnly and
                     kind (fixed, removable, network, cdrom, ram, unknown)
)";

constexpr const char* kSpeedHelpPattern =
    R"(Measures how fast the volume that holds PATH writes and reads: writes a test
file into a work folder of its own on that volume, reads it back around the
file cache, prints the log lines with both speeds in MB per second, and
removes its folder again. Nothing of yours is touched.

Options:
  --size SIZE        the test file's size, {} to {} in whole MB
                     (default {})
  --json             print one JSON object instead of the log: letter,
                     mountPoint, testSizeMB, writeMBps, readMBps (numbers;
                     a phase faster than the clock shows its lower bound),
                     writeSpeed, readSpeed (the log's texts), and per phase
                     writeBytes, writeMilliseconds, writeLowerBound (true
                     when the figure is a lower bound), the same for read
Ctrl+C stops the test between its phases; its test file is removed.

  --profile          the full test instead: eight direct-I/O figures
                     (sequential 1 MiB at queue depth 8 and 1, random 4 KiB
                     at depth 32 and 1, read and write), each {}s after {}s of
                     warm-up; --json gives engine, fileSize, seconds and
                     results (pattern, operation, blockSize, queueDepth,
                     threads, bytesPerSecond, iops, meanLatencyUs,
                     p99LatencyUs); Ctrl+C stops it at once
  --seconds S        seconds per figure (with --profile; default {})
  --warmup S         warm-up before each figure (with --profile; default {})
  --engine E         io_uring or libaio (with --profile; default: io_uring,
                     libaio where io_uring is refused)
)";

constexpr const char* kWipeHelpPattern =
    R"(Overwrites the free space of the volume that holds PATH, so that files
deleted earlier cannot be recovered: fills it with files of a random pattern,
flushed to the drive, and deletes them again, pass after pass. Files of yours
are never touched. Other programs may find the volume full while a pass runs.

Options:
  --passes N         the number of passes, {} to {} (default {})
  --buffer SIZE      the size of each fill file and of the pattern in memory,
                     {} to {} in whole MB (default {})
  --json             print one JSON object at the end: letter, volume,
                     passes, bytesPerPass, seconds
Ctrl+C stops the wipe after the current file; its fill is deleted.
)";

constexpr const char* kMergeHelp =
    R"(Joins the files of FOLDER that match the masks into OUTPUT, in the order of
their names (without regard to case), each followed by the separator: the
files the window's file list shows. A file that matches two masks is merged
twice. Hidden files, folders and OUTPUT itself are left out.

Options:
  --mask MASKS       file masks separated by ";", such as '*.txt' or
                     '*.log;*.txt' (default *.*); * and ? as wildcards, case
                     ignored; a blank belongs to its mask
  --separator TEXT   the text written after every file; "\n" is a line break,
                     written as CR LF (default: a line "==== New file ==="
                     between line breaks); '' for none
  --append           when OUTPUT exists, add to its end
  --replace          when OUTPUT exists, start it afresh
  --json             print one JSON object at the end: output, files (merged,
                     in order), leftOut (name and reason of every file of
                     FOLDER not merged), bytes (not with OUTPUT -)
OUTPUT - writes to standard output (a pipe too). Without --append or
--replace an existing OUTPUT is asked about on a terminal and left unchanged
otherwise. A character device (/dev/null) as OUTPUT is written to without a
question; a FIFO or block device is refused.
Ctrl+C stops between two files; the output keeps what was written.
)";

std::string Whole(std::int64_t value) {
    return std::to_string(value);
}

// Help texts last as long as the command table that points into them.
const std::string& GenerateHelp() {
    using namespace Generator;
    static const std::string text =
        Fill(kGenerateHelpPattern,
             {Whole(kNumberOfFiles.minimum), Whole(kNumberOfFiles.maximum),
              Whole(kNumberOfFiles.defaultValue),
              WholeSize(kSizeNumber.defaultValue * static_cast<std::int64_t>(kDefaultSizeUnit)),
              Whole(kSizeNumber.minimum), Whole(kSizeNumber.maximum), kDefaultPatternName,
              kDefaultPatternExtension, Whole(kFillTextLimit), Whole(kUniqueTail),
              WholeSize(kBufferSizeKB.minimum * 1024LL), WholeSize(kBufferSizeKB.maximum * 1024LL),
              WholeSize(kBufferSizeKB.defaultValue * 1024LL)});
    return text;
}

const std::string& SpeedHelp() {
    using SpeedTest::kTestSizeMB;
    static const std::string text =
        Fill(kSpeedHelpPattern, {WholeSize(kTestSizeMB.minimum * 1048576LL),
                                 WholeSize(kTestSizeMB.maximum * 1048576LL),
                                 WholeSize(kTestSizeMB.defaultValue * 1048576LL),
                                 Seconds(Profile::kMeasureSeconds.defaultValue),
                                 Seconds(Profile::kWarmupSeconds.defaultValue),
                                 Seconds(Profile::kMeasureSeconds.defaultValue),
                                 Seconds(Profile::kWarmupSeconds.defaultValue)});
    return text;
}

const std::string& WipeHelp() {
    using namespace Wipe;
    static const std::string text = Fill(
        kWipeHelpPattern,
        {Whole(kPasses.minimum), Whole(kPasses.maximum), Whole(kPasses.defaultValue),
         WholeSize(kBufferSizeMB.minimum * 1048576LL), WholeSize(kBufferSizeMB.maximum * 1048576LL),
         WholeSize(kBufferSizeMB.defaultValue * 1048576LL)});
    return text;
}

} // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"generate",
         "generate [--count N] [--size SIZE] [--random-names | --name NAME --ext EXT] "
         "[--random | --text TEXT | --text-file PATH] [--unique] [--buffer SIZE] [--yes] "
         "[--json] FOLDER",
         "create files of an exact size", GenerateHelp().c_str(), &RunGenerate},
        {"speed", "speed [--profile] [--size SIZE] [--json] PATH",
         "write and read speed of the volume that holds PATH", SpeedHelp().c_str(), &RunSpeed},
        {"wipe", "wipe [--passes N] [--buffer SIZE] [--json] PATH",
         "overwrite the free space of the volume that holds PATH", WipeHelp().c_str(), &RunWipe},
        {"space", "space [--json]", "free and total space of every drive", kSpaceHelp, &RunSpace},
        {"merge",
         "merge [--mask MASKS] [--separator TEXT] [--append | --replace] [--json] FOLDER "
         "OUTPUT|-",
         "join the files of a folder into one", kMergeHelp, &RunMerge},
    };
    return commands;
}

} // namespace Cli
