#pragma once
// The lifetime of one task of a tool: BeginTask when the scope opens, EndTask
// on every way out (done, cancelled, failed, or an exception), so no run can
// leave Cancel visible or the busy cursor behind.
#include "util/TaskHost.h"

namespace QuillTPU {

// Status texts that several tools share.
inline constexpr const char* kCanceledStatus = "  CANCELED!";
// A tool stopped on a failure; the message box says which and why.
inline constexpr const char* kFailedStatus = "  FAILED!";

class TaskScope {
public:
    explicit TaskScope(ITaskHost& host) : FHost(host) { FHost.BeginTask(); }
    ~TaskScope() { End(); }
    TaskScope(const TaskScope&) = delete;
    TaskScope& operator=(const TaskScope&) = delete;

    // Ends the task early (before a final status text or the beep); the
    // destructor then does nothing.
    void End() {
        if (FOpen) {
            FOpen = false;
            FHost.EndTask();
        }
    }
    bool Open() const { return FOpen; }

private:
    ITaskHost& FHost;
    bool FOpen = true;
};

} // namespace QuillTPU
