#pragma once
// The plot window on the desktop: an SDL2 window that shows a GraphicsCanvas
// and delivers the keys typed in it as console key codes (0xE0 + code letter
// for arrows and page keys, Esc 27, Enter 13, letters as their bytes).
//
// A window opens only when a display is available (DISPLAY or WAYLAND_DISPLAY
// set and SDL's video starts); otherwise open() reports that there is no
// display and the caller keeps drawing off screen on the canvas alone.
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.hpp"
#include "graphics/graphics_canvas.hpp"
#include "console/key_source.hpp"
#include "console/pointer.hpp"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace zeph {

inline const std::string kNoDisplayMessage = "No display: the plot is drawn off screen";

struct ScreenSize {
    int width = 1920;    // pixels
    int height = 1080;
};

// DISPLAY or WAYLAND_DISPLAY is set to something.
bool display_variables_set();
// The desktop's size from SDL; 1920 × 1080 when there is no display.
ScreenSize desktop_size();

// Ends the connection to the display that the first window (or
// desktop_size) made; it is otherwise kept until the program exits, so that
// windows open quickly and an X server that resets when its last client
// leaves is never caught mid-reset. Harmless when there is none.
void release_display();

// The largest rectangle of a width × height picture's shape inside an area,
// centred: where the picture is shown in a window of another size.
PixelRect fitted_rect(int width, int height, int area_width, int area_height);

// Console codes of a key pressed in the window (SDL key code, Ctrl held):
// nothing for keys that arrive as text input instead.
std::vector<int> console_keys_for_key(int sdl_keycode, bool ctrl);
// Console bytes of typed text (UTF-8): each character as its UTF-8 bytes
// (see key_source.hpp); bytes that are no valid UTF-8 are dropped.
std::vector<int> console_keys_for_text(std::string_view utf8);

// The first line a display library wrote on standard error while the window
// was tried (an X server refusing authorisation, say), control characters
// made spaces; empty when there is none.
std::string display_complaint(const std::string& written);

class PlotWindow : public KeySource {
public:
    PlotWindow() = default;
    ~PlotWindow() override;
    PlotWindow(const PlotWindow&) = delete;
    PlotWindow& operator=(const PlotWindow&) = delete;

    // Opens a window of width × height pixels at `position` (the desktop's
    // origin when none is given). Fails with kNoDisplayMessage (plus SDL's
    // reason when it tried) when no window can be shown.
    Status open(const std::string& title, int width, int height, std::optional<PixelPoint> position = {});
    // The window's size and place on the desktop now (its size as the user
    // made it); nothing when it is closed.
    std::optional<PixelRect> placement() const;
    // The title bar's text.
    void set_title(const std::string& title);
    bool is_open() const { return window_ != nullptr; }
    SDL_Window* sdl_window() const { return window_; }
    // Closes the window; pending keys are dropped. Harmless when closed.
    void close();

    // Shows the canvas; the picture is kept for repainting on expose.
    void present(const GraphicsCanvas& canvas);

    // Next key typed in the window, -1 when none is pending. Handles the
    // window's other events (expose, close) on the way. Closing the window
    // from the desktop delivers Esc.
    int poll_key() override;

    // Waits for a key from the window or from the other source (see below),
    // checking both every few milliseconds. Without an open window and
    // without another source it returns Esc at once. The mouse is ignored.
    int read_key() override;
    // As read_key, but the mouse over the picture comes too: moves, drags,
    // clicks and wheel steps in the canvas's pixels.
    PlotInput read_input();

    // The desktop clipboard's text (UTF-8) while the window is open.
    std::string clipboard_text() override;

    // A second source polled while read_key waits (for instance the
    // terminal); it returns a key or -1 when nothing is pending.
    void set_other_source(std::function<int()> poll) { other_source_ = std::move(poll); }

    // SDL's last log message while the window was open.
    const std::string& sdl_log() const { return log_; }
    // SDL's reason when the last open failed after trying; empty otherwise.
    const std::string& failure_reason() const { return failure_reason_; }

private:
    void handle_pending_events();
    void queue_pointer(const PointerReport& report);
    // A point of the window (SDL's mouse coordinates) on the presented canvas.
    std::pair<double, double> canvas_point(int x, int y) const;
    std::optional<PlotInput> poll_input();
    void repaint();
    bool upload_frame();

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int texture_width_ = 0;
    int texture_height_ = 0;
    std::vector<std::uint8_t> frame_;     // last presented picture, RGB rows
    int frame_width_ = 0;
    int frame_height_ = 0;
    std::deque<PlotInput> pending_;   // keys and gestures in the order they came
    GestureTracker gestures_;
    int mouse_x_ = 0, mouse_y_ = 0;   // the pointer's last place in the window
    std::function<int()> other_source_;
    std::string log_;
    std::string failure_reason_;
};

}  // namespace zeph
