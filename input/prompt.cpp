#include "input/prompt.hpp"

#include <utility>

#include <algorithm>

#include "base/format_number.hpp"
#include "base/stop_request.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"
#include "input/expr/inputd.hpp"

namespace zeph {

namespace {
constexpr int kEditLength = 128;   // the edit line; only its first 80 characters are a reply
constexpr int kLastCursorColumn = 80;
constexpr std::size_t kReplyWidth = 80;   // characters of a reply
constexpr int kHistorySize = 40;

// Widths count characters: a reply may hold any UTF-8 text (a file name).
std::u32string padded_line(std::string_view text) { return decode_text(padded_characters(text, kEditLength)); }

bool is_blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

int wrap_history(int index) {
    if (index < 1) return kHistorySize;
    if (index > kHistorySize) return 1;
    return index;
}

// Control bytes in a typed or replayed line become blanks.
std::string printable(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
    return result;
}
}  // namespace

std::string current_values_text(const std::array<double, 4>& values, int value_count) {
    std::string text = format_number(values[0]);
    for (int k = 1; k < std::min(value_count, 4); ++k) {
        text = trim_right(text);
        text += ' ';
        text += format_number(values[static_cast<std::size_t>(k)]);
    }
    return trim_right(text).empty() ? std::string{} : text;
}

Prompter::Prompter(TextConsole& console, KeySource& keys, Interpreter& interpreter, InputSession& session)
    : console_(console), keys_(&keys), interpreter_(interpreter), session_(session) {}

void Prompter::show_block(std::string& message_line, PromptRequest& request) {
    console_.set_use(ScreenUse::prompt);
    if (!is_blank(message_line)) {
        console_.write(kTitleRow, 1, padded_characters(message_line, 80), kMessageAttribute);
        console_.transcript(trim_right(message_line));
        if (session_.report.shown(message_line)) session_.end_requested = true;   // --fail-fast
        console_.present();
        for (int i = 0; i < 4; ++i) {
            console_.beep(800, 60);
            console_.beep(200, 60);
        }
        message_line.clear();
    } else {
        console_.write(kTitleRow, 1, padded_characters(request.title, 80), kTitleAttribute);
        console_.transcript(trim_right(request.title));
    }
    console_.write(kPromptRow, 1, padded_characters(request.prompt, 80), kPromptAttribute);
    console_.transcript(trim_right(request.prompt));

    if (request.mode == 'N') request.current = current_values_text(request.values, request.value_count);
    else if (request.mode == 'X') request.current.clear();
    console_.write(kCurrentRow, 1, "/", kMarkAttribute);
    console_.write(kCurrentRow, 2, padded_characters(request.current, 79), kValueAttribute);
    console_.transcript("/" + trim_right(request.current));
    console_.write(kDefaultRow, 1, "<Enter>", kMarkAttribute);
    console_.write(kDefaultRow, 8, padded_characters(request.default_reply, 73), kValueAttribute);
    console_.transcript("<Enter>" + trim_right(request.default_reply));
    console_.clear_row(kNoticeRow, kPlainAttribute);
    console_.write(kEditRow, 1, std::string(80, ' '), kPlainAttribute);
    console_.set_cursor(kEditRow, 1);
    console_.present();
}

void Prompter::draw_edit_row(const std::u32string& line, int from_column, int cursor) {
    from_column = std::max(from_column, 1);
    const std::u32string_view shown = std::u32string_view(line).substr(from_column - 1, 81 - from_column);
    console_.write(kEditRow, from_column, encode_text(shown), kPlainAttribute);
    console_.set_cursor(kEditRow, cursor);
    console_.present();
}

// The line is edited as characters, so moves, deletions and insertions
// never split a multibyte character; it goes back as UTF-8.
Prompter::LineResult Prompter::edit_line(std::string& reply) {
    std::u32string line(kEditLength, U' ');
    int cursor = 1;
    auto last_non_blank = [&line] { return static_cast<int>(line.find_last_not_of(U' ')) + 1; };
    auto is_blank_line = [&line] { return line.find_first_not_of(U' ') == std::u32string::npos; };
    for (;;) {
        const TypedKey typed = read_typed_key(*keys_);
        const int key = typed.kind == TypedKey::Kind::plain ? typed.code : -1;
        if (key == kKeyEnter || key == kKeyEscape) {
            reply = encode_text(line);
            return key == kKeyEnter ? LineResult::line : LineResult::escaped;
        }
        if (key == '/' && is_blank_line() && !text_reply_) {
            reply = padded_characters("/", kEditLength);
            return LineResult::line;
        }
        const int code = typed.kind == TypedKey::Kind::extended ? typed.code : -1;
        if (key == kKeyBackspace) {
            if (cursor > 1) {
                --cursor;
                line.erase(static_cast<std::size_t>(cursor - 1), 1);
                line.push_back(U' ');
            }
        } else if (code == kKeyDelete) {
            if (cursor <= last_non_blank()) {
                line.erase(static_cast<std::size_t>(cursor - 1), 1);
                line.push_back(U' ');
            }
        } else if (code == kKeyLeft) {
            cursor = std::max(cursor - 1, 1);
        } else if (code == kKeyRight) {
            cursor = std::min(cursor + 1, kLastCursorColumn);
        } else if (code == kKeyHome || key == kKeyCtrlA) {
            cursor = 1;
        } else if (code == kKeyEnd || key == kKeyCtrlE) {
            cursor = std::min(last_non_blank() + 1, kLastCursorColumn);
        } else if (code == kKeyPageUp || code == kKeyPageDown) {
            // The line has no use for them: on a short terminal they move the help window.
            console_.scroll_help(code == kKeyPageUp ? -1 : 1);
        } else if (code == kKeyUp || code == kKeyDown) {
            browse_ = wrap_history(browse_ + (code == kKeyUp ? -1 : 1));
            line = padded_line(history_[static_cast<std::size_t>(browse_ - 1)]);
            cursor = 1;
        } else if (key == kKeyPaste) {
            std::string clipboard = keys_->clipboard_text();
            if (const auto nul = clipboard.find('\0'); nul != std::string::npos) clipboard.resize(nul);
            std::u32string pasted = decode_text(printable(clipboard));
            pasted.resize(std::min<std::size_t>(pasted.size(), kEditLength));
            if (!pasted.empty()) {
                const std::size_t room = kEditLength - static_cast<std::size_t>(cursor - 1);
                const std::size_t n = std::min(pasted.size(), room);
                line.replace(static_cast<std::size_t>(cursor - 1), n, pasted.substr(0, n));
                cursor = std::min(cursor + static_cast<int>(pasted.size()), kLastCursorColumn);
            }
        } else if ((key >= 32 && key != 127) || typed.kind == TypedKey::Kind::character) {
            const char32_t character = key >= 0 ? static_cast<char32_t>(key) : typed.character;
            line.insert(line.begin() + (cursor - 1), character);
            line.resize(kEditLength);
            cursor = std::min(cursor + 1, kLastCursorColumn);
        }
        // Full-row redraws are cheap; Up/Down and paste change the whole line.
        draw_edit_row(line, 1, cursor);
    }
}

Prompter::LineResult Prompter::read_line(std::string& line) {
    if (session_.source != InputSource::keyboard) {
        if (auto replayed = session_.replay.next_line()) {
            // A script names its inputs and outputs through the environment.
            const std::string reply = reply_from_record(*replayed);
            std::string missing;
            const auto expanded = expand_variables(reply, missing);
            if (!expanded) unset_variable_ = missing;
            // Never cut, so that text beyond the reply field is seen and refused.
            line = padded_at_least(printable(expanded ? *expanded : reply), kEditLength);
            return LineResult::line;
        }
        if (session_.source == InputSource::replay_then_end) {
            line = padded_characters("END", kEditLength);
            return LineResult::end_of_input;
        }
        session_.source = InputSource::keyboard;
    }
    if (keys_->line_mode()) {
        auto typed = keys_->read_line();
        // A line naming the Esc key cancels the question, as Esc does at a keyboard.
        if (typed && upper_case(trim_right(*typed)) == "<ESC>") return LineResult::escaped;
        line = padded_at_least(typed ? printable(*typed) : std::string("END"), kEditLength);
        return typed ? LineResult::line : LineResult::end_of_input;
    }
    const LineResult edited = edit_line(line);
    if (edited == LineResult::escaped && keys_->input_ended()) {
        line = padded_characters("END", kEditLength);
        return LineResult::end_of_input;
    }
    return edited;
}

void Prompter::record(const std::string& line, std::string_view prompt) {
    if (is_unlogged_reply(line)) return;
    session_.log.append(format_reply_record(line, prompt));
    if (!is_blank(line)) remember(line);
}

void Prompter::remember(const std::string& line) {
    last_stored_ = wrap_history(last_stored_ + 1);
    history_[static_cast<std::size_t>(last_stored_ - 1)] = trim_right(first_characters(line, 80));
    browse_ = wrap_history(last_stored_ + 1);
}

void Prompter::show_working() {
    console_.write(kPromptRow, 1, padded_characters("Working....", 80), kWorkingAttribute);
    console_.set_cursor(kPromptRow, 1);
    console_.present();
}

bool Prompter::ask(std::string& message_line, PromptRequest& request) {
    for (;;) {
        if (stop_requested()) session_.end_requested = true;   // a signal: unwind and end as EN does
        if (session_.end_requested) return false;
        text_reply_ = request.value_count < 1;
        show_block(message_line, request);
        if (session_.end_requested) return false;   // --fail-fast: the error shown ends the run
        std::string line;
        const LineResult result = read_line(line);
        if (stop_requested()) {   // the reply read, if any, was cut short by the signal
            session_.end_requested = true;
            return false;
        }
        if (result == LineResult::escaped) return false;
        console_.transcript(trim_right(line));
        if (result == LineResult::end_of_input && !request.command_prompt) {
            session_.end_requested = true;
            return false;
        }
        record(line, request.prompt);
        if (auto notice = session_.log.failure_notice()) message_line = *notice;
        if (!unset_variable_.empty()) {   // the reply is not used: the question is asked again
            message_line = std::string(kVariableNotSet) + std::exchange(unset_variable_, {});
            continue;
        }
        if (character_count(trim_right(line)) > kReplyWidth) {
            message_line = kReplyTooLongMessage;   // never evaluate or open a cut reply
            continue;
        }
        if (is_blank(line)) line = padded_characters(request.default_reply, kEditLength);

        if (request.value_count < 1) {
            if (trim_right(line) != "/") request.current = trim_right(first_characters(line, 80));
            show_working();
            return true;
        }
        const InputdResult decoded = inputd(interpreter_, request.current, first_characters(line, 80));
        for (const std::string& notice : decoded.console_lines) {
            console_.set_cursor(kNoticeRow, 1);
            console_.print_line(notice);
        }
        for (int k = 0; k < std::min(decoded.decoded_count, 4); ++k)
            request.values[static_cast<std::size_t>(k)] = decoded.values[static_cast<std::size_t>(k)];
        if (decoded.outcome != InputdOutcome::decoded || decoded.decoded_count != request.value_count) {
            message_line = kInvalidEntryMessage;
            continue;
        }
        request.current = decoded.current_text;
        show_working();
        return true;
    }
}

}  // namespace zeph
