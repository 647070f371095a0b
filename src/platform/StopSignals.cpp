#include "platform/StopSignals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace Platform {

namespace {

int gPipe[2] = {-1, -1};
std::atomic<int> gLastSignal{0};

void OnStopSignal(int signal) {
    const int saved = errno;
    gLastSignal.store(signal, std::memory_order_relaxed);
    const char byte = 1;
    // A full pipe already holds an unread request; the byte is not needed.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int StopSignals::Install() {
    if (gPipe[0] >= 0)
        return gPipe[0];
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return gPipe[0];
}

bool StopSignals::Drain() {
    if (gPipe[0] < 0)
        return false;
    bool any = false;
    char buffer[64];
    for (ssize_t n; (n = ::read(gPipe[0], buffer, sizeof buffer)) > 0;)
        any = true;
    return any;
}

int StopSignals::LastSignal() {
    return gLastSignal.load(std::memory_order_relaxed);
}

} // namespace Platform
