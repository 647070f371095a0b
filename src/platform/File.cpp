#include "File.h"

#include "Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Platform {

std::string ErrorText(int code) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error ") + std::to_string(code);
}

std::string FileErrorText(const char* action, const std::string& name, int code) {
    return std::string("Cannot ") + action + " file \"" + name + "\". " + ErrorText(code);
}

std::size_t WriteAll(int fd, const void* buffer, std::size_t count, int* error) noexcept {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    *error = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            break;
        }
        if (n == 0) {
            *error = ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

int ReserveBlocks(int fd, std::int64_t size) noexcept {
    int reserved;
    do
        reserved = ::fallocate(fd, 0, 0, size);
    while (reserved != 0 && errno == EINTR);
    if (reserved == 0)
        return 0;
    return errno == ENOSYS ? EOPNOTSUPP : errno;
}

namespace {

// Files are opened without blocking, so that a pipe or socket under a file's
// name cannot hang the window: reading one would wait for a writer that
// never comes. Such an entry is refused (and closed); for anything else the
// descriptor goes back to blocking mode unless the caller asked otherwise.
const char* RefuseUnusable(int fd, int extraFlags) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) {
        ::close(fd);
        return "It is a pipe or socket, not a file.";
    }
    if (!(extraFlags & O_NONBLOCK)) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags != -1)
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    return nullptr;
}

} // namespace

File::~File() {
    if (FFd >= 0)
        ::close(FFd);
}

File::File(File&& other) noexcept
    : FFd(std::exchange(other.FFd, -1)), FPath(std::move(other.FPath)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = std::exchange(other.FFd, -1);
        FPath = std::move(other.FPath);
    }
    return *this;
}

File File::Open(const std::string& path, OpenMode mode, int extraFlags) {
    int flags = O_CLOEXEC | extraFlags;
    switch (mode) {
    case OpenMode::Read:
        flags |= O_RDONLY;
        break;
    case OpenMode::Write:
        flags |= O_WRONLY;
        break;
    case OpenMode::ReadWrite:
        flags |= O_RDWR;
        break;
    }
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int code = errno;
        throw FileOpenError("Cannot open file \"" + path + "\". " + ErrorText(code), code);
    }
    // A folder opens for reading on POSIX; as a file it is unusable.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw FileOpenError("Cannot open file \"" + path + "\". " + ErrorText(EISDIR), EISDIR);
    }
    if (const char* reason = RefuseUnusable(fd, extraFlags))
        throw FileOpenError("Cannot open file \"" + path + "\". " + reason, ENXIO);
    return File(fd, path);
}

File File::Create(const std::string& path, bool exclusive, int extraFlags) {
    const int flags = O_CLOEXEC | O_RDWR | O_CREAT | (exclusive ? O_EXCL : O_TRUNC) | extraFlags;
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int code = errno;
        throw FileCreateError("Cannot create file \"" + path + "\". " + ErrorText(code), code);
    }
    if (const char* reason = RefuseUnusable(fd, extraFlags))
        throw FileCreateError("Cannot create file \"" + path + "\". " + reason, ENXIO);
    return File(fd, path);
}

std::size_t File::Read(void* buffer, std::size_t count) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(FFd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw StreamReadError("Stream read error", errno);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t File::WriteSome(const void* buffer, std::size_t count, int* error) noexcept {
    return WriteAll(FFd, buffer, count, error);
}

void File::Write(const void* buffer, std::size_t count) {
    int error = 0;
    if (WriteSome(buffer, count, &error) != count)
        throw StreamWriteError("Stream write error", error);
}

std::int64_t File::Seek(std::int64_t offset, Whence whence) {
    const int w = whence == Whence::Begin     ? SEEK_SET
                  : whence == Whence::Current ? SEEK_CUR
                                              : SEEK_END;
    const off_t pos = ::lseek(FFd, static_cast<off_t>(offset), w);
    if (pos < 0) {
        const int code = errno; // before building the message can touch it
        throw SystemError("Cannot seek in \"" + FPath + "\". " + ErrorText(code), code);
    }
    return pos;
}

std::int64_t File::Size() const {
    struct stat st {};
    if (::fstat(FFd, &st) != 0) {
        const int code = errno;
        throw SystemError("Cannot read the size of \"" + FPath + "\". " + ErrorText(code), code);
    }
    return st.st_size;
}

void File::Flush() {
    if (::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS)
        throw StreamWriteError("Stream write error", errno);
}

void File::Close() {
    if (FFd < 0)
        return;
    const int fd = std::exchange(FFd, -1);
    // Linux releases the descriptor even when close fails, so no retry.
    if (::close(fd) != 0 && errno != EINTR)
        throw StreamWriteError("Stream write error", errno);
}

} // namespace Platform
