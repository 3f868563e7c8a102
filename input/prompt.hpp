#pragma once
// Prompter::ask: the one procedure through which every question is asked.
//
// It draws the six-row prompt block at the bottom of the text window, edits a
// reply line (history, paste, cursor keys) or takes the reply from the replay
// file or the headless input, logs every reply, and for numeric questions
// decodes up to six fields, each a complex expression, with INPUTD.
#include <array>
#include <string>
#include <string_view>

#include "input/expr/interp.hpp"
#include "input/message_report.hpp"
#include "input/reply_log.hpp"
#include "console/key_source.hpp"
#include "console/text_console.hpp"

namespace zeph {

inline constexpr std::string_view kInvalidEntryMessage = "Error. Invalid entry or wrong number of values.";
inline constexpr std::string_view kReplyTooLongMessage = "Error. Reply longer than 80 characters: not taken.";

// Rows of the prompt block (1-based) and their attributes.
inline constexpr int kTitleRow = 45, kPromptRow = 46, kCurrentRow = 47, kDefaultRow = 48, kEditRow = 49,
                     kNoticeRow = 50;
inline constexpr std::uint8_t kMessageAttribute = 0xF4, kTitleAttribute = 0x71, kPromptAttribute = 0x7E,
                              kMarkAttribute = 0x7F, kValueAttribute = 0x71, kPlainAttribute = 0x70,
                              kWorkingAttribute = 0xFA;

// Where replies come from: 0 keyboard, 1 replay file then keyboard, -1 replay file then end.
enum class InputSource { keyboard = 0, replay_then_keyboard = 1, replay_then_end = -1 };

// The state of prompted input that lives for the whole run.
struct InputSession {
    InputSource source = InputSource::keyboard;
    ReplayFile replay;
    ReplyLog log;
    // Set when the input ended (END from the replay or the headless input) at
    // a prompt other than the command prompt: from then on every prompt is
    // escaped, so the dialogue unwinds and the command loop ends the program
    // the way EN does.
    bool end_requested = false;
    // The messages shown: errors counted for the exit status.
    MessageReport report;
};

struct PromptRequest {
    std::string_view title;          // shown on the first row when no message is pending
    std::string_view prompt;         // the question
    std::string current;             // current-values text; on return the accepted reply text
    std::string_view default_reply;  // used when the reply is blank
    char mode = 'X';                 // 'N' values as text, 'X' blank, other: caller's text
    int value_count = 0;             // 0: text reply
    std::array<double, 4> values{};  // in/out numeric values
    bool command_prompt = false;     // END here is returned as the reply "END"
};

class Prompter {
public:
    Prompter(TextConsole& console, KeySource& keys, Interpreter& interpreter, InputSession& session);

    // Asks until a valid reply or Esc. Returns false when the user pressed Esc.
    // `message_line` is shown in red once and blanked.
    bool ask(std::string& message_line, PromptRequest& request);

    // Replaces the key source (the plot window takes the keys while it is open).
    void set_keys(KeySource& keys) { keys_ = &keys; }
    KeySource& keys() { return *keys_; }

private:
    void show_block(std::string& message_line, PromptRequest& request);
    enum class LineResult { line, escaped, end_of_input };
    LineResult read_line(std::string& line);
    LineResult edit_line(std::string& line);
    void draw_edit_row(const std::u32string& line, int from_column, int cursor);
    void record(const std::string& line, std::string_view prompt);
    void remember(const std::string& line);
    void show_working();

    TextConsole& console_;
    KeySource* keys_;
    Interpreter& interpreter_;
    InputSession& session_;

    std::string unset_variable_;   // named by the replayed reply just read, not set in the environment
    bool text_reply_ = false;   // "/" on a blank line is typed, not a reply, for text prompts
    std::array<std::string, 40> history_{};
    int last_stored_ = 0;   // 1..40, 0 before the first reply
    int browse_ = 1;
};

// The current-values text of mode 'N': each value's 19-character text, one blank between.
std::string current_values_text(const std::array<double, 4>& values, int value_count);

}  // namespace zeph
