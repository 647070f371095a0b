#pragma once
// What the generator run reads from the window. The run calls each getter
// at the moment it needs the value, so a change the user makes while the
// run pumps messages takes effect where the user would expect it.
#include <cstdint>
#include <string>

namespace Generator {

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
