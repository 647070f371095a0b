#include "FileSystem.h"

#include <cerrno>
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
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
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

bool CopyFile(const std::string& source, const std::string& dest, bool failIfExists, int* error) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetError(error, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetError(error, S_ISDIR(st.st_mode) ? EISDIR : errno ? errno : EINVAL);
        ::close(in);
        return false;
    }
    // Copying a file onto itself must not empty it: refuse before O_TRUNC.
    struct stat destSt {};
    if (::stat(dest.c_str(), &destSt) == 0 && destSt.st_dev == st.st_dev &&
        destSt.st_ino == st.st_ino) {
        SetError(error, failIfExists ? EEXIST : EINVAL);
        ::close(in);
        return false;
    }
    bool created = true;
    int out = ::open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0 && errno == EEXIST && !failIfExists) {
        created = false;
        out = ::open(dest.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    }
    if (out < 0) {
        SetError(error, errno);
        ::close(in);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    int failure = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failure = errno;
            break;
        }
        if (n == 0)
            break;
        ssize_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                failure = errno;
                break;
            }
            done += w;
        }
        if (failure)
            break;
    }
    if (!failure) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(out, times);
        if (!created)
            ::fchmod(out, st.st_mode & 07777);
    }
    if (::close(out) != 0 && !failure && errno != EINTR)
        failure = errno;
    ::close(in);
    if (failure) {
        if (created)
            ::unlink(dest.c_str());
        SetError(error, failure);
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
