#pragma once
// Root passes every file mode check. A test of what a plain user meets (a
// folder it may not read or write) takes, for its own length, the rights
// that override file modes out of the thread's effective set; they stay
// permitted, so they come back at the end. Threads started meanwhile
// inherit the narrower set.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <initializer_list>

class FileModesBind {
public:
    FileModesBind() {
        if (::geteuid() != 0) {
            FHolds = true; // a plain user already
            return;
        }
        if (!Get(FSaved))
            return;
        __user_cap_data_struct narrowed[2] = {FSaved[0], FSaved[1]};
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            narrowed[cap / 32].effective &= ~(1u << (cap % 32));
        FDropped = Set(narrowed);
        FHolds = FDropped;
    }
    ~FileModesBind() {
        if (FDropped)
            Set(FSaved);
    }
    FileModesBind(const FileModesBind&) = delete;
    FileModesBind& operator=(const FileModesBind&) = delete;

    // True when file modes now stop this thread.
    bool Holds() const { return FHolds; }

private:
    static bool Get(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool Set(__user_cap_data_struct* data) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct FSaved[2]{};
    bool FDropped = false;
    bool FHolds = false;
};
