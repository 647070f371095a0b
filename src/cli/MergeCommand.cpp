// ferrovane-cli merge: the files of FOLDER that match the mask, joined into
// OUTPUT with the separator after each, by the merge run.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Support.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"
#include "tools/merge/MergeRun.h"
#include "tools/merge/MergeSources.h"
#include "tools/merge/NarrowText.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <stdexcept>

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Cli {

namespace {

// A folder that exists but cannot be listed: a failure, not a wrong usage.
class FolderUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CliMergeInputs final : public Merge::IMergeInputs {
public:
    std::vector<std::string> files;
    std::string folder;
    std::string output;
    std::string separator = Merge::kDefaultSeparator;

    std::vector<std::string> ListedFiles() override { return files; }
    std::string Folder() override { return folder; }
    std::string OutputName() override { return output; }
    std::string SeparatorText() override { return separator; }
};

using LeftOut = Merge::LeftOutEntry;
using Identity = Platform::FileId;

// The merge's sources as the window's file list shows them, less the output
// itself (output: its identity, when it exists), which a merge into its own
// folder would otherwise meet among them. The rest go to leftOut with the
// reason, by name.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& masks,
                                   const std::optional<Identity>& output,
                                   std::vector<LeftOut>& leftOut) {
    Merge::SourceList list = Merge::ListSources(folder, masks);
    if (!list.invalidMasks.empty())
        throw UsageError("--mask: " + list.invalidMasks.front());
    if (list.error != 0)
        throw FolderUnreadable("FOLDER \"" + folder +
                               "\" cannot be read: " + Platform::ErrorText(list.error));
    leftOut = std::move(list.leftOut);
    std::vector<std::string> names;
    const std::string base = QuillTPU::AddTrailingDelimiter(folder);
    for (auto& name : list.names) {
        if (!output || Platform::IdentityOf(base + name) != output)
            names.push_back(std::move(name));
        else if (leftOut.empty() || leftOut.back().name != name)
            leftOut.push_back({name, "the output itself"});
    }
    std::sort(leftOut.begin(), leftOut.end(),
              [](const LeftOut& a, const LeftOut& b) { return a.name < b.name; });
    return names;
}

// The run's failure texts begin with the window's line ("Stream write
// error"); on a terminal the line that names the file and the reason says it all.
std::string WithoutFirstLine(const std::string& text) {
    const auto end = text.find("\r\n");
    return end == std::string::npos ? text : text.substr(end + 2);
}

bool IsCharacterDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

// What an existing output that is no regular file allows: a character
// device (/dev/null, a terminal) is written to, with nothing to empty or
// replace; a FIFO without a reader would block and a block device would be
// overwritten, so those are refused. Empty when the output may be used.
std::string DeviceRefusal(const std::string& output) {
    struct stat info {};
    if (::stat(output.c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))
        return {};
    const char* what = S_ISFIFO(info.st_mode)   ? "a FIFO (a pipe)"
                       : S_ISBLK(info.st_mode)  ? "a block device"
                       : S_ISSOCK(info.st_mode) ? "a socket"
                                                : "no file";
    return "OUTPUT \"" + output + "\" is " + what +
           "; merge into a regular file or a character device";
}

// The separator as the merged file holds it, as the run writes it.
std::string SeparatorBytes(const std::string& typed) {
    return Merge::ToNarrow(Merge::JoinLinesCrLf(typed), Merge::UserCodeset());
}

// Writes all of data to standard output; false when its reader went away
// (the run then stops as after Ctrl+C). Another failure is raised.
bool WriteOut(const char* data, std::size_t count) {
    while (count != 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd out{STDOUT_FILENO, POLLOUT, 0};
            ::poll(&out, 1, -1);
            continue;
        }
        if (n < 0 && errno == EPIPE) {
            NoteOutputLost();
            return false;
        }
        if (n <= 0) {
            const int code = n < 0 ? errno : ENOSPC;
            throw StreamWriteError("Cannot write to standard output. " + Platform::ErrorText(code),
                                   code);
        }
        data += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

enum class Piped { Done, Stopped, Lost };

// One file to standard output, block by block, Ctrl+C seen between blocks;
// bytes counts what went. The file is taken as it is now: only a regular
// file, and never standard output itself (merged into a file of FOLDER).
Piped PipeFile(const std::string& path, const std::optional<Identity>& out, std::int64_t& bytes,
               bool& isOutput) {
    Platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int code = errno;
        throw FileOpenError(Platform::FileErrorText("open", path, code), code);
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw FileOpenError("Cannot open file \"" + path + "\". It is not a regular file.", ENXIO);
    isOutput = out && Platform::IdentityOf(fd.Get()) == out;
    if (isOutput)
        return Piped::Done;
    static char buffer[65536];
    for (;;) {
        if (CancelSignalled())
            return Piped::Stopped;
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int code = errno;
            throw StreamReadError(Platform::FileErrorText("read", path, code), code);
        }
        if (n == 0)
            return Piped::Done;
        if (!WriteOut(buffer, static_cast<std::size_t>(n)))
            return Piped::Lost;
        bytes += n;
    }
}

// What standard output is, when it is a file that could be listed.
std::optional<Identity> StdoutIdentity() {
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Platform::IdentityOf(STDOUT_FILENO);
}

} // namespace

