// The clean-up of a drive tool's work folder where the volume keeps no user
// attributes (a FAT stick): the tool knows its files by its list of marks
// alone. A wipe with a small buffer leaves tens of thousands of files, and
// the start-up sweep and every pass end clean them up on the window's thread.
//
// On a tmpfs (FV_BENCH_DIR, default /dev/shm), so the figure is the
// program's own work per file. Each iteration takes turns between the
// sweep of the program's start (RemoveLeftoversIn) and the peer, a bare
// unlink of the same number of files: "peer_s" is the least any clean-up
// costs, "ratio" = the sweep's time / the peer's.
#include "platform/Clock.h"
#include "platform/DriveWork.h"
#include "platform/WorkPlace.h"
#include "tools/wipe/WipeFolder.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string BenchFolder(const char* name) {
    const char* env = std::getenv("FV_BENCH_DIR");
    return (std::filesystem::path(env ? env : "/dev/shm") / name).string();
}

// `files` files made and marked as the wipe makes them.
bool MakeMarkedFiles(const std::string& folder, std::int64_t files) {
    std::filesystem::remove_all(folder);
    if (::mkdir(folder.c_str(), 0755) != 0)
        return false;
    Platform::TToolMarks marks(folder, Wipe::kWipeTool);
    if (!marks.MarkFolder())
        return false;
    for (std::int64_t i = 1; i <= files; ++i) {
        const std::string name = std::to_string(i);
        const int fd = ::open((folder + "/" + name).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        const bool marked = fd >= 0 && marks.MarkFile(fd, name);
        if (fd >= 0)
            ::close(fd);
        if (!marked)
            return false;
    }
    return true;
}

bool MakePlainFiles(const std::string& folder, std::int64_t files) {
    std::filesystem::remove_all(folder);
    if (::mkdir(folder.c_str(), 0755) != 0)
        return false;
    for (std::int64_t i = 1; i <= files; ++i) {
        const int fd = ::open((folder + "/" + std::to_string(i)).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
    }
    return true;
}

double Seconds(std::uint64_t from) {
    return static_cast<double>(Platform::NanoClock() - from) / 1e9;
}

void LedgerSweep(benchmark::State& state) {
    Platform::TToolMarks::UseLedgerOnly(true);
    const std::int64_t files = state.range(0);
    const std::string own = BenchFolder("fv_marks_bench_own");
    const std::string peer = BenchFolder("fv_marks_bench_peer");
    double ownTime = 0, peerTime = 0;
    bool ownFirst = true;
    for (auto _ : state) {
        if (!MakeMarkedFiles(own, files) || !MakePlainFiles(peer, files)) {
            state.SkipWithError("cannot make the files (FV_BENCH_DIR on a tmpfs?)");
            break;
        }
        double ownRound = 0, peerRound = 0;
        std::size_t removed = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const std::uint64_t t0 = Platform::NanoClock();
            if ((turn == 0) == ownFirst) {
                const auto result = Platform::RemoveLeftoversIn(own, Wipe::kToolFolder);
                ownRound = Seconds(t0);
                removed = result ? result->files : 0;
            } else {
                for (std::int64_t i = 1; i <= files; ++i)
                    ::unlink((peer + "/" + std::to_string(i)).c_str());
                ::rmdir(peer.c_str());
                peerRound = Seconds(t0);
            }
        }
        ownFirst = !ownFirst;
        if (removed != static_cast<std::size_t>(files) || std::filesystem::exists(own)) {
            state.SkipWithError("the sweep left files of the tool behind");
            break;
        }
        state.SetIterationTime(ownRound);
        ownTime += ownRound;
        peerTime += peerRound;
    }
    std::filesystem::remove_all(own);
    std::filesystem::remove_all(peer);
    Platform::TToolMarks::UseLedgerOnly(false);
    const auto n = static_cast<double>(state.iterations());
    state.counters["files"] = static_cast<double>(files);
    state.counters["sweep_s"] = ownTime / n;
    state.counters["peer_s"] = peerTime / n;
    state.counters["ratio"] = peerTime > 0 ? ownTime / peerTime : 0;
}

} // namespace

BENCHMARK(LedgerSweep)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
