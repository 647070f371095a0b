// The merge run against cat on the same volume.
//
// MergeAgainstCat merges N files of S bytes with the merge run and, in the
// same round, has /bin/cat write the same files to one output (with the
// separator as a file between them when the run writes one), so both
// outputs are byte for byte the same; the benchmark checks that they are.
// After one untimed pass of each, five rounds, the order of the two alternating from round to
// round; dirty pages are written back (sync) before each timed copy, so neither pays for the
// other's writeback. "ratio" is the median over the rounds of cat's time (from its start to its
// exit) divided by the merge's: above 1, the merge is the faster. "ratio_no_spawn" takes the cost
// of starting a cat that copies nothing off cat's time first. The machine is shared, so the
// processor time of each side is reported too ("cpu_ratio", the same
// median): the wall times move with the load of other processes, the
// processor times much less.
//
// The volume: FV_BENCH_DIR when set; else, run as root, an ext4 volume of
// 1.5 GB that the benchmark makes in an image file under /var/tmp and
// mounts (loop) in a mount namespace of its own, its tables written at once
// so that no background initialisation runs during the rounds; else /var/tmp.
#include "QuietHost.h"
#include "platform/Clock.h"
#include "tools/merge/MergeRun.h"
#include "util/TaskHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Inputs : Merge::IMergeInputs {
    std::vector<std::string> files;
    std::string folder;
    std::string output;
    std::string separator;
    std::vector<std::string> ListedFiles() override { return files; }
    std::string Folder() override { return folder; }
    std::string OutputName() override { return output; }
    std::string SeparatorText() override { return separator; }
};

struct Times {
    double wall = 0;
    double cpu = 0;
};

double ProcessCpu() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double Seconds(std::uint64_t fromNs) {
    return static_cast<double>(Platform::NanoClock() - fromNs) / 1e9;
}

// Runs /bin/cat with args, its output going to a new file at output;
// returns the seconds from spawn to exit and cat's processor time.
Times TimeCat(const std::vector<std::string>& args, const std::string& output) {
    std::vector<char*> argv;
    std::string cat = "/bin/cat";
    argv.push_back(cat.data());
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    const std::uint64_t start = Platform::NanoClock();
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/cat", &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start cat");
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const Times times{Seconds(start), Seconds(usage.ru_utime) + Seconds(usage.ru_stime)};
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("cat failed");
    return times;
}

