// ferrovane-cli merge: the files of FOLDER that match the mask, joined into
// OUTPUT with the separator after each, by the merge run.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Support.h"
#include "components/FileMask.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tools/merge/MergeRun.h"
#include "util/QuillTPU.h"
#include "util/TaskScope.h"

#include <algorithm>
#include <stdexcept>

#include <sys/stat.h>

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

std::optional<std::pair<dev_t, ino_t>> Identity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return std::make_pair(info.st_dev, info.st_ino);
}

// The files the window's file list would show: regular files (or links to
// one), not hidden, matching one of the masks, sorted by name without regard
// to case. Each file once, and never the output itself.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& masks,
                                   const std::string& output) {
    std::vector<QuillFindFile::TFileMask> patterns;
    for (const auto& pattern : QuillFindFile::SplitMaskList(masks)) {
        if (pattern.empty())
            continue;
        try {
            patterns.emplace_back(pattern);
        } catch (const QuillFindFile::EInvalidMask& e) {
            throw UsageError(std::string("--mask: ") + e.what());
        }
    }
    int error = 0;
    const auto entries = Platform::ListFolder(folder, &error);
    if (!entries)
        throw FolderUnreadable("FOLDER \"" + folder +
                               "\" cannot be read: " + Platform::ErrorText(error));
    const auto outputIdentity = Identity(output);
    std::vector<std::string> names;
    for (const auto& entry : *entries) {
        const std::string path = QuillTPU::AddTrailingDelimiter(folder) + entry.name;
        auto attributes = entry.info.attributes;
        if (attributes & (Platform::faHidden | Platform::faSysFile | Platform::faDirectory))
            continue;
        if (attributes & Platform::faSymLink) {
            const auto target = Platform::GetTargetInfo(path);
            if (!target)
                continue;
            attributes = target->attributes;
        }
        if (!(attributes & Platform::faArchive) || (attributes & Platform::faDirectory))
            continue;
        if (outputIdentity && Identity(path) == outputIdentity)
            continue;
        if (std::any_of(patterns.begin(), patterns.end(),
                        [&](const auto& mask) { return mask.Matches(entry.name); }))
            names.push_back(entry.name);
    }
    std::vector<std::pair<std::string, std::string>> keyed;
    for (auto& name : names)
        keyed.emplace_back(QuillTPU::LocaleLowerCase(name), std::move(name));
    std::stable_sort(keyed.begin(), keyed.end());
    names.clear();
    for (auto& [key, name] : keyed)
        names.push_back(std::move(name));
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

} // namespace

int RunMerge(const std::vector<std::string>& args, Context& context) {
    const Arguments arguments(
        {{"--mask", true, "file masks separated by \";\", such as '*.txt' (default *.*)"},
         {"--separator", true, "the text after every file (\\n is a line break)"},
         {"--append", false, ""},
         {"--replace", false, ""}},
        args);
    arguments.OneOf({"--append", "--replace"});
    const auto positionals = arguments.Exactly({"FOLDER", "OUTPUT"});
    CliMergeInputs inputs;
    inputs.folder = positionals[0];
    inputs.output = positionals[1];
    if (!Platform::IsFolder(inputs.folder))
        throw UsageError("FOLDER \"" + inputs.folder + "\" is no folder");
    if (Platform::IsFolder(inputs.output))
        throw UsageError("OUTPUT \"" + inputs.output + "\" is a folder; name a file");
    if (const auto separator = arguments.Value("--separator"))
        inputs.separator = UnescapeText(*separator);
    if (const std::string refusal = DeviceRefusal(inputs.output); !refusal.empty()) {
        context.presenter.ShowMessage(QuillTPU::MessageKind::Error, "", refusal);
        return kExitFailed;
    }
    try {
        inputs.files =
            ListFiles(inputs.folder, arguments.Value("--mask").value_or("*.*"), inputs.output);
    } catch (const FolderUnreadable& e) {
        context.presenter.ShowMessage(QuillTPU::MessageKind::Error, "", e.what());
        return kExitFailed;
    }

    // The run asks whether to merge into an existing output (Yes) or to
    // start it afresh (No). Here No must never empty a file by default.
    if (Platform::IsRegularFile(inputs.output) && !inputs.files.empty()) {
        std::optional<bool> append;
        if (arguments.Has("--append"))
            append = true;
        else if (arguments.Has("--replace"))
            append = false;
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

    Merge::MergeRun run(context.host, inputs);
    // Ctrl+C between two files, or between two pieces of a large one: the
    // output keeps what was written.
    run.SetStopCheck([] { return CancelSignalled(); });
    Merge::RunOutcome outcome;
    try {
        outcome = run.Execute();
    } catch (const StreamWriteError& e) {
        throw StreamWriteError(WithoutFirstLine(e.what()), e.Code());
    } catch (const StreamReadError& e) {
        throw StreamReadError(WithoutFirstLine(e.what()), e.Code());
    }
    if (outcome == Merge::RunOutcome::Stopped) {
        context.host.SetStatus(QuillTPU::kCanceledStatus);
        return kExitCanceled;
    }
    return outcome == Merge::RunOutcome::Done ? kExitDone : kExitFailed;
}

} // namespace Cli
