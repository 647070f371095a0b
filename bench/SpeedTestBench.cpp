// The speed test's run against fio on the same volume: the write against
// "fio --rw=write --bs=1M --end_fsync=1", the read against
// "fio --rw=read --bs=61440 --direct=1", the same size, 3 rounds that take
// turns going first. The run's figures are the ones its log shows.
//
// As root the volume is a fresh ext4 on a loop device with direct I/O, so
// the figures are the disk's and not the host's cache of the image (the
// image goes to FV_BENCH_IMAGE_DIR, else /var/tmp). Otherwise FV_BENCH_DIR
// names the folder to test in. FV_BENCH_MB sets the size (default 512),
// FV_BENCH_ROUNDS the rounds (default 3).
// fio is installed when missing (as root).
//
// Counters: the mean MB/s of each side, ratio = run / fio of the means,
// best_ratio = run / fio of the best rounds (a shared disk's figures vary;
// the best is the least disturbed), median_ratio = the median of the rounds'
// ratios (each round's two sides ran back to back), and the growth of the peak resident set
// during the runs.
#include "QuietHost.h"
#include "platform/DriveTable.h"
#include "tools/speedtest/SpeedTestRun.h"
#include "util/Presenter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct BenchInputs : SpeedTest::ISpeedTestInputs {
    std::int32_t mb = 512;
    std::optional<Platform::ChosenDrive> Drive() override {
        if (auto drive = Platform::FindDrive('d'))
            return Platform::ChosenDrive{std::move(*drive), {}};
        return std::nullopt;
    }
    std::int32_t TestSizeMB() override { return mb; }
};

struct Log : SpeedTest::ISpeedLog {
    std::string write, read;
    void AppendLine(const std::string& line) override {
        auto take = [&](const char* head, std::string& into) {
            if (line.rfind(head, 0) == 0)
                into = line.substr(std::string(head).size());
        };
        take("          Write speed: ", write);
        take("          Read speed: ", read);
    }
};

// Messages go to stderr, so a failure shows why.
class StderrPresenter : public QuillTPU::IMessagePresenter {
public:
    void ShowMessage(QuillTPU::MessageKind, const std::string&, const std::string& text) override {
        std::cerr << "message: " << text << "\n";
        failed = true;
    }
    void ShowReport(const std::string&, const std::string& text) override {
        std::cerr << "report: " << text << "\n";
        failed = true;
    }
    bool Confirm(const std::string&, const std::string&) override { return false; }
    bool failed = false;
};

std::string Output(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe)
        throw std::runtime_error("cannot run: " + command);
    std::string text;
    std::array<char, 4096> chunk;
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe.get()))
        text.append(chunk.data(), n);
    return text;
}

bool Run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

// "bw_bytes" of the "read" or "write" section of fio's JSON report.
double FioBandwidth(const std::string& json, const std::string& section) {
    const std::size_t at = json.find("\"" + section + "\" : {");
    const std::size_t bw = json.find("\"bw_bytes\" : ", at);
    if (at == std::string::npos || bw == std::string::npos)
        throw std::runtime_error("no " + section + " bandwidth in fio's report:\n" + json);
    return std::stod(json.substr(bw + 13)) / 1048576.0;
}

double Fio(const std::string& file, const std::string& job, std::int32_t mb) {
    const std::string section = job.find("--rw=write") != std::string::npos ? "write" : "read";
    const std::string json =
        Output("fio --name=bench --filename='" + file + "' --size=" + std::to_string(mb) +
               "M --ioengine=psync " + job + " --output-format=json 2>&1");
    return FioBandwidth(json, section);
}

// The volume under test: a loop-mounted ext4 as root, else a given folder.
class BenchVolume {
public:
    explicit BenchVolume(std::int32_t mb) {
        if (::geteuid() != 0) {
            const char* dir = std::getenv("FV_BENCH_DIR");
            if (!dir)
                throw std::runtime_error("not root: set FV_BENCH_DIR to a folder on the volume "
                                         "to test");
            FFolder = dir;
            return;
        }
        const char* imageDir = std::getenv("FV_BENCH_IMAGE_DIR");
        FImage = std::string(imageDir ? imageDir : "/var/tmp") + "/fv_speedtest_bench.ext4";
        FFolder = (fs::temp_directory_path() / "fv_speedtest_bench").string();
        fs::create_directories(FFolder);
        // Room for the test file and the file system's own blocks (journal, tables).
        const std::string imageMB = std::to_string(mb + mb / 16 + 256);
        // The image is written out in full first: the first write into a
        // hole of a sparse image costs the host an allocation, and whichever
        // side wrote there first would pay for it.
        if (!Run("dd if=/dev/zero of='" + FImage + "' bs=1M count=" + imageMB +
                 " oflag=direct conv=fsync status=none && mkfs.ext4 -q -F -m 0 '" + FImage +
                 "' >/dev/null"))
            throw std::runtime_error("cannot make the ext4 image");
        FLoop = Output("losetup --direct-io=on --find --show '" + FImage + "'");
        while (!FLoop.empty() && FLoop.back() == '\n')
            FLoop.pop_back();
        if (FLoop.rfind("/dev/loop", 0) != 0 || !Run("mount " + FLoop + " '" + FFolder + "'"))
            throw std::runtime_error("cannot mount the image on a loop device: " + FLoop);
        FMounted = true;
        std::cerr << "volume: ext4 on " << FLoop << " (direct I/O), image " << FImage << "\n";
    }
    ~BenchVolume() {
        if (FMounted)
            Run("umount '" + FFolder + "'");
        if (!FLoop.empty())
            Run("losetup -d " + FLoop);
        if (!FImage.empty())
            fs::remove(FImage);
    }
    const std::string& Folder() const { return FFolder; }

private:
    std::string FFolder, FImage, FLoop;
    bool FMounted = false;
};

