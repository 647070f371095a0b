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
  --text-file PATH   the same with the UTF-8 text of a file, as it is
  --unique           append 1024 random bytes to every file (with --text or
                     --text-file only)
  --buffer SIZE      block size, 1KB to 100MB in whole KB (default 10MB);
                     progress and Ctrl+C are seen between blocks
  --yes              create the files even when they need more than the free
                     space of FOLDER's volume (asked on a terminal otherwise)
)";

constexpr const char* kSpaceHelp =
    R"(Lists every drive (mounted volume) with its letter, mount point, label, free
and total space and a bar of its free share.

Options:
  --json             print a JSON array instead: letter, mountPoint, label,
                     device, fileSystem, freeBytes, totalBytes, freePercent
)";

} // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"generate",
         "generate [--count N] [--size SIZE] [--random-names | --name NAME --ext EXT] "
         "[--random | --text TEXT | --text-file PATH] [--unique] [--buffer SIZE] [--yes] FOLDER",
         "create files of an exact size", kGenerateHelp, &RunGenerate},
        {"space", "space [--json]", "free and total space of every drive", kSpaceHelp, &RunSpace},
    };
    return commands;
}

} // namespace Cli
