#include "FileSystem.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

void SetError(int* error, int code) {
    if (error)
        *error = code;
}

std::string BaseName(const std::string& path) {
    const std::string p = WithoutTrailingSlash(path);
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The attribute word of an entry from its stat record.
FileInfo InfoFrom(const std::string& name, const struct stat& st, bool isLink) {
    FileInfo info;
    if (S_ISDIR(st.st_mode))
        info.attributes |= faDirectory;
    else if (S_ISREG(st.st_mode)) {
        info.attributes |= faArchive;
        info.size = st.st_size;
    }
    if (isLink)
        info.attributes |= faSymLink;
    if (!(st.st_mode & S_IWUSR))
        info.attributes |= faReadOnly;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..")
        info.attributes |= faHidden;
    info.modifiedNs =
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return info;
}

std::optional<FileInfo> InfoAt(int dirFd, const std::string& path, const std::string& name,
                               int* error) {
    struct stat st {};
    if (::fstatat(dirFd, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return std::nullopt;
    }
    if (S_ISLNK(st.st_mode)) {
        // A link is described by what it leads to (a folder link is a
        // folder that enumeration must not enter), marked as a link.
        struct stat target {};
        if (::fstatat(dirFd, path.c_str(), &target, 0) == 0) {
            FileInfo info = InfoFrom(name, target, true);
            info.size = 0;
            return info;
        }
        FileInfo info = InfoFrom(name, st, true);
        info.size = 0;
        return info;
    }
    return InfoFrom(name, st, false);
}

} // namespace

std::string WithTrailingSlash(const std::string& path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + '/';
}

std::string WithoutTrailingSlash(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

std::optional<FileInfo> GetInfo(const std::string& path, int* error) {
    if (path.empty()) {
        SetError(error, ENOENT);
        return std::nullopt;
    }
    return InfoAt(AT_FDCWD, path, BaseName(path), error);
}

std::optional<FileInfo> GetTargetInfo(const std::string& path, int* error) {
    if (path.empty()) {
        SetError(error, ENOENT);
        return std::nullopt;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        SetError(error, errno);
        return std::nullopt;
    }
    return InfoFrom(BaseName(path), st, false);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EntryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool CreateFolder(const std::string& path, int* error) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    SetError(error, errno);
    return false;
}

bool RemoveFolder(const std::string& path, int* error) {
    if (::rmdir(path.c_str()) == 0)
        return true;
    SetError(error, errno);
    return false;
}

bool DeleteFile(const std::string& path, int* error) {
    // unlink never follows a final link: a link goes, its target stays.
    if (::unlink(path.c_str()) == 0)
        return true;
    SetError(error, errno);
    return false;
}

bool SetReadOnly(const std::string& path, bool readOnly, int* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        SetError(error, errno);
        return false;
    }
    if (S_ISLNK(st.st_mode))
        return true; // a link has no permissions of its own
    const mode_t mode =
        readOnly ? (st.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (st.st_mode | S_IWUSR);
    if (::chmod(path.c_str(), mode & 07777) == 0)
        return true;
    SetError(error, errno);
    return false;
}

namespace {

// Opens without blocking and refuses what is no regular file: a pipe or
// socket would hold the window until some other program answered it.
UniqueFd OpenRegular(const std::string& path, int flags, mode_t mode, struct stat* st, int* error) {
    UniqueFd fd;
    int fdNumber;
    do
        fdNumber = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    while (fdNumber < 0 && errno == EINTR);
    if (fdNumber < 0) {
        SetError(error, errno);
        return fd;
    }
    fd = UniqueFd(fdNumber);
    if (::fstat(fd.Get(), st) != 0) {
        SetError(error, errno);
        return UniqueFd();
    }
    if (!S_ISREG(st->st_mode)) {
        SetError(error, S_ISDIR(st->st_mode) ? EISDIR : EINVAL);
        return UniqueFd();
    }
    const int status = ::fcntl(fd.Get(), F_GETFL);
    if (status != -1)
        ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

// Copies everything from in to out; 0 or the errno of the failure.
int CopyContent(int in, int out) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += w;
        }
    }
}

} // namespace

bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists, int* error) {
    struct stat st {};
    const UniqueFd in = OpenRegular(source, O_RDONLY, 0, &st, error);
    if (!in)
        return false;
    // O_NOFOLLOW: a link at the destination is refused, never written
    // through, so a file elsewhere that it leads to stays as it is.
    struct stat destSt {};
    int openError = 0;
    bool created = true;
    UniqueFd out = OpenRegular(dest, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, st.st_mode & 0777,
                               &destSt, &openError);
    if (!out && openError == EEXIST && !failIfExists) {
        created = false;
        // Emptied only below, once it is known to be another regular file.
        out = OpenRegular(dest, O_WRONLY | O_NOFOLLOW, 0, &destSt, &openError);
    }
    if (!out) {
        SetError(error, openError);
        return false;
    }
    // Copying a file onto itself must not empty it.
    if (!created && SameFile(in.Get(), out.Get())) {
        SetError(error, EINVAL);
        return false;
    }
    int failure = !created && ::ftruncate(out.Get(), 0) != 0 ? errno : 0;
    if (!failure)
        failure = CopyContent(in.Get(), out.Get());
    if (!failure) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out.Get(), times);
        if (!created)
            ::fchmod(out.Get(), st.st_mode & 07777);
    }
    const int closeError = out.Close();
    if (!failure && closeError != EINTR)
        failure = closeError;
    if (failure) {
        if (created)
            ::unlink(dest.c_str());
        SetError(error, failure);
        return false;
    }
    return true;
}

std::optional<FileId> IdentityOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<FileId> IdentityOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool SameFile(const std::string& a, const std::string& b) {
    const auto idA = IdentityOf(a);
    return idA && idA == IdentityOf(b);
}

bool SameFile(int a, int b) {
    const auto idA = IdentityOf(a);
    return idA && idA == IdentityOf(b);
}

std::string RealPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

bool MakeOwnFolderWritable(const std::string& path, int* error) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        SetError(error, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        SetError(error, errno);
        return false;
    }
    if (st.st_mode & S_IWUSR)
        return true;
    if (st.st_uid != ::geteuid()) {
        SetError(error, EPERM);
        return false;
    }
    if (::fchmod(fd.Get(), (st.st_mode | S_IWUSR) & 07777) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

std::optional<std::vector<DirEntry>> ListFolder(const std::string& path, int* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, errno);
        return std::nullopt;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        SetError(error, errno);
        ::close(fd);
        return std::nullopt;
    }
    std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
    std::vector<DirEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            if (errno != 0) {
                SetError(error, errno);
                return std::nullopt;
            }
            break;
        }
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // An entry that vanished between readdir and stat is skipped.
        if (auto info = InfoAt(fd, name, name, nullptr))
            entries.push_back({name, *info});
    }
    return entries;
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace Platform
