#pragma once
// Talking to the user (message boxes through the installed presenter, the
// beep) and the desktop's shell.
#include <string>

namespace QuillTPU {

// ---- Talking to the user -------------------------------------------------

void ShowPlainMessage(const std::string& text);
void ShowWarningMessage(const std::string& text);
void ShowErrorMessage(const std::string& text);
// A failure inside a component; shown even for an empty text.
void ShowErrorReport(const std::string& location, const std::string& text);
// 800 Hz for 300 ms; returns when the tone has ended.
void PlayBeep();

// ---- System ----------------------------------------------------------------

// Opens a web address, document or folder through the desktop's shell.
bool OpenDocument(const std::string& target, const std::string& parameters = "");

} // namespace QuillTPU
