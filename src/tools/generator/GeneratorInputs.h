#pragma once
// What the generator run reads from the window. The run calls each getter
// at the moment it needs the value, so a change the user makes while the
// run pumps messages takes effect where the user would expect it.
#include "util/Bounds.h"

#include <cstdint>
#include <string>

namespace Generator {

// The generator's settings as a first start shows them, with their ranges.
inline constexpr QuillTPU::Bounds<std::int32_t> kNumberOfFiles{1, 2100000000, 50};
// The size's number, in the unit chosen beside it.
inline constexpr QuillTPU::Bounds<std::int32_t> kSizeNumber{1, 10000000, 1024};
enum class SizeUnit : std::int64_t { B = 1, KB = 1024, MB = 1048576, GB = 1073741824 };
inline constexpr SizeUnit kDefaultSizeUnit = SizeUnit::MB;
inline constexpr QuillTPU::Bounds<std::int32_t> kBufferSizeKB{1, 102400, 10240};
inline constexpr bool kDefaultRandomName = true;
inline constexpr bool kDefaultRandomContent = true;
inline constexpr const char* kDefaultPatternName = "AutoGen";
inline constexpr const char* kDefaultPatternExtension = "Bin";
// The random bytes that MakeUnique appends to every file.
inline constexpr std::int64_t kUniqueTail = 1024;

class IGeneratorInputs {
public:
    virtual ~IGeneratorInputs() = default;
    // The size of one file in bytes (ComputeFileSize); read once per run.
    virtual std::int64_t FileSize() = 0;
    // Read once, before the first file.
    virtual std::int32_t NumberOfFiles() = 0;
    // The output folder as typed; read for the folder check and per file name.
    virtual std::string OutputFolder() = 0;
    // Random names (true) or the pattern name + counter + "." + extension.
    virtual bool RandomName() = 0;
    virtual std::string PatternName() = 0;
    virtual std::string PatternExtension() = 0;
    // Random bytes (true) or the fill text.
    virtual bool RandomContent() = 0;
    // 16-bit characters; a line break is CR LF.
    virtual std::u16string FillText() = 0;
    // The block size in KB (the Settings tab's buffer size).
    virtual std::int32_t BufferSizeKB() = 0;
    // Append 1024 random bytes to every file.
    virtual bool MakeUnique() = 0;
};

} // namespace Generator
