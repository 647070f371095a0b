#include "tools/merge/FileAppend.h"

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace Merge {

namespace {

// The largest piece that goes through user space, so a file of any size is
// copied without ever being loaded whole.
constexpr std::size_t kBlockBytes = 61440;
// One kernel copy call moves at most this much; the kernel may move less.
constexpr std::size_t kKernelPiece = std::size_t{1} << 30;

struct stat StatOf(const Platform::File& file) {
    struct stat st {};
    if (::fstat(file.Descriptor(), &st) != 0) {
        const int code = errno;
        throw FileOpenError(
            "Cannot open file \"" + file.Path() + "\". " + Platform::ErrorText(code), code);
    }
    return st;
}

// Copies from in's position to the end of in, inside the kernel. True when
// the end was reached; false when the rest must go through the blocks: the
// file systems cannot copy between them ("not supported here"), or the copy
// failed, in which case the blocks meet the same failure and raise it as a
// read or write error.
bool KernelCopy(int in, int out, std::int64_t size) {
    std::int64_t copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kKernelPiece, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0)
            // A file that reports a size it does not deliver (some virtual
            // files do) is read to its end by the blocks instead.
            return copied >= size;
        if (errno != EINTR)
            return false;
    }
}

void BlockCopy(Platform::File& in, Platform::File& out) {
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlockBytes);
    for (;;) {
        const std::size_t n = in.Read(buffer.get(), kBlockBytes);
        if (n == 0)
            return;
        out.Write(buffer.get(), n);
    }
}

} // namespace

void AppendFile(const std::string& source, const std::string& dest) {
    Platform::File out = Platform::File::Open(dest, Platform::OpenMode::Write);
    out.Seek(0, Platform::Whence::End);
    Platform::File in = Platform::File::Open(source, Platform::OpenMode::Read);
    const struct stat inSt = StatOf(in);
    const struct stat outSt = StatOf(out);
    // The output among its own sources: copying it into itself would read
    // what it has just written and never reach its end.
    if (inSt.st_dev == outSt.st_dev && inSt.st_ino == outSt.st_ino)
        throw FileOpenError("Cannot open file \"" + source +
                                "\". The file is in use as the destination of this copy.",
                            EBUSY);
    if (!S_ISREG(inSt.st_mode) || inSt.st_size == 0 ||
        !KernelCopy(in.Descriptor(), out.Descriptor(), inSt.st_size))
        BlockCopy(in, out);
    in.Close();
    out.Close();
}

void AppendBytes(const std::string& dest, const std::string& bytes) {
    Platform::File file = Platform::EntryExists(dest)
                              ? Platform::File::Open(dest, Platform::OpenMode::Write)
                              : Platform::File::Create(dest);
    file.Seek(0, Platform::Whence::End);
    file.Write(bytes.data(), bytes.size());
    file.Close();
}

} // namespace Merge
