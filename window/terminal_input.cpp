#include "window/terminal_input.hpp"

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
    } else if (is_answer_parameter(input) && held_.size() < kLongestAnswer) {
        held_.push_back(input);
        return keys;
    } else if (is_answer_final(input) && held_.size() > 2) {
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

}  // namespace zeph
