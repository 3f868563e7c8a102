#pragma once
// Small text helpers used wherever replies, names, labels and report lines
// are handled. Letters are the ASCII ones; other bytes pass unchanged.
#include <cstddef>
#include <string>
#include <string_view>

namespace zeph {

// The letter a..z as its capital; every other byte unchanged.
inline char upper_letter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The text with the letters a..z in capitals; every other byte unchanged.
inline std::string upper_case(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = upper_letter(c);
    return result;
}

// The text without its trailing blanks. Tabs, CR and LF count as blanks too:
// a line read back from a file may end in them.
inline std::string trim_right(std::string_view text) {
    const auto last = text.find_last_not_of(" \t\r\n");
    return last == std::string_view::npos ? std::string{} : std::string(text.substr(0, last + 1));
}

// True when `text` ends in `tail`, letters a..z matching their capitals.
inline bool ends_with_any_case(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && upper_case(text.substr(text.size() - tail.size())) == upper_case(tail);
}

// True when the file name has something before `extension` (".wav") and ends
// in it, in any case.
inline bool has_extension(std::string_view name, std::string_view extension) {
    return name.size() > extension.size() && ends_with_any_case(name, extension);
}

// The name without trailing blanks: names arrive blank-padded from the dialogues.
inline std::string_view trimmed_file_name(std::string_view name) {
    const std::size_t last = name.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : name.substr(0, last + 1);
}

// At least `width` bytes: a shorter text blank-padded, a longer one kept
// whole. (For a field of exactly so many characters: padded_characters.)
inline std::string padded_at_least(std::string_view text, std::size_t width) {
    std::string result(text);
    if (result.size() < width) result.resize(width, ' ');
    return result;
}

}  // namespace zeph
