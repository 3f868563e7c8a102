#include "graphics/plot_surface.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/terminal_image.hpp"
#include "console/text_console.hpp"

namespace zeph {

namespace {

constexpr double kScreenFraction = 0.8;
constexpr int kMaxWindowWidth = 1280, kMaxWindowHeight = 1024;   // pixels
// How long the terminal may take to answer its device attributes query.
constexpr int kTerminalQueryMs = 300;

// The plot window on the desktop. It is made for each plot and closed after
// it; while it waits for a key it also looks at the program's own keys.
class WindowSurface final : public PlotSurface {
public:
    Status begin(KeySource& keys, int width, int height) override {
        if (!window_.is_open()) {
            const std::optional<PixelPoint> where =
                last_ ? std::optional<PixelPoint>(PixelPoint{last_->x, last_->y}) : std::nullopt;
            if (const Status opened = window_.open(kPlotWindowTitle, width, height, where); !opened) return opened;
        }
        window_.set_other_source([&keys] { return keys.poll_key(); });
        return {};
    }
    void show(const GraphicsCanvas& canvas) override { window_.present(canvas); }
    int read_key() override { return window_.read_key(); }
    PlotInput read_input() override { return window_.read_input(); }
    void show_readout(const std::string& readout) override {
        window_.set_title(readout.empty() ? std::string(kPlotWindowTitle)
                                          : std::string(kPlotWindowTitle) + " \u2014 " + readout);
    }
    // The next window opens where and as large as the user left this one.
    void end() override {
        if (const std::optional<PixelRect> placed = window_.placement()) last_ = placed;
        window_.close();
        window_.set_other_source(nullptr);
    }
    bool seen() const override { return true; }
    std::optional<ScreenSize> chosen_size() const override {
        if (!last_ || last_->width <= 0 || last_->height <= 0) return std::nullopt;
        return ScreenSize{last_->width, last_->height};
    }

    // The auto choice's trial: the window opened here is kept for the first plot.
    bool try_open(int width, int height) { return window_.open(kPlotWindowTitle, width, height).ok; }
    const std::string& failure_reason() const { return window_.failure_reason(); }

private:
    PlotWindow window_;
    std::optional<PixelRect> last_;   // the last window's place and size
};

// The whole terminal shows the picture while the plot is up.
class TerminalSurface final : public PlotSurface {
public:
    TerminalSurface(TerminalPlotScreen& screen, PlotTarget target) : screen_(screen), target_(target) {}

    Status begin(KeySource& keys, int, int) override {
        keys_ = &keys;
        gestures_ = {};
        screen_.begin(target_);
        keys_->take_pointer_reports(true);
        return {};
    }
    void show(const GraphicsCanvas& canvas) override { screen_.show(canvas); }
    int read_key() override {
        for (;;) {
            const PlotInput input = read_input();
            if (!input.pointer) return input.key;
        }
    }
    PlotInput read_input() override {
        for (;;) {
            const int key = next_key();
            if (key != kKeyPointer) return {key, std::nullopt};
            if (std::optional<PointerGesture> gesture = next_gesture()) return {-1, gesture};
        }
    }
    void show_readout(const std::string& readout) override { screen_.show_status_row(readout); }
    void end() override {
        keys_->take_pointer_reports(false);
        screen_.end();
    }
    bool seen() const override { return true; }

private:
    int next_key() {
        if (screen_.picture_waiting()) {
            // A key already typed makes the next redraw: this picture is skipped.
            const int key = keys_->poll_key();
            if (key >= 0) return key;
            screen_.present_now();
        }
        return keys_->read_key();
    }
    // The report waiting, in the canvas's pixels. Off the picture only a
    // release counts, where the pointer last was on it.
    std::optional<PointerGesture> next_gesture() {
        std::optional<PointerReport> report = keys_->take_pointer();
        if (!report) return std::nullopt;
        const auto at = screen_.canvas_point(report->x, report->y);
        if (!at && report->kind != PointerReport::Kind::release) return std::nullopt;
        if (at) last_ = *at;
        report->x = last_.first, report->y = last_.second;
        return gestures_.take(*report);
    }