namespace {

// The result for --json.
void PrintJson(std::FILE* out, const std::string& output, const std::vector<std::string>& merged,
               const std::vector<LeftOut>& leftOut, std::int64_t bytes) {
    std::string left = "[";
    for (std::size_t i = 0; i < leftOut.size(); ++i)
        left += std::string(i ? ", " : "") + "{\"name\": " + JsonString(leftOut[i].name) +
                ", \"reason\": " + JsonString(leftOut[i].reason) + "}";
    std::fprintf(out, "{\"output\": %s, \"files\": %s, \"leftOut\": %s], \"bytes\": %lld}\n",
                 JsonString(output).c_str(), JsonStrings(merged).c_str(), left.c_str(),
                 static_cast<long long>(bytes));
}

// "-": the files and separators to standard output, a pipe too.
int MergeToStdout(CliMergeInputs& inputs, Context& context, std::vector<LeftOut>& leftOut) {
    if (inputs.files.empty()) {
        context.presenter.ShowMessage(QuillTPU::MessageKind::Warning, "", Merge::kNoFilesMessage);
        return kExitFailed;
    }
    const std::string separator = SeparatorBytes(inputs.separator);
    const auto out = StdoutIdentity();
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    const std::string total =
        QuillTPU::FormatInteger(static_cast<std::int64_t>(inputs.files.size()));
    std::int64_t bytes = 0;
    for (std::size_t i = 0; i < inputs.files.size(); ++i) {
        if (CancelSignalled())
            return kExitCanceled;
        context.host.SetStatus("File " + QuillTPU::FormatInteger(static_cast<std::int64_t>(i + 1)) +
                               " of " + total);
        context.host.RepaintStatus();
        // The status line must not run into the merged text on the same terminal.
        if (terminal)
            context.host.Finish();
        bool isOutput = false;
        const std::string path = QuillTPU::AddTrailingDelimiter(inputs.folder) + inputs.files[i];
        const Piped piped = PipeFile(path, out, bytes, isOutput);
        if (piped == Piped::Lost)
            return kExitFailed;
        if (piped == Piped::Stopped)
            return kExitCanceled;
        if (isOutput) {
            leftOut.push_back({inputs.files[i], "the output itself"});
            continue;
        }
        if (!WriteOut(separator.data(), separator.size()))
            return kExitFailed;
        bytes += static_cast<std::int64_t>(separator.size());
    }
    return kExitDone;
}

} // namespace

