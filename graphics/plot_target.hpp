#pragma once
// Where plots are shown: the plot window on the desktop, an image inside the
// terminal (sixel, kitty or iTerm2 graphics), Unicode symbols in the
// terminal, or nowhere (drawn off screen only). ZEPH_PLOT chooses; "auto"
// takes the window when a display is reachable and the terminal's best
// otherwise.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

enum class PlotTarget { Window, Sixel, Kitty, Iterm, Symbols, None };

// What ZEPH_PLOT asks for: a target, or automatic choice.
struct PlotRequest {
    bool automatic = true;
    PlotTarget target = PlotTarget::Window;   // when not automatic
};

// ZEPH_PLOT's value, any case; unset or empty is auto; nothing for an
// unknown word.
std::optional<PlotRequest> parse_plot_request(const char* value);

// What is known about where the program runs.
struct PlotSurroundings {
    bool terminal = false;          // the console is on a terminal (not headless)
    bool window_opens = false;      // a display is reachable and SDL's video starts
    bool sixel = false;             // the device attributes list sixel graphics
    bool kitty = false;             // a terminal known to take kitty graphics
    bool iterm = false;             // a terminal known to take iTerm2 inline images
};

// The target for a request. Auto: the window when it opens, else (on a
// terminal) sixel, kitty, iTerm2 or symbols in that order, else none. An
// explicit terminal target on a headless run is none (there is no terminal
// to draw on); an explicit window stays the window (it reports its own
// failure to open).
PlotTarget choose_plot_target(const PlotRequest& request, const PlotSurroundings& around);

// The primary device attributes answer ESC [ ? p1 ; p2 ; ... c found in
// `input`: its parameters, or nothing when no complete answer is there.
std::optional<std::vector<int>> parse_device_attributes(std::string_view input);
// Sixel graphics are attribute 4 (not the first parameter, the device class).
bool attributes_list_sixel(const std::vector<int>& attributes);

// The answer to CSI 14 t, ESC [ 4 ; height ; width t (the text area in
// pixels), when `input` holds one.
struct PixelSize {
    int width = 0;
    int height = 0;
};
std::optional<PixelSize> parse_text_area_pixels(std::string_view input);

// Terminals known from their environment to take kitty graphics (kitty,
// WezTerm, ghostty) or iTerm2 inline images (iTerm2, WezTerm). `get` reads
// one environment variable (nullptr when unset).
struct KnownGraphics {
    bool kitty = false;
    bool iterm = false;
};
KnownGraphics known_graphics(const char* (*get)(const char*));

// The name ZEPH_PLOT uses for a target ("window", "sixel", ...).
std::string_view plot_target_name(PlotTarget target);
// The message-line note of the choice made, written once per run, at most
// kMessageLineWidth characters. `window_failure` is SDL's reason when a
// display was named but the window did not open.
inline constexpr std::size_t kMessageLineWidth = 80;
std::string plot_target_note(PlotTarget target, bool automatic, std::string_view window_failure = {});

}  // namespace zeph
