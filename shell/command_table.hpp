#pragma once
// The one table of command words. Each word appears once, with its kind,
// what it selects or runs, and its entry on the help screen; the word scan,
// the command loop's dispatch and the help screen all read it. A new
// command is one row here and one handler.
#include <span>
#include <string_view>

#include "shell/workspace.hpp"

namespace zeph {

struct Session;
struct CurrentSignal;

// What the scanned line asks the loop to do.
enum class LineAction {
    execute,      // run the read dialogue, operation or display
    replay,       // RL
    end,          // EN
    system,       // SY
    allocate,     // AL
    set_range,    // SE
};

// Operation ids, kept in the selection.
enum OperationId : int {
    kOpWindow = 1, kOpLinearTransform = 2, kOpChangeRate = 4, kOpChangePoints = 5, kOpDerivative = 6,
    kOpIntegral = 7, kOpFilter = 8, kOpAutoCorrelation = 17, kOpConvolution = 18, kOpCrossCorrelation = 19,
    kOpSwap = 20, kOpCopyBToA = 21, kOpCopyAToB = 22, kOpAdd = 23, kOpMultiply = 24, kOpDefine = 25,
    kOpShow = 26, kOpEquation = 27, kOpCreate = 28
};

enum class WordKind {
    line_command,   // RL, EN: anywhere on the line, before every other word
    command,        // SY, AL, SE: run at once when they are the line's command word
    read,           // RT, RF, RA, RB: the command word; anywhere, they also pick the signal read
    function,       // WA, SP, AS, BS
    operation,      // at most one per line: the last one found
    parameter,      // what a display shows: the first one found
    option,         // display options, most with a NO-form
};

// What an operation needs of the current signal before its handler runs.
enum class DataNeed {
    none,      // DE, SH: neither a function nor a signal
    current,   // the current signal must exist (in linked mode it is made from the other domain)
    target,    // EQ: the current signal is made; it may be absent
    remade,    // CR: the current signal is made again from the other domain
};

// A word's entry on the help screen: its first two characters are the word.
struct HelpEntry {
    int row = 0;      // 1-based; 0: not on the help screen
    int column = 0;   // 1-based column of the entry's first character
    std::string_view text;
};

struct CommandWord {
    std::string_view word;
    WordKind kind = WordKind::option;
    // Handlers: `run` for commands, reads and operations that see the whole
    // session; `run_on_signal` for the operations on the current signal,
    // which return true when they changed it.
    void (*run)(Session&) = nullptr;
    bool (*run_on_signal)(Session&, CurrentSignal&) = nullptr;
    LineAction action = LineAction::execute;   // line_command, command
    int operation_id = 0;                       // operation
    DataNeed data = DataNeed::current;          // operation
    std::string_view function_code;             // function: "WA" or "SP"
    SignalMode mode = SignalMode::linked;       // function, read
    Domain domain = Domain::time;               // read: the signal it reads
    std::string_view label;                     // parameter: its label; function: the abscissa label
    int OptionSet::*flag = nullptr;             // option
    bool has_no_form = false;                   // option
    bool marked = false;                        // option: marked on the help screen while set
    HelpEntry help;
};

// Every command word. The order is free: at one column only one word can stand.
std::span<const CommandWord> command_words();

// The row of operation `id`, nullptr when there is none.
const CommandWord* operation_word(int id);

// The row of the command that runs `action`, nullptr for execute.
const CommandWord* command_for(LineAction action);

// The row of a word of one kind, nullptr when there is none.
const CommandWord* find_word(std::string_view word, WordKind kind);

}  // namespace zeph
