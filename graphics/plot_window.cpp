#include "graphics/plot_window.hpp"

#include "base/stop_request.hpp"
#include "base/text.hpp"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <tuple>

#include "base/utf8.hpp"
#include "console/display_loss.hpp"
#include "graphics/x11_title.hpp"

namespace zeph {

namespace {

// How long read_key sleeps between looks at its sources.
constexpr int kWaitSliceMs = 20;

bool variable_set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// SDL falls back to drivers that show nothing (offscreen, dummy) when no
// display answers; a window there would wait for keys no one can see.
bool shows_nothing(const char* driver) {
    if (!driver) return true;
    const std::string_view name = driver;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return (name == "offscreen" || name == "dummy") && !(asked && name == asked);
}

// SDL's video once started on a display stays up for the run (one
// reference of SDL's count, given back by release_display): windows come and
// go, the display connection stays.
bool g_video_held = false;
// The held connection's server went away between plots: it is never used
// again (even closing it would be an X call), and no window opens.
bool g_display_gone = false;

// Starts SDL's video on a driver that shows windows to the user, once.
bool start_video() {
    if (g_video_held && !g_display_gone && remembered_display_closed()) g_display_gone = true;
    if (g_display_gone) {
        SDL_SetError("the display has gone away");
        return false;
    }
    if (g_video_held) return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");   // the terminal keeps its own Ctrl+C
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    if (!shows_nothing(SDL_GetCurrentVideoDriver())) {
        g_video_held = true;
        guard_display_connection();
        static const bool released_at_exit = std::atexit(release_display) == 0;
        (void)released_at_exit;
        return true;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) display = std::getenv("WAYLAND_DISPLAY");
    SDL_SetError("no display answers at %s", display ? display : "");
    return false;
}

// SDL's own messages go to the window's log, never to the terminal.
void SDLCALL record_log(void* log, int /*category*/, SDL_LogPriority /*priority*/, const char* message) {
    if (log && message) *static_cast<std::string*>(log) = message;
}

std::vector<int> extended(int code) { return {kKeyExtended, code}; }

}  // namespace

std::string display_complaint(const std::string& written) {
    std::size_t start = 0;
    while (start < written.size()) {
        const std::size_t end = std::min(written.find('\n', start), written.size());
        std::string line = written.substr(start, end - start);
        start = end + 1;
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        line = trim_right(line);
        // The wayland client writes this whenever SDL probes for a compositor,
        // also on an X desktop: it is no reason for the window's failure.
        if (line.empty() || line.find("XDG_RUNTIME_DIR") != std::string::npos) continue;
        return line;
    }
    return {};
}

PixelRect fitted_rect(int width, int height, int area_width, int area_height) {
    if (width <= 0 || height <= 0 || area_width <= 0 || area_height <= 0) return {0, 0, 0, 0};
    const double scale = std::min(static_cast<double>(area_width) / width, static_cast<double>(area_height) / height);
    const int w = std::clamp(static_cast<int>(std::lround(width * scale)), 1, area_width);
    const int h = std::clamp(static_cast<int>(std::lround(height * scale)), 1, area_height);
    return {(area_width - w) / 2, (area_height - h) / 2, w, h};
}

void release_display() {
    if (!g_video_held || g_display_gone) return;
    g_video_held = false;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool display_variables_set() { return variable_set("DISPLAY") || variable_set("WAYLAND_DISPLAY"); }

ScreenSize desktop_size() {
    ScreenSize size;
    if (!display_variables_set() || !start_video()) return size;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) size = {mode.w, mode.h};
    return size;
}

std::vector<int> console_keys_for_key(int sdl_keycode, bool ctrl) {
    switch (sdl_keycode) {
        case SDLK_LEFT: return extended(ctrl ? kKeyCtrlLeft : kKeyLeft);
        case SDLK_RIGHT: return extended(ctrl ? kKeyCtrlRight : kKeyRight);
        case SDLK_UP: return extended(kKeyUp);
        case SDLK_DOWN: return extended(kKeyDown);
        case SDLK_PAGEUP: return extended(kKeyPageUp);
        case SDLK_PAGEDOWN: return extended(kKeyPageDown);
        case SDLK_HOME: return extended(kKeyHome);
        case SDLK_END: return extended(kKeyEnd);
        case SDLK_DELETE: return extended(kKeyDelete);
        case SDLK_ESCAPE: return {kKeyEscape};
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return {kKeyEnter};
        case SDLK_BACKSPACE: return {kKeyBackspace};
        case SDLK_TAB: return {'\t'};
        default: break;
    }
    // Ctrl+letter gives its control code (Ctrl+V = 22); plain letters come as text.
    if (ctrl && sdl_keycode >= SDLK_a && sdl_keycode <= SDLK_z) return {sdl_keycode - SDLK_a + 1};
    return {};
}

std::vector<int> console_keys_for_text(std::string_view utf8) {
    std::vector<int> keys;
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Char c = next_character(utf8, i);
        // A valid character goes on as its UTF-8 bytes; a stray byte is dropped.
        if (c.code_point != kReplacementCharacter || utf8.substr(i, c.length) == "\uFFFD") {
            for (std::size_t k = 0; k < c.length; ++k) keys.push_back(static_cast<unsigned char>(utf8[i + k]));
        }
        i += c.length;
    }
    return keys;
}

