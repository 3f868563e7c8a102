#include "graphics/x11_title.hpp"

#include <SDL.h>

// Xlib's headers define Status, None, Bool and others as macros: they stay in this file.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <SDL_syswm.h>

namespace zeph {

namespace {
// The title as text without the characters beyond ASCII (a dash for each).
std::string ascii_title(const std::string& title) {
    std::string ascii;
    for (std::size_t i = 0; i < title.size(); ++i) {
        const auto byte = static_cast<unsigned char>(title[i]);
        if (byte < 0x80) ascii += title[i];
        else if ((byte & 0xC0) == 0xC0) ascii += '-';   // the first byte of a character
    }
    return ascii;
}

}  // namespace

// On X the title SDL sets goes through the C library's locale, which loses
// characters beyond ASCII in the "C" locale of a scripted run: the window
// manager's UTF-8 name is set here, and the old name gets the ASCII form.
void set_x11_title(SDL_Window* window, const std::string& title) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    const ::Window xwindow = info.info.x11.window;
    const std::string ascii = ascii_title(title);
    XChangeProperty(display, xwindow, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XChangeProperty(display, xwindow, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(ascii.data()), static_cast<int>(ascii.size()));
    XFlush(display);
}

}  // namespace zeph
