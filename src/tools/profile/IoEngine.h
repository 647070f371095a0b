#pragma once
// Direct I/O at a queue depth from one thread: io_uring where the kernel
// allows it, Linux native AIO where io_uring is refused (many containers
// forbid it). Both take the same requests and give the same completions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Profile {

enum class EngineChoice { Automatic, Uring, Aio };

struct Completion {
    std::size_t slot;    // as given to Prepare
    std::int64_t result; // bytes transferred, or -errno
};

class IIoEngine {
public:
    virtual ~IIoEngine() = default;
    // "io_uring" or "libaio", as the results name it.
    virtual const char* Name() const = 0;
    // Queues one request for the next Submit. buffer stays untouched by the
    // caller until the slot's completion comes.
    virtual void Prepare(std::size_t slot, bool write, int fd, void* buffer, std::size_t length,
                         std::int64_t offset) = 0;
    // Hands every queued request to the kernel; 0 or an errno.
    virtual int Submit() = 0;
    // Waits up to timeoutNs for at least one completion and appends every
    // one that is there to *done; 0 (also on a timeout) or an errno.
    virtual int Reap(std::vector<Completion>* done, std::uint64_t timeoutNs) = 0;
};

// An engine for up to `depth` requests in flight; nullptr with *why when
// neither engine can be set up.
std::unique_ptr<IIoEngine> OpenEngine(EngineChoice choice, unsigned depth, std::string* why);

} // namespace Profile
