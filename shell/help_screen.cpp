#include "shell/help_screen.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "shell/command_table.hpp"

namespace zeph {

namespace {
constexpr int kNoteRow = 43;                    // one of the help screen's blank rows
constexpr std::uint8_t kNoteAttribute = 0x71;   // blue on light grey
constexpr std::string_view kTitle = " ZEPH 1.0 - interactive signal-analysis workbench";

// The texts of the help screen that are not command words: the headings
// and the notes on the functions of EQ. The words' own entries come from the
// command table. Byte 0xB5 is the program's micro sign.
struct HelpText {
    int row, column;
    std::string_view text;
    std::uint8_t attribute;
};
constexpr std::array kHelpTexts{
    HelpText{4, 3, "FUNCTION", kHelpHeadingAttribute},
    HelpText{4, 30, "PARAMETER", kHelpHeadingAttribute},
    HelpText{4, 56, "OPTION(S)", kHelpHeadingAttribute},
    HelpText{11, 3, "(OPERATION)", kHelpHeadingAttribute},
    HelpText{27, 30, "Functions (for EQ)", kHelpOtherAttribute},
    HelpText{28, 31, "sinc(x) = sin(pi*x)/pi*x", kHelpOtherAttribute},
    HelpText{29, 31, "norm(s,x-\xB5) = Norm dist", kHelpOtherAttribute},
    HelpText{30, 31, "cnorm(s,x-\xB5)= P(z < x)", kHelpOtherAttribute},
    HelpText{31, 31, "ray(rms,x) = Rayleigh", kHelpOtherAttribute},
    HelpText{32, 31, "+ standard math functions", kHelpOtherAttribute},
    HelpText{33, 30, "Random Numbers (for EQ)", kHelpOtherAttribute},
    HelpText{34, 32, "rand(min,max): uniform", kHelpOtherAttribute},
    HelpText{35, 32, "gauss(\xB5,s): Gaussian", kHelpOtherAttribute},
};

// Row 2 lists the commands, each marked in the cell before it. Below it
// stand three columns (options; parameters; functions and operations), each
// with one marker cell, known by the first column they start at.
constexpr int kRowTwo = 2;
struct Zone {
    int first, marker_column;
};
constexpr std::array kZones{Zone{56, 55}, Zone{29, 29}, Zone{1, 2}};

int marker_column(const HelpEntry& entry) {
    if (entry.row == kRowTwo) return entry.column - 1;
    for (const Zone& zone : kZones)
        if (entry.column >= zone.first) return zone.marker_column;
    return 0;
}

using HelpGrid = std::array<std::array<Cell, TextConsole::kColumns>, kHelpRows>;

// The help texts are laid out one ISO 8859-1 byte per cell, each byte its own
// code point (0xB1 is ±, 0xB5 µ), so a column is a byte.
void put(HelpGrid& grid, int row, int column, char32_t character, std::uint8_t attribute) {
    if (row < 1 || row > kHelpRows || column < 1 || column > TextConsole::kColumns) return;
    grid[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)] = Cell{character, attribute};
}

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

// An entry: its first two characters are the word a user types, and so is
// every NO-form ("NOxx" after a comma and blank); the rest is black.
void put_entry(HelpGrid& grid, int row, int first, std::string_view text) {
    put(grid, row, first - 1, ' ', kHelpMarkerAttribute);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool word = i < 2;
        const bool no_form = i >= 2 && text.substr(i - 2, 2) == ", " && text.substr(i, 2) == "NO";
        std::uint8_t attribute = kHelpEntryAttribute;
        if (word) attribute = kHelpTypedAttribute;
        if (no_form) {
            for (std::size_t k = 0; k < 4 && i + k < text.size() && (k < 2 || is_upper(text[i + k])); ++k)
                put(grid, row, first + static_cast<int>(i + k), static_cast<unsigned char>(text[i + k]),
                    kHelpTypedAttribute);
            i += 3;
            continue;
        }
        put(grid, row, first + static_cast<int>(i), static_cast<unsigned char>(text[i]), attribute);
    }
}

void put_plain(HelpGrid& grid, int row, int first, std::string_view text, std::uint8_t attribute) {
    for (std::size_t i = 0; i < text.size(); ++i)
        put(grid, row, first + static_cast<int>(i), static_cast<unsigned char>(text[i]), attribute);
}

HelpGrid lay_out() {
    HelpGrid cells{};
    for (auto& row : cells) row.fill(Cell{' ', kHelpOtherAttribute});
    put_plain(cells, 1, 1, kTitle, kHelpHeadingAttribute);
    for (int column = 2; column <= TextConsole::kColumns; ++column)
        put(cells, kRowTwo, column, ' ', kHelpMarkerAttribute);
    for (const HelpText& text : kHelpTexts) put_plain(cells, text.row, text.column, text.text, text.attribute);
    for (const CommandWord& word : command_words())
        if (word.help.row != 0) put_entry(cells, word.help.row, word.help.column, word.help.text);
    return cells;
}

const HelpGrid& layout() {
    static const HelpGrid kLayout = lay_out();
    return kLayout;
}

// The help screen with its markers, and the words it marks for the one-row
// summary of a short terminal.
struct MarkedHelp {
    HelpGrid grid;
    std::string words;
};

// Marks the entry of a row.
void mark(MarkedHelp& help, const CommandWord* row) {
    if (row == nullptr || row->help.row == 0) return;
    const int column = marker_column(row->help);
    const auto& cell = help.grid[static_cast<std::size_t>(row->help.row - 1)][static_cast<std::size_t>(column - 1)];
    if (cell.character == kHelpMarker) return;   // marked already (an operation named twice)
    put(help.grid, row->help.row, column, kHelpMarker, kHelpMarkerAttribute);
    if (!help.words.empty()) help.words += ' ';
    help.words += row->help.text.substr(0, 2);
}

// The function's row in the current mode: a read may have changed the mode
// since the function was named.
const CommandWord* function_row(const Workspace& workspace) {
    const CommandWord* function = workspace.selection.function;
    return function ? function_for(function->domain, workspace.signal_mode) : nullptr;
}

}  // namespace

void draw_help_screen(TextConsole& console, const Workspace& workspace, const HelpState& state) {
    MarkedHelp help{layout(), {}};
    const Selection& selection = workspace.selection;
    mark(help, function_row(workspace));
    for (const CommandWord* operation : selection.operation_markers) mark(help, operation);
    mark(help, selection.parameter);
    for (const CommandWord& option : command_words())
        if (option.marked && workspace.options.*(option.flag) != 0) mark(help, &option);
    if (state.read_range_set) mark(help, command_for(LineAction::set_range));
    mark(help, selection.read);

    for (int row = 1; row <= kHelpRows; ++row)
        for (int column = 1; column <= TextConsole::kColumns; ++column) {
            const Cell& cell = help.grid[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)];
            console.put(row, column, cell.character, cell.attribute);
        }
    console.set_marked_words(std::move(help.words));
    if (!state.written_note.empty()) {
        console.write(kNoteRow, 3, state.written_note, kNoteAttribute);
        console.reveal(kNoteRow);   // a short terminal shows what was written
    }
}

void note_written(TextConsole& console, HelpState& state, std::string_view file_name, std::string_view detail) {
    const std::string note = "Wrote " + std::string(file_name) + ": " + std::string(detail);
    console.transcript(note);
    // One plot may write three files: the row keeps them all, as far as they fit.
    if (!state.written_note.empty()) state.written_note += "; ";
    state.written_note += note;
    state.written_note.resize(std::min<std::size_t>(state.written_note.size(), TextConsole::kColumns - 4));
}

}  // namespace zeph
