#pragma once
// INPUTD: splits a reply to a numeric prompt into at most six
// fields, merges them with the fields of the current-values text (an empty or
// missing reply field keeps the current one; a trailing "/" keeps the rest) and
// evaluates each field with INTERP.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "input/expr/interp.hpp"

namespace zeph {

inline constexpr int kMaxFields = 6;
inline constexpr int kFieldMissingStatus = 32;
inline constexpr int kTooManyFieldsStatus = 33;
inline constexpr std::string_view kTooManyFieldsLine = "******INPUTD. NO MORE THAN 6 FIELDS ALLOWED";

struct InputdResult {
    // 0: blank reply or no field to decode; -n: n fields decoded; 32: a field is
    // missing in both texts; 33: more than six fields; else INTERP's status.
    int status = 0;
    // Real parts of the decoded fields; entries [0, decoded_count) are valid.
    // On an INTERP failure they are the fields before the failing one.
    std::array<double, kMaxFields> values{};
    int decoded_count = 0;
    // The new current-values text when status < 0 (the decoded field texts,
    // one blank apart, trailing blanks removed); blank ("") when status is 0
    // because no field was to be decoded; otherwise the current text as given.
    std::string current_text;
    // Lines INPUTD writes to the text window (the caller prints them).
    std::vector<std::string> console_lines;
    // INTERP's message when a field failed to evaluate.
    std::string message;
};

// `current` and `reply` are used up to their 80th character; the reply is
// converted to capitals. Fields are evaluated in `interpreter` (mode 0).
InputdResult inputd(Interpreter& interpreter, std::string_view current, std::string_view reply);

// The field texts of a reply or current-values text by INPUTD's splitting rules
// (for tests and callers that only need the split). `slash` is set when a
// trailing "/" ended the text; returns false when there are more than six fields.
bool split_fields(std::string_view text, std::vector<std::string>& fields, bool& slash);

}  // namespace zeph
