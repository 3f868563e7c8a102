#include "shell/command_words.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "base/utf8.hpp"

namespace zeph {

namespace {
constexpr int kLineLength = 80;
constexpr int kLastOptionColumn = 76;   // the option scan visits fixed columns

// The rows of one kind of word (a plain list: clang 14 cannot iterate a
// filter view of the standard library it builds against).
std::vector<std::reference_wrapper<const CommandWord>> words_of(WordKind kind) {
    std::vector<std::reference_wrapper<const CommandWord>> rows;
    for (const CommandWord& w : command_words())
        if (w.kind == kind) rows.emplace_back(w);
    return rows;
}

int last_non_blank_column(std::string_view line) {
    const auto last = line.find_last_not_of(' ');
    return last == std::string_view::npos ? 0 : static_cast<int>(last) + 1;
}

// Sets an output option: PL, FI and LI exclude each other.
void set_output(OptionSet& options, int OptionSet::*flag) {
    options.PL = options.FI = options.LI = 0;
    options.*flag = 1;
}

void set_option(OptionSet& options, const CommandWord& option, const std::string& parameter) {
    if (option.flag == &OptionSet::PL || option.flag == &OptionSet::FI || option.flag == &OptionSet::LI) {
        set_output(options, option.flag);
    } else if (option.flag == &OptionSet::BI) {
        options.BI = 2;
    } else if (option.flag == &OptionSet::DB) {
        options.DB = parameter == "PO" ? 1 : parameter == "AM" ? 2 : 1;
    } else {
        options.*(option.flag) = 1;
    }
}

void scan_options(std::string_view line, Workspace& workspace) {
    OptionSet& options = workspace.options;
    Selection& selection = workspace.selection;
    selection.read_selector = 0;
    for (int column = 1; column <= kLastOptionColumn; ++column) {
        for (const CommandWord& option : words_of(WordKind::option))
            if (word_at(line, column, option.word)) set_option(options, option, selection.parameter_code);
        for (const CommandWord& read : words_of(WordKind::read))
            if (word_at(line, column, read.word)) selection.read_selector = read.domain == Domain::time ? 1 : 2;
        for (const CommandWord& option : words_of(WordKind::option)) {
            if (!option.has_no_form) continue;
            const std::string no_form = "NO" + std::string(option.word);
            if (word_at(line, column, no_form)) options.*(option.flag) = 0;
        }
    }
}

void apply_cross_option_rules(Workspace& workspace) {
    OptionSet& options = workspace.options;
    const std::string& parameter = workspace.selection.parameter_code;
    if (options.DB != 0) options.DB = parameter == "PO" ? 1 : parameter == "AM" ? 2 : 0;
    if (options.DI) options.DB = 0;
    if (!options.PL) options.OV = options.SC = 0;
    if (parameter == "XY")
        options.AV = options.DI = options.CU = options.DB = options.ST = options.MO = options.WR = options.FI = 0;
}

// The command-word scan: the first function, read or command word decides.
// Returns true when the scan ended the line's words (a read or command word)
// and sets `action` for the commands that run at once.
bool scan_command_word(std::string_view line, int last_column, Workspace& workspace, LineAction& action) {
    Selection& selection = workspace.selection;
    for (int column = 1; column <= last_column - 2; ++column) {
        for (const CommandWord& w : command_words()) {
            if (!word_at(line, column, w.word)) continue;
            switch (w.kind) {
            case WordKind::function:
                selection.function_code = std::string(w.function_code);
                workspace.signal_mode = w.mode;
                selection.abscissa_label = std::string(w.label);
                return false;
            case WordKind::read:
                selection.read_word = true;
                selection.read_command = std::string(w.word);
                workspace.signal_mode = w.mode;
                return true;
            case WordKind::command:
                action = w.action;
                return true;
            default:
                break;
            }
        }
    }
    return false;
}

void scan_operations(std::string_view line, int last_column, Selection& selection) {
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& op : words_of(WordKind::operation))
            if (word_at(line, column, op.word)) {
                selection.operation_id = op.operation_id;
                selection.operation_markers.insert(std::string(op.word));
            }
}

void scan_parameter(std::string_view line, int last_column, Selection& selection) {
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& parameter : words_of(WordKind::parameter))
            if (word_at(line, column, parameter.word)) {
                selection.parameter_code = std::string(parameter.word);
                selection.parameter_label = padded_characters(parameter.label, 20);
                return;
            }
}
}  // namespace

bool word_at(std::string_view line, int column, std::string_view word) {
    const auto start = static_cast<std::size_t>(column - 1);
    if (column < 1 || start + 1 + word.size() > line.size()) return false;
    return line[start] == ' ' && line.substr(start + 1, word.size()) == word;
}

std::string make_command_line(std::string_view reply) {
    std::string line = " ";
    line += reply.substr(0, std::min<std::size_t>(reply.size(), kLineLength - 1));
    line.resize(kLineLength, ' ');
    for (char& c : line)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return line;
}

LineAction scan_command_line(std::string_view reply, Workspace& workspace) {
    const std::string line = make_command_line(reply);
    const int last_column = last_non_blank_column(line);
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& command : words_of(WordKind::line_command))
            if (word_at(line, column, command.word)) return command.action;
    Selection& selection = workspace.selection;
    if (last_column > 0) {
        selection.operation_id = 0;
        selection.read_selector = 0;
        selection.read_word = false;
        LineAction action = LineAction::execute;
        const bool words_ended = scan_command_word(line, last_column, workspace, action);
        if (action != LineAction::execute) return action;
        if (selection.read_word && selection.read_command.size() == 2 &&
            (selection.read_command == "RT" || selection.read_command == "RF"))
            selection.operation_markers.clear();
        if (!words_ended) {
            scan_operations(line, last_column, selection);
            scan_parameter(line, last_column, selection);
        }
    }
    scan_options(line, workspace);
    apply_cross_option_rules(workspace);
    return LineAction::execute;
}

void reset_selection(Workspace& workspace) {
    Selection& selection = workspace.selection;
    selection.function_code.clear();
    selection.parameter_code.clear();
    selection.parameter_label.clear();
    selection.cache_valid = false;
    workspace.signal_mode = SignalMode::linked;
    OptionSet& options = workspace.options;
    options.AV = options.DI = options.CU = options.DB = options.SC = 0;
}

std::string title_prefix(const Workspace& workspace) {
    const Selection& selection = workspace.selection;
    if (selection.parameter_code == "XY") return "X-Y Graph:   ";
    const bool cumulative = workspace.options.CU != 0;
    const bool independent = workspace.signal_mode == SignalMode::independent;
    if (selection.function_code == "WA") {
        if (independent) return cumulative ? "CU Signal A: " : "Signal A:    ";
        return cumulative ? "CU Waveform  " : "Waveform of  ";
    }
    if (selection.function_code == "SP") {
        if (independent) return cumulative ? "CU Signal B: " : "Signal B:    ";
        return cumulative ? "CU Spectrum  " : "Spectrum of  ";
    }
    return "             ";
}

}  // namespace zeph
