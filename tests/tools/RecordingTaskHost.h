#pragma once
// A task host that records what a run did with the window: the busy state,
// every status text, and the order of these events. A test can act at every
// PumpMessages, as a user clicking in the window would.
#include "util/TaskHost.h"

#include <functional>
#include <string>
#include <vector>

class RecordingTaskHost : public QuillTPU::ITaskHost {
public:
    void BeginTask() override {
        events.push_back("BeginTask");
        busy = true;
    }
    void EndTask() override {
        events.push_back("EndTask");
        busy = false;
    }
    void PumpMessages() override {
        ++pumps;
        if (onPump)
            onPump();
    }
    bool CancelRequested() const override { return cancel; }
    void ClearCancel() override {
        events.push_back("ClearCancel");
        cancel = false;
    }
    void SetStatus(const std::string& text) override {
        events.push_back("Status " + text);
        statuses.push_back(text);
    }
    void RepaintNow() override { ++repaints; }
    void RepaintStatus() override { ++statusRepaints; }
    void PumpPaint() override { ++paintPumps; }

    // The status line as the user sees it now.
    std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }

    std::vector<std::string> events;
    std::vector<std::string> statuses;
    std::function<void()> onPump;
    bool cancel = false;
    bool busy = false;
    int pumps = 0;
    int repaints = 0;
    int statusRepaints = 0;
    int paintPumps = 0;
};
