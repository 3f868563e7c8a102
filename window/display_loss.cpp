#include "window/display_loss.hpp"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <utility>

#include "base/stop_request.hpp"

// Xlib's headers define Status, None, Bool and others as macros: they stay in this file.
#include <X11/Xlib.h>

namespace zeph {

namespace {

std::function<void()>& end_of_run() {
    static std::function<void()> callback;
    return callback;
}

// Xlib calls this once the connection is broken; Xlib would exit(1) when it returns.
int display_lost(Display* /*display*/) {
    static bool ending = false;
    if (!ending) {
        ending = true;
        request_stop(SIGHUP);
        if (end_of_run()) end_of_run()();
    }
    std::fflush(nullptr);
    ::_exit(display_lost_status());
}

}  // namespace

void on_display_lost(std::function<void()> end_run) {
    end_of_run() = std::move(end_run);
    guard_display_connection();
}

void guard_display_connection() { XSetIOErrorHandler(&display_lost); }

int display_lost_status() { return 128 + SIGHUP; }

}  // namespace zeph
