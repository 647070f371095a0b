#include "GeneratorRun.h"

#include "BlockFill.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/File.h"
#include "util/QuillTPU.h"

#include "platform/VolumeQuery.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Generator {

namespace {

// Blocks are produced and handed to the system in pieces of this size, so
// the bytes are still in the core's cache when the system copies them.
constexpr std::size_t kChunkBytes = 128 * 1024;
constexpr std::int64_t kMegabyte = 1048576;
constexpr std::size_t kUniqueTailBytes = kUniqueTail;
// Random names are redrawn while the name exists; past this many draws the
// folder is hopelessly full of them and the run reports the clash.
constexpr int kMaxNameDraws = 10000;
// How often a block being written lets the window paint.
constexpr std::uint32_t kPaintIntervalMs = 100;

// Returns 0 when all count bytes went to the file, else the errno.
int WriteAll(Platform::File& file, const std::uint8_t* data, std::size_t count) {
    int error = 0;
    file.WriteSome(data, count, &error);
    return error;
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

GeneratorRun::GeneratorRun(QuillTPU::ITaskHost& host, IGeneratorInputs& inputs)
    : FHost(host), FInputs(inputs), FTickCount(&Platform::TickCount), FBeep(&QuillTPU::PlayBeep) {}

GeneratorRun::~GeneratorRun() = default;

RunOutcome GeneratorRun::Execute() {
    // Every way out, an escaping error too, ends the task.
    QuillTPU::TaskScope task(FHost);
    FTask = &task;
    // Cleared before anything is asked: a stop requested while a question
    // is open (a stop signal, the window closed) must outlive the answer.
    FHost.ClearCancel();
    FHost.RepaintNow();

    const std::int64_t size = std::max<std::int64_t>(FInputs.FileSize(), 0);
    // Text mode is anything but random content, also when neither choice is
    // marked; it needs at least one character.
    if (!FInputs.RandomContent() && FInputs.FillText().empty()) {
        QuillTPU::ShowPlainMessage(kEmptyTextMessage);
        return RunOutcome::Declined;
    }
    if (!FInputs.RandomName() && !PatternStaysInFolder())
        return RunOutcome::Declined;
    if (QuillTPU::EnsureFolder(FInputs.OutputFolder()) == -1)
        return RunOutcome::Declined; // EnsureFolder has told the user why
    const std::int64_t count = FInputs.NumberOfFiles();
    if (!RoomOrConsent(size, count))
        return RunOutcome::Declined;
    if (FHost.CancelRequested()) {
        task.End();
        FHost.SetStatus(kCanceledStatus);
        return RunOutcome::Canceled;
    }

    FHost.SetStatus(kCreatingStatus);
    const std::uint32_t start = FTickCount();
    FLastPaint = start;
    for (std::int64_t counter = 1; counter <= count; ++counter) {
        const RunOutcome outcome = WriteFile(counter, size);
        if (outcome != RunOutcome::Done)
            return outcome;
        // Unsigned difference: a wrap of the tick counter is absorbed.
        const std::uint32_t elapsed = FTickCount() - start;
        FHost.SetStatus("Done in " + QuillTPU::FormatReal(elapsed / 1000.0L, 1) + " sec");
        // Only the status line: a whole window per file is what made many
        // small files slow.
        FHost.RepaintStatus();
    }
    task.End();
    FBeep();
    return RunOutcome::Done;
}

RunOutcome GeneratorRun::WriteFile(std::int64_t counter, std::int64_t size) {
    std::string folder;
    std::u16string text;
    if (const RunOutcome checked = CheckFileInputs(folder, text); checked != RunOutcome::Done)
        return checked;
    const bool randomName = FInputs.RandomName();
    std::string name = FileName(folder, counter, randomName);
    FHost.PumpMessages();

    Platform::File file;
    if (const RunOutcome created = CreateFile(folder, counter, randomName, name, file);
        created != RunOutcome::Done)
        return created;
    if (!text.empty())
        PreparePattern(text, size);
    if (const RunOutcome written = WriteBlocks(file, name, size, text); written != RunOutcome::Done)
        return written;
    const RunOutcome finished = FinishFile(file, name);
    if (finished == RunOutcome::Done && FFileWritten)
        FFileWritten(name.substr(folder.size()));
    return finished;
}

// The inputs a file needs that the user may have emptied while the run was
// going. folder gets its trailing delimiter; text stays empty in random mode.
RunOutcome GeneratorRun::CheckFileInputs(std::string& folder, std::u16string& text) {
    const std::string typed = FInputs.OutputFolder();
    // Cleared: the name would land in whatever folder the program runs in.
    // EnsureFolder says why it stops.
    if (typed.empty()) {
        QuillTPU::EnsureFolder(typed);
        return Fail("");
    }
    folder = QuillTPU::AddTrailingDelimiter(typed);
    // The window lets the name be edited while the run goes on.
    if (!FInputs.RandomName() && !PatternStaysInFolder())
        return Fail("");
    if (!FInputs.RandomContent()) {
        text = FInputs.FillText();
        if (text.empty()) {
            QuillTPU::ShowPlainMessage(kEmptyTextMessage);
            return Fail("");
        }
    }
    return RunOutcome::Done;
}

// A run that would fill its volume (a system disk, say) asks first; an
// unknown free space does not stop anyone.
bool GeneratorRun::RoomOrConsent(std::int64_t size, std::int64_t count) {
    const std::int64_t perFile =
        size + (FInputs.MakeUnique() ? static_cast<std::int64_t>(kUniqueTailBytes) : 0);
    std::int64_t total = 0;
    const bool fits = !__builtin_mul_overflow(perFile, std::max<std::int64_t>(count, 0), &total);
    const auto volume = Platform::QueryVolumeBlocks(FInputs.OutputFolder());
    if (!volume)
        return true;
    std::int64_t free = 0;
    if (__builtin_mul_overflow(volume->blocksAvailable, volume->blockSize, &free))
        return true;
    if (fits && total <= free)
        return true;
    return QuillTPU::MessagePresenter().Confirm(
        "Confirm", "The files need " + (fits ? QuillTPU::FormatSize(total) : "more than 8 EB") +
                       ", but only " + QuillTPU::FormatSize(free) +
                       " is free on this drive.\r\nCreate them anyway?");
}

// A "/" in the name or extension would write into another folder ("../x"
// leaves the output folder); a NUL would cut the name short.
bool GeneratorRun::PatternStaysInFolder() {
    const std::pair<const char*, std::string> fields[] = {
        {"file name", FInputs.PatternName()}, {"extension", FInputs.PatternExtension()}};
    for (const auto& [field, text] : fields) {
        for (const char c : {'/', '\0'}) {
            if (text.find(c) == std::string::npos)
                continue;
            const std::string character = c == '/' ? "\"/\"" : "a NUL character";
            QuillTPU::ShowPlainMessage(std::string("The ") + field + " cannot contain " +
                                       character + ".");
            return false;
        }
    }
    return true;
}

std::string GeneratorRun::FileName(const std::string& folder, std::int64_t counter,
                                   bool randomName) {
    if (randomName)
        return folder + "Stackwell " + std::to_string(counter) +
               std::to_string(QuillTPU::Random(100000000)) + ".bin";
    return folder + FInputs.PatternName() + std::to_string(counter) + "." +
           FInputs.PatternExtension();
}

// A random name never replaces a file: an existing one, or one written
// earlier in this run under the same digits, makes us draw again. A pattern
// name replaces its namesake, as the user asked for.
RunOutcome GeneratorRun::CreateFile(const std::string& folder, std::int64_t counter,
                                    bool randomName, std::string& name, Platform::File& file) {
    for (int draw = 1;; ++draw) {
        try {
            // Never through a symbolic link: the file it leads to is not
            // the one the user named.
            file = Platform::File::Create(name, randomName, O_NOFOLLOW);
            return RunOutcome::Done;
        } catch (const FileCreateError& e) {
            // A pattern name replaces its namesake; when that is a link,
            // the link goes (as a link) and a new file takes its name.
            if (!randomName && e.Code() == ELOOP && draw == 1 && IsSymbolicLink(name) &&
                ::unlink(name.c_str()) == 0)
                continue;
            if (!randomName || e.Code() != EEXIST || draw >= kMaxNameDraws)
                return FileFailure("create", name, e.Code());
            name = FileName(folder, counter, randomName);
        }
    }
}

// The fill modes repeat one pattern; it is laid out once per file, in a
// length that is whole copies of the text, so pieces of it join without a
// seam. Every block starts at the text's first character.
void GeneratorRun::PreparePattern(const std::u16string& text, std::int64_t size) {
    const std::size_t textLength = text.size();
    FTextBlock = 0;
    if (textLength == 1) {
        FPatternLength = kChunkBytes;
    } else {
        const std::int64_t bufferBytes = BufferBytes();
        const auto t = static_cast<std::int64_t>(textLength);
        // A text longer than the buffer still goes whole into each block.
        FTextBlock = bufferBytes >= t ? t * (bufferBytes / t) : t;
        FPatternLength = textLength * std::max<std::size_t>(1, kChunkBytes / textLength);
    }
    // Blocks are never longer than the file: a pattern as long as the file
    // covers any of them in one piece.
    FPatternLength = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(FPatternLength), size));
    FPattern = Buffer(FPatternLength);
    FillRepeated(FPattern, FPatternLength, text);
}

