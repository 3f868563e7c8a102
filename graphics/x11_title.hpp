#pragma once
// The plot window's title on X, in UTF-8 whatever the C library's locale.
#include <string>

struct SDL_Window;

namespace zeph {

// Sets the window manager's UTF-8 name of an SDL window on X to `title`,
// and its old-style name to the ASCII form (a dash for each character
// beyond ASCII). Nothing on other video drivers.
void set_x11_title(SDL_Window* window, const std::string& title);

}  // namespace zeph
