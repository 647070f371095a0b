#pragma once
// Ends the test program with a message when a step takes longer than it may:
// a run that spins would otherwise hold the suite until ctest's timeout and
// fail there without a word about which step hung.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Deadline {
public:
    Deadline(std::chrono::seconds limit, std::string what)
        : FWatch([this, limit, what = std::move(what)] {
              std::unique_lock lock(FLock);
              if (!FDone.wait_for(lock, limit, [this] { return FEnded; })) {
                  std::fprintf(stderr, "FAILED: %s did not end within %lld s\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::fflush(stderr);
                  std::_Exit(1);
              }
          }) {}
    ~Deadline() {
        {
            std::lock_guard lock(FLock);
            FEnded = true;
        }
        FDone.notify_one();
        FWatch.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    std::mutex FLock;
    std::condition_variable FDone;
    bool FEnded = false;
    std::thread FWatch; // last: starts once the members above exist
};
