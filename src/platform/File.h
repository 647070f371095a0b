#pragma once
// Files on POSIX, with the errors the rest of the program expects: each
// failure raises an error whose text names the file and the system's reason.
#include <cstddef>
#include <cstdint>
#include <string>

namespace Platform {

// The system's text for an errno value.
std::string ErrorText(int code);
// The text a failed file step shows: Cannot <action> file "<name>". <reason>
// (action: "create", "write", "read", "flush", "close", ...).
std::string FileErrorText(const char* action, const std::string& name, int code);

// Writes all of count bytes to fd, going on after a signal and a short
// write. Returns the bytes written; fewer with *error set (an errno; ENOSPC
// when the system took nothing and named no reason).
std::size_t WriteAll(int fd, const void* buffer, std::size_t count, int* error) noexcept;
// Reserves the first size bytes of fd's file on the volume, going on after
// a signal. 0 when they are reserved, EOPNOTSUPP where the file system
// cannot reserve (ENOSYS too), else the errno (ENOSPC: no room).
int ReserveBlocks(int fd, std::int64_t size) noexcept;

enum class OpenMode {
    Read,      // existing file, read only
    Write,     // existing file, write only
    ReadWrite, // existing file, read and write
};

enum class Whence { Begin, Current, End };

// An open file. Move-only; the destructor closes quietly, Close() reports.
class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Raises FileOpenError ("Cannot open file \"path\". reason").
    static File Open(const std::string& path, OpenMode mode, int extraFlags = 0);
    // Creates or empties the file for reading and writing; raises
    // FileCreateError ("Cannot create file \"path\". reason").
    // exclusive: fail when the name exists (O_EXCL).
    static File Create(const std::string& path, bool exclusive = false, int extraFlags = 0);

    bool IsOpen() const noexcept { return FFd >= 0; }
    int Descriptor() const noexcept { return FFd; }
    const std::string& Path() const noexcept { return FPath; }

    // Reads up to count bytes; returns how many were read (0 at the end).
    // Raises StreamReadError on a system failure.
    std::size_t Read(void* buffer, std::size_t count);
    // Writes all count bytes or raises StreamWriteError (a full disk too).
    void Write(const void* buffer, std::size_t count);
    // Writes as much as the system takes; returns the count written and
    // leaves the errno of a short write in *error (0 when all went).
    std::size_t WriteSome(const void* buffer, std::size_t count, int* error) noexcept;
    std::int64_t Seek(std::int64_t offset, Whence whence);
    std::int64_t Size() const;
    void Flush(); // fsync; raises StreamWriteError
    void Close(); // raises StreamWriteError when the system reports a failed close

private:
    File(int fd, std::string path) : FFd(fd), FPath(std::move(path)) {}
    int FFd = -1;
    std::string FPath;
};

} // namespace Platform