PlotWindow::~PlotWindow() { close(); }

Status PlotWindow::open(const std::string& title, int width, int height, std::optional<PixelPoint> position) {
    close();
    failure_reason_.clear();
    if (!display_variables_set()) return Status::failure(kNoDisplayMessage);
    SDL_LogSetOutputFunction(&record_log, &log_);
    if (!start_video()) {
        failure_reason_ = SDL_GetError();
        SDL_LogSetOutputFunction(nullptr, nullptr);
        return Status::failure(kNoDisplayMessage + " (" + failure_reason_ + ")");
    }
    // The user may resize or maximise the window; the picture is scaled to it.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    window_ = SDL_CreateWindow(title.c_str(), position ? position->x : 0, position ? position->y : 0,
                               std::max(1, width), std::max(1, height),
                               SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (window_) {
        remember_display_of(window_);
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!window_ || !renderer_) {
        failure_reason_ = SDL_GetError();
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        renderer_ = nullptr;
        window_ = nullptr;
        SDL_LogSetOutputFunction(nullptr, nullptr);
        return Status::failure(kNoDisplayMessage + " (" + failure_reason_ + ")");
    }
    SDL_StartTextInput();
    pending_.clear();
    gestures_ = {};
    SDL_FlushEvents(SDL_KEYDOWN, SDL_TEXTINPUT);
    SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
    return Status::success();
}

void PlotWindow::close() {
    if (!window_) return;
    SDL_StopTextInput();
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    texture_width_ = texture_height_ = 0;
    pending_.clear();
    SDL_LogSetOutputFunction(nullptr, nullptr);   // nothing is logged once the window is gone
}

void PlotWindow::present(const GraphicsCanvas& canvas) {
    if (!window_) return;   // off screen: nothing to show
    frame_ = canvas.rgb_pixels();
    frame_width_ = canvas.width();
    frame_height_ = canvas.height();
    if (upload_frame()) repaint();
    handle_pending_events();
}

bool PlotWindow::upload_frame() {
    if (frame_width_ <= 0 || frame_height_ <= 0) return false;
    if (!texture_ || texture_width_ != frame_width_ || texture_height_ != frame_height_) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING,
                                     frame_width_, frame_height_);
        texture_width_ = texture_ ? frame_width_ : 0;
        texture_height_ = texture_ ? frame_height_ : 0;
        if (!texture_) return false;
    }
    return SDL_UpdateTexture(texture_, nullptr, frame_.data(), frame_width_ * 3) == 0;
}

void PlotWindow::repaint() {
    if (!renderer_) return;
    SDL_SetRenderDrawColor(renderer_, 255, 255, 255, 255);
    SDL_RenderClear(renderer_);
    if (texture_) {
        int width = 0, height = 0;
        if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0) width = texture_width_, height = texture_height_;
        const PixelRect target = fitted_rect(texture_width_, texture_height_, width, height);
        const SDL_Rect rect{target.x, target.y, target.width, target.height};
        SDL_RenderCopy(renderer_, texture_, nullptr, &rect);
    }
    SDL_RenderPresent(renderer_);
}

