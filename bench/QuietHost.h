#pragma once
// A task host that shows nothing and never cancels: the benchmarks time the
// runs alone, without a window.
#include "util/TaskHost.h"

#include <string>

class QuietHost : public QuillTPU::ITaskHost {
public:
    void BeginTask() override {}
    void EndTask() override {}
    void PumpMessages() override {}
    bool CancelRequested() const override { return false; }
    void ClearCancel() override {}
    void SetStatus(const std::string&) override {}
    void RepaintNow() override {}
    void RepaintStatus() override {}
};
