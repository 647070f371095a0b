#pragma once
// How a tool's run ended. Every tool reports one of these four; the texts
// that tell the user stay each tool's own, and each front end maps the
// outcome once (the command line to its exit status).
namespace QuillTPU {

enum class RunOutcome {
    Done,     // the work is complete
    Canceled, // Cancel, Ctrl+C or a stop signal; the tool cleaned up as it does
    Failed,   // a step failed midway; a message said which and why
    Declined, // a check before the work refused it (nothing to do, no room, a
              // volume that cannot give an honest figure, No to a question)
};

} // namespace QuillTPU
