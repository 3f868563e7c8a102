#include "base/stop_request.hpp"

#include <atomic>
#include <csignal>
#include <initializer_list>

namespace zeph {

namespace {
// A signal handler can reach only file-scope state: this flag is the one piece.
volatile std::sig_atomic_t g_stop_signal = 0;

// A stop recorded later by request_stop_at_look: looks left before it, and its signal.
std::atomic<long> g_looks_left{0};
std::atomic<int> g_delayed_signal{0};

void record_stop(int signal_number) {
    if (g_stop_signal == 0) g_stop_signal = signal_number;
}
}  // namespace

void install_stop_handlers() {
    struct sigaction action {};
    action.sa_handler = record_stop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;   // no SA_RESTART: a blocked read returns with EINTR
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal_number, &action, nullptr);
    // The other signals whose default is to end the process end the run the
    // same way, so the reply log is saved and no temporary file is left.
    for (int signal_number : {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT, SIGXCPU})
        sigaction(signal_number, &action, nullptr);
    // A reader that went away is a failed write (the run then ends as on a signal), not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
}

void request_stop(int signal_number) { record_stop(signal_number); }

void request_stop_at_look(int signal_number, long looks) {
    g_delayed_signal.store(signal_number);
    g_looks_left.store(looks);
}

int stop_signal() {
    if (g_looks_left.load(std::memory_order_relaxed) > 0 && g_looks_left.fetch_sub(1) == 1)
        record_stop(g_delayed_signal.load());
    return g_stop_signal;
}

}  // namespace zeph
