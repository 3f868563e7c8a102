#include "graphics/plot_target.hpp"

#include "base/text.hpp"
#include "base/utf8.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace zeph {

namespace {

struct TargetName {
    std::string_view name;
    PlotTarget target;
};

constexpr std::array kTargetNames{
    TargetName{"window", PlotTarget::Window}, TargetName{"sixel", PlotTarget::Sixel},
    TargetName{"kitty", PlotTarget::Kitty},   TargetName{"iterm", PlotTarget::Iterm},
    TargetName{"symbols", PlotTarget::Symbols}, TargetName{"none", PlotTarget::None},
};

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool contains(const char* value, std::string_view part) {
    return value && lower(value).find(part) != std::string::npos;
}

// The parameters of a CSI sequence "ESC [ <prefix> params <final>" found in
// `input`: numbers separated by ';' (an empty one counts as 0).
std::optional<std::vector<int>> csi_parameters(std::string_view input, std::string_view prefix, char final) {
    const std::string start = "\x1b[" + std::string(prefix);
    for (std::size_t at = input.find(start); at != std::string_view::npos; at = input.find(start, at + 1)) {
        std::size_t i = at + start.size();
        std::vector<int> values{0};
        bool digits = false;
        for (; i < input.size(); ++i) {
            const char c = input[i];
            if (c >= '0' && c <= '9') {
                int& v = values.back();
                if (v < 100000) v = v * 10 + (c - '0');
                digits = true;
            } else if (c == ';') {
                values.push_back(0);
            } else {
                break;
            }
        }
        if (i < input.size() && input[i] == final && (digits || values.size() > 1)) return values;
    }
    return std::nullopt;
}

}  // namespace

std::optional<PlotRequest> parse_plot_request(const char* value) {
    if (!value || !*value) return PlotRequest{};
    const std::string word = lower(value);
    if (word == "auto") return PlotRequest{};
    for (const TargetName& t : kTargetNames)
        if (word == t.name) return PlotRequest{false, t.target};
    return std::nullopt;
}

PlotTarget choose_plot_target(const PlotRequest& request, const PlotSurroundings& around) {
    if (!request.automatic) {
        const bool in_terminal = request.target != PlotTarget::Window && request.target != PlotTarget::None;
        return in_terminal && !around.terminal ? PlotTarget::None : request.target;
    }
    if (around.window_opens) return PlotTarget::Window;
    if (!around.terminal) return PlotTarget::None;
    if (around.sixel) return PlotTarget::Sixel;
    if (around.kitty) return PlotTarget::Kitty;
    if (around.iterm) return PlotTarget::Iterm;
    return PlotTarget::Symbols;
}

std::optional<std::vector<int>> parse_device_attributes(std::string_view input) {
    return csi_parameters(input, "?", 'c');
}

bool attributes_list_sixel(const std::vector<int>& attributes) {
    return std::find(attributes.begin() + std::min<std::size_t>(1, attributes.size()), attributes.end(), 4) !=
           attributes.end();
}

std::optional<PixelSize> parse_text_area_pixels(std::string_view input) {
    const auto values = csi_parameters(input, "4;", 't');
    if (!values || values->size() != 2 || (*values)[0] <= 0 || (*values)[1] <= 0) return std::nullopt;
    return PixelSize{(*values)[1], (*values)[0]};
}

KnownGraphics known_graphics(const char* (*get)(const char*)) {
    KnownGraphics known;
    const char* term = get("TERM");
    const char* program = get("TERM_PROGRAM");
    const bool wezterm = contains(program, "wezterm") || get("WEZTERM_EXECUTABLE");
    const bool ghostty = contains(term, "ghostty") || contains(program, "ghostty");
    const bool kitty = contains(term, "kitty") || get("KITTY_WINDOW_ID");
    const bool iterm = contains(program, "iterm") || contains(get("LC_TERMINAL"), "iterm");
    // Inside tmux or screen the graphics would reach the multiplexer, not the terminal.
    const bool multiplexer = get("TMUX") || contains(term, "screen") || contains(term, "tmux");
    known.kitty = !multiplexer && (kitty || wezterm || ghostty);
    known.iterm = !multiplexer && (iterm || wezterm);
    return known;
}

std::string_view plot_target_name(PlotTarget target) {
    for (const TargetName& t : kTargetNames)
        if (t.target == target) return t.name;
    return "none";
}

std::string plot_target_note(PlotTarget target, bool automatic, std::string_view window_failure) {
    std::string where;
    switch (target) {
        case PlotTarget::Window: where = "in a window"; break;
        case PlotTarget::Sixel: where = "in the terminal as sixel images"; break;
        case PlotTarget::Kitty: where = "in the terminal as kitty images"; break;
        case PlotTarget::Iterm: where = "in the terminal as iTerm2 images"; break;
        case PlotTarget::Symbols: where = "in the terminal as text symbols"; break;
        case PlotTarget::None: where = "off screen only (exports work)"; break;
    }
    constexpr std::string_view kHowToChange = " Set ZEPH_PLOT to change.";
    if (window_failure.empty()) return "Plots: " + where + (automatic ? " (auto)." : ".") + std::string(kHowToChange);
    // A display is named but the window did not open: say why, since the
    // user expected a window. The reason is cut to the message line.
    const std::string head = "Plots: " + where + " (no window: ";
    const std::size_t used = character_count(head) + 2;   // and the closing ")."
    const std::size_t room = kMessageLineWidth > used ? kMessageLineWidth - used : 0;
    std::string reason(window_failure);
    if (character_count(reason) > room) reason = trim_right(first_characters(reason, room > 3 ? room - 3 : 0)) + "...";
    std::string note = head + reason + ").";
    if (character_count(note) + kHowToChange.size() <= kMessageLineWidth) note += kHowToChange;
    return note;
}

}  // namespace zeph
