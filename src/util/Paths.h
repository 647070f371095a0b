#pragma once
// Paths, files and folders. Paths are UTF-8 with "/" as the delimiter.
#include <cstdint>
#include <string>

namespace QuillTPU {

// ---- Paths, files and folders -------------------------------------------

std::string AddTrailingDelimiter(const std::string& path);
// Up to and including the last "/" ("" when there is none).
std::string ExtractFilePath(const std::string& path);
// After the last "/".
std::string ExtractFileName(const std::string& path);

bool FolderExists(const std::string& path);
bool CheckFileExists(const std::string& fileName);
std::int64_t FileSizeOf(const std::string& fileName);
std::string WriteFailureText(const std::string& fileName);
bool ForceFolders(const std::string& path);
// 0 existed, 1 created, -1 failed (an empty path fails).
std::int32_t EnsureFolderSilent(const std::string& path);
std::int32_t EnsureFolder(const std::string& path);
// What EnsureFolder shows when path could not be made (error: an errno),
// for a caller that makes its folder another way.
std::string FolderCreateErrorText(const std::string& path, int error);
std::string AppFolder();
// The generator's default output folder: the program's folder when the user
// may write there, otherwise the user's home folder.
std::string DefaultOutputFolder();
bool StringToFile(const std::string& fileName, const std::string& data, bool overwrite,
                  bool showErrors = false);
// Appends source to the end of dest; every failure is raised.
void AppendFileTo(const std::string& source, const std::string& dest);
bool CopyFileToFolder(const std::string& fileName, const std::string& toFolder, bool overwrite);
// 0 when deleted or declined, else the failure's errno.
std::int32_t ShellDeleteFile(bool toRecycleBin, bool confirm, const std::string& fileName);

} // namespace QuillTPU
