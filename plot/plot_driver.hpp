#pragma once
// plot_driver: draws one curve with its frame, axes, grids, labels and
// numbers (or over the previous plot), optionally writes the drawn points to
// a text file, and then pans the view on the arrow and page keys until Esc or
// Enter. Everything is drawn through the Painter, so the same call works on
// screen and off screen; the caller shows the canvas and supplies the keys.
//
// Layout: the plot frame is [0, W] × [0, H] world units with W = 10000·ax and
// H = 10000·ay (ax, ay from the aspect ratio, 13000 × 10000 by default); the
// world window around it is 17666.67 × 13250 units, so that the numbers,
// labels and title fit left of, below and above the frame.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/status.hpp"
#include "plot/axes.hpp"
#include "plot/painter.hpp"
#include "plot/plot_settings.hpp"
#include "plot/plot_view.hpp"
#include "console/key_source.hpp"

namespace zeph {

inline const std::string kGraphicsInitError = "GRAF32: Error initializing graphics screen";
inline const std::string kScreenSaveTooSmall = "Graf32. Screen save buffer, SCRSAV, is too small. Need";
inline const std::string kScreenSaveTooSmallAtEnd = "Graf32: Screen save buffer, SCRSAV, is too small.";

// Thinning aims at this many groups (two drawn points each) per frame width.
inline constexpr int kThinningGroups = 256;
// Smoothing puts about this many points across the frame width.
inline constexpr int kSmoothingSteps = 256;
// Upper limit of the interpolated points between two data points, so that a
// very wide gap in a narrow view cannot take unbounded time.
inline constexpr int kMaxSmoothingSteps = 4096;
inline constexpr double kDegreesToRadians = 0.01745329252;

// The points of one curve. Evenly spaced: point i (0-based) lies at
// x_first + i·dx. Otherwise `x` holds one abscissa per point (XY plots).
struct PlotData {
    std::span<const double> y;
    std::span<const double> x;
    bool evenly_spaced = true;
    double x_first = 0;
    double dx = 1;

    std::size_t size() const { return evenly_spaced ? y.size() : std::min(y.size(), x.size()); }
    double x_at(std::size_t i) const { return evenly_spaced ? x_first + static_cast<double>(i) * dx : x[i]; }
};

// One call's choices that are not settings of the picture.
struct PlotCall {
    bool overlay = false;          // draw over the finished previous plot
    int window_width = 0;          // pixels
    int window_height = 0;
    bool pause_after_plot = true;  // false: no key loop, the plot ends right after drawing
};

// What carries over from one plot to the next; kept by the caller.
struct PlotMemory {
    // The screen save buffer: the background during panning, and the finished
    // plot afterwards. Its size is its capacity (screen_save_bytes).
    std::vector<std::uint8_t> screen_save;
    // The texts drawn on the saved picture, given back to the canvas with it.
    std::vector<CanvasText> screen_save_texts;
    bool holds_plot = false;       // a finished plot is saved (an overlay can start from it)
    ViewLimits view;               // the view of that plot, so an overlay matches its axes
};

// Bytes of the saved image of a whole window of width × height pixels.
std::size_t screen_save_bytes(int width, int height);

// One value of the EX point file: 14 characters with 6 decimals, plain
// (%14.6f) while that fits, else in exponent form (%14.6E, which always
// does: |value| from 1E7, or -1E6 for negatives, up to the largest double).
inline constexpr std::size_t kPointFieldWidth = 14;
std::string point_file_field(double value);
// The line for one drawn point: x, a comma, y.
std::string point_file_line(double x, double y);

// The window around the canvas, as callbacks. Unset callbacks do nothing
// (and an unset read_key ends the key loop as Esc would).
struct PlotIo {
    std::function<int()> read_key;                    // console key codes; Esc when no key can come
    std::function<void(int hz, int ms)> beep;
    std::function<void(const GraphicsCanvas&)> show;  // a picture is complete
    std::function<void()> mark_metafile;              // before the background is saved
    std::function<void()> rewind_metafile;            // before a panned redraw
    std::function<void()> bitmap_saved;               // the bitmap file was written
    std::function<PlotInput()> read_input;            // keys and the mouse; unset: read_key alone
    std::function<void(const std::string&)> show_readout;   // the pointer's coordinates, "" off the frame
    std::function<void(const std::string&)> picked;   // the data point a click picked, as a message

    // The next key; Esc when none can come.
    int key() const {
        const int k = read_key ? read_key() : kKeyEscape;
        return k < 0 ? kKeyEscape : k;
    }
    // The next key or gesture; a key of Esc when none can come.
    PlotInput input() const {
        if (!read_input) return {key(), std::nullopt};
        PlotInput next = read_input();
        if (!next.pointer && next.key < 0) next.key = kKeyEscape;
        return next;
    }
    void tone(int hz, int ms) const {
        if (beep) beep(hz, ms);
    }
};

// Draws the plot and runs its key loop. On failure the returned message is
// one of the constants above; the canvas is then closed (graphics_close, so
// an attached recorder is ended) and the caller closes its window. A point
// or bitmap file that cannot be written is reported after a completed plot.
Status plot_driver(Painter& painter, const PlotData& data, const PlotSettings& settings, const PlotCall& call,
                   PlotMemory& memory, const PlotIo& io);

// --- The pieces of the driver, exposed for testing. ---

// Points of one thinning group: about 1/256 of the frame width, 1 when every
// point is drawn (HI, wrap, modulo, markers, or an abscissa array).
int thinning_group_size(const PlotData& data, const PlotSettings& settings, std::size_t first, std::size_t last,
                        double xspan);

}  // namespace zeph
