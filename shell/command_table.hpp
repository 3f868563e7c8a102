#pragma once
// The one table of command words. Each word appears once, with its kind,
// what it selects or runs, its behaviour and its entry on the help screen;
// the word scan, the command loop's dispatch, the display and the help
// screen all read it. The scan keeps rows, never words: a new command is one
// row and one handler, a new display parameter one row and one derive
// function. The rows themselves are bound to their handlers in
// command_rows.cpp, above every dialogue.
#include <span>
#include <string_view>

#include "base/signal_grid.hpp"

namespace zeph {

struct Session;
struct SignalRef;
struct DeriveInput;

// The option flags of a display (0 off, 1 on; the plot-dialogue groups also
// 2 = asked, keep the answers; DB 1 = power, 2 = amplitude; BI 2 = on).
struct OptionSet {
    int AV = 0, DI = 0, CU = 0, DB = 0, ST = 0, SS = 0, PL = 1, FI = 0, LI = 0, OV = 0, SC = 0, MO = 0, WR = 0,
        EX = 0, ME = 0, BI = 0, AU = 0;
    int LA = 0, LO = 0, MA = 0, SM = 0, PG = 0, AX = 0, GO = 0, ZE = 0, CO = 0, AR = 0, HI = 0;
};

// What the scanned line asks the loop to do.
enum class LineAction {
    execute,      // run the read dialogue, operation or display
    replay,       // RL
    end,          // EN
    system,       // SY
    allocate,     // AL
    set_range,    // SE
    record,       // RC
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

// How a derive function ended: done, refused (the line's words do not fit:
// "ERROR OR MISSING PARAMETERS") or left with Esc at one of its questions.
enum class Derivation { done, invalid, escaped };

// Fills the display's work arrays from the current signal (see DeriveInput).
using DeriveFunction = Derivation (*)(DeriveInput&);

// What a derivation leaves for the output stages: a curve is work_y over the
// abscissa xmin + k*dx; xy pairs are (work_x[k], work_y[k]). A result of
// another shape (an image) is a new value here and its own output stage.
enum class ResultShape { curve, xy, image };

// The decibel form of a parameter's values, as OptionSet::DB holds it: none
// (DB is switched off), power (10·log10) or amplitude (20·log10). Power
// also marks a power ordinate (the plot's reference level, the statistics).
enum class DbForm { none = 0, power = 1, amplitude = 2 };

// The signals a parameter can be derived from; another domain is refused.
struct DomainSet {
    bool time = true, frequency = true;
    constexpr bool has(Domain domain) const { return domain == Domain::time ? time : frequency; }
};
inline constexpr DomainSet kTimeOnly{.time = true, .frequency = false};
inline constexpr DomainSet kFrequencyOnly{.time = false, .frequency = true};

struct ParameterTraits {
    DeriveFunction derive = nullptr;
    ResultShape shape = ResultShape::curve;
    DbForm decibels = DbForm::none;
    DomainSet domains;
    // The next display of the same signal and parameter may reuse the
    // values; false where the derivation asks questions or sets the status line.
    bool reusable = true;
    // The result's abscissa is frequency (Hz), whatever the signal's domain.
    bool frequency_result = false;
    // An image: shows the display in place of the output options' handlers.
    void (*show_image)(Session&) = nullptr;
};

// Options of one group act together: the outputs exclude each other.
enum class OptionGroup {
    stage,    // AV, DI, CU, DB, ST, SS: the display's stages
    output,   // PL, FI, LI: where the display goes, one at a time
    plot,     // OV, SC, MO, WR and the plot dialogue's groups
    file,     // EX, ME, BI: files a plot writes
};

struct OptionRules {
    OptionGroup group = OptionGroup::plot;
    int on_value = 1;                     // the flag's value when named (BI: 2)
    bool decibels = false;                // DB: the value is the parameter's dB form
    bool reset_with_selection = false;    // AV, DI, CU, DB, SC: off after operations, reads, CR, SE, AL
    bool needs_plot = false;              // OV, SC: off without PL
    bool off_for_xy = false;              // off for an XY parameter
    int OptionSet::*off_with = nullptr;   // DB: off while DI is on
    bool in_addition = false;             // AU: an output run after the one that wins, set apart from it
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
    // Handlers: `run` for commands, reads, operations that see the whole
    // session and output options; `run_on_signal` for the operations on the
    // current signal, which return true when they changed it.
    void (*run)(Session&) = nullptr;
    bool (*run_on_signal)(Session&, SignalRef&) = nullptr;
    LineAction action = LineAction::execute;   // line_command, command
    DataNeed data = DataNeed::current;          // operation
    SignalMode mode = SignalMode::linked;       // function, read
    Domain domain = Domain::time;               // function: its signal; read: the signal it reads
    std::string_view label;                     // parameter: its label; function: the abscissa label
    ParameterTraits parameter;                  // parameter
    int OptionSet::*flag = nullptr;             // option
    OptionRules rules;                          // option
    bool has_no_form = false;                   // option
    bool marked = false;                        // option: marked on the help screen while set
    HelpEntry help;
};

// Every command word. The order is free for the scan (at one column only one
// word can stand); among the output options the first one set is shown.
std::span<const CommandWord> command_words();

// The row of the command that runs `action`, nullptr for execute.
const CommandWord* command_for(LineAction action);

// The function row of a domain and mode (WA, SP, AS, BS), nullptr when there is none.
const CommandWord* function_for(Domain domain, SignalMode mode);

// The row of a word of one kind, nullptr when there is none.
const CommandWord* find_word(std::string_view word, WordKind kind);

}  // namespace zeph
