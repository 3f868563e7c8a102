#pragma once
// A request to end the run from outside: SIGINT, SIGTERM, SIGHUP or SIGQUIT,
// or Ctrl+C typed at the terminal. The handler only records the signal; the
// prompt loop and the long loops look at it (formulas between blocks of
// samples, transforms before they start, file reads and writes between
// buffers, plots every kStopCheckInterval points), abandon their work as on
// Esc, and the command loop then ends the run as EN does.
namespace zeph {

// Installs the handlers (without SA_RESTART, so that a read waiting for a
// reply returns at once) for those four and for the other signals that would
// end the process silently (SIGUSR1, SIGALRM, ...); SIGPIPE is ignored.
// Called once, by main.
void install_stop_handlers();

// Records a stop as the handler does (Ctrl+C read as a key asks for SIGINT).
void request_stop(int signal_number);
// Records a stop at the `looks`-th look at the request from now on (that look
// already sees it): a stop arriving in the middle of a long loop, for tests.
void request_stop_at_look(int signal_number, long looks);

// The signal that asked the run to stop, or 0.
int stop_signal();
inline bool stop_requested() { return stop_signal() != 0; }

// How often a loop over samples looks at the request: every this many.
inline constexpr int kStopCheckInterval = 4096;

}  // namespace zeph
