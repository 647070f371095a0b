#include "platform/VolumeQuery.h"

#include <cerrno>
#include <condition_variable>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <sys/statvfs.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace Platform {

namespace {

void SetError(int* error, int code) {
    if (error)
        *error = code;
}

// Shared with helper threads that may outlive every caller, even main():
// never destroyed, so a thread that wakes at exit finds them intact.
struct Registry {
    std::mutex mutex;
    std::set<std::string> hanging; // roots whose query has not come back
    const ScopedVolumeQuery* installed = nullptr;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// One query's outcome, kept alive by whoever holds it longest.
template <typename Result> struct Call {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::optional<Result> result;
    int error = 0;
};

template <typename Result>
std::optional<Result> RunLimited(const std::string& root,
                                 std::function<std::optional<Result>(int*)> work,
                                 std::chrono::milliseconds limit, int* error) {
    Registry& registry = TheRegistry();
    {
        std::lock_guard lock(registry.mutex);
        if (!registry.hanging.insert(root).second) {
            SetError(error, ETIMEDOUT);
            return std::nullopt;
        }
    }
    auto call = std::make_shared<Call<Result>>();
    try {
        std::thread([call, root, work = std::move(work)] {
            int code = 0;
            std::optional<Result> result = work(&code);
            {
                // Off the list before done: a caller that sees done may ask again.
                std::lock_guard lock(TheRegistry().mutex);
                TheRegistry().hanging.erase(root);
            }
            std::lock_guard lock(call->mutex);
            call->result = std::move(result);
            call->error = code;
            call->done = true;
            call->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(registry.mutex);
        registry.hanging.erase(root);
        SetError(error, EAGAIN);
        return std::nullopt;
    }
    std::unique_lock lock(call->mutex);
    if (!call->finished.wait_for(lock, limit, [&] { return call->done; })) {
        SetError(error, ETIMEDOUT);
        return std::nullopt;
    }
    if (!call->result)
        SetError(error, call->error);
    return call->result;
}

} // namespace

struct VolumeQueryAccess {
    static std::pair<VolumeBlocksQuery, std::chrono::milliseconds> Current() {
        std::lock_guard lock(TheRegistry().mutex);
        if (const ScopedVolumeQuery* q = TheRegistry().installed)
            return {q->FQuery, q->FLimit};
        return {StatVolume, kVolumeQueryLimit};
    }
};

std::optional<VolumeBlocks> StatVolume(const std::string& root, int* error) {
    struct statvfs st {};
    if (root.empty()) {
        SetError(error, ENOENT);
        return std::nullopt;
    }
    if (::statvfs(root.c_str(), &st) != 0) {
        SetError(error, errno);
        return std::nullopt;
    }
    return VolumeBlocks{st.f_frsize, st.f_blocks, st.f_bfree, st.f_bavail};
}

std::optional<VolumeBlocks> QueryVolumeBlocks(const std::string& root, int* error) {
    // Named in the capture: older clang cannot capture a structured binding.
    auto [query, limit] = VolumeQueryAccess::Current();
    return RunLimited<VolumeBlocks>(
        root, [root, query = query](int* code) { return query(root, code); }, limit, error);
}

std::optional<bool> AskVolume(const std::string& root, std::function<bool()> question) {
    const auto limit = VolumeQueryAccess::Current().second;
    return RunLimited<bool>(
        root, [question = std::move(question)](int*) -> std::optional<bool> { return question(); },
        limit, nullptr);
}

bool QueryVolumeReadable(const std::string& root) {
    if (root.empty())
        return false;
    return AskVolume(root,
                     [root] {
                         const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                         if (fd < 0)
                             return false;
                         DIR* dir = ::fdopendir(fd);
                         if (!dir) {
                             ::close(fd);
                             return false;
                         }
                         std::unique_ptr<DIR, int (*)(DIR*)> guard(dir, ::closedir);
                         errno = 0;
                         // An entry, or the plain end of an empty folder;
                         // anything else failed.
                         return ::readdir(dir) != nullptr || errno == 0;
                     })
        .value_or(false);
}

ScopedVolumeQuery::ScopedVolumeQuery(VolumeBlocksQuery query, std::chrono::milliseconds limit)
    : FQuery(std::move(query)), FLimit(limit) {
    std::lock_guard lock(TheRegistry().mutex);
    FPrevious = TheRegistry().installed;
    TheRegistry().installed = this;
}

ScopedVolumeQuery::~ScopedVolumeQuery() {
    std::lock_guard lock(TheRegistry().mutex);
    TheRegistry().installed = FPrevious;
}

} // namespace Platform
