// Paths, folders and single files.
#include "util/Paths.h"

#include "util/Messages.h"
#include "util/Presenter.h"

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace QuillTPU {

namespace {

constexpr char kDelimiter = '/';

// The file may be read-only, hidden or locked: the lines every file error
// of StringToFile ends with.
const char* const kFileErrorHint =
    "\r\nFile may be read-only, hidden or locked by other programs."
    "\r\nSome antivirus programs are also known to be the reason for this error.";

} // namespace

std::string AddTrailingDelimiter(const std::string& path) {
    return Platform::WithTrailingSlash(path);
}

std::string ExtractFilePath(const std::string& path) {
    const auto slash = path.rfind(kDelimiter);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    const auto slash = path.rfind(kDelimiter);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FolderExists(const std::string& path) {
    // A trailing blank is an ordinary part of a Linux name ("out " is not
    // "out"), so it gets no rule of its own.
    if (path.empty())
        return false;
    int error = 0;
    const auto info = Platform::GetTargetInfo(path, &error);
    if (info)
        return (info->attributes & Platform::faDirectory) != 0;
    // Only "not there" or "not a valid name" mean no; a folder we may not
    // look into, or a volume that does not answer, may well exist.
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return false;
    default:
        return true;
    }
}

bool CheckFileExists(const std::string& fileName) {
    if (!fileName.empty()) {
        const auto info = Platform::GetTargetInfo(fileName);
        if (info && !(info->attributes & Platform::faDirectory))
            return true;
    }
    if (fileName.empty())
        ShowPlainMessage("No file specified!");
    else
        ShowPlainMessage("File \"" + fileName + "\" does not exist");
    return false;
}

std::int64_t FileSizeOf(const std::string& fileName) {
    if (!CheckFileExists(fileName))
        return -1;
    try {
        return Platform::File::Open(fileName, Platform::OpenMode::Read).Size();
    } catch (const FvError&) {
        return -1;
    }
}

std::string WriteFailureText(const std::string& fileName) {
    return "Cannot write to \"" + fileName +
           "\" because you don't have necessary privileges or the drive is not ready!" +
           "\r\n\r\n" + "You can try to:" + "\r\n" +
           " * change the privileges of this folder/file" + "\r\n" +
           " * contact your system administrator to change the permissions" + "\r\n" +
           " * move your files to a different folder" + "\r\n" +
           " * run the program with elevated rights (as administrator)";
}

namespace {

// ForceFolders, keeping the reason of the step that failed.
bool ForceFoldersWithReason(const std::string& path, int* error) {
    if (path.empty())
        return false;
    // Every trailing delimiter goes: with one left, the folder part would
    // equal the path and the folder would count as made without being made.
    std::string p = path;
    while (!p.empty() && p.back() == kDelimiter)
        p.pop_back();
    // The root ("/" without its delimiter) always exists.
    if (p.empty() || FolderExists(p) || ExtractFilePath(p) == p)
        return true;
    if (ExtractFilePath(p).empty()) {
        *error = ENOENT; // a relative name with nothing to anchor it
        return false;
    }
    if (!ForceFoldersWithReason(ExtractFilePath(p), error))
        return false;
    if (Platform::CreateFolder(p, error))
        return true;
    // mkdir says "File exists" for a file or a broken link in the way;
    // what the user needs to hear is why that is no folder.
    if (*error == EEXIST)
        *error = Platform::GetTargetInfo(p) ? ENOTDIR : ENOENT;
    return false;
}

// Why a folder could not be made, as the third line of the message.
std::string FolderFailureReason(const std::string& path, int error) {
    if (path.empty())
        return "No folder given.";
    return Platform::ErrorText(error != 0 ? error : EACCES) + ".";
}

} // namespace

bool ForceFolders(const std::string& path) {
    int error = 0;
    return ForceFoldersWithReason(path, &error);
}

std::int32_t EnsureFolderSilent(const std::string& path) {
    // An empty path names no folder at all; creating "" relative to
    // wherever the program happens to run would surprise everyone.
    if (path.empty())
        return -1;
    if (FolderExists(path))
        return 0;
    return ForceFolders(path) ? 1 : -1;
}

std::int32_t EnsureFolder(const std::string& path) {
    if (!path.empty() && FolderExists(path))
        return 0;
    int error = 0;
    if (!path.empty() && ForceFoldersWithReason(path, &error))
        return 1;
    ShowErrorMessage(FolderCreateErrorText(path, error));
    return -1;
}

std::string FolderCreateErrorText(const std::string& path, int error) {
    // The two usual lines, and the system's reason: a file in the way or a
    // read-only volume is no matter of permissions.
    return "Cannot create folder: " + path + "\r\n" +
           "Probably you are trying to write to a folder to which you don't have "
           "write permissions.\r\n" +
           FolderFailureReason(path, error);
}

std::string AppFolder() {
    return ExtractFilePath(Platform::ExecutablePath());
}

std::string DefaultOutputFolder() {
    // An installed program lives under /usr, where a user must never be
    // offered to write gigabytes of test files; a build folder or a copy in
    // the user's own files is fine.
    const std::string folder = AppFolder();
    // Root may write everywhere, so the system's program folders are ruled
    // out by name too.
    const bool systemFolder = folder.rfind("/usr/", 0) == 0 || folder.rfind("/bin/", 0) == 0 ||
                              folder.rfind("/sbin/", 0) == 0 || folder.rfind("/opt/", 0) == 0;
    if (!folder.empty() && !systemFolder && ::access(folder.c_str(), W_OK | X_OK) == 0)
        return folder;
    const char* home = std::getenv("HOME");
    if (home && *home)
        return AddTrailingDelimiter(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return AddTrailingDelimiter(pw->pw_dir);
    return folder;
}

bool StringToFile(const std::string& fileName, const std::string& data, bool overwrite,
                  bool showErrors) {
    try {
        Platform::File file = !overwrite && Platform::EntryExists(fileName)
                                  ? Platform::File::Open(fileName, Platform::OpenMode::Write)
                                  : Platform::File::Create(fileName);
        file.Seek(0, Platform::Whence::End);
        int error = 0;
        const std::size_t written = file.WriteSome(data.data(), data.size(), &error);
        if (written < data.size()) {
            if (showErrors)
                ShowPlainMessage(WriteFailureText(fileName));
            return false;
        }
        // A close that fails (a full network volume, say) loses data too.
        file.Close();
        return true;
    } catch (const FvError& e) {
        if (showErrors)
            ShowErrorMessage(e.what() + std::string(kFileErrorHint));
        return false;
    }
}

void AppendFileTo(const std::string& source, const std::string& dest) {
    Platform::File out = Platform::File::Open(dest, Platform::OpenMode::Write);
    out.Seek(0, Platform::Whence::End);
    Platform::File in = Platform::File::Open(source, Platform::OpenMode::Read);
    // Appending a file to itself would read what it just wrote, for ever.
    struct stat inSt {
    }, outSt{};
    if (::fstat(in.Descriptor(), &inSt) == 0 && ::fstat(out.Descriptor(), &outSt) == 0 &&
        inSt.st_dev == outSt.st_dev && inSt.st_ino == outSt.st_ino)
        throw FileOpenError("Cannot open file \"" + source +
                                "\". The file is in use as the destination of this copy.",
                            EBUSY);
    std::vector<char> buffer(61440);
    for (;;) {
        const std::size_t n = in.Read(buffer.data(), buffer.size());
        if (n == 0)
            break;
        out.Write(buffer.data(), n);
    }
    in.Close();
    out.Close();
}

bool CopyFileToFolder(const std::string& fileName, const std::string& toFolder, bool overwrite) {
    // A link of that name in toFolder fails the copy: what it leads to may be
    // any file of the user's, and overwrite means the name, not that file.
    return Platform::CopyFile(fileName, toFolder + ExtractFileName(fileName), !overwrite);
}

std::int32_t ShellDeleteFile(bool toRecycleBin, bool confirm, const std::string& fileName) {
    if (confirm && !MessagePresenter().Confirm(
                       "Confirmation", "Are you sure you want to delete this file?\r\n" + fileName))
        return 0;
    int code = 0;
    std::string reason;
    if (toRecycleBin) {
        code = Shell().MoveToTrash(fileName, &reason);
    } else if (!Platform::DeleteFile(fileName, &code)) {
        reason = Platform::ErrorText(code);
    }
    if (code != 0)
        // The file manager would have said why; so do we. The name is shown
        // as it is, never run through the CRLF token.
        MessagePresenter().ShowMessage(MessageKind::Error, "Error",
                                       "Cannot delete file \"" + fileName + "\".\r\n" + reason);
    return code;
}

} // namespace QuillTPU
