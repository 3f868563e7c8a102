#include "console/display_loss.hpp"

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <utility>

#include "base/stop_request.hpp"

// Xlib's headers define Status, None, Bool and others as macros: they stay in this file.
#include <X11/Xlib.h>
#include <SDL_syswm.h>

namespace zeph {

namespace {

Display* g_remembered = nullptr;

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

void remember_display_of(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11)
        g_remembered = info.info.x11.display;
}

bool remembered_display_closed() {
    if (!g_remembered) return false;
    // A look at the socket, without Xlib: the server's end closed (also behind
    // events still waiting to be read) is a server that has gone.
    pollfd request{ConnectionNumber(g_remembered), POLLRDHUP, 0};
    if (::poll(&request, 1, 0) < 0) return false;
    return (request.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace zeph
