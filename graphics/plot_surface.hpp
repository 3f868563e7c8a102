#pragma once
// Where a finished plot picture goes and where the keys come from while the
// plot is up: the plot window, the terminal (an image or symbols), or
// nowhere. The plot path draws through one PlotSurface and never asks which
// one it is; the choice among them is made here, once a run.
#include <memory>
#include <optional>
#include <string>

#include "base/status.hpp"
#include "graphics/graphics_canvas.hpp"
#include "console/key_source.hpp"
#include "graphics/plot_target.hpp"
#include "graphics/plot_window.hpp"
#include "console/pointer.hpp"

namespace zeph {

inline constexpr const char* kPlotWindowTitle = "Tavola";

// The plot window's size for a desktop of `screen` pixels:
// min(trunc(0.8·width), 1280) × min(trunc(0.8·height), 1024).
ScreenSize plot_window_size(ScreenSize screen);

class TextConsole;
class TerminalPlotScreen;

class PlotSurface {
public:
    virtual ~PlotSurface() = default;
    // Takes the screen for one plot of width × height pixels; `keys` are the
    // program's keys (the terminal or the headless lines). A surface that
    // cannot be shown fails and the plot is not drawn.
    virtual Status begin(KeySource& keys, int width, int height) = 0;
    // Shows a finished picture (the first and every redraw).
    virtual void show(const GraphicsCanvas& canvas) = 0;
    // The next key while the plot is up.
    virtual int read_key() = 0;
    // The next key or gesture of the mouse; surfaces without a mouse give keys.
    virtual PlotInput read_input() { return {read_key(), std::nullopt}; }
    // Shows where the pointer is ("x 616.72 Hz, y 38.1 dB"; empty: nowhere on the frame).
    virtual void show_readout(const std::string& readout) { (void)readout; }
    // The size the user gave the picture (a window resized by hand): the
    // next plot is drawn for it. Nothing when the user chose none.
    virtual std::optional<ScreenSize> chosen_size() const { return std::nullopt; }
    // Gives the screen back: the window closes, the console is drawn again.
    virtual void end() = 0;
    // False when nobody can look at the plot (off screen on a terminal): the
    // plot then does not wait for a key.
    virtual bool seen() const = 0;
};

// What the choice of a surface depends on besides ZEPH_PLOT and the probes.
struct SurfaceSurroundings {
    bool window_allowed = true;                  // false: always off screen (tests, --nowindow)
    TerminalPlotScreen* terminal = nullptr;      // the console's terminal; none when headless
};

struct ChosenSurface {
    PlotTarget target = PlotTarget::None;
    std::unique_ptr<PlotSurface> surface;
    std::string note;   // the message-line note of the choice; empty when there is none to give
};

// Chooses where the plots of this run go, from ZEPH_PLOT, the display and
// the terminal's answers. In auto the window is tried first; a window that
// opened for the test stays open for the first plot. `console` gathers what
// the display library writes while the window is tried (its complaint is
// the reason given in the note).
ChosenSurface choose_plot_surface(const SurfaceSurroundings& around, TextConsole& console, int width, int height);

}  // namespace zeph
