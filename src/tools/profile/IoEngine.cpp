#include "tools/profile/IoEngine.h"

#include "platform/Errors.h"
#include "platform/File.h"

#include <cerrno>
#include <ctime>

#include <libaio.h>
#include <liburing.h>

namespace Profile {

namespace {

timespec ToTimespec(std::uint64_t ns) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000u);
    ts.tv_nsec = static_cast<long>(ns % 1'000'000'000u);
    return ts;
}

class UringEngine final : public IIoEngine {
public:
    ~UringEngine() override {
        if (FReady)
            io_uring_queue_exit(&FRing);
    }
    // 0 or the errno of the refusal.
    int Open(unsigned depth) {
        // One thread submits and reaps: completions wait for the reap
        // instead of interrupting the thread (kernels from 6.1 on).
        io_uring_params params{};
        params.flags = IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_DEFER_TASKRUN;
        int result = io_uring_queue_init_params(depth, &FRing, &params);
        if (result == -EINVAL)
            result = io_uring_queue_init(depth, &FRing, 0);
        FReady = result == 0;
        return result < 0 ? -result : 0;
    }
    const char* Name() const override { return "io_uring"; }
    void Prepare(std::size_t slot, bool write, int fd, void* buffer, std::size_t length,
                 std::int64_t offset) override {
        io_uring_sqe* sqe = io_uring_get_sqe(&FRing);
        // The ring has a place for every slot, and a slot is queued only
        // once its last request completed.
        if (!sqe)
            throw SystemError("The I/O queue is full.", EBUSY);
        if (write)
            io_uring_prep_write(sqe, fd, buffer, static_cast<unsigned>(length),
                                static_cast<__u64>(offset));
        else
            io_uring_prep_read(sqe, fd, buffer, static_cast<unsigned>(length),
                               static_cast<__u64>(offset));
        io_uring_sqe_set_data64(sqe, slot);
    }
    int Submit() override {
        while (io_uring_sq_ready(&FRing) > 0) {
            const int result = io_uring_submit(&FRing);
            if (result < 0 && result != -EINTR && result != -EAGAIN)
                return -result;
        }
        return 0;
    }
    int Reap(std::vector<Completion>* done, std::uint64_t timeoutNs) override {
        io_uring_cqe* cqe = nullptr;
        timespec ts = ToTimespec(timeoutNs);
        __kernel_timespec kts{ts.tv_sec, ts.tv_nsec};
        const int result = io_uring_wait_cqe_timeout(&FRing, &cqe, &kts);
        if (result == -ETIME || result == -EINTR)
            return 0;
        if (result < 0)
            return -result;
        unsigned head = 0;
        unsigned count = 0;
        io_uring_for_each_cqe(&FRing, head, cqe) {
            done->push_back({static_cast<std::size_t>(io_uring_cqe_get_data64(cqe)), cqe->res});
            ++count;
        }
        io_uring_cq_advance(&FRing, count);
        return 0;
    }

private:
    io_uring FRing{};
    bool FReady = false;
};

class AioEngine final : public IIoEngine {
public:
    ~AioEngine() override {
        if (FReady)
            io_destroy(FContext);
    }
    int Open(unsigned depth) {
        const int result = io_setup(static_cast<int>(depth), &FContext);
        FReady = result == 0;
        FBlocks.resize(depth);
        FEvents.resize(depth);
        return result < 0 ? -result : 0;
    }
    const char* Name() const override { return "libaio"; }
    void Prepare(std::size_t slot, bool write, int fd, void* buffer, std::size_t length,
                 std::int64_t offset) override {
        iocb& block = FBlocks.at(slot);
        if (write)
            io_prep_pwrite(&block, fd, buffer, length, offset);
        else
            io_prep_pread(&block, fd, buffer, length, offset);
        block.data = reinterpret_cast<void*>(slot);
        FQueued.push_back(&block);
    }
    int Submit() override {
        std::size_t sent = 0;
        while (sent < FQueued.size()) {
            const int result = io_submit(FContext, static_cast<long>(FQueued.size() - sent),
                                         FQueued.data() + sent);
            if (result < 0 && result != -EINTR && result != -EAGAIN) {
                FQueued.clear();
                return -result;
            }
            if (result > 0)
                sent += static_cast<std::size_t>(result);
        }
        FQueued.clear();
        return 0;
    }
    int Reap(std::vector<Completion>* done, std::uint64_t timeoutNs) override {
        timespec ts = ToTimespec(timeoutNs);
        const int result =
            io_getevents(FContext, 1, static_cast<long>(FEvents.size()), FEvents.data(), &ts);
        if (result == -EINTR)
            return 0;
        if (result < 0)
            return -result;
        for (int i = 0; i < result; ++i) {
            const io_event& event = FEvents[static_cast<std::size_t>(i)];
            // A failure comes as a negative count in the unsigned field.
            done->push_back({reinterpret_cast<std::size_t>(event.data),
                             static_cast<std::int64_t>(static_cast<long>(event.res))});
        }
        return 0;
    }

private:
    io_context_t FContext = nullptr;
    bool FReady = false;
    std::vector<iocb> FBlocks;
    std::vector<iocb*> FQueued;
    std::vector<io_event> FEvents;
};

} // namespace

std::unique_ptr<IIoEngine> OpenEngine(EngineChoice choice, unsigned depth, std::string* why) {
    int uringError = 0;
    if (choice != EngineChoice::Aio) {
        auto uring = std::make_unique<UringEngine>();
        uringError = uring->Open(depth);
        if (uringError == 0)
            return uring;
        if (choice == EngineChoice::Uring) {
            *why = "io_uring is refused here. " + Platform::ErrorText(uringError);
            return nullptr;
        }
    }
    auto aio = std::make_unique<AioEngine>();
    if (const int error = aio->Open(depth)) {
        *why = "Neither io_uring nor native AIO can be used here. " +
               Platform::ErrorText(uringError ? uringError : error);
        return nullptr;
    }
    return aio;
}

} // namespace Profile
