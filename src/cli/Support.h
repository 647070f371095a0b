#pragma once
// Small helpers of the command line that the lower layers do not offer.
#include "platform/DriveTable.h"
#include "util/Utf8.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Cli {

// UTF-8 to UTF-16; nullopt for bytes that are no UTF-8.
using QuillTPU::Utf8ToUtf16;
// Every line break (LF, or CR LF) as CR LF, the way the window's text boxes
// hand their lines to the tools.
std::string WithCrLf(const std::string& text);
// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);
// A JSON array of string literals.
std::string JsonStrings(const std::vector<std::string>& texts);
// A JSON number with the given decimals, '.' whatever the locale says.
std::string JsonReal(double value, int decimals);
// Whether "--json" stands among the options of a command line (before
// "--"): a usage error is then reported as JSON too.
bool JsonAsked(const std::vector<std::string>& args);
// The failure object a script gets with --json: the error's text and the
// exit status.
std::string JsonFailure(const std::string& error, int status);
// Control characters (a line break in a mount point, say) written as the
// JSON output writes them, \n or \u001b, so one entry stays on one line
// and cannot steer the terminal.
std::string EscapeControls(const std::string& text);
// Bytes available to the caller on the volume that holds path, or would
// hold it once created (the nearest existing folder above it counts);
// nullopt when the volume does not answer.
std::optional<std::int64_t> FreeBytesFor(const std::string& path);

// a * b, or the largest int64 when that does not fit.
std::int64_t SaturatingProduct(std::int64_t a, std::int64_t b);

} // namespace Cli
