#include "console/terminal_input.hpp"

#include <cstring>

namespace zeph {

namespace {

constexpr int kEscape = 27;

bool is_character(const TerminalInput& input, int code) { return !input.function_key && input.code == code; }

// Parameter characters of an answer: digits, separators and the private marks.
bool is_answer_parameter(const TerminalInput& input) {
    if (input.function_key) return false;
    const int c = input.code;
    return (c >= '0' && c <= '9') || c == ';' || c == '?' || c == '>' || c == '=';
}

// Final characters of the answers the program's queries bring.
bool is_answer_final(const TerminalInput& input) {
    return is_character(input, 'c') || is_character(input, 't') || is_character(input, 'R');
}

// Held inputs Esc [ < b ; column ; row and the final M or m: the report.
std::optional<SgrMouse> mouse_report(const std::vector<TerminalInput>& held, const TerminalInput& final) {
    if (held.size() < 4 || !is_character(held[2], '<')) return std::nullopt;
    if (!is_character(final, 'M') && !is_character(final, 'm')) return std::nullopt;
    int values[3] = {0, 0, 0};
    int index = 0;
    bool digits = false;
    for (std::size_t i = 3; i < held.size(); ++i) {
        const int c = held[i].code;
        if (c == ';') {
            if (!digits || ++index > 2) return std::nullopt;
            digits = false;
        } else if (c >= '0' && c <= '9' && values[index] < 100000) {
            values[index] = values[index] * 10 + (c - '0');
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (index != 2 || !digits || values[1] < 1 || values[2] < 1) return std::nullopt;
    return SgrMouse{values[0], values[1], values[2], is_character(final, 'm')};
}

}  // namespace

CharacterAssembler::Result CharacterAssembler::feed(unsigned char byte, char32_t& character) {
    const bool fresh = pending_ == 0;
    wchar_t wide = 0;
    const char c = static_cast<char>(byte);
    const std::size_t used = std::mbrtowc(&wide, &c, 1, &state_);
    if (used == static_cast<std::size_t>(-2)) {
        ++pending_;
        return Result::incomplete;
    }
    reset();
    if (used == static_cast<std::size_t>(-1) || wide < 0x80) {
        // A byte that broke off a begun character may itself begin the next one.
        if (!fresh && used == static_cast<std::size_t>(-1)) return feed(byte, character);
        return Result::refused;
    }
    character = static_cast<char32_t>(wide);
    return Result::character;
}

void CharacterAssembler::reset() {
    state_ = std::mbstate_t{};
    pending_ = 0;
}

std::vector<TerminalInput> LateAnswerFilter::feed(TerminalInput input) {
    std::vector<TerminalInput> keys;
    if (held_.empty()) {
        if (is_character(input, kEscape)) {
            held_.push_back(input);
        } else {
            keys.push_back(input);
        }
        return keys;
    }
    if (held_.size() == 1) {
        if (is_character(input, '[')) {
            held_.push_back(input);
            return keys;
        }
    } else if ((is_answer_parameter(input) || (held_.size() == 2 && is_character(input, '<'))) &&
               held_.size() < kLongestAnswer) {
        held_.push_back(input);
        return keys;
    } else if (const std::optional<SgrMouse> mouse = mouse_report(held_, input)) {
        held_.clear();
        keys.push_back({0, false, mouse});
        return keys;
    } else if (is_answer_final(input) && held_.size() > 2 && !is_character(held_[2], '<')) {
        held_.clear();   // a late answer: no key at all
        return keys;
    }
    keys = flush();
    const std::vector<TerminalInput> rest = feed(input);   // it may begin another answer
    keys.insert(keys.end(), rest.begin(), rest.end());
    return keys;
}

std::vector<TerminalInput> LateAnswerFilter::flush() {
    std::vector<TerminalInput> keys;
    keys.swap(held_);
    return keys;
}

std::optional<PointerReport> pointer_of(const SgrMouse& mouse) {
    constexpr int kShift = 4, kCtrl = 16, kMotion = 32, kWheel = 64, kButtons = 3, kNoButton = 3;
    PointerReport report;
    report.x = mouse.column - 0.5;
    report.y = mouse.row - 0.5;
    report.shift = (mouse.button & kShift) != 0;
    report.ctrl = (mouse.button & kCtrl) != 0;
    const int button = mouse.button & kButtons;
    if ((mouse.button & kWheel) != 0) {
        if (mouse.released || button > 1) return std::nullopt;   // only up and down turn
        report.kind = PointerReport::Kind::wheel;
        report.wheel = button == 0 ? 1 : -1;   // up: away from the user
        return report;
    }
    if ((mouse.button & kMotion) != 0) {
        if (button != 0 && button != kNoButton) return std::nullopt;   // dragged with another button
        report.kind = PointerReport::Kind::motion;
        return report;
    }
    if (button != 0) return std::nullopt;
    report.kind = mouse.released ? PointerReport::Kind::release : PointerReport::Kind::press;
    return report;
}

}  // namespace zeph
