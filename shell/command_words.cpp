#include "shell/command_words.hpp"

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "base/text.hpp"
#include "base/utf8.hpp"

namespace zeph {

namespace {
constexpr int kLineLength = 80;
constexpr int kLastOptionColumn = 76;   // the option scan visits fixed columns

// The rows of one kind of word.
std::vector<std::reference_wrapper<const CommandWord>> words_of(std::span<const CommandWord> table, WordKind kind) {
    std::vector<std::reference_wrapper<const CommandWord>> words;
    for (const CommandWord& word : table)
        if (word.kind == kind) words.emplace_back(word);
    return words;
}

int last_non_blank_column(std::string_view line) {
    const auto last = line.find_last_not_of(' ');
    return last == std::string_view::npos ? 0 : static_cast<int>(last) + 1;
}

// Sets an option as its row says: an output switches the other outputs off
// (not those run in addition, AU);
// DB takes the parameter's dB form (power when it has none: the rules after
// the scan then switch it off).
void set_option(std::span<const CommandWord> table, OptionSet& options, const CommandWord& option,
                const Selection& selection) {
    if (option.rules.group == OptionGroup::output && !option.rules.in_addition)
        for (const CommandWord& other : words_of(table, WordKind::option))
            if (other.rules.group == OptionGroup::output && !other.rules.in_addition) options.*(other.flag) = 0;
    int value = option.rules.on_value;
    if (option.rules.decibels) value = decibel_form(selection) == DbForm::amplitude ? 2 : 1;
    options.*(option.flag) = value;
}

void scan_options(std::string_view line, Workspace& workspace, std::span<const CommandWord> table) {
    OptionSet& options = workspace.options;
    Selection& selection = workspace.selection;
    selection.read_into.reset();
    const auto option_rows = words_of(table, WordKind::option);
    const auto reads = words_of(table, WordKind::read);
    for (int column = 1; column <= kLastOptionColumn; ++column) {
        for (const CommandWord& option : option_rows)
            if (word_at(line, column, option.word)) set_option(table, options, option, selection);
        for (const CommandWord& read : reads)
            if (word_at(line, column, read.word)) selection.read_into = read.domain;
        for (const CommandWord& option : option_rows) {
            if (!option.has_no_form) continue;
            const std::string no_form = "NO" + std::string(option.word);
            if (word_at(line, column, no_form)) options.*(option.flag) = 0;
        }
    }
}

// The rules between options, as their rows say: DB follows the parameter's
// dB form, and options are switched off by DI (DB), by the lack of PL (OV,
// SC) and by an XY parameter.
void apply_cross_option_rules(Workspace& workspace, std::span<const CommandWord> table) {
    OptionSet& options = workspace.options;
    const Selection& selection = workspace.selection;
    const bool xy = is_xy(selection);
    const auto option_rows = words_of(table, WordKind::option);
    for (const CommandWord& option : option_rows)
        if (option.rules.decibels && options.*(option.flag) != 0)
            options.*(option.flag) = static_cast<int>(decibel_form(selection));
    for (const CommandWord& option : option_rows) {
        const OptionRules& rules = option.rules;
        int& flag = options.*(option.flag);
        if (rules.off_with != nullptr && options.*(rules.off_with) != 0) flag = 0;
        if (rules.needs_plot && !options.PL) flag = 0;
        if (rules.off_for_xy && xy) flag = 0;
    }
}

// The command-word scan: the first function, read or command word decides.
// Returns true when the scan ended the line's words (a read or command word)
// and sets `action` for the commands that run at once.
bool scan_command_word(std::string_view line, int last_column, Workspace& workspace, LineAction& action,
                       std::span<const CommandWord> table) {
    Selection& selection = workspace.selection;
    for (int column = 1; column <= last_column - 2; ++column) {
        for (const CommandWord& w : table) {
            if (!word_at(line, column, w.word)) continue;
            switch (w.kind) {
            case WordKind::function:
                selection.function = &w;
                workspace.signal_mode = w.mode;
                return false;
            case WordKind::read:
                selection.read_word = true;
                selection.read = &w;
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

void scan_operations(std::string_view line, int last_column, Selection& selection,
                     std::span<const CommandWord> table) {
    const auto operations = words_of(table, WordKind::operation);
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& op : operations)
            if (word_at(line, column, op.word)) {
                selection.operation = &op;
                selection.operation_markers.insert(&op);
            }
}

void scan_parameter(std::string_view line, int last_column, Selection& selection,
                    std::span<const CommandWord> table) {
    const auto parameters = words_of(table, WordKind::parameter);
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& parameter : parameters)
            if (word_at(line, column, parameter.word)) {
                selection.parameter = &parameter;
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
    return upper_case(line);
}

LineAction scan_command_line(std::string_view reply, Workspace& workspace, std::span<const CommandWord> table) {
    const std::string line = make_command_line(reply);
    const int last_column = last_non_blank_column(line);
    for (int column = 1; column <= last_column - 2; ++column)
        for (const CommandWord& command : words_of(table, WordKind::line_command))
            if (word_at(line, column, command.word)) return command.action;
    Selection& selection = workspace.selection;
    if (last_column > 0) {
        selection.operation = nullptr;
        selection.read_into.reset();
        selection.read_word = false;
        LineAction action = LineAction::execute;
        const bool words_ended = scan_command_word(line, last_column, workspace, action, table);
        if (action != LineAction::execute) return action;
        // A linked read (RT, RF) starts the operation markers afresh.
        if (selection.read_word && selection.read->mode == SignalMode::linked) selection.operation_markers.clear();
        if (!words_ended) {
            scan_operations(line, last_column, selection, table);
            scan_parameter(line, last_column, selection, table);
        }
    }
    scan_options(line, workspace, table);
    apply_cross_option_rules(workspace, table);
    return LineAction::execute;
}

std::string title_prefix(const Workspace& workspace) {
    const Selection& selection = workspace.selection;
    if (is_xy(selection)) return "X-Y Graph:   ";
    if (selection.function == nullptr) return "             ";
    const bool cumulative = workspace.options.CU != 0;
    const bool independent = workspace.signal_mode == SignalMode::independent;
    if (selection.function->domain == Domain::time) {
        if (independent) return cumulative ? "CU Signal A: " : "Signal A:    ";
        return cumulative ? "CU Waveform  " : "Waveform of  ";
    }
    if (independent) return cumulative ? "CU Signal B: " : "Signal B:    ";
    return cumulative ? "CU Spectrum  " : "Spectrum of  ";
}

}  // namespace zeph
