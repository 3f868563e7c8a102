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
inline constexpr std::string_view kTooManyFieldsLine = "******INPUTD. NO MORE THAN 6 FIELDS ALLOWED";

enum class InputdOutcome {
    blank,             // a blank reply, or no field to decode
    decoded,           // decoded_count fields decoded
    field_missing,     // a field is missing in both texts
    too_many_fields,   // more than six fields
    not_evaluated,     // INTERP failed on a field: interp_status and message
};

struct InputdResult {
    InputdOutcome outcome = InputdOutcome::blank;
    InterpStatus interp_status = InterpStatus::ok;   // for not_evaluated
    // Real parts of the decoded fields; entries [0, decoded_count) are valid.
    // On an INTERP failure they are the fields before the failing one.
    std::array<double, kMaxFields> values{};
    int decoded_count = 0;
    // The new current-values text when decoded (the decoded field texts, one
    // blank apart, trailing blanks removed); blank ("") when no field was to
    // be decoded; otherwise the current text as given.
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
