// Whole generator runs against the disk, and the memory a run takes.
//
// WholeRun writes 20 files of 64 MB with the generator and, in the same
// iteration, the same bytes of zeros with the same block size through plain
// writes; "ratio" is zero-writing time / generator time (1 = as fast as
// writing zeros). The run hands each block to the system in 128 KB pieces;
// "ratio_pieces" compares with zeros written in such pieces too. The folder is FV_BENCH_DIR or the
// temporary folder.
//
// ManySmallFiles writes 20,000 files of 4 KB with the generator, under the
// window's own task host (status line, message pumping) on an offscreen
// window when the window is built, and the same number of 4 KB files with a
// plain create-write-close loop into the same folder; "ratio" is the run's
// files per second over the loop's (the goal is at least 0.5).
//
// PeakMemory counts the heap bytes live during a run above those before it,
// and the growth of the peak resident set, against the block size.
#include "QuietHost.h"
#include "platform/Clock.h"
#include "platform/File.h"
#include "tools/generator/GeneratorRun.h"
#include "util/Random.h"

#include <benchmark/benchmark.h>

#ifdef FV_BENCH_WINDOW
#include "app/TaskControl.h"

#include <QApplication>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#endif

#include <fcntl.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <new>
#include <string>
#include <unistd.h>

namespace {

std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};

void Count(void* p) {
    if (!p)
        return;
    const std::size_t now = gLive += malloc_usable_size(p);
    std::size_t peak = gPeak;
    while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

// Every heap allocation of the benchmark goes through these.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    Count(p);
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    if (p)
        gLive -= malloc_usable_size(p);
    std::free(p); // operator new above took it from malloc
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

constexpr std::int64_t kMB = 1048576;
constexpr int kFiles = 20;
constexpr std::int64_t kFileSize = 64 * kMB;
constexpr std::size_t kPieceBytes = 128 * 1024; // the run's write size

struct BenchInputs : Generator::IGeneratorInputs {
    std::string folder;
    bool random = true;
    std::u16string text;
    std::int32_t bufferKB = 10240;
    std::int32_t count = kFiles;
    std::int64_t size = kFileSize;
    std::int64_t FileSize() override { return size; }
    std::int32_t NumberOfFiles() override { return count; }
    std::string OutputFolder() override { return folder; }
    bool RandomName() override { return false; }
    std::string PatternName() override { return "Bench"; }
    std::string PatternExtension() override { return "bin"; }
    bool RandomContent() override { return random; }
    std::u16string FillText() override { return text; }
    std::int32_t BufferSizeKB() override { return bufferKB; }
    bool MakeUnique() override { return false; }
};

std::string BenchFolder() {
    const char* env = std::getenv("FV_BENCH_DIR");
    const std::filesystem::path base = env ? env : std::filesystem::temp_directory_path();
    const std::filesystem::path folder = base / "fv_generator_bench";
    std::filesystem::create_directories(folder);
    return folder.string();
}

void Clear(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove(entry.path());
}

// The reference: the same files as zeros, one write per block.
// piece: the size of each write; a block is written in pieces of it.
double WriteZeros(const std::string& folder, std::size_t block, std::size_t piece) {
    piece = std::min(piece, block);
    auto zeros = std::make_unique<std::uint8_t[]>(piece); // value-initialised
    const std::uint64_t start = Platform::NanoClock();
    for (int i = 1; i <= kFiles; ++i) {
        Platform::File file = Platform::File::Create(folder + "/Zero" + std::to_string(i) + ".bin");
        for (std::int64_t done = 0; done < kFileSize;) {
            auto n = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(block), kFileSize - done));
            done += static_cast<std::int64_t>(n);
            for (; n > 0; n -= std::min(n, piece))
                file.Write(zeros.get(), std::min(n, piece));
        }
        file.Close();
    }
    return static_cast<double>(Platform::NanoClock() - start) / 1e9;
}

double Generate(BenchInputs& inputs, QuillTPU::ITaskHost* windowHost = nullptr) {
    QuietHost quiet;
    Generator::GeneratorRun run(windowHost ? *windowHost : quiet, inputs);
    run.SetBeep([] {});
    const std::uint64_t start = Platform::NanoClock();
    if (run.Execute() != Generator::RunOutcome::Done)
        throw std::runtime_error("the generator run failed");
    return static_cast<double>(Platform::NanoClock() - start) / 1e9;
}

