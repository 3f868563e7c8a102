#pragma once
// Small text helpers used wherever replies and names are handled.
#include <string>
#include <string_view>

namespace zeph {

// The text with the letters a..z in capitals; every other byte unchanged.
inline std::string upper_case(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

}  // namespace zeph
