#pragma once
// Status of a routine that can fail: the shell turns a failed status into the
// message line shown in red at the next prompt. Nothing is thrown across
// subsystem boundaries.
#include <string>
#include <string_view>
#include <utility>

namespace zeph {

// The messages of a file that cannot be opened, or created or written; the name follows.
inline constexpr std::string_view kCannotOpenFile = "Cannot open file: ";
inline constexpr std::string_view kErrorWritingFile = "Error writing file: ";

struct Status {
    bool ok = true;
    std::string message;   // the message line text when !ok (at most 80 characters shown)

    static Status success() { return {}; }
    static Status failure(std::string text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

}  // namespace zeph