void WholeRun(benchmark::State& state, bool random, std::int32_t bufferKB) {
    BenchInputs inputs;
    inputs.folder = BenchFolder();
    inputs.random = random;
    inputs.bufferKB = bufferKB;
    for (int i = 0; i < 100; ++i)
        inputs.text += u"dummy text ";
    QuillTPU::SetRandSeed(1);
    const auto block = static_cast<std::size_t>(bufferKB) * 1024;
    double zeroTime = 0, runTime = 0;
    // One unmeasured round of each: the first touch of fresh page-cache
    // memory is slow on a virtual machine and would weigh on one side only.
    Clear(inputs.folder);
    WriteZeros(inputs.folder, block, block);
    Clear(inputs.folder);
    Generate(inputs);
    double pieceTime = 0;
    int first = 0;
    for (auto _ : state) {
        // Each side starts on a settled volume, and they take turns going
        // first, so leftovers of one do not weigh on the others.
        double z = 0, p = 0, r = 0;
        for (int side = 0; side < 3; ++side) {
            Clear(inputs.folder);
            ::sync();
            switch ((side + first) % 3) {
            case 0:
                z = WriteZeros(inputs.folder, block, block);
                break;
            case 1:
                p = WriteZeros(inputs.folder, block, kPieceBytes);
                break;
            default:
                r = Generate(inputs);
            }
        }
        first = (first + 1) % 3;
        state.SetIterationTime(r);
        zeroTime += z;
        pieceTime += p;
        runTime += r;
    }
    Clear(inputs.folder);
    const double bytes =
        static_cast<double>(kFiles * kFileSize) * static_cast<double>(state.iterations());
    state.counters["zeros_GBps"] = bytes / zeroTime / 1e9;
    state.counters["run_GBps"] = bytes / runTime / 1e9;
    state.counters["ratio"] = zeroTime / runTime;
    // Against zeros written in the same pieces as the run writes them.
    state.counters["zeros_pieces_GBps"] = bytes / pieceTime / 1e9;
    state.counters["ratio_pieces"] = pieceTime / runTime;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void WholeRunRandom(benchmark::State& state) {
    WholeRun(state, true, static_cast<std::int32_t>(state.range(0)));
}
void WholeRunText(benchmark::State& state) {
    WholeRun(state, false, static_cast<std::int32_t>(state.range(0)));
}

#ifdef FV_BENCH_WINDOW
// The window's task host on a shown offscreen window: status bar, Cancel.
struct BenchWindow {
    BenchWindow() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app = std::make_unique<QApplication>(argc, argv);
        window = std::make_unique<QMainWindow>();
        auto* cancel = new QPushButton("Cancel", window.get());
        window->resize(445, 674);
        window->show();
        host = std::make_unique<TTaskControl>(window.get(), cancel, window->statusBar());
        QCoreApplication::processEvents();
    }
    int argc = 1;
    char name[6] = "bench";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> app;
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<TTaskControl> host;
};

QuillTPU::ITaskHost* WindowHost() {
    static BenchWindow window;
    return window.host.get();
}
#else
QuillTPU::ITaskHost* WindowHost() {
    return nullptr;
}
#endif

constexpr int kSmallFiles = 20000;
constexpr std::size_t kSmallFileBytes = 4096;

double PlainSmallFiles(const std::string& folder) {
    std::uint8_t data[kSmallFileBytes];
    QuillTPU::FillRandom255(data, sizeof data);
    const std::uint64_t start = Platform::NanoClock();
    for (int i = 1; i <= kSmallFiles; ++i) {
        const std::string name = folder + "/Plain" + std::to_string(i) + ".bin";
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, data, sizeof data) != static_cast<ssize_t>(sizeof data) ||
            ::close(fd) != 0)
            throw std::runtime_error("the plain loop failed");
    }
    return static_cast<double>(Platform::NanoClock() - start) / 1e9;
}

void ManySmallFiles(benchmark::State& state) {
    BenchInputs inputs;
    inputs.folder = BenchFolder();
    inputs.count = kSmallFiles;
    inputs.size = kSmallFileBytes;
    QuillTPU::ITaskHost* host = WindowHost();
    double plainTime = 0, runTime = 0;
    int first = 0;
    for (auto _ : state) {
        double p = 0, r = 0;
        for (int side = 0; side < 2; ++side) {
            Clear(inputs.folder);
            ::sync();
            if ((side + first) % 2 == 0)
                p = PlainSmallFiles(inputs.folder);
            else
                r = Generate(inputs, host);
        }
        first ^= 1;
        state.SetIterationTime(r);
        plainTime += p;
        runTime += r;
    }
    Clear(inputs.folder);
    const double files = static_cast<double>(kSmallFiles) * static_cast<double>(state.iterations());
    state.counters["plain_files_per_s"] = files / plainTime;
    state.counters["run_files_per_s"] = files / runTime;
    state.counters["ratio"] = plainTime / runTime;
    state.counters["window_host"] = host ? 1 : 0;
}

std::int64_t ResidentPeakKB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoll(line.substr(6));
    return -1;
}

std::int64_t ResidentNowKB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6));
    return -1;
}

void PeakMemory(benchmark::State& state) {
    BenchInputs inputs;
    inputs.folder = BenchFolder();
    inputs.bufferKB = static_cast<std::int32_t>(state.range(0));
    inputs.count = 2;
    double heap = 0, resident = 0;
    for (auto _ : state) {
        Clear(inputs.folder);
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the resident peak
        const std::int64_t residentBefore = ResidentNowKB();
        gPeak = gLive.load();
        const std::size_t liveBefore = gLive;
        Generate(inputs);
        heap = static_cast<double>(gPeak - liveBefore);
        resident = static_cast<double>(ResidentPeakKB() - residentBefore) * 1024;
    }
    Clear(inputs.folder);
    state.counters["block_bytes"] = static_cast<double>(inputs.bufferKB) * 1024;
    state.counters["peak_heap_bytes"] = heap;
    state.counters["peak_rss_growth_bytes"] = resident;
}

BENCHMARK(WholeRunRandom)
    ->Arg(10240)
    ->Arg(1024)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WholeRunText)
    ->Arg(10240)
    ->Arg(1024)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ManySmallFiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakMemory)
    ->Arg(1024)
    ->Arg(10240)
    ->Arg(102400)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
