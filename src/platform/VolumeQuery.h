#pragma once
// Asking a volume for its space without hanging the window. On a hard-
// mounted network volume whose server is gone, statvfs (and even opening
// the root) blocks for ever and cannot be interrupted. So each such query
// runs on a short-lived helper thread that the caller waits for with a time
// limit and then abandons. While an abandoned query of a volume still hangs,
// that volume is answered "not ready" at once, without another thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace Platform {

// What statvfs reports, in blocks of blockSize bytes.
struct VolumeBlocks {
    std::uint64_t blockSize = 0;       // f_frsize
    std::uint64_t blocks = 0;          // f_blocks: the whole volume
    std::uint64_t blocksFree = 0;      // f_bfree: free, counting the blocks kept for root
    std::uint64_t blocksAvailable = 0; // f_bavail: free to the calling user
};

// Asks the volume at root; nullopt with *error = errno on failure. May block.
using VolumeBlocksQuery =
    std::function<std::optional<VolumeBlocks>(const std::string& root, int* error)>;

// The system's query (statvfs), without a time limit.
std::optional<VolumeBlocks> StatVolume(const std::string& root, int* error);

// How long a caller waits for a volume to answer.
inline constexpr std::chrono::milliseconds kVolumeQueryLimit{2000};

// The installed query for root, waited for at most the limit; ETIMEDOUT
// when the volume did not answer in time or an earlier query still hangs.
std::optional<VolumeBlocks> QueryVolumeBlocks(const std::string& root, int* error = nullptr);
// True when the root folder can be opened and read (an empty root counts),
// within the same limit; false for a volume that does not answer.
bool QueryVolumeReadable(const std::string& root);
// Any other question that touches the volume at root (the write probe),
// within the same limit; nullopt when the volume did not answer. The
// question must own everything it uses: it may outlive the caller.
std::optional<bool> AskVolume(const std::string& root, std::function<bool()> question);

// Replaces the space query and the time limit while it lives, so that a
// test can play a volume that never answers. Nested ones restore the outer.
class ScopedVolumeQuery {
public:
    explicit ScopedVolumeQuery(VolumeBlocksQuery query,
                               std::chrono::milliseconds limit = kVolumeQueryLimit);
    ~ScopedVolumeQuery();
    ScopedVolumeQuery(const ScopedVolumeQuery&) = delete;
    ScopedVolumeQuery& operator=(const ScopedVolumeQuery&) = delete;

private:
    VolumeBlocksQuery FQuery;
    std::chrono::milliseconds FLimit;
    const ScopedVolumeQuery* FPrevious;

    friend struct VolumeQueryAccess;
};

} // namespace Platform
