// The command table: names, usage lines and help texts. The man page
// (ferrovane-cli.1) says the same in more words; keep the two in step.
#include "cli/Command.h"

namespace Cli {

namespace {

constexpr const char* kGenerateHelp =
    R"(Creates N files of SIZE bytes each in FOLDER (made when missing).

Options:
  --count N          number of files, 1 to 2100000000 (default 50)
  --size SIZE        size of every file (default 1024MB); SIZE is a whole
                     number with B, KB, MB or GB, powers of 1024: 4812B,
                     1433KB, 10MB, 1GB; the number is 1 to 10000000
  --random-names     names "Stackwell " + counter + random number + ".bin",
                     never replacing a file (default)
  --name NAME        names NAME + counter + "." + EXT (default AutoGen);
  --ext EXT          EXT defaults to Bin; either may be empty; a file of the
                     same name is replaced
  --random           pseudo-random content (default)
  --text TEXT        the text repeated to the size; "\n" is a line break,
                     written as CR LF; at most 1024 characters, each written
                     as one byte (the low 8 bits of its code), as the window
                     writes them
  --text-file PATH   the same with the UTF-8 text of a regular file, as it is
  --unique           append 1024 random bytes to every file (with --text or
                     --text-file only)
  --buffer SIZE      block size, 1KB to 100MB in whole KB (default 10MB);
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

constexpr const char* kSpeedHelp =
    R"(Measures how fast the volume that holds PATH writes and reads: writes a test
file into a work folder of its own on that volume, reads it back around the
file cache, prints the log lines with both speeds in MB per second, and
removes its folder again. Nothing of yours is touched.

Options:
  --size SIZE        the test file's size, 1MB to 50000MB in whole MB
                     (default 256MB)
  --json             print one JSON object instead of the log: letter,
                     mountPoint, testSizeMB, writeMBps, readMBps (numbers;
                     a phase faster than the clock shows its lower bound),
                     writeSpeed, readSpeed (the log's texts), and per phase
                     writeBytes, writeMilliseconds, writeLowerBound (true
                     when the figure is a lower bound), the same for read
Ctrl+C stops the test between its phases; its test file is removed.

  --profile          the full test instead: eight direct-I/O figures
                     (sequential 1 MiB at queue depth 8 and 1, random 4 KiB
                     at depth 32 and 1, read and write), each 5s after 1s of
                     warm-up; --json gives engine, fileSize, seconds and
                     results (pattern, operation, blockSize, queueDepth,
                     threads, bytesPerSecond, iops, meanLatencyUs,
                     p99LatencyUs); Ctrl+C stops it at once
  --seconds S        seconds per figure (with --profile; default 5)
  --warmup S         warm-up before each figure (with --profile; default 1)
  --engine E         io_uring or libaio (with --profile; default: io_uring,
                     libaio where io_uring is refused)
)";

constexpr const char* kWipeHelp =
    R"(Overwrites the free space of the volume that holds PATH, so that files
deleted earlier cannot be recovered: fills it with files of a random pattern,
flushed to the drive, and deletes them again, pass after pass. Files of yours
are never touched. Other programs may find the volume full while a pass runs.

Options:
  --passes N         the number of passes, 1 to 16 (default 2)
  --buffer SIZE      the size of each fill file and of the pattern in memory,
                     1MB to 50000MB in whole MB (default 64MB)
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

} // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"generate",
         "generate [--count N] [--size SIZE] [--random-names | --name NAME --ext EXT] "
         "[--random | --text TEXT | --text-file PATH] [--unique] [--buffer SIZE] [--yes] "
         "[--json] FOLDER",
         "create files of an exact size", kGenerateHelp, &RunGenerate},
        {"speed", "speed [--profile] [--size SIZE] [--json] PATH",
         "write and read speed of the volume that holds PATH", kSpeedHelp, &RunSpeed},
        {"wipe", "wipe [--passes N] [--buffer SIZE] [--json] PATH",
         "overwrite the free space of the volume that holds PATH", kWipeHelp, &RunWipe},
        {"space", "space [--json]", "free and total space of every drive", kSpaceHelp, &RunSpace},
        {"merge",
         "merge [--mask MASKS] [--separator TEXT] [--append | --replace] [--json] FOLDER "
         "OUTPUT|-",
         "join the files of a folder into one", kMergeHelp, &RunMerge},
    };
    return commands;
}

} // namespace Cli
