#pragma once
// The generator run with inputs a test sets like the controls of the tab,
// a recording host and presenter, a scripted clock and a counted beep.
#include "RecordingPresenter.h"
#include "RecordingTaskHost.h"
#include "TempDir.h"
#include "tools/generator/GeneratorRun.h"
#include "util/Random.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

struct TestInputs : Generator::IGeneratorInputs {
    std::int64_t size = 1;
    std::int32_t count = 1;
    std::string output;
    bool randomName = false;
    std::string patternName = "AutoGen";
    std::string patternExtension = "Bin";
    bool randomContent = true;
    std::u16string fillText = u"dummy text ";
    std::int32_t bufferKB = 10240;
    bool unique = false;
    int outputReads = 0;

    std::int64_t FileSize() override { return size; }
    std::int32_t NumberOfFiles() override { return count; }
    std::string OutputFolder() override {
        ++outputReads;
        return output;
    }
    bool RandomName() override { return randomName; }
    std::string PatternName() override { return patternName; }
    std::string PatternExtension() override { return patternExtension; }
    bool RandomContent() override { return randomContent; }
    std::u16string FillText() override { return fillText; }
    std::int32_t BufferSizeKB() override { return bufferKB; }
    bool MakeUnique() override { return unique; }
};

class GeneratorTest : public ::testing::Test {
protected:
    GeneratorTest() { inputs.output = dir.Path(); }

    Generator::RunOutcome Run() {
        Generator::GeneratorRun run(host, inputs);
        run.SetClock([this] { return clock; });
        run.SetBeep([this] {
            ++beeps;
            host.events.push_back("Beep");
        });
        return run.Execute();
    }

    // The names in the output folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::int64_t SizeOf(const std::string& name) const {
        std::error_code ec;
        const auto size = std::filesystem::file_size(dir / name, ec);
        return ec ? -1 : static_cast<std::int64_t>(size);
    }

    // Records the size of one file at every PumpMessages: after a block it
    // is the count of bytes written so far.
    void RecordSizesOf(const std::string& name) {
        host.onPump = [this, name] {
            const std::int64_t size = SizeOf(name);
            if (size >= 0 && (sizes.empty() || sizes.back() != size))
                sizes.push_back(size);
        };
    }

    // Random(255) values from a seed, as single calls give them.
    static std::string RandomBytes(std::uint32_t seed, std::size_t count) {
        QuillTPU::SetRandSeed(seed);
        std::string bytes(count, '\0');
        for (auto& b : bytes)
            b = static_cast<char>(QuillTPU::Random(255));
        return bytes;
    }

    TempDir dir;
    TestInputs inputs;
    RecordingTaskHost host;
    RecordingPresenter presenter;
    std::uint32_t clock = 5000;
    int beeps = 0;
    std::vector<std::int64_t> sizes;
};

inline constexpr std::int64_t MB = 1048576;
