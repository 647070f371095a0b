// ferrovane-cli generate: the generator run with its inputs from the command
// line, under the terminal's task host.
#include "cli/Arguments.h"
#include "cli/Command.h"
#include "cli/Support.h"
#include "cli/ToolBounds.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"
#include "tools/generator/GeneratorRun.h"
#include "util/QuillTPU.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Cli {

namespace {

class CliGeneratorInputs final : public Generator::IGeneratorInputs {
public:
    // The window's defaults, as a first start shows them.
    std::int64_t size = Generator::kSizeNumber.defaultValue *
                        static_cast<std::int64_t>(Generator::kDefaultSizeUnit);
    std::int32_t count = Generator::kNumberOfFiles.defaultValue;
    std::string folder;
    bool randomName = Generator::kDefaultRandomName;
    std::string name = Generator::kDefaultPatternName;
    std::string extension = Generator::kDefaultPatternExtension;
    bool randomContent = Generator::kDefaultRandomContent;
    std::u16string text;
    std::int32_t bufferKB = Generator::kBufferSizeKB.defaultValue;
    bool unique = false;

    std::int64_t FileSize() override { return size; }
    std::int32_t NumberOfFiles() override { return count; }
    std::string OutputFolder() override { return folder; }
    bool RandomName() override { return randomName; }
    std::string PatternName() override { return name; }
    std::string PatternExtension() override { return extension; }
    bool RandomContent() override { return randomContent; }
    std::u16string FillText() override { return text; }
    std::int32_t BufferSizeKB() override { return bufferKB; }
    bool MakeUnique() override { return unique; }
};

std::u16string FillText(const std::string& option, const std::string& utf8) {
    const auto text = Utf8ToUtf16(WithCrLf(utf8));
    if (!text)
        throw UsageError(option + ": the text is not valid UTF-8");
    if (text->empty())
        throw UsageError(option + ": the text needs at least one character");
    if (text->size() > kFillTextLimit)
        throw UsageError(option + ": the text has " + std::to_string(text->size()) +
                         " characters (a line break counts two); at most " +
                         std::to_string(kFillTextLimit) + " are allowed");
    return *text;
}

// No valid text of more bytes fits the limit: a UTF-8 character of n bytes
// is at least n / 3 UTF-16 units.
constexpr std::size_t kFillTextMaxBytes = kFillTextLimit * 3;

// The fill text of a regular file. Without blocking: a FIFO or a terminal
// would wait for input the user may never give, and a device like
// /dev/zero never ends. Reads one byte past what the limit can need, so a
// huge file is never held in memory.
std::string ReadTextFile(const std::string& path) {
    Platform::UniqueFd file;
    do
        file = Platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    while (!file && errno == EINTR);
    // A file that is not there or cannot be read is a failure, as with
    // cat; what it holds is the user's choice, a usage matter.
    if (!file)
        throw std::runtime_error("--text-file: cannot read \"" + path +
                                 "\": " + Platform::ErrorText(errno));
    const int fd = file.Get();
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw std::runtime_error("--text-file: cannot read \"" + path +
                                 "\": " + Platform::ErrorText(errno));
    if (S_ISDIR(info.st_mode))
        throw UsageError("--text-file: \"" + path + "\" is a folder; name a text file");
    if (!S_ISREG(info.st_mode))
        throw UsageError("--text-file: \"" + path +
                         "\" is no regular file (a pipe, terminal or device); name a text file");
    std::string content(kFillTextMaxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw std::runtime_error("--text-file: cannot read \"" + path +
                                     "\": " + Platform::ErrorText(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > kFillTextMaxBytes)
        throw UsageError("--text-file: the text has more than " + std::to_string(kFillTextLimit) +
                         " characters; at most " + std::to_string(kFillTextLimit) + " are allowed");
    content.resize(got);
    return content;
}

// The folder against the current folder: the folders above a relative
// name are made from an anchored path.
std::string AbsoluteFolder(const std::string& folder) {
    if (folder.front() == '/')
        return folder;
    std::error_code error;
    const auto absolute = std::filesystem::absolute(folder, error);
    if (error)
        throw std::runtime_error("FOLDER \"" + folder +
                                 "\": the current folder is unknown: " + error.message());
    return absolute.string();
}

// The size line's figures: one file (with its unique tail) times the count.
std::int64_t TotalBytes(const CliGeneratorInputs& inputs) {
    const std::int64_t perFile = inputs.size + (inputs.unique ? Generator::kUniqueTail : 0);
    return SaturatingProduct(perFile, inputs.count);
}

std::vector<OptionRule> GenerateRules() {
    using namespace Generator;
    return {
        {"--count", true,
         Fill("a whole number from {} to {}",
              {std::to_string(kNumberOfFiles.minimum), std::to_string(kNumberOfFiles.maximum)})},
        {"--size", true, kSizeForms},
        {"--random-names", false, ""},
        {"--name", true, "the name before the running number (may be empty)"},
        {"--ext", true, "the extension after the running number (may be empty)"},
        {"--random", false, ""},
        {"--text", true, "the fill text (\\n is a line break)"},
        {"--text-file", true, "a file whose UTF-8 text fills the files"},
        {"--unique", false, ""},
        {"--buffer", true,
         Fill("{} to {} in whole KB (for example {})",
              {WholeSize(kBufferSizeKB.minimum * 1024LL), WholeSize(kBufferSizeKB.maximum * 1024LL),
               WholeSize(kBufferSizeKB.defaultValue * 1024LL)})},
        {"--yes", false, ""},
        {"--json", false, ""},
    };
}

// --count and --size: the window's ranges.
void ParseNumbers(const Arguments& arguments, CliGeneratorInputs& inputs) {
    using namespace Generator;
    if (const auto count = arguments.Value("--count"))
        inputs.count = static_cast<std::int32_t>(
            ParseWhole("--count", *count, kNumberOfFiles.minimum, kNumberOfFiles.maximum));
    if (const auto text = arguments.Value("--size")) {
        const Size size = ParseSize("--size", *text);
        if (size.number < kSizeNumber.minimum || size.number > kSizeNumber.maximum)
            throw UsageError("--size " + *text + ": the number must be " +
                             std::to_string(kSizeNumber.minimum) + " to " +
                             std::to_string(kSizeNumber.maximum) + " (with B, KB, MB or GB)");
        inputs.size = size.bytes;
    }
}

// --name and --ext: a pattern instead of random names.
void ParseNaming(const Arguments& arguments, CliGeneratorInputs& inputs) {
    if (!arguments.Has("--name") && !arguments.Has("--ext"))
        return;
    inputs.randomName = false;
    inputs.name = arguments.Value("--name").value_or(Generator::kDefaultPatternName);
    inputs.extension = arguments.Value("--ext").value_or(Generator::kDefaultPatternExtension);
    if (inputs.name.find('/') != std::string::npos ||
        inputs.extension.find('/') != std::string::npos)
        throw UsageError("--name and --ext are parts of a file name and hold no \"/\"");
}

// --unique and --buffer: how each file is written.
void ParseWriting(const Arguments& arguments, CliGeneratorInputs& inputs) {
    if (arguments.Has("--unique")) {
        // As in the window: random content differs from file to file anyway.
        if (!arguments.Has("--text") && !arguments.Has("--text-file"))
            throw UsageError("--unique goes with --text or --text-file");
        inputs.unique = true;
    }
    using Generator::kBufferSizeKB;
    if (const auto buffer = arguments.Value("--buffer"))
        inputs.bufferKB = static_cast<std::int32_t>(ParseSizeIn(
            "--buffer", *buffer, 1024, "KB", kBufferSizeKB.minimum, kBufferSizeKB.maximum));
}

// The text file last: a wrong command line is told as such before a
// missing file fails.
void ReadFillText(const Arguments& arguments, CliGeneratorInputs& inputs) {
    if (const auto text = arguments.Value("--text")) {
        inputs.randomContent = false;
        inputs.text = FillText("--text", UnescapeText(*text));
    } else if (const auto path = arguments.Value("--text-file")) {
        inputs.randomContent = false;
        inputs.text = FillText("--text-file", ReadTextFile(*path));
    }
}

// Asks before a run that would fill the volume; an unknown free space does
// not ask. False when the answer is No.
bool RoomOrConsent(const CliGeneratorInputs& inputs, bool yes, Context& context) {
    const std::int64_t total = TotalBytes(inputs);
    const auto free = FreeBytesFor(inputs.folder);
    if (!free || total <= *free)
        return true;
    context.presenter.SetAnswer(yes ? std::optional<bool>(true) : std::nullopt);
    context.presenter.SetAnswerHint("Give --yes to create them anyway.");
    const std::string question = "The files need " + QuillTPU::FormatSize(total) + ", but only " +
                                 QuillTPU::FormatSize(*free) +
                                 " is free on this drive.\r\nCreate them anyway?";
    if (!context.presenter.Confirm("Confirm", question))
        return false;
    // The run asks the same question; the user has answered it here.
    context.presenter.SetAnswer(true);
    return true;
}

// The run under a host that counts files where the window says "Done in"
// after every one: a terminal says so once, at the end, so a failure is
// never preceded by it.
int Generate(CliGeneratorInputs& inputs, Context& context) {
    std::int64_t written = 0;
    std::string done;
    const std::string count = QuillTPU::FormatInteger(inputs.count);
    FilteredTaskHost host(context.host, [&](const std::string& text) -> std::optional<std::string> {
        if (text.rfind("Done in ", 0) != 0)
            return text;
        done = text;
        return QuillTPU::FormatInteger(++written) + " of " + count + " files written";
    });
    Generator::GeneratorRun run(host, inputs);
    // No beep: a terminal tool ends quietly; the exit status tells.
    run.SetBeep([] {});
    std::vector<std::string> created;
    if (context.json)
        run.SetFileWritten([&](const std::string& name) { created.push_back(name); });
    const std::uint64_t start = Platform::NanoClock();
    const Generator::RunOutcome outcome = run.Execute();
    const double seconds = static_cast<double>(Platform::NanoClock() - start) / 1e9;
    if (outcome != Generator::RunOutcome::Done)
        return ExitStatusOf(outcome);
    context.host.SetStatus(done);
    if (context.json) {
        context.host.Finish();
        std::fprintf(
            context.out, "{\"folder\": %s, \"files\": %s, \"bytes\": %lld, \"seconds\": %s}\n",
            JsonString(inputs.folder).c_str(), JsonStrings(created).c_str(),
            static_cast<long long>(TotalBytes(inputs)), JsonReal(seconds, 3).c_str());
    }
    return ExitStatusOf(outcome);
}

} // namespace

int RunGenerate(const std::vector<std::string>& args, Context& context) {
    const Arguments arguments(GenerateRules(), args);
    arguments.OneOf({"--random-names", "--name"});
    arguments.OneOf({"--random-names", "--ext"});
    arguments.OneOf({"--random", "--text", "--text-file"});

    CliGeneratorInputs inputs;
    inputs.folder = AbsoluteFolder(arguments.Single("FOLDER"));
    ParseNumbers(arguments, inputs);
    ParseNaming(arguments, inputs);
    ParseWriting(arguments, inputs);
    ReadFillText(arguments, inputs);
    if (!RoomOrConsent(inputs, arguments.Has("--yes"), context))
        return CancelSignalled() ? kExitCanceled : kExitFailed;
    if (CancelSignalled())
        return kExitCanceled;
    return Generate(inputs, context);
}

} // namespace Cli