void PlotWindow::handle_pending_events() {
    if (!window_) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_KEYDOWN: {
                const bool ctrl = (event.key.keysym.mod & KMOD_CTRL) != 0;
                for (int key : console_keys_for_key(event.key.keysym.sym, ctrl)) pending_.push_back({key, std::nullopt});
                break;
            }
            case SDL_TEXTINPUT:
                for (int key : console_keys_for_text(event.text.text)) pending_.push_back({key, std::nullopt});
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    pending_.push_back({kKeyEscape, std::nullopt});
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                           event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                           event.window.event == SDL_WINDOWEVENT_RESTORED) {
                    repaint();
                }
                break;
            case SDL_QUIT:
                pending_.push_back({kKeyEscape, std::nullopt});
                break;
            case SDL_MOUSEMOTION:
                mouse_x_ = event.motion.x, mouse_y_ = event.motion.y;
                queue_pointer({PointerReport::Kind::motion});
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (event.button.button != SDL_BUTTON_LEFT) break;
                mouse_x_ = event.button.x, mouse_y_ = event.button.y;
                queue_pointer({event.type == SDL_MOUSEBUTTONDOWN ? PointerReport::Kind::press
                                                                 : PointerReport::Kind::release});
                break;
            case SDL_MOUSEWHEEL: {
                const int steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
                queue_pointer({PointerReport::Kind::wheel, 0, 0, steps});
                break;
            }
            case SDL_RENDER_TARGETS_RESET:
            case SDL_RENDER_DEVICE_RESET:
                // The texture's contents are lost: upload the kept picture again.
                if (upload_frame()) repaint();
                break;
            default:
                break;
        }
    }
}

std::string PlotWindow::clipboard_text() {
    if (!window_ || !SDL_HasClipboardText()) return {};
    char* text = SDL_GetClipboardText();
    std::string copy = text ? text : "";
    SDL_free(text);
    return copy;
}

std::optional<PixelRect> PlotWindow::placement() const {
    if (!window_) return std::nullopt;
    PixelRect rect;
    SDL_GetWindowPosition(window_, &rect.x, &rect.y);
    SDL_GetWindowSize(window_, &rect.width, &rect.height);
    return rect;
}

void PlotWindow::set_title(const std::string& title) {
    if (!window_) return;
    SDL_SetWindowTitle(window_, title.c_str());
    set_x11_title(window_, title);
}

std::pair<double, double> PlotWindow::canvas_point(int x, int y) const {
    int width = 0, height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    if (texture_width_ <= 0 || texture_height_ <= 0 || width <= 0 || height <= 0) return {x, y};
    const PixelRect shown = fitted_rect(texture_width_, texture_height_, width, height);
    if (shown.width <= 0 || shown.height <= 0) return {x, y};
    // The centre of the window pixel, on the canvas's pixel grid.
    return {(x + 0.5 - shown.x) * texture_width_ / shown.width - 0.5,
            (y + 0.5 - shown.y) * texture_height_ / shown.height - 0.5};
}

void PlotWindow::queue_pointer(const PointerReport& raw) {
    PointerReport report = raw;
    std::tie(report.x, report.y) = canvas_point(mouse_x_, mouse_y_);
    const SDL_Keymod mods = SDL_GetModState();
    report.shift = (mods & KMOD_SHIFT) != 0;
    report.ctrl = (mods & KMOD_CTRL) != 0;
    const std::optional<PointerGesture> gesture = gestures_.take(report);
    if (!gesture) return;
    const PlotInput input{-1, gesture};
    if (!pending_.empty() && merge_pointer_input(pending_.back(), input)) return;
    pending_.push_back(input);
}

std::optional<PlotInput> PlotWindow::poll_input() {
    handle_pending_events();
    if (pending_.empty()) return std::nullopt;
    const PlotInput input = pending_.front();
    pending_.pop_front();
    return input;
}

int PlotWindow::poll_key() {
    for (;;) {
        const std::optional<PlotInput> input = poll_input();
        if (!input) return -1;
        if (!input->pointer) return input->key;
    }
}

int PlotWindow::read_key() {
    for (;;) {
        const PlotInput input = read_input();
        if (!input.pointer) return input.key;
    }
}

PlotInput PlotWindow::read_input() {
    for (;;) {
        if (stop_requested()) return {kKeyEscape, std::nullopt};   // the run is ending
        if (std::optional<PlotInput> input = poll_input()) return *input;
        if (other_source_) {
            const int other = other_source_();
            if (other >= 0) return {other, std::nullopt};
        }
        if (window_) {
            SDL_WaitEventTimeout(nullptr, kWaitSliceMs);
        } else if (other_source_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
        } else {
            return {kKeyEscape, std::nullopt};   // nothing could ever deliver a key
        }
    }
}

}  // namespace zeph
