#pragma once
// Everything one run of the program owns, passed by reference to the
// command loop and the dialogues.
#include <array>
#include <optional>
#include <string>

#include "input/expr/interp.hpp"
#include "dsp/statistics.hpp"
#include "input/prompt.hpp"
#include "shell/help_screen.hpp"
#include "shell/operation_settings.hpp"
#include "shell/plot_state.hpp"
#include "shell/workspace.hpp"
#include "console/key_source.hpp"
#include "console/text_console.hpp"

namespace zeph {

inline constexpr std::string_view kReplyLogName = "ZEPH32.TMP";
inline constexpr std::string_view kReplayFileName = "ZEPH32.RL";
inline constexpr std::string_view kStatisticsFileName = "STATS.TXT";
inline constexpr std::string_view kSyntaxLine =
    "Syntax is: ZEPH [real file] [imag file] [RL] [filename.RL] [NOPAUSE]";

struct Session {
    Session(TextConsole& console_, KeySource& keys_, Interpreter& interpreter_)
        : console(console_), interpreter(interpreter_), prompter(console_, keys_, interpreter_, input) {
        // The grid variables are defined before every command: DE constants never take their slots.
        interpreter.reserve_slots({"NPTS", "XMIN", "XMAX", "DX", "DT", "DF", "TMIN", "FMIN"});
    }

    TextConsole& console;
    Interpreter& interpreter;
    InputSession input;
    Prompter prompter;
    Workspace workspace;
    HelpState help;
    OperationSettings operation_settings;
    PlotState plot;

    std::string program_directory;   // ends with "/"; empty when there is no folder for the program's files
    std::string files_problem;       // why there is none
    std::string replay_file_name;
    bool nopause = false;
    bool ended = false;              // EN ran: the loop stops

    // Kept between commands: the weights C, D, E, F of AD and MU, and the
    // signal EQ, AD and MU last worked on.
    std::array<double, 4> weights{};
    std::optional<Domain> equation_signal;

    // The figures of the signal of the last derivation, and DX times the sum
    // of the values before the last cumulative display.
    SignalMetrics metrics;
    double cumulative_total = 0.0;

    // Asks a question with the workspace's message line.
    bool ask(PromptRequest& request) { return prompter.ask(workspace.message_line, request); }
    // The questions of the dialogues, under the status line. False on Esc.
    // `count` numbers, offering `values` (as the prompt shows them); on
    // success the first `count` are the reply's.
    bool ask_numbers(std::string_view prompt, std::string_view default_reply, std::array<double, 4>& values,
                     int count);
    // A text offering `answer`; on success `answer` is the reply without trailing blanks.
    bool ask_text(std::string_view prompt, std::string_view default_reply, std::string& answer);
    // A line asked afresh (nothing offered, the edit line blank); on success
    // `reply` is the line as typed.
    bool ask_line(std::string_view prompt, std::string& reply);
    // A text read as `count` numbers (a range such as "XMIN, XMAX"): `reply`
    // is the text offered and kept, `values` all four fields of the reply.
    bool ask_values_text(std::string_view prompt, std::string_view default_reply, std::string& reply,
                         std::array<double, 4>& values, int count);
    // Defines a named value for the replies that follow (XMIN, DX, ...).
    void define_variable(std::string_view name, double value) {
        std::string ignored;
        interpreter.define(name, value, ignored);
    }
    // Waits for one key unless NOPAUSE is set.
    void wait_for_key();
};

// Resets the selection and the plot's scale factors: after operations,
// reads, CR, SE and AL.
inline void reset_selection(Session& session) {
    reset_selection(session.workspace);
    reset_scale_factors(session.plot);
}

}  // namespace zeph
