#include "window/plot_window.hpp"

#include "base/stop_request.hpp"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace zeph {

namespace {

// How long read_key sleeps between looks at its sources.
constexpr int kWaitSliceMs = 20;

bool variable_set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Reference-counted start of SDL's video for one user.
bool start_video() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");   // the terminal keeps its own Ctrl+C
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

std::vector<int> extended(int code) { return {kKeyExtended, code}; }

}  // namespace

bool display_variables_set() { return variable_set("DISPLAY") || variable_set("WAYLAND_DISPLAY"); }

ScreenSize desktop_size() {
    ScreenSize size;
    if (!display_variables_set() || !start_video()) return size;
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) size = {mode.w, mode.h};
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int length = 1;
        unsigned code = lead;
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0x80) {
            code = 0x100;   // stray continuation byte: dropped
        }
        if (length == 2) {
            if (i + 1 < utf8.size()) code = (code << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
            else code = 0x100;
        } else if (length > 2) {
            code = 0x100;   // beyond Latin-1
        }
        if (code < 0x100) keys.push_back(static_cast<int>(code));
        i += static_cast<std::size_t>(length);
    }
    return keys;
}

PlotWindow::~PlotWindow() { close(); }

Status PlotWindow::open(const std::string& title, int width, int height) {
    close();
    if (!display_variables_set()) return Status::failure(kNoDisplayMessage);
    if (!start_video()) return Status::failure(kNoDisplayMessage + " (" + SDL_GetError() + ")");
    window_ = SDL_CreateWindow(title.c_str(), 0, 0, std::max(1, width), std::max(1, height), SDL_WINDOW_SHOWN);
    if (window_) {
        renderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!window_ || !renderer_) {
        const std::string reason = SDL_GetError();
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        renderer_ = nullptr;
        window_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return Status::failure(kNoDisplayMessage + " (" + reason + ")");
    }
    SDL_StartTextInput();
    pending_keys_.clear();
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
    pending_keys_.clear();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
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
        // One canvas pixel per window pixel, from the top-left corner.
        const SDL_Rect target{0, 0, texture_width_, texture_height_};
        SDL_RenderCopy(renderer_, texture_, nullptr, &target);
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
                for (int key : console_keys_for_key(event.key.keysym.sym, ctrl)) pending_keys_.push_back(key);
                break;
            }
            case SDL_TEXTINPUT:
                for (int key : console_keys_for_text(event.text.text)) pending_keys_.push_back(key);
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    pending_keys_.push_back(kKeyEscape);
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                           event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                           event.window.event == SDL_WINDOWEVENT_RESTORED) {
                    repaint();
                }
                break;
            case SDL_QUIT:
                pending_keys_.push_back(kKeyEscape);
                break;
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

int PlotWindow::poll_key() {
    handle_pending_events();
    if (pending_keys_.empty()) return -1;
    const int key = pending_keys_.front();
    pending_keys_.pop_front();
    return key;
}

int PlotWindow::read_key() {
    for (;;) {
        if (stop_requested()) return kKeyEscape;   // the run is ending
        const int key = poll_key();
        if (key >= 0) return key;
        if (other_source_) {
            const int other = other_source_();
            if (other >= 0) return other;
        }
        if (window_) {
            SDL_WaitEventTimeout(nullptr, kWaitSliceMs);
        } else if (other_source_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
        } else {
            return kKeyEscape;   // nothing could ever deliver a key
        }
    }
}

}  // namespace zeph
