#include "input/expr/inputd.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace zeph {

namespace {

constexpr std::size_t kLineLength = 80;
constexpr char kQuote = '\'';

struct Fields {
    std::array<int, kMaxFields> start{};   // 0-based columns
    std::array<int, kMaxFields> end{};     // inclusive; end < start: empty field
    int count = 0;
    bool slash = false;
    bool overflow = false;   // a seventh field was opened

    std::string_view text(const std::string& line, int k) const {
        const int s = start[static_cast<std::size_t>(k)], e = end[static_cast<std::size_t>(k)];
        if (e < s) return {};
        return std::string_view(line).substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s + 1));
    }
    bool present(int k) const { return k < count && end[static_cast<std::size_t>(k)] >= start[static_cast<std::size_t>(k)]; }
};

// The text's first 80 characters, blank-padded. Columns count characters;
// the scan below walks bytes, which is the same for the ASCII that matters
// (blank, comma, quote, slash), and a UTF-8 byte is never one of those, so
// no field boundary falls inside a character.
std::string fixed_line(std::string_view text) { return padded_characters(text, kLineLength); }

bool blank_after(const std::string& line, std::size_t column) {
    return line.find_first_not_of(' ', column + 1) == std::string::npos;
}

// Scans the 80 columns with two flags (inside a field, inside quotes).
Fields split(const std::string& line) {
    Fields f;
    bool in_field = false, in_quotes = false;
    auto open_field = [&](int column) {
        if (f.count == kMaxFields) {
            f.overflow = true;
            return false;
        }
        f.start[static_cast<std::size_t>(f.count)] = column;
        f.end[static_cast<std::size_t>(f.count)] = static_cast<int>(line.size()) - 1;
        ++f.count;
        in_field = true;
        return true;
    };
    auto close_field = [&](int last_column) {
        if (in_field) f.end[static_cast<std::size_t>(f.count - 1)] = last_column;
        in_field = false;
    };
    for (int column = 0; column < static_cast<int>(line.size()); ++column) {
        const char c = line[static_cast<std::size_t>(column)];
        if (in_quotes) {
            if (c == kQuote) {
                in_quotes = false;
                close_field(column);   // the closing quote is part of the field
            }
            continue;
        }
        if (c == '/' && blank_after(line, static_cast<std::size_t>(column))) {
            close_field(column - 1);
            f.slash = true;
            break;
        }
        if (c == kQuote) {
            close_field(column - 1);   // a quote right after field text starts a new field
            if (!open_field(column)) break;
            in_quotes = true;
            continue;
        }
        if (c == ' ') {
            close_field(column - 1);
        } else if (!in_field) {
            if (!open_field(column)) break;
        }
        // A comma ends the open field just before itself (an empty field when it opened it).
        if (c == ',') close_field(column - 1);
    }
    // A field still open at column 80 ends there (its end was preset to the last column).
    return f;
}

}  // namespace

bool split_fields(std::string_view text, std::vector<std::string>& fields, bool& slash) {
    const std::string line = fixed_line(text);
    const Fields f = split(line);
    fields.clear();
    for (int k = 0; k < f.count; ++k) fields.emplace_back(f.text(line, k));
    slash = f.slash;
    return !f.overflow;
}

InputdResult inputd(Interpreter& interpreter, std::string_view current, std::string_view reply) {
    InputdResult out;
    out.current_text = std::string(current);
    const std::string reply_line = upper_case(fixed_line(reply));
    if (reply_line.find_first_not_of(' ') == std::string::npos) return out;
    const std::string current_line = fixed_line(current);
    const Fields answer = split(reply_line);
    const Fields kept = split(current_line);
    if (answer.overflow || kept.overflow) {
        out.console_lines.emplace_back(kTooManyFieldsLine);
        out.outcome = InputdOutcome::too_many_fields;
        return out;
    }

    const int count = answer.slash ? std::max(answer.count, kept.count) : answer.count;
    if (count == 0) {
        out.current_text.clear();
        return out;
    }

    std::string new_line;
    std::size_t next_free = 0;   // columns (characters) used in new_line
    for (int k = 0; k < count; ++k) {
        std::string_view field;
        if (answer.present(k)) field = answer.text(reply_line, k);
        else if (kept.present(k)) field = kept.text(current_line, k);
        else {
            out.console_lines.push_back(" ******INPUTD. FIELD NO. " + std::to_string(k + 1) + " MISSING");
            out.outcome = InputdOutcome::field_missing;
            return out;
        }
        const std::size_t width = character_count(field);
        if (next_free + width <= kLineLength) {
            new_line.append(field);
            new_line.push_back(' ');
            next_free += width + 1;
        }
        std::string expression(field);
        if (expression.front() == kQuote) {
            expression.front() = ' ';
            expression.back() = ' ';
        }
        Complex value;
        if (const InterpStatus status = interpreter.evaluate(expression, value, out.message);
            status != InterpStatus::ok) {
            out.outcome = InputdOutcome::not_evaluated;
            out.interp_status = status;
            return out;
        }
        out.values[static_cast<std::size_t>(k)] = value.real();
        out.decoded_count = k + 1;
    }
    out.current_text = new_line.substr(0, new_line.find_last_not_of(' ') + 1);
    out.outcome = InputdOutcome::decoded;
    return out;
}

}  // namespace zeph
