#pragma once
// What a long-running tool needs from the window: the busy state, the status
// line, a way to let the window breathe, and the Cancel flag.
#include <string>

namespace QuillTPU {

class ITaskHost {
public:
    virtual ~ITaskHost() = default;
    // Shows Cancel and the busy cursor.
    virtual void BeginTask() = 0;
    // Hides Cancel and restores the cursor. Every way out of a tool calls it.
    virtual void EndTask() = 0;
    // Processes every pending window event; Cancel is seen through this.
    virtual void PumpMessages() = 0;
    virtual bool CancelRequested() const = 0;
    // A tool clears the flag when its work starts.
    virtual void ClearCancel() = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // Repaints the window now, without waiting for the event loop.
    virtual void RepaintNow() = 0;
    // Paints the status line now. A host may hold the painting to once per
    // screen refresh, as long as the last text set is always painted.
    virtual void RepaintStatus() = 0;
    // Lets the window paint and answer assistive technology in the middle of
    // a long unit of work, without user input (no click reaches a handler).
    virtual void PumpPaint() {}
};

} // namespace QuillTPU
