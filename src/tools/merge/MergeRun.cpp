#include "tools/merge/MergeRun.h"

#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tools/merge/FileAppend.h"
#include "tools/merge/NarrowText.h"
#include "util/QuillTPU.h"

namespace Merge {

namespace {

// The window does not breathe during a merge; the status line alone is
// painted, at most this often, so thousands of small files are not slowed
// down by painting.
constexpr std::uint32_t kPaintIntervalMs = 50;

// An existing file, or a link to one; a folder of that name is no file.
bool FileExists(const std::string& name) {
    if (name.empty())
        return false;
    const auto info = Platform::GetTargetInfo(name);
    return info && !(info->attributes & Platform::faDirectory);
}

// The listed name that leads to the output itself (under its own name, a
// link or a hard link), or empty.
std::string ListedOutput(const std::vector<std::string>& files, const std::string& folder,
                         const std::string& output) {
    const auto outputId = Platform::IdentityOf(output);
    if (!outputId)
        return {};
    const std::string base = QuillTPU::AddTrailingDelimiter(folder);
    for (const std::string& name : files)
        if (Platform::IdentityOf(base + name) == outputId)
            return name;
    return {};
}

} // namespace

MergeRun::MergeRun(QuillTPU::ITaskHost& host, IMergeInputs& inputs)
    : FHost(host), FInputs(inputs), FTickCount(&Platform::TickCount) {}

RunOutcome MergeRun::Execute() {
    if (FInputs.ListedFiles().empty()) {
        QuillTPU::ShowWarningMessage(kNoFilesMessage);
        return RunOutcome::Declined;
    }
    if (FCodeset.empty())
        FCodeset = UserCodeset();

    const std::string output = FInputs.OutputName();
    if (!FileExists(output)) {
        // A new output that cannot be made says why at once ("Permission
        // denied"); the first append would only find it missing.
        try {
            Platform::File::Create(output).Close();
        } catch (const StreamWriteError& e) {
            // The close is the new file's first flush: say which file failed.
            throw StreamWriteError("Stream write error\r\n" +
                                       Platform::FileErrorText("write", output, e.Code()),
                                   e.Code());
        }
    } else if (!QuillTPU::MessagePresenter().ConfirmUnlessNo(kConfirmCaption, kConfirmText)) {
        // Only an explicit No empties an existing output; Enter, Escape and
        // a closed box keep what it holds. A failure to empty it shows at
        // the first append, which cannot open it either.
        const std::string listed = ListedOutput(FInputs.ListedFiles(), FInputs.Folder(), output);
        if (!listed.empty()) {
            // Emptying it would erase a file the user asked to merge. The
            // name is shown as it is, never run through the CRLF token.
            QuillTPU::MessagePresenter().ShowMessage(
                QuillTPU::MessageKind::Warning, "Warning",
                "The output file is one of the files to merge:\r\n" + output +
                    "\r\nIt was not emptied, and nothing was merged.");
            return RunOutcome::Declined;
        }
        QuillTPU::StringToFile(output, std::string(), true);
    }

    const std::vector<std::string> files = FInputs.ListedFiles();
    const auto count = static_cast<std::int64_t>(files.size());
    std::vector<std::string> leftOut;
    MergeOutput merged;
    merged.SetStopCheck(FStop);
    for (std::int64_t i = 0; i < count; ++i) {
        if (FStop && FStop())
            return RunOutcome::Canceled;
        const bool lookUp = ShowProgress(i, count - 1);
        const std::string& name = files[static_cast<std::size_t>(i)];
        const std::string source = QuillTPU::AddTrailingDelimiter(FInputs.Folder()) + name;
        const AppendResult result = merged.AppendFile(source, FInputs.OutputName(), lookUp);
        if (result == AppendResult::Stopped)
            return RunOutcome::Canceled;
        if (result == AppendResult::IsOutput) {
            leftOut.push_back(name); // neither it nor a separator
            continue;
        }
        // A separator that cannot be written ends the run like the content
        // would: skipping it quietly would leave a merge that looks whole.
        const std::string& separator = SeparatorBytes();
        if (!separator.empty())
            merged.AppendBytes(FInputs.OutputName(), separator);
    }
    merged.Close();
    ShowLeftOut(leftOut);
    return RunOutcome::Done;
}

bool MergeRun::ShowProgress(std::int64_t index, std::int64_t last) {
    FHost.SetStatus("File " + QuillTPU::FormatInteger(index) + " of " +
                    QuillTPU::FormatInteger(last));
    const std::uint32_t now = FTickCount();
    // Unsigned difference: a wrap of the tick counter is absorbed.
    if (FPainted && now - FLastPaint < kPaintIntervalMs)
        return false;
    FHost.RepaintStatus();
    FPainted = true;
    FLastPaint = now;
    // The output's name is looked up again as often as the status line is
    // painted: another program's doings are seen within that time, and a
    // run of small files does not pay a look-up for each.
    return true;
}

void MergeRun::ShowLeftOut(const std::vector<std::string>& names) {
    if (names.empty())
        return;
    std::string text = "Not merged, being the output file:";
    for (const std::string& name : names)
        text += " \"" + name + "\"";
    FHost.SetStatus(text);
    FHost.RepaintStatus();
}

const std::string& MergeRun::SeparatorBytes() {
    std::string typed = FInputs.SeparatorText();
    if (!FSeparatorReady || typed != FSeparatorTyped) {
        FSeparatorBytes = ToNarrow(JoinLinesCrLf(typed), FCodeset);
        FSeparatorTyped = std::move(typed);
        FSeparatorReady = true;
    }
    return FSeparatorBytes;
}

} // namespace Merge
