#include "GeneratorRun.h"

#include "BlockFill.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "util/QuillTPU.h"

#include <algorithm>
#include <cerrno>

namespace Generator {

namespace {

// Blocks are produced and handed to the system in pieces of this size, so
// the bytes are still in the core's cache when the system copies them.
constexpr std::size_t kChunkBytes = 128 * 1024;
constexpr std::int64_t kMegabyte = 1048576;
constexpr std::size_t kUniqueTailBytes = 1024;
// Random names are redrawn while the name exists; past this many draws the
// folder is hopelessly full of them and the run reports the clash.
constexpr int kMaxNameDraws = 10000;

// Returns 0 when all count bytes went to the file, else the errno.
int WriteAll(Platform::File& file, const std::uint8_t* data, std::size_t count) {
    int error = 0;
    file.WriteSome(data, count, &error);
    return error;
}

std::string FileErrorText(const char* action, const std::string& name, int code) {
    return std::string("Cannot ") + action + " file \"" + name + "\". " + Platform::ErrorText(code);
}

} // namespace

GeneratorRun::GeneratorRun(QuillTPU::ITaskHost& host, IGeneratorInputs& inputs)
    : FHost(host), FInputs(inputs), FTickCount(&Platform::TickCount), FBeep(&QuillTPU::PlayBeep) {}

GeneratorRun::~GeneratorRun() = default;

RunOutcome GeneratorRun::Execute() {
    FHost.BeginTask();
    FBusy = true;
    // An error that escapes (an assertion, say) must not leave Cancel shown.
    struct EndOnThrow {
        GeneratorRun& run;
        ~EndOnThrow() {
            if (run.FBusy)
                run.EndTask();
        }
    } guard{*this};
    FHost.RepaintNow();

    const std::int64_t size = std::max<std::int64_t>(FInputs.FileSize(), 0);
    // Text mode is anything but random content, also when neither choice is
    // marked; it needs at least one character.
    if (!FInputs.RandomContent() && FInputs.FillText().empty()) {
        QuillTPU::ShowPlainMessage(kEmptyTextMessage);
        EndTask();
        return RunOutcome::Stopped;
    }
    if (QuillTPU::EnsureFolder(FInputs.OutputFolder()) == -1) {
        EndTask(); // EnsureFolder has told the user why
        return RunOutcome::Stopped;
    }

    FHost.ClearCancel();
    FHost.SetStatus(kCreatingStatus);
    const std::uint32_t start = FTickCount();
    const std::int64_t count = FInputs.NumberOfFiles();
    for (std::int64_t counter = 1; counter <= count; ++counter) {
        const RunOutcome outcome = WriteFile(counter, size);
        if (outcome != RunOutcome::Done)
            return outcome;
        // Unsigned difference: a wrap of the tick counter is absorbed.
        const std::uint32_t elapsed = FTickCount() - start;
        FHost.SetStatus("Done in " + QuillTPU::FormatReal(elapsed / 1000.0L, 1) + " sec");
        FHost.RepaintNow();
    }
    EndTask();
    FBeep();
    return RunOutcome::Done;
}

RunOutcome GeneratorRun::WriteFile(std::int64_t counter, std::int64_t size) {
    const std::string typed = FInputs.OutputFolder();
    // Cleared while the run was going: the name would land in whatever
    // folder the program runs in. EnsureFolder says why it stops.
    if (typed.empty()) {
        QuillTPU::EnsureFolder(typed);
        FHost.SetStatus(kFailedStatus);
        EndTask();
        return RunOutcome::Failed;
    }
    const std::string folder = QuillTPU::AddTrailingDelimiter(typed);
    const bool randomName = FInputs.RandomName();
    auto makeName = [&] {
        if (randomName)
            return folder + "Stackwell " + std::to_string(counter) +
                   std::to_string(QuillTPU::Random(100000000)) + ".bin";
        return folder + FInputs.PatternName() + std::to_string(counter) + "." +
               FInputs.PatternExtension();
    };
    std::string name = makeName();
    FHost.PumpMessages();

    const bool randomContent = FInputs.RandomContent();
    std::u16string text;
    if (!randomContent) {
        text = FInputs.FillText();
        if (text.empty()) { // emptied while the run was going
            QuillTPU::ShowPlainMessage(kEmptyTextMessage);
            FHost.SetStatus(kFailedStatus);
            EndTask();
            return RunOutcome::Failed;
        }
    }

    // A random name never replaces a file: an existing one, or one written
    // earlier in this run under the same digits, makes us draw again. A
    // pattern name replaces its namesake, as the user asked for.
    Platform::File file;
    for (int draw = 1;; ++draw) {
        try {
            file = Platform::File::Create(name, randomName);
            break;
        } catch (const FileCreateError& e) {
            if (!randomName || e.Code() != EEXIST || draw >= kMaxNameDraws)
                return Fail(e.what());
            name = makeName();
        }
    }

    // The fill modes repeat one pattern; it is laid out once per file, in a
    // length that is whole copies of the text, so pieces of it join without
    // a seam. Every block starts at the text's first character.
    std::int64_t textBlock = 0;
    std::size_t patternLength = 0;
    std::uint8_t* pattern = nullptr;
    if (!randomContent) {
        const std::size_t textLength = text.size();
        if (textLength == 1) {
            patternLength = kChunkBytes;
        } else {
            const std::int64_t bufferBytes = BufferBytes();
            const auto t = static_cast<std::int64_t>(textLength);
            // A text longer than the buffer still goes whole into each block.
            textBlock = bufferBytes >= t ? t * (bufferBytes / t) : t;
            patternLength = textLength * std::max<std::size_t>(1, kChunkBytes / textLength);
        }
        // Blocks are never longer than the file: a pattern as long as the
        // file covers any of them in one piece.
        patternLength = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(patternLength), size));
        pattern = Buffer(patternLength);
        FillRepeated(pattern, patternLength, text);
    }

    std::int64_t written = 0;
    do {
        std::int64_t length = !randomContent && text.size() > 1 ? std::min(textBlock, size)
                                                                : std::min(BufferBytes(), size);
        if (written + length > size)
            length = size - written;
        written += length;

        auto remaining = static_cast<std::size_t>(length);
        while (remaining != 0) {
            std::size_t piece;
            const std::uint8_t* data;
            if (randomContent) {
                piece = std::min(remaining, kChunkBytes);
                std::uint8_t* buffer = Buffer(piece);
                QuillTPU::FillRandom255(buffer, piece);
                data = buffer;
            } else {
                piece = std::min(remaining, patternLength);
                data = pattern;
            }
            if (const int error = WriteAll(file, data, piece))
                return Fail(FileErrorText("write", name, error));
            remaining -= piece;
        }

        FHost.PumpMessages();
        if (FHost.CancelRequested()) {
            try {
                file.Close();
            } catch (const SystemError& e) {
                return Fail(FileErrorText("close", name, e.Code()));
            }
            EndTask();
            FHost.SetStatus(kCanceledStatus);
            return RunOutcome::Canceled;
        }
        ShowProgress(written, size);
    } while (written < size);

    if (FInputs.MakeUnique()) {
        std::uint8_t* tail = Buffer(kUniqueTailBytes);
        QuillTPU::FillRandom255(tail, kUniqueTailBytes);
        if (const int error = WriteAll(file, tail, kUniqueTailBytes))
            return Fail(FileErrorText("write", name, error));
    }
    try {
        file.Close();
    } catch (const SystemError& e) {
        return Fail(FileErrorText("close", name, e.Code()));
    }
    return RunOutcome::Done;
}

