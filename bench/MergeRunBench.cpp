// The merge run against cat on the same volume.
//
// MergeAgainstCat merges N files of S bytes with the merge run and, in the
// same iteration, has /bin/cat write the same files to one output (with the
// separator as a file between them when the run writes one), so both
// outputs are byte for byte the same; the benchmark checks that they are.
// The time reported is the merge run's; "cat_s" is cat's, "spawn_s" the
// cost of starting a cat that copies nothing, and "ratio" is
// (cat_s - spawn_s) / merge_s: above 1, the merge is the faster. The order
// of the two alternates between iterations, and dirty pages are written
// back (sync) before each timed copy, so neither pays for the other's
// writeback. The machine is shared, so the processor time of each side is
// counted too ("cat_cpu_s", "merge_cpu_s", "cpu_ratio", the same way):
// the wall times move with the load of other processes, the processor
// times much less. The folder is FV_BENCH_DIR or /var/tmp.
#include "QuietHost.h"
#include "platform/Clock.h"
#include "tools/merge/MergeRun.h"
#include "util/TaskHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <string>
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

    const char* base = std::getenv("FV_BENCH_DIR");
    std::string pattern = std::string(base && *base ? base : "/var/tmp") + "/fvmerge.XXXXXX";
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
    state.counters["ratio"] = (catTotal.wall / n - spawn.wall) / (mergeTotal.wall / n);
    state.counters["merge_cpu_s"] = mergeTotal.cpu / n;
    state.counters["cat_cpu_s"] = catTotal.cpu / n;
    state.counters["cpu_ratio"] = (catTotal.cpu - n * spawn.cpu) / mergeTotal.cpu;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * count *
                            static_cast<std::int64_t>(size));
}

} // namespace

BENCHMARK(MergeAgainstCat)
    ->ArgNames({"files", "bytes", "separator"})
    ->Args({50, 20 << 20, 0})
    ->Args({50, 20 << 20, 1})
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MergeAgainstCat)
    ->ArgNames({"files", "bytes", "separator"})
    ->Args({2000, 4096, 0})
    ->Args({2000, 4096, 1})
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