// Runs a program to its end; true when it exits with 0.
bool RunProgram(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// An ext4 volume on a loop device, in this process's own mount namespace;
// gone with the benchmark.
class LoopVolume {
public:
    LoopVolume() {
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return;
        std::string dir = "/var/tmp/fvmergevol.XXXXXX";
        if (!::mkdtemp(dir.data()))
            return;
        FDir = dir;
        const std::string image = FDir + "/ext4.img";
        const std::string point = FDir + "/mnt";
        std::filesystem::create_directory(point);
        std::ofstream(image).close();
        if (::truncate(image.c_str(), std::int64_t{1536} << 20) != 0 ||
            !RunProgram(
                {"mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0", image}) ||
            !RunProgram({"mount", "-o", "loop", image, point}))
            return;
        FPoint = point;
    }
    ~LoopVolume() {
        if (!FPoint.empty())
            RunProgram({"umount", FPoint});
        if (!FDir.empty())
            std::filesystem::remove_all(FDir);
    }
    // Empty when it could not be made.
    const std::string& MountPoint() const { return FPoint; }

private:
    std::string FDir;
    std::string FPoint;
};

// Where the benchmark's files go; see the top of the file.
std::string BenchFolder() {
    const char* base = std::getenv("FV_BENCH_DIR");
    if (base && *base)
        return base;
    static LoopVolume volume;
    static const bool told = [] {
        std::fprintf(stderr, "Volume: %s\n",
                     volume.MountPoint().empty() ? "/var/tmp (no loop volume could be made)"
                                                 : "ext4 on a loop device (1.5 GB image)");
        return true;
    }();
    (void)told;
    return volume.MountPoint().empty() ? "/var/tmp" : volume.MountPoint();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool SameContent(const std::string& a, const std::string& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() ||
            !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
        if (fa.gcount() == 0)
            return true;
    }
}

void MergeAgainstCat(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const auto size = static_cast<std::size_t>(state.range(1));
    const bool separated = state.range(2) != 0;

    std::string pattern = BenchFolder() + "/fvmerge.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        state.SkipWithError("cannot make the bench folder");
        return;
    }
    const std::string dir = pattern;
    Inputs inputs;
    inputs.folder = dir + "/src";
    std::filesystem::create_directory(inputs.folder);
    inputs.separator = separated ? Merge::kDefaultSeparator : "";
    const std::string separatorFile = dir + "/separator";
    std::ofstream(separatorFile, std::ios::binary) << inputs.separator;

    std::vector<std::string> catArgs;
    std::string content(size, '\0');
    std::uint32_t seed = 1;
    for (int i = 0; i < count; ++i) {
        for (auto& c : content) {
            seed = seed * 134775813u + 1;
            c = static_cast<char>(seed >> 24);
        }
        char name[32];
        std::snprintf(name, sizeof name, "f%05d.bin", i);
        inputs.files.push_back(name);
        std::ofstream(inputs.folder + "/" + name, std::ios::binary) << content;
        catArgs.push_back(inputs.folder + "/" + name);
        if (separated)
            catArgs.push_back(separatorFile);
    }
    inputs.output = dir + "/merged.out";
    const std::string catOutput = dir + "/cat.out";
    ::sync();
    Times spawn;
    for (int i = 0; i < 5; ++i) {
        const Times t = TimeCat({}, catOutput);
        spawn.wall += t.wall / 5;
        spawn.cpu += t.cpu / 5;
    }

    QuietHost host;
    // One untimed pass of each first: a fresh volume is slow to fill its
    // first blocks, which would fall on whichever side came first.
    TimeCat(catArgs, catOutput);
    Merge::MergeRun(host, inputs).Execute();
    std::vector<double> ratios, ratiosNoSpawn, cpuRatios;
    Times catTotal, mergeTotal;
    bool catFirst = false;
    for (auto _ : state) {
        Times merge, cat;
        for (int turn = 0; turn < 2; ++turn) {
            const bool catNow = (turn == 0) == catFirst;
            std::filesystem::remove(catNow ? catOutput : inputs.output);
            ::sync();
            if (catNow) {
                cat = TimeCat(catArgs, catOutput);
            } else {
                const std::uint64_t start = Platform::NanoClock();
                const double cpu = ProcessCpu();
                Merge::MergeRun run(host, inputs);
                run.Execute();
                merge = {Seconds(start), ProcessCpu() - cpu};
            }
        }
        catFirst = !catFirst;
        state.SetIterationTime(merge.wall);
        ratios.push_back(cat.wall / merge.wall);
        if (std::getenv("FV_BENCH_ROUNDS"))
            std::fprintf(stderr, "round: cat %.4f s (cpu %.4f), merge %.4f s (cpu %.4f)\n",
                         cat.wall, cat.cpu, merge.wall, merge.cpu);
        ratiosNoSpawn.push_back((cat.wall - spawn.wall) / merge.wall);
        cpuRatios.push_back((cat.cpu - spawn.cpu) / merge.cpu);
        catTotal.wall += cat.wall;
        catTotal.cpu += cat.cpu;
        mergeTotal.wall += merge.wall;
        mergeTotal.cpu += merge.cpu;
    }
    const bool same = SameContent(inputs.output, catOutput);
    std::filesystem::remove_all(dir);
    if (!same) {
        state.SkipWithError("the merged output differs from cat's");
        return;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["merge_s"] = mergeTotal.wall / n;
    state.counters["cat_s"] = catTotal.wall / n;
    state.counters["spawn_s"] = spawn.wall;
    state.counters["ratio"] = Median(ratios);
    state.counters["ratio_no_spawn"] = Median(ratiosNoSpawn);
    state.counters["merge_cpu_s"] = mergeTotal.cpu / n;
    state.counters["cat_cpu_s"] = catTotal.cpu / n;
    state.counters["cpu_ratio"] = Median(cpuRatios);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * count *
                            static_cast<std::int64_t>(size));
}

} // namespace

BENCHMARK(MergeAgainstCat)
    ->ArgNames({"files", "bytes", "separator"})
    ->Args({2000, 4096, 0})
    ->Args({2000, 4096, 1})
    ->Args({20, 20 << 20, 0})
    ->Args({20, 20 << 20, 1})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
