// One wipe pass against one random pass of sfill on the same volume, and the
// memory each takes.
//
// Needs root: an ext4 image (FV_BENCH_WIPE_MB, default 1024 MB, in
// FV_BENCH_DIR or /var/tmp) on a loop device with direct I/O, so the figures
// are the disk's and not the host's file cache. sfill comes from Debian's
// secure-delete package, installed here when missing. Each iteration runs
// both, taking turns at going first; each side's time ends with a sync, so
// both have their data on the disk. "ratio" = sfill time / wipe time (1 or
// more: the wipe is at least as fast). "sfill_I" runs sfill -l -l -I, which
// leaves out sfill's wiping of free inodes, as a fairer second reference.
// Peak memory: the growth of the resident peak during a wipe against the
// pattern size, and sfill's resident peak.
#include "QuietHost.h"
#include "platform/Clock.h"
#include "platform/DriveTable.h"
#include "tools/wipe/WipeRun.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kMB = 1048576;
constexpr std::int32_t kBufferMB = 64;

struct BenchInputs : Wipe::IWipeInputs {
    std::optional<Platform::ChosenDrive> Drive() override {
        if (auto drive = Platform::FindDrive('w'))
            return Platform::ChosenDrive{std::move(*drive), {}};
        return std::nullopt;
    }
    std::int32_t Passes() override { return 1; }
    std::int32_t BufferSizeMB() override { return kBufferMB; }
};

std::int64_t StatusKB(const char* field) {
    std::ifstream status("/proc/self/status");
    const std::string key = std::string(field) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size()));
    return -1;
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// An ext4 image on a loop device with direct I/O, mounted; undone at the end.
class LoopVolume {
public:
    bool Make(std::string* why) {
        const char* env = std::getenv("FV_BENCH_DIR");
        const std::filesystem::path base = env ? env : "/var/tmp";
        FImage = (base / "fv_wipe_bench.ext4").string();
        FMount = (base / "fv_wipe_bench_mnt").string();
        const char* size = std::getenv("FV_BENCH_WIPE_MB");
        const std::string mb = size ? size : "1024";
        std::filesystem::create_directories(FMount);
        if (!Shell("truncate -s " + mb + "M '" + FImage + "' && mkfs.ext4 -q -F -m 0 '" + FImage +
                   "' >/dev/null 2>&1")) {
            *why = "cannot make the ext4 image";
            return false;
        }
        FILE* pipe =
            ::popen(("losetup --direct-io=on --find --show '" + FImage + "'").c_str(), "r");
        char device[64] = {};
        if (!pipe || !std::fgets(device, sizeof device, pipe)) {
            if (pipe)
                ::pclose(pipe);
            *why = "losetup --direct-io=on failed (needs root and loop devices)";
            return false;
        }
        ::pclose(pipe);
        FDevice = device;
        while (!FDevice.empty() && FDevice.back() == '\n')
            FDevice.pop_back();
        if (::mount(FDevice.c_str(), FMount.c_str(), "ext4", 0, nullptr) != 0) {
            *why = "cannot mount " + FDevice;
            return false;
        }
        FMounted = true;
        return true;
    }
    ~LoopVolume() {
        if (FMounted)
            ::umount2(FMount.c_str(), 0);
        if (!FDevice.empty())
            Shell("losetup -d '" + FDevice + "'");
        std::filesystem::remove(FImage);
        std::filesystem::remove(FMount);
    }
    const std::string& MountPoint() const { return FMount; }

private:
    std::string FImage, FMount, FDevice;
    bool FMounted = false;
};

bool HaveSfill() {
    return Shell("command -v sfill >/dev/null 2>&1");
}

bool InstallSfill() {
    if (HaveSfill())
        return true;
    Shell("DEBIAN_FRONTEND=noninteractive apt-get install -y -q secure-delete >/dev/null 2>&1 || "
          "(apt-get update -q >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install "
          "-y -q secure-delete >/dev/null 2>&1)");
    return HaveSfill();
}

double Seconds(std::uint64_t start) {
    return static_cast<double>(Platform::NanoClock() - start) / 1e9;
}

// One wipe pass; *peakGrowth: how far the resident peak rose above the
// resident size before the run.
double WipeOnce(std::int64_t* peakGrowth) {
    QuietHost host;
    BenchInputs inputs;
    Wipe::WipeRun run(host, inputs);
    std::ofstream("/proc/self/clear_refs") << "5"; // resets the resident peak
    const std::int64_t before = StatusKB("VmRSS");
    const std::uint64_t start = Platform::NanoClock();
    if (run.Execute() != Wipe::RunOutcome::Done)
        throw std::runtime_error("the wipe failed");
    ::sync();
    const double time = Seconds(start);
    *peakGrowth = (StatusKB("VmHWM") - before) * 1024;
    return time;
}

// sfill -l -l (one random pass) on the volume; *peak: its resident peak.
double SfillOnce(const std::string& mountPoint, bool freeSpaceOnly, std::int64_t* peak) {
    const std::uint64_t start = Platform::NanoClock();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (freeSpaceOnly)
            ::execlp("sfill", "sfill", "-l", "-l", "-I", mountPoint.c_str(), nullptr);
        else
            ::execlp("sfill", "sfill", "-l", "-l", mountPoint.c_str(), nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    ::sync();
    const double time = Seconds(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("sfill failed");
    *peak = static_cast<std::int64_t>(usage.ru_maxrss) * 1024;
    return time;
}

void WipeAgainstSfill(benchmark::State& state, bool freeSpaceOnly) {
    if (::geteuid() != 0) {
        state.SkipWithError("needs root (loop device with direct I/O)");
        return;
    }
    if (!InstallSfill()) {
        state.SkipWithError("sfill (package secure-delete) is missing and could not be installed");
        return;
    }
    LoopVolume volume;
    std::string why;
    if (!volume.Make(&why)) {
        state.SkipWithError(why.c_str());
        return;
    }
    Platform::ScopedDriveTable table({Platform::DriveForFolder('W', volume.MountPoint())});
    double wipeTime = 0, sfillTime = 0;
    std::int64_t wipePeak = 0, sfillPeak = 0;
    bool wipeFirst = true;
    for (auto _ : state) {
        double w = 0, s = 0;
        std::int64_t growth = 0, peak = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == wipeFirst)
                w = WipeOnce(&growth);
            else
                s = SfillOnce(volume.MountPoint(), freeSpaceOnly, &peak);
        }
        wipeFirst = !wipeFirst;
        state.SetIterationTime(w);
        wipeTime += w;
        sfillTime += s;
        wipePeak = std::max(wipePeak, growth);
        sfillPeak = std::max(sfillPeak, peak);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["wipe_s"] = wipeTime / n;
    state.counters["sfill_s"] = sfillTime / n;
    state.counters["ratio"] = sfillTime / wipeTime;
    state.counters["pattern_bytes"] = static_cast<double>(kBufferMB * kMB);
    state.counters["wipe_peak_rss_growth_bytes"] = static_cast<double>(wipePeak);
    state.counters["sfill_peak_rss_bytes"] = static_cast<double>(sfillPeak);
}

void WipeVsSfill(benchmark::State& state) {
    WipeAgainstSfill(state, false);
}
void WipeVsSfillFreeSpaceOnly(benchmark::State& state) {
    WipeAgainstSfill(state, true);
}

BENCHMARK(WipeVsSfill)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);
BENCHMARK(WipeVsSfillFreeSpaceOnly)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

} // namespace
