#include "tools/merge/FileAppend.h"

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Merge {

namespace {

// The largest piece that goes through user space, so a file of any size is
// copied without ever being loaded whole.
constexpr std::size_t kBlockBytes = 61440;
// One kernel copy call moves at most this much; the kernel may move less.
// Between two pieces the run may be stopped, so a stop is seen within a
// large file, not only at its end.
constexpr std::int64_t kPieceBytes = std::int64_t{64} << 20;
// Below this a file goes through the block buffer: one read and one write
// cost less than setting up a copy inside the kernel.
constexpr std::int64_t kKernelCopyFrom = 64 * 1024;

enum class Access { Read, Write, WriteOrCreate };

// The toolkit's first line, then which file and why.
[[noreturn]] void FailWrite(const std::string& path, int code) {
    throw StreamWriteError("Stream write error\r\n" + Platform::FileErrorText("write", path, code),
                           code);
}

[[noreturn]] void FailRead(const std::string& path, int code) {
    throw StreamReadError("Stream read error\r\n" + Platform::FileErrorText("read", path, code),
                          code);
}

// Writes all count bytes, or raises the write error (a full volume too).
void WriteAll(int fd, const char* data, std::size_t count, const std::string& path) {
    int error = 0;
    if (Platform::WriteAll(fd, data, count, &error) != count)
        FailWrite(path, error);
}

// An open descriptor with the file's status, taken once. A merge of
// thousands of small files spends most of its time opening them, so this
// asks the system no more than it must.
class OpenFile {
public:
    OpenFile(const std::string& path, Access access) : FPath(path) {
        int flags = O_CLOEXEC | O_NONBLOCK;
        flags |= access == Access::Read ? O_RDONLY : O_WRONLY;
        if (access == Access::WriteOrCreate)
            flags |= O_CREAT;
        // Without blocking: a pipe under a file's name would otherwise wait
        // for a writer that never comes, and the merge cannot be cancelled.
        do
            FFd = Platform::UniqueFd(::open(path.c_str(), flags, 0666));
        while (!FFd && errno == EINTR);
        if (!FFd) {
            const int code = errno;
            Fail(access == Access::WriteOrCreate && !Platform::EntryExists(path) ? "create"
                                                                                 : "open",
                 code);
        }
        if (::fstat(FFd.Get(), &FStat) != 0)
            Fail("open", errno);
        if (S_ISDIR(FStat.st_mode))
            Fail("open", EISDIR);
        if (S_ISFIFO(FStat.st_mode) || S_ISSOCK(FStat.st_mode))
            Fail("open", ENXIO, "It is a pipe or socket, not a file.");
        // A source is taken as it is now, not as it was listed: a name
        // replaced by a link to a device (/dev/zero) would never end.
        if (access == Access::Read && !S_ISREG(FStat.st_mode))
            Fail("open", ENXIO, "It is not a regular file.");
        // Regular files ignore the flag; a device the output is written to
        // (a terminal) is written as it would be without it.
        if (!S_ISREG(FStat.st_mode))
            ::fcntl(FFd.Get(), F_SETFL, ::fcntl(FFd.Get(), F_GETFL) & ~O_NONBLOCK);
    }

    int Fd() const { return FFd.Get(); }
    // Hands the descriptor over.
    Platform::UniqueFd Release() { return std::move(FFd); }
    const struct stat& Stat() const { return FStat; }

    // Returns the new position.
    std::int64_t SeekToEnd() {
        const off_t position = ::lseek(FFd.Get(), 0, SEEK_END);
        // A terminal cannot seek; what is written to it simply follows.
        if (position < 0 && errno == ESPIPE && !S_ISREG(FStat.st_mode))
            return 0;
        if (position < 0) {
            const int code = errno;
            throw SystemError("Cannot seek in \"" + FPath + "\". " + Platform::ErrorText(code),
                              code);
        }
        return position;
    }

    // One read of up to count bytes; 0 at the end.
    std::size_t ReadSome(char* buffer, std::size_t count) {
        for (;;) {
            const ssize_t n = ::read(FFd.Get(), buffer, count);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                FailRead(FPath, errno);
        }
    }

    const std::string& Path() const { return FPath; }

    void Close() {
        // A source was only read: nothing of it can be lost at its close.
        FFd.Close();
    }

private:
    // reason: the system's for code, unless given.
    [[noreturn]] void Fail(const char* action, int code, const char* reason = nullptr) {
        const std::string text =
            reason ? std::string("Cannot ") + action + " file \"" + FPath + "\". " + reason
                   : Platform::FileErrorText(action, FPath, code);
        if (action[0] == 'c')
            throw FileCreateError(text, code);
        throw FileOpenError(text, code);
    }

    std::string FPath;
    Platform::UniqueFd FFd;
    struct stat FStat {};
};

// Copies from in's position on, inside the kernel, until size bytes have
// gone or stop says so between two pieces; returns how many did. It stops
// early, leaving the rest to the blocks, where the file systems cannot copy
// between them ("not supported here"), where the file ends before its size,
// and where the copy fails: the blocks then meet the same failure and raise
// it as the read or write error it is.
std::int64_t KernelCopy(int in, int out, std::int64_t size, const StopCheck& stop, bool* stopped) {
    std::int64_t copied = 0;
    std::int64_t pieceLeft = kPieceBytes;
    while (copied < size) {
        const ssize_t n =
            ::copy_file_range(in, nullptr, out, nullptr, static_cast<std::size_t>(pieceLeft), 0);
        if (n > 0) {
            copied += n;
            pieceLeft -= n;
        } else if (n == 0 || errno != EINTR) {
            break;
        }
        if (pieceLeft == 0) {
            pieceLeft = kPieceBytes;
            if (copied < size && stop && stop()) {
                *stopped = true;
                break;
            }
        }
    }
    return copied;
}

char* BlockBuffer() {
    // The run is single-threaded; one buffer serves every file.
    thread_local const auto buffer = std::make_unique_for_overwrite<char[]>(kBlockBytes);
    return buffer.get();
}

// Copies the rest of in, from position on, up to its end or until stop says
// so between two pieces, in blocks; returns how many bytes went.
std::int64_t BlockCopy(OpenFile& in, int out, const std::string& outPath, std::int64_t position,
                       const StopCheck& stop, bool* stopped) {
    const std::int64_t start = position;
    const std::int64_t size = in.Stat().st_size;
    char* buffer = BlockBuffer();
    std::int64_t pieceLeft = kPieceBytes;
    for (;;) {
        const std::size_t n = in.ReadSome(buffer, kBlockBytes);
        if (n == 0)
            return position - start;
        WriteAll(out, buffer, n, outPath);
        position += static_cast<std::int64_t>(n);
        // A short read that reaches the size the file had when it was
        // opened is its end; another read would only say so. (A short read
        // before that, as some network file systems give, goes on.)
        if (n < kBlockBytes && position >= size)
            return position - start;
        pieceLeft -= static_cast<std::int64_t>(n);
        if (pieceLeft <= 0) {
            pieceLeft = kPieceBytes;
            if (stop && stop()) {
                *stopped = true;
                return position - start;
            }
        }
    }
}

} // namespace

void MergeOutput::Reach(const std::string& name, bool create, bool lookUp) {
    if (FFd && name == FName && FPosition >= 0) {
        // A file of thousands is merged in a handful of system calls; the
        // name is looked up again only when the run asks (now and then).
        if (!lookUp)
            return;
        struct stat st {};
        if (::stat(name.c_str(), &st) == 0 && st.st_dev == FDevice && st.st_ino == FInode) {
            // A device (a terminal, /dev/null) has no end to reach.
            if (!S_ISREG(st.st_mode))
                return;
            if (st.st_size != FPosition)
                // Another program wrote to it: our bytes go after its.
                FPosition = static_cast<std::int64_t>(::lseek(FFd.Get(), 0, SEEK_END));
            if (FPosition >= 0)
                return;
        }
    }
    Close();
    OpenFile file(name, create ? Access::WriteOrCreate : Access::Write);
    FPosition = file.SeekToEnd();
    FDevice = file.Stat().st_dev;
    FInode = file.Stat().st_ino;
    FName = name;
    FFd = file.Release();
}

AppendResult MergeOutput::AppendFile(const std::string& source, const std::string& name,
                                     bool lookUpName) {
    Reach(name, false, lookUpName);
    const std::int64_t start = FPosition;
    OpenFile in(source, Access::Read);
    // The output among its own sources (a second merge into the folder it
    // merges lists its output): copying it into itself would read what it
    // has just written and never reach its end.
    if (in.Stat().st_dev == FDevice && in.Stat().st_ino == FInode)
        return AppendResult::IsOutput;
    FPosition = -1; // unknown until the copy is through
    const std::int64_t size = in.Stat().st_size;
    std::int64_t copied = 0;
    bool stopped = false;
    if (size >= kKernelCopyFrom)
        copied = KernelCopy(in.Fd(), FFd.Get(), size, FStop, &stopped);
    // The rest: all of a small file, what the kernel could not copy, and
    // anything the file grew by meanwhile.
    if (!stopped)
        copied += BlockCopy(in, FFd.Get(), FName, copied, FStop, &stopped);
    in.Close();
    FPosition = start + copied;
    return stopped ? AppendResult::Stopped : AppendResult::Appended;
}

void MergeOutput::AppendBytes(const std::string& name, const std::string& bytes) {
    Reach(name, true, false);
    const std::int64_t start = FPosition;
    FPosition = -1;
    WriteAll(FFd.Get(), bytes.data(), bytes.size(), FName);
    FPosition = start + static_cast<std::int64_t>(bytes.size());
}

void MergeOutput::Close() {
    // A close that fails (a full network volume, say) loses data too.
    if (const int code = FFd.Close(); code != 0 && code != EINTR)
        FailWrite(FName, code);
}

} // namespace Merge