// The content, block by block, with the Cancel test and the progress line
// after each block.
RunOutcome GeneratorRun::WriteBlocks(Platform::File& file, const std::string& name,
                                     std::int64_t size, const std::u16string& text) {
    const bool randomContent = text.empty();
    std::int64_t written = 0;
    do {
        std::int64_t length =
            text.size() > 1 ? std::min(FTextBlock, size) : std::min(BufferBytes(), size);
        if (written + length > size)
            length = size - written;
        written += length;
        if (const RunOutcome out =
                WriteBytes(file, name, static_cast<std::size_t>(length), randomContent);
            out != RunOutcome::Done)
            return out;

        FHost.PumpMessages();
        if (FHost.CancelRequested()) {
            try {
                file.Close();
            } catch (const SystemError& e) {
                return FileFailure("close", name, e.Code());
            }
            FTask->End();
            FHost.SetStatus(kCanceledStatus);
            return RunOutcome::Canceled;
        }
        ShowProgress(written, size);
    } while (written < size);
    return RunOutcome::Done;
}

// One block, handed to the system in pieces that are still in the core's
// cache: fresh random bytes, or the prepared pattern.
RunOutcome GeneratorRun::WriteBytes(Platform::File& file, const std::string& name,
                                    std::size_t length, bool randomContent) {
    while (length != 0) {
        std::size_t piece;
        const std::uint8_t* data;
        if (randomContent) {
            piece = std::min(length, kChunkBytes);
            std::uint8_t* buffer = Buffer(piece);
            QuillTPU::FillRandom255(buffer, piece);
            data = buffer;
        } else {
            piece = std::min(length, FPatternLength);
            data = FPattern;
        }
        if (const int error = WriteAll(file, data, piece))
            return FileFailure("write", name, error);
        length -= piece;
        // A large block on a slow volume takes seconds: the window keeps
        // painting and answering screen readers meanwhile.
        if (FTickCount() - FLastPaint >= kPaintIntervalMs) {
            FHost.PumpPaint();
            FLastPaint = FTickCount();
        }
    }
    return RunOutcome::Done;
}

// The optional unique tail, then the close.
RunOutcome GeneratorRun::FinishFile(Platform::File& file, const std::string& name) {
    if (FInputs.MakeUnique()) {
        std::uint8_t* tail = Buffer(kUniqueTailBytes);
        QuillTPU::FillRandom255(tail, kUniqueTailBytes);
        if (const int error = WriteAll(file, tail, kUniqueTailBytes))
            return FileFailure("write", name, error);
    }
    try {
        file.Close();
    } catch (const SystemError& e) {
        return FileFailure("close", name, e.Code());
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
    QuillTPU::ShowErrorMessage(message); // nothing for an empty text
    FHost.SetStatus(kFailedStatus);
    FTask->End();
    return RunOutcome::Failed;
}

RunOutcome GeneratorRun::FileFailure(const char* action, const std::string& name, int code) {
    return Fail(Platform::FileErrorText(action, name, code));
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