namespace {

// What the command line asks for, checked.
struct MergeRequest {
    CliMergeInputs inputs;
    std::string masks = "*.*";
    bool toStdout = false;
    std::optional<bool> append; // --append (true) or --replace (false)
};

MergeRequest ParseRequest(const std::vector<std::string>& args, const Context& context) {
    const Arguments arguments(
        {{"--mask", true, "file masks separated by \";\", such as '*.txt' (default *.*)"},
         {"--separator", true, "the text after every file (\\n is a line break)"},
         {"--append", false, ""},
         {"--replace", false, ""},
         {"--json", false, ""}},
        args);
    arguments.OneOf({"--append", "--replace"});
    const auto positionals = arguments.Exactly({"FOLDER", "OUTPUT"});
    MergeRequest request;
    request.inputs.folder = positionals[0];
    request.inputs.output = positionals[1];
    request.toStdout = request.inputs.output == "-";
    if (request.toStdout && context.json)
        throw UsageError("--json and OUTPUT - would both write to standard output");
    // A FOLDER that is not there is a failure, as cat's missing file is; a
    // file in its place is a wrong command line.
    if (!Platform::EntryExists(request.inputs.folder))
        throw std::runtime_error("FOLDER \"" + request.inputs.folder + "\" does not exist");
    if (!Platform::IsFolder(request.inputs.folder))
        throw UsageError("FOLDER \"" + request.inputs.folder + "\" is no folder");
    if (!request.toStdout && Platform::IsFolder(request.inputs.output))
        throw UsageError("OUTPUT \"" + request.inputs.output + "\" is a folder; name a file");
    if (const auto separator = arguments.Value("--separator"))
        request.inputs.separator = UnescapeText(*separator);
    if (const auto masks = arguments.Value("--mask"))
        request.masks = *masks;
    if (arguments.Has("--append"))
        request.append = true;
    else if (arguments.Has("--replace"))
        request.append = false;
    return request;
}

// The run asks whether to merge into an existing output (Yes) or to start
// it afresh (No); here No must never empty a file by default. Returns the
// exit status when the merge must not go on.
std::optional<int> SettleExistingOutput(const MergeRequest& request, Context& context) {
    const CliMergeInputs& inputs = request.inputs;
    if (Platform::IsRegularFile(inputs.output) && !inputs.files.empty()) {
        std::optional<bool> append = request.append;
        if (!append) {
            context.presenter.SetAnswerHint("Nothing changed. Give --append or --replace.");
            if (context.presenter.Confirm(Merge::kConfirmCaption, Merge::kConfirmText))
                append = true;
            else if (!CancelSignalled() && context.presenter.Unanswered() == 0 &&
                     context.presenter.Confirm(Merge::kConfirmCaption,
                                               "Replace the output file with the merged files?"))
                append = false;
        }
        if (!append)
            return CancelSignalled() ? kExitCanceled : kExitFailed;
        context.presenter.SetAnswer(*append);
    } else if (IsCharacterDevice(inputs.output)) {
        // A device: the run's question whether to add to it is answered
        // Yes, so it appends instead of trying to empty it.
        context.presenter.SetAnswer(true);
    }
    if (CancelSignalled())
        return kExitCanceled;
    return std::nullopt;
}

// The merge run into OUTPUT, its progress counted as people count.
Merge::RunOutcome MergeToFile(CliMergeInputs& inputs, Context& context) {
    // The window counts its files from 0; a terminal counts them from 1.
    std::int64_t shown = 0;
    const std::string total =
        QuillTPU::FormatInteger(static_cast<std::int64_t>(inputs.files.size()));
    FilteredTaskHost host(context.host, [&](const std::string& text) -> std::optional<std::string> {
        if (text.rfind("File ", 0) != 0)
            return text;
        return "File " + QuillTPU::FormatInteger(++shown) + " of " + total;
    });
    Merge::MergeRun run(host, inputs);
    // Ctrl+C between two files, or between two pieces of a large one: the
    // output keeps what was written.
    run.SetStopCheck([] { return CancelSignalled(); });
    try {
        return run.Execute();
    } catch (const StreamWriteError& e) {
        throw StreamWriteError(WithoutFirstLine(e.what()), e.Code());
    } catch (const StreamReadError& e) {
        throw StreamReadError(WithoutFirstLine(e.what()), e.Code());
    }
}

// --json after a merge into OUTPUT: what it merged, with its size now and
// the separator, and what it left out (a file that became the output
// meanwhile too).
void ReportMerged(const CliMergeInputs& inputs, std::vector<LeftOut>& leftOut, Context& context) {
    const auto outputIdentity = Platform::IdentityOf(inputs.output);
    const auto separatorBytes = static_cast<std::int64_t>(SeparatorBytes(inputs.separator).size());
    std::vector<std::string> merged;
    std::int64_t bytes = 0;
    for (const auto& name : inputs.files) {
        const std::string path = QuillTPU::AddTrailingDelimiter(inputs.folder) + name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            leftOut.push_back({name, "no longer there"});
            continue;
        }
        if (Platform::IdentityOf(path) == outputIdentity) {
            leftOut.push_back({name, "the output itself"});
            continue;
        }
        merged.push_back(name);
        bytes += info.st_size + separatorBytes;
    }
    PrintJson(context.out, inputs.output, merged, leftOut, bytes);
}

} // namespace

int RunMerge(const std::vector<std::string>& args, Context& context) {
    MergeRequest request = ParseRequest(args, context);
    CliMergeInputs& inputs = request.inputs;
    if (const std::string refusal = request.toStdout ? std::string() : DeviceRefusal(inputs.output);
        !refusal.empty()) {
        context.presenter.ShowMessage(QuillTPU::MessageKind::Error, "", refusal);
        return kExitFailed;
    }
    std::vector<LeftOut> leftOut;
    try {
        const auto outputIdentity =
            request.toStdout ? StdoutIdentity() : Platform::IdentityOf(inputs.output);
        inputs.files = ListFiles(inputs.folder, request.masks, outputIdentity, leftOut);
    } catch (const FolderUnreadable& e) {
        context.presenter.ShowMessage(QuillTPU::MessageKind::Error, "", e.what());
        return kExitFailed;
    }
    if (request.toStdout)
        return MergeToStdout(inputs, context, leftOut);
    if (const auto status = SettleExistingOutput(request, context))
        return *status;
    const Merge::RunOutcome outcome = MergeToFile(inputs, context);
    if (outcome == Merge::RunOutcome::Canceled)
        context.host.SetStatus(QuillTPU::kCanceledStatus);
    if (outcome != Merge::RunOutcome::Done)
        return ExitStatusOf(outcome);
    if (context.json)
        ReportMerged(inputs, leftOut, context);
    return kExitDone;
}

} // namespace Cli