std::int64_t GeneratorRun::BufferBytes() {
    // The spin box keeps the value at 1 KB or more; a block of 0 bytes
    // would never finish a file.
    return std::max<std::int64_t>(FInputs.BufferSizeKB(), 1) * 1024;
}

void GeneratorRun::ShowProgress(std::int64_t written, std::int64_t size) {
    std::string text = QuillTPU::FormatInteger(written / kMegabyte) + " of " +
                       QuillTPU::FormatInteger(size / kMegabyte);
    if (FInputs.BufferSizeKB() <= 1024)
        text += kProgressHint;
    FHost.SetStatus(text);
}

RunOutcome GeneratorRun::Fail(const std::string& message) {
    QuillTPU::ShowErrorMessage(message);
    FHost.SetStatus(kFailedStatus);
    EndTask();
    return RunOutcome::Failed;
}

void GeneratorRun::EndTask() {
    FBusy = false;
    FHost.EndTask();
}

std::uint8_t* GeneratorRun::Buffer(std::size_t length) {
    if (length > FCapacity) {
        FBuffer.reset(); // give the old one back first: one buffer at a time
        FBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(length);
        FCapacity = length;
    }
    if (!FBuffer) {
        FBuffer = std::make_unique_for_overwrite<std::uint8_t[]>(1);
        FCapacity = 1;
    }
    return FBuffer.get();
}

} // namespace Generator
