#include "tools/merge/MergeRun.h"

#include "platform/Clock.h"
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

} // namespace

MergeRun::MergeRun(QuillTPU::ITaskHost& host, IMergeInputs& inputs)
    : FHost(host), FInputs(inputs), FTickCount(&Platform::TickCount) {}

RunOutcome MergeRun::Execute() {
    if (FInputs.ListedFiles().empty()) {
        QuillTPU::ShowWarningMessage(kNoFilesMessage);
        return RunOutcome::NoFiles;
    }
    if (FCodeset.empty())
        FCodeset = UserCodeset();

    const std::string output = FInputs.OutputName();
    if (!FileExists(output)) {
        // A new output that cannot be made says why at once ("Permission
        // denied"); the first append would only find it missing.
        Platform::File::Create(output).Close();
    } else if (!QuillTPU::MessagePresenter().ConfirmUnlessNo(kConfirmCaption, kConfirmText)) {
        // Only an explicit No empties an existing output; Enter, Escape and
        // a closed box keep what it holds. A failure to empty it shows at
        // the first append, which cannot open it either.
        QuillTPU::StringToFile(output, std::string(), true);
    }

    const std::vector<std::string> files = FInputs.ListedFiles();
    const auto count = static_cast<std::int64_t>(files.size());
    MergeOutput merged;
    for (std::int64_t i = 0; i < count; ++i) {
        ShowProgress(i, count - 1);
        const std::string source =
            QuillTPU::AddTrailingDelimiter(FInputs.Folder()) + files[static_cast<std::size_t>(i)];
        if (!merged.AppendFile(source, FInputs.OutputName()))
            continue; // the output itself: neither it nor a separator
        // A separator that cannot be written ends the run like the content
        // would: skipping it quietly would leave a merge that looks whole.
        const std::string& separator = SeparatorBytes();
        if (!separator.empty())
            merged.AppendBytes(FInputs.OutputName(), separator);
    }
    merged.Close();
    return RunOutcome::Done;
}

void MergeRun::ShowProgress(std::int64_t index, std::int64_t last) {
    FHost.SetStatus("File " + QuillTPU::FormatInteger(index) + " of " +
                    QuillTPU::FormatInteger(last));
    const std::uint32_t now = FTickCount();
    // Unsigned difference: a wrap of the tick counter is absorbed.
    if (!FPainted || now - FLastPaint >= kPaintIntervalMs) {
        FHost.RepaintStatus();
        FPainted = true;
        FLastPaint = now;
    }
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
