#pragma once
// SIGTERM, SIGINT and SIGHUP as a polite request to stop. The handler only
// notes the signal and writes one byte to a pipe; the program reads the
// pipe in its own event loop and stops through its normal paths, so a
// running tool cleans up as after Cancel.
namespace Platform {

class StopSignals {
public:
    // Installs the handlers (once; later calls return the same pipe).
    // Returns the descriptor to watch for reading, or -1 when no pipe could
    // be made (then the signals keep their default action).
    static int Install();
    // Reads what the handler wrote; true when a stop was requested since
    // the last call.
    static bool Drain();
    // The last signal received, 0 for none.
    static int LastSignal();
};

} // namespace Platform
