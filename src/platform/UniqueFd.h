#pragma once
// A file descriptor that closes itself: every way out of a routine that
// opened something closes it, with the errno of the failure taken first.
#include <cerrno>
#include <unistd.h>
#include <utility>

namespace Platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : FFd(fd) {}
    ~UniqueFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    UniqueFd(UniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            if (FFd >= 0)
                ::close(FFd);
            FFd = std::exchange(other.FFd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const noexcept { return FFd; }
    explicit operator bool() const noexcept { return FFd >= 0; }
    // Hands the descriptor to a caller that closes it itself.
    int Release() noexcept { return std::exchange(FFd, -1); }
    // Closes now and reports the failure of the close (0 when it went).
    int Close() noexcept {
        const int fd = std::exchange(FFd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int FFd = -1;
};

} // namespace Platform