void EnsureFio() {
    if (Run("command -v fio >/dev/null 2>&1"))
        return;
    if (::geteuid() != 0 ||
        !Run("DEBIAN_FRONTEND=noninteractive apt-get install -y -q fio >/dev/null 2>&1"))
        throw std::runtime_error("fio is missing and cannot be installed (apt-get install fio)");
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long PeakRssKB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void SpeedTestAgainstFio(benchmark::State& state) {
    const char* sizeText = std::getenv("FV_BENCH_MB");
    BenchInputs inputs;
    inputs.mb = sizeText ? std::atoi(sizeText) : 512;
    try {
        EnsureFio();
        BenchVolume volume(inputs.mb);
        Platform::ScopedDriveTable table({Platform::DriveForFolder('D', volume.Folder())});
        StderrPresenter presenter;
        QuillTPU::SetMessagePresenter(&presenter);
        QuietHost host;
        const std::string fioFile = volume.Folder() + "/fio.bin";

        const char* roundsText = std::getenv("FV_BENCH_ROUNDS");
        const int roundCount = roundsText ? std::max(1, std::atoi(roundsText)) : 3;
        double runWrite = 0, runRead = 0, fioWrite = 0, fioRead = 0;
        double bestRunWrite = 0, bestRunRead = 0, bestFioWrite = 0, bestFioRead = 0;
        std::vector<double> writeRatios, readRatios; // per round
        const long rssBefore = PeakRssKB();
        int rounds = 0;
        // One side: its write and read speeds, on a settled volume (what the
        // other side left for the host to write back would slow it).
        auto runSide = [&] {
            ::sync();
            ::sleep(3);
            Log log;
            SpeedTest::SpeedTestRun run(host, inputs, log);
            if (run.Execute() != SpeedTest::RunOutcome::Done || presenter.failed)
                throw std::runtime_error("the speed test's run failed");
            return std::pair(std::stod(log.write), std::stod(log.read));
        };
        auto fioSide = [&] {
            ::sync();
            ::sleep(3);
            const double w = Fio(fioFile, "--rw=write --bs=1M --end_fsync=1", inputs.mb);
            const double r = Fio(fioFile, "--rw=read --bs=61440 --direct=1", inputs.mb);
            fs::remove(fioFile);
            return std::pair(w, r);
        };
        // One unmeasured side of each first: the first writes on a fresh
        // volume are slow and would weigh on one side only. The order (run
        // last) makes each side follow a run as often as the other.
        fioSide();
        runSide();
        for (auto _ : state) {
            for (int round = 0; round < roundCount; ++round, ++rounds) {
                std::pair<double, double> roundRun, roundFio;
                for (int side = 0; side < 2; ++side) {
                    if ((side + round) % 2 == 0) {
                        roundRun = runSide();
                        const auto [w, r] = roundRun;
                        std::cerr << "round " << round + 1 << " run: write " << w << " read " << r
                                  << " MB/s\n";
                        runWrite += w;
                        runRead += r;
                        bestRunWrite = std::max(bestRunWrite, w);
                        bestRunRead = std::max(bestRunRead, r);
                    } else {
                        roundFio = fioSide();
                        const auto [w, r] = roundFio;
                        std::cerr << "round " << round + 1 << " fio: write " << w << " read " << r
                                  << " MB/s\n";
                        fioWrite += w;
                        fioRead += r;
                        bestFioWrite = std::max(bestFioWrite, w);
                        bestFioRead = std::max(bestFioRead, r);
                    }
                }
                writeRatios.push_back(roundRun.first / roundFio.first);
                readRatios.push_back(roundRun.second / roundFio.second);
            }
        }
        QuillTPU::SetMessagePresenter(nullptr);
        state.counters["size_MB"] = inputs.mb;
        state.counters["run_write_MBps"] = runWrite / rounds;
        state.counters["fio_write_MBps"] = fioWrite / rounds;
        state.counters["write_ratio"] = runWrite / fioWrite;
        state.counters["run_read_MBps"] = runRead / rounds;
        state.counters["fio_read_MBps"] = fioRead / rounds;
        state.counters["read_ratio"] = runRead / fioRead;
        state.counters["best_write_ratio"] = bestRunWrite / bestFioWrite;
        state.counters["best_read_ratio"] = bestRunRead / bestFioRead;
        state.counters["median_write_ratio"] = Median(writeRatios);
        state.counters["median_read_ratio"] = Median(readRatios);
        state.counters["peak_rss_growth_KB"] = static_cast<double>(PeakRssKB() - rssBefore);
        state.counters["peak_rss_KB"] = static_cast<double>(PeakRssKB());
    } catch (const std::exception& e) {
        QuillTPU::SetMessagePresenter(nullptr);
        state.SkipWithError(e.what());
    }
}

} // namespace

BENCHMARK(SpeedTestAgainstFio)->Iterations(1)->Unit(benchmark::kSecond);
