#pragma once
// A request to end the run from outside: SIGINT, SIGTERM, SIGHUP or SIGQUIT,
// or Ctrl+C typed at the terminal. The handler only records the signal; the
// prompt loop and the long loops (transforms, reads, writes, drawing) look at
// it between blocks, abandon their work as on Esc, and the command loop then
// ends the run as EN does. A formula runs to its end; EQ then keeps its target.
namespace zeph {

// Installs the handlers (without SA_RESTART, so that a read waiting for a
// reply returns at once). Called once, by main.
void install_stop_handlers();

// Records a stop as the handler does (Ctrl+C read as a key asks for SIGINT).
void request_stop(int signal_number);

// The signal that asked the run to stop, or 0.
int stop_signal();
inline bool stop_requested() { return stop_signal() != 0; }

// How often a loop over samples looks at the request: every this many.
inline constexpr int kStopCheckInterval = 4096;

}  // namespace zeph
