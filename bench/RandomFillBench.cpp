// Content generation in memory: the random fill on both paths, the
// one-character fill and the text fill, in bytes per second.
#include "tools/generator/BlockFill.h"
#include "util/Random.h"
#include "util/RandomFill.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

using namespace QuillTPU;

namespace {

void RandomFill(benchmark::State& state, FillPath path) {
    if (path == FillPath::Avx2 && !CpuHasAvx2()) {
        state.SkipWithError("this CPU has no AVX2");
        return;
    }
    SetFillPath(path);
    const auto length = static_cast<std::size_t>(state.range(0));
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    SetRandSeed(12345);
    for (auto _ : state) {
        FillRandom255(buffer.get(), length);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    SetFillPath(FillPath::Automatic);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}

void RandomFillAvx2(benchmark::State& state) {
    RandomFill(state, FillPath::Avx2);
}
void RandomFillPortable(benchmark::State& state) {
    RandomFill(state, FillPath::Portable);
}

// The one-byte-at-a-time loop of the definition, for comparison.
void RandomSingleCalls(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    for (auto _ : state) {
        for (std::size_t i = 0; i < length; ++i)
            buffer[i] = static_cast<std::uint8_t>(Random(255));
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}

void OneCharFill(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    for (auto _ : state) {
        Generator::FillRepeated(buffer.get(), length, u"A");
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}

void TextFill(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(length);
    std::u16string text;
    for (int i = 0; i < 100; ++i)
        text += u"dummy text ";
    for (auto _ : state) {
        Generator::FillRepeated(buffer.get(), length, text);
        benchmark::DoNotOptimize(buffer.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * length));
}

// 256 KB stays in the core's cache; 10 MB is the default buffer size.
BENCHMARK(RandomFillAvx2)->Arg(256 << 10)->Arg(10 << 20);
BENCHMARK(RandomFillPortable)->Arg(256 << 10)->Arg(10 << 20);
BENCHMARK(RandomSingleCalls)->Arg(256 << 10)->Arg(10 << 20);
BENCHMARK(OneCharFill)->Arg(256 << 10)->Arg(10 << 20);
BENCHMARK(TextFill)->Arg(256 << 10)->Arg(10 << 20);

} // namespace
