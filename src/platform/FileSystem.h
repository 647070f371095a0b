#pragma once
// Files and folders as the rest of the program sees them: attribute words in
// the Windows sense, mapped onto POSIX as follows:
//   hidden    - the name begins with "."
//   system    - never set
//   read-only - the owner lacks write permission
//   archive   - any regular file
//   link      - a symbolic link (never followed by enumeration or deletion)
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform {

enum FileAttr : std::uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x1FF, // every kind of entry, as a search word
    faSymLink = 0x400, // stands for the reparse point
};

// A path with one "/" at its end, to join a name to; "" stays "" (no folder
// named) and a path that ends in "/" stays as it is.
std::string WithTrailingSlash(const std::string& path);
// A path without the "/"s at its end; the root "/" stays itself.
std::string WithoutTrailingSlash(const std::string& path);

struct FileInfo {
    std::uint32_t attributes = 0;
    std::int64_t size = 0;       // bytes; 0 for folders
    std::int64_t modifiedNs = 0; // last write time, ns since the epoch
};

// Attributes of path without following a final link (lstat). A link to a
// folder carries faSymLink | faDirectory. nullopt with *error = errno when
// the entry cannot be read.
std::optional<FileInfo> GetInfo(const std::string& path, int* error = nullptr);
// The same, following links (stat): what the link leads to.
std::optional<FileInfo> GetTargetInfo(const std::string& path, int* error = nullptr);

bool IsFolder(const std::string& path);      // follows links
bool IsRegularFile(const std::string& path); // follows links
bool EntryExists(const std::string& path);   // the entry itself, a dangling link too

// Single-step operations; each returns false and leaves errno in *error.
bool CreateFolder(const std::string& path, int* error = nullptr);
bool RemoveFolder(const std::string& path, int* error = nullptr); // empty folder only
bool DeleteFile(const std::string& path, int* error = nullptr);   // a link goes as a link
// Sets or clears the owner's write permission ("read-only").
bool SetReadOnly(const std::string& path, bool readOnly, int* error = nullptr);
// Copies a regular file with its permission bits and modification time.
// failIfExists: refuse when dest exists. A partly written new file is removed.
// A link at dest is never followed: the copy is refused (ELOOP) and the
// link and what it leads to stay as they are. A pipe or socket, as source
// or as dest, is refused too, never waited on.
bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists,
              int* error = nullptr);

struct DirEntry {
    std::string name; // the entry's name, without its folder
    FileInfo info;    // as GetInfo: links are reported, not followed
};

// The entries of a folder, without "." and "..", in the order the system
// gives them. nullopt with *error = errno when the folder cannot be read.
std::optional<std::vector<DirEntry>> ListFolder(const std::string& path, int* error = nullptr);

// Which file a name stands for: the volume and the node.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t node = 0;
    auto operator<=>(const FileId&) const = default;
};
// The identity of what path leads to (links followed); nullopt when it
// cannot be read.
std::optional<FileId> IdentityOf(const std::string& path);
// The identity of an open descriptor.
std::optional<FileId> IdentityOf(int fd);
// True when both names lead to the same file or folder (a bind mount or a
// hard link can show one under two names). False when either is missing.
bool SameFile(const std::string& a, const std::string& b);
bool SameFile(int fdA, int fdB);
// The absolute path with every link and "." or ".." resolved; empty when
// the path cannot be resolved.
std::string RealPath(const std::string& path);

// Gives a folder the user owns back its owner write permission, so that
// its contents can be deleted (the read-only attribute protects no folder's
// contents on the original platform). A link is never followed; a folder
// of another owner is left as it is. False with *error = errno when the
// folder is still not writable for its owner.
bool MakeOwnFolderWritable(const std::string& path, int* error = nullptr);

// Full path of the running executable.
std::string ExecutablePath();

} // namespace Platform
