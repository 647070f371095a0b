#pragma once
// QuillTPU: the small free routines every tool uses. Texts are UTF-8 except
// where behaviour depends on UTF-16 code units (the generator's fill text).
#include "util/Drives.h"
#include "util/Presenter.h"
#include "util/Random.h"

#include <cstdint>
#include <string>

namespace QuillTPU {

// ---- Numbers as text -------------------------------------------------------

// "0 Byte", "1,023 Bytes", "1.5 KB" ... "1,024.0 TB", with the user's separators.
std::string FormatSize(std::int64_t size);
// At most `decimals` decimals, cut (not rounded), "." always; never scientific
// below 0.0001. Raises AssertionError("Float number is NAN!") on NaN.
std::string FormatReal(long double value, std::uint8_t decimals);
std::string FormatInteger(std::int32_t value);
std::string FormatInteger(std::int64_t value);

// ---- Texts ---------------------------------------------------------------

// Turns the token CRLF into a line break, dropping one blank after it.
std::string ReplaceCRLF(const std::string& text);
// Characters fromPos..toPos (1-based, inclusive), clipped to the text.
// Raises OverflowError when the range length does not fit 32 bits.
std::u16string CopyRange(const std::u16string& text, std::int32_t fromPos, std::int32_t toPos);
std::string CopyRange(const std::string& text, std::int32_t fromPos, std::int32_t toPos);

// ---- Talking to the user -------------------------------------------------

void ShowPlainMessage(const std::string& text);
void ShowWarningMessage(const std::string& text);
void ShowErrorMessage(const std::string& text);
// A failure inside a component; shown even for an empty text.
void ShowErrorReport(const std::string& location, const std::string& text);
// 800 Hz for 300 ms; returns when the tone has ended.
void PlayBeep();

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

// ---- System ----------------------------------------------------------------

// Opens a web address, document or folder through the desktop's shell.
bool OpenDocument(const std::string& target, const std::string& parameters = "");

} // namespace QuillTPU
