#pragma once
// The display going away (the X server ends, an ssh -X link drops) while SDL
// holds a connection to it. Xlib then calls its fatal I/O error handler and
// ends the process as soon as the handler returns; the handler installed
// here ends the run first, as a hang-up does: the stop request is set to
// SIGHUP, the registered end of run saves what must be saved and gives the
// terminal back, and the process exits with status 128 + SIGHUP.
#include <functional>

struct SDL_Window;

namespace zeph {

// Installs the handler (idempotent: SDL may install its own when it starts
// the video) and registers what ends the run at once. The callback runs on
// the thread that made the failing X call, at most once; it must not use the
// display.
void on_display_lost(std::function<void()> end_run);

// Installs the handler again after SDL started its video, keeping the
// registered end of run.
void guard_display_connection();

// The exit status of a run ended by a lost display.
int display_lost_status();

// Notes the X connection a window of SDL's uses (nothing on other drivers),
// so that a later plot can look at it before using it.
void remember_display_of(SDL_Window* window);
// The X server has closed the remembered connection (it ended between two
// plots): using it would end the run.
bool remembered_display_closed();

}  // namespace zeph