    TerminalPlotScreen& screen_;
    PlotTarget target_;
    KeySource* keys_ = nullptr;
    GestureTracker gestures_;
    std::pair<double, double> last_{0, 0};   // the pointer's last place on the picture
};

// Drawn on the canvas alone; the exports still work. Headless, the keys of
// the plot still come from the script; on a terminal nobody sees the plot.
class OffScreenSurface final : public PlotSurface {
public:
    explicit OffScreenSurface(bool on_terminal) : on_terminal_(on_terminal) {}

    Status begin(KeySource& keys, int, int) override {
        keys_ = &keys;
        return {};
    }
    void show(const GraphicsCanvas&) override {}
    int read_key() override { return keys_->read_key(); }
    void end() override {}
    bool seen() const override { return !on_terminal_; }

private:
    bool on_terminal_;
    KeySource* keys_ = nullptr;
};

std::unique_ptr<PlotSurface> surface_for(PlotTarget target, std::unique_ptr<WindowSurface> tried,
                                         TerminalPlotScreen* terminal) {
    switch (target) {
        case PlotTarget::Window: return tried ? std::move(tried) : std::make_unique<WindowSurface>();
        case PlotTarget::Sixel:
        case PlotTarget::Kitty:
        case PlotTarget::Iterm:
        case PlotTarget::Symbols:
            if (terminal) return std::make_unique<TerminalSurface>(*terminal, target);
            break;
        case PlotTarget::None: break;
    }
    return std::make_unique<OffScreenSurface>(terminal != nullptr);
}

const char* environment(const char* name) { return std::getenv(name); }

}  // namespace

ScreenSize plot_window_size(ScreenSize screen) {
    const auto part = [](int pixels, int limit) {
        return std::min(static_cast<int>(std::trunc(kScreenFraction * pixels)), limit);
    };
    return {part(screen.width, kMaxWindowWidth), part(screen.height, kMaxWindowHeight)};
}

ChosenSurface choose_plot_surface(const SurfaceSurroundings& around, TextConsole& console, int width, int height) {
    ChosenSurface chosen;
    if (!around.window_allowed) {
        chosen.surface = surface_for(PlotTarget::None, nullptr, around.terminal);
        return chosen;
    }
    const std::optional<PlotRequest> parsed = parse_plot_request(environment("ZEPH_PLOT"));
    const PlotRequest request = parsed.value_or(PlotRequest{});
    PlotSurroundings found;
    found.terminal = around.terminal != nullptr;
    std::unique_ptr<WindowSurface> tried;
    if (request.automatic) {
        console.library_messages();   // only what the attempt below writes counts
        tried = std::make_unique<WindowSurface>();
        found.window_opens = display_variables_set() && tried->try_open(width, height);
    }
    const bool terminal_wanted = request.automatic ? !found.window_opens
                                                   : request.target != PlotTarget::Window &&
                                                         request.target != PlotTarget::None;
    if (around.terminal && terminal_wanted) {
        around.terminal->probe(kTerminalQueryMs);
        found.sixel = around.terminal->sixel();
        const KnownGraphics known = known_graphics(environment);
        found.kitty = known.kitty;
        found.iterm = known.iterm;
    }
    chosen.target = choose_plot_target(request, found);
    // Why the window did not open: what the display library wrote (an
    // authorisation refused, say) tells more than SDL's own reason.
    std::string window_failure = tried ? tried->failure_reason() : std::string();
    if (!window_failure.empty()) {
        const std::string written = display_complaint(console.library_messages());
        if (!written.empty()) window_failure = written;
    }
    chosen.note = parsed ? plot_target_note(chosen.target, request.automatic, window_failure)
                         : "ZEPH_PLOT is not one of auto, window, sixel, kitty, iterm, symbols, none: auto";
    if (!found.window_opens) tried.reset();
    chosen.surface = surface_for(chosen.target, std::move(tried), around.terminal);
    return chosen;
}

}  // namespace zeph
