#include "shell/help_screen.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "base/utf8.hpp"

namespace zeph {

namespace {
constexpr std::string_view kTitle = " ZEPH 1.0 - interactive signal-analysis workbench";

struct HelpRow {
    int row;
    std::string_view text;
};
// The rows are laid out one ISO 8859-1 byte per cell (see cell_bytes).
constexpr std::array kHelpRowTexts{
    HelpRow{2, "  ALlocate     SEt range    RTime    RFreq    RAsig    RBsig    SYstem    ENd"},
    HelpRow{4, "  FUNCTION                   PARAMETER                 OPTION(S)"},
    HelpRow{6, "  WAveform: y(t) [=A(x)]     REal                      AVerage, NOAV"},
    HelpRow{7, "  SPectrum: Y(f) [=B(x)]     IMaginary                 DIstribution, NODI"},
    HelpRow{8, "  ASignal: A(x)  [=y(t)]     AMplitude                 CUmulative, NOCU"},
    HelpRow{9, "  BSignal: B(x)  [=Y(f)]     POwer                     DB, NODB"},
    HelpRow{10, "                             DPhase (degrees)          STatistics, NOST"},
    HelpRow{11, "  (OPERATION)                RPhase (radians)          SS save stats, NOSS"},
    HelpRow{12, "                             INstfreq (WA only)"},
    HelpRow{13, "  WIndow A|B                 GRoup delay (SP only)"},
    HelpRow{14, "  LT linear transform A|B    DDev lin phase (deg)"},
    HelpRow{15, "  FF filter function A|B     RDev lin phase (rad)"},
    HelpRow{16, "  CS change sample rate A|B  XYplot: X=real,Y=imag     FIle, NOFI"},
    HelpRow{17, "  CHange #pts, Xmin, dX A|B  PRoduct real*imag         LIst, NOLI"},
    HelpRow{18, "  DX time/freq deriv. A|B    SUm real ± imag           PLot, NOPL"},
    HelpRow{19, "  IX time/freq integral A|B  RX linear regress(x,re)     OVerlay previous plot"},
    HelpRow{20, "  AC auto-correlation A|B    RR linear regress(re,im)    SCale data, NOSC"},
    HelpRow{21, "                                                         MOdulo, NOMO"},
    HelpRow{22, "  SWap A&B                                               WRap, NOWR"},
    HelpRow{23, "  A=B Copy B into A                                      EXport, NOEX"},
    HelpRow{24, "  B=A Copy A into B                                      MEtafile, NOME"},
    HelpRow{25, "  ADd A&B                                                BItmap file, NOBI"},
    HelpRow{26, "  MUltiply A&B"},
    HelpRow{27, "  CV convolution A&B         Functions (for EQ)          LAbel options, NOLA"},
    HelpRow{28, "  XC cross-correlation A&B    sinc(x) = sin(pi*x)/pi*x   LO line options, NOLO"},
    HelpRow{29, "                              norm(s,x-µ) = Norm dist    MArkers, NOMA"},
    HelpRow{30, "  DEfine constant or calc     cnorm(s,x-µ)= P(z < x)     SMoothing, NOSM"},
    HelpRow{31, "  SHow constants              ray(rms,x) = Rayleigh      PG polar graph, NOPG"},
    HelpRow{32, "  EQuation: A|B=F(A,B,x,K)    + standard math functions  AXis options, NOAX"},
    HelpRow{33, "  CReate Y=fft(A)|y=ifft(B)  Random Numbers (for EQ)     GO grid options, NOGO"},
    HelpRow{34, "                               rand(min,max): uniform    ZEro line axes, NOZE"},
    HelpRow{35, "                               gauss(µ,s): Gaussian      COlor options, NOCO"},
    HelpRow{36, "                                                         AR aspect ratio, NOAR"},
    HelpRow{37, "                                                         HIgh resolution, NOHI"},
};

// The three columns of the help screen and the marker cell of each.
struct Zone {
    int first, last;      // 1-based columns of the zone
    int marker_column;
};
constexpr std::array kZones{Zone{3, 28, 2}, Zone{29, 55, 29}, Zone{56, 80, 55}};
constexpr int kRowTwo = 2;

// A command word on the help screen and where its marker goes.
struct MarkerCell {
    std::string word;
    int row, column;
};

using HelpGrid = std::array<std::array<Cell, TextConsole::kColumns>, kHelpRows>;

struct Layout {
    HelpGrid cells{};
    std::vector<MarkerCell> function_markers;   // zone 1, rows 6..9
    std::vector<MarkerCell> operation_markers;  // zone 1, rows 13..43
    std::vector<MarkerCell> parameter_markers;  // zone 2, rows 6..24
    std::vector<MarkerCell> option_markers;     // zone 3
    std::vector<MarkerCell> command_markers;    // row 2
};

void put(HelpGrid& grid, int row, int column, char32_t character, std::uint8_t attribute) {
    if (row < 1 || row > kHelpRows || column < 1 || column > TextConsole::kColumns) return;
    grid[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)] = Cell{character, attribute};
}

// A row as the help screen stores it: one ISO 8859-1 byte per cell, each
// byte its own code point (so ± and µ are 0xB1 and 0xB5, and a column is a
// byte); a character beyond that set would show as '?'.
std::string cell_bytes(std::string_view utf8) {
    std::string bytes;
    for (const char32_t c : decode_text(utf8)) bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
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

// Splits a row's text into the segments of one zone: (first column, trimmed text).
bool zone_text(std::string_view text, const Zone& zone, int& first, std::string_view& entry) {
    if (static_cast<int>(text.size()) < zone.first) return false;
    std::string_view part = text.substr(static_cast<std::size_t>(zone.first - 1),
                                        static_cast<std::size_t>(zone.last - zone.first + 1));
    const auto begin = part.find_first_not_of(' ');
    if (begin == std::string_view::npos) return false;
    const auto end = part.find_last_not_of(' ');
    entry = part.substr(begin, end - begin + 1);
    first = zone.first + static_cast<int>(begin);
    return true;
}

void lay_out_row_two(Layout& layout, std::string_view text) {
    for (int column = 1; column <= TextConsole::kColumns; ++column)
        put(layout.cells, kRowTwo, column, ' ', kHelpMarkerAttribute);
    put(layout.cells, kRowTwo, 1, ' ', kHelpOtherAttribute);
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i - 1] != ' ') continue;
        const auto end = text.find("  ", i);
        const std::string_view entry = text.substr(i, (end == std::string_view::npos ? text.size() : end) - i);
        const int first = static_cast<int>(i) + 1;
        put_entry(layout.cells, kRowTwo, first, entry);
        layout.command_markers.push_back({std::string(entry.substr(0, 2)), kRowTwo, first - 1});
        i += entry.size();
    }
}

bool is_heading(int row, int zone) { return row == 4 || (row == 11 && zone == 0); }
bool is_note(int row, int zone) { return zone == 1 && row >= 27; }

Layout lay_out() {
    Layout layout;
    for (auto& row : layout.cells) row.fill(Cell{' ', kHelpOtherAttribute});
    put_plain(layout.cells, 1, 1, kTitle, kHelpHeadingAttribute);
    for (const HelpRow& help_row : kHelpRowTexts) {
        const std::string text = cell_bytes(help_row.text);
        if (help_row.row == kRowTwo) {
            lay_out_row_two(layout, text);
            continue;
        }
        for (std::size_t z = 0; z < kZones.size(); ++z) {
            int first = 0;
            std::string_view entry;
            if (!zone_text(text, kZones[z], first, entry)) continue;
            const int zone = static_cast<int>(z);
            if (is_heading(help_row.row, zone)) {
                put_plain(layout.cells, help_row.row, first, entry, kHelpHeadingAttribute);
                continue;
            }
            if (is_note(help_row.row, zone)) {
                put_plain(layout.cells, help_row.row, first, entry, kHelpOtherAttribute);
                continue;
            }
            put_entry(layout.cells, help_row.row, first, entry);
            const MarkerCell marker{std::string(entry.substr(0, 2)), help_row.row, kZones[z].marker_column};
            if (zone == 0) (help_row.row <= 9 ? layout.function_markers : layout.operation_markers).push_back(marker);
            if (zone == 1) layout.parameter_markers.push_back(marker);
            if (zone == 2) layout.option_markers.push_back(marker);
        }
    }
    return layout;
}

const Layout& layout() {
    static const Layout kLayout = lay_out();
    return kLayout;
}

void mark(HelpGrid& grid, const std::vector<MarkerCell>& cells, std::string_view word) {
    for (const MarkerCell& cell : cells)
        if (cell.word == word) put(grid, cell.row, cell.column, kHelpMarker, kHelpMarkerAttribute);
}

std::string_view function_word(const Workspace& workspace) {
    const bool independent = workspace.signal_mode == SignalMode::independent;
    if (workspace.selection.function_code == "WA") return independent ? "AS" : "WA";
    if (workspace.selection.function_code == "SP") return independent ? "BS" : "SP";
    return {};
}

struct OptionMarker {
    std::string_view word;
    int OptionSet::*flag;
};
constexpr std::array kMarkedOptions{
    OptionMarker{"AV", &OptionSet::AV}, OptionMarker{"DI", &OptionSet::DI}, OptionMarker{"CU", &OptionSet::CU},
    OptionMarker{"DB", &OptionSet::DB}, OptionMarker{"ST", &OptionSet::ST}, OptionMarker{"SS", &OptionSet::SS},
    OptionMarker{"FI", &OptionSet::FI}, OptionMarker{"LI", &OptionSet::LI}, OptionMarker{"PL", &OptionSet::PL},
    OptionMarker{"SC", &OptionSet::SC}, OptionMarker{"MO", &OptionSet::MO}, OptionMarker{"WR", &OptionSet::WR},
    OptionMarker{"EX", &OptionSet::EX}, OptionMarker{"ME", &OptionSet::ME}, OptionMarker{"BI", &OptionSet::BI},
    OptionMarker{"LA", &OptionSet::LA}, OptionMarker{"LO", &OptionSet::LO}, OptionMarker{"MA", &OptionSet::MA},
    OptionMarker{"SM", &OptionSet::SM}, OptionMarker{"PG", &OptionSet::PG}, OptionMarker{"AX", &OptionSet::AX},
    OptionMarker{"GO", &OptionSet::GO}, OptionMarker{"ZE", &OptionSet::ZE}, OptionMarker{"CO", &OptionSet::CO},
    OptionMarker{"AR", &OptionSet::AR}, OptionMarker{"HI", &OptionSet::HI},
};
}  // namespace

void draw_help_screen(TextConsole& console, const Workspace& workspace, const HelpState& state) {
    const Layout& base = layout();
    HelpGrid grid = base.cells;
    const Selection& selection = workspace.selection;
    mark(grid, base.function_markers, function_word(workspace));
    for (const std::string& word : selection.operation_markers) mark(grid, base.operation_markers, word);
    if (!selection.parameter_code.empty()) mark(grid, base.parameter_markers, selection.parameter_code);
    for (const OptionMarker& option : kMarkedOptions)
        if (workspace.options.*(option.flag) != 0) mark(grid, base.option_markers, option.word);
    if (state.read_range_set) mark(grid, base.command_markers, "SE");
    if (!selection.read_command.empty()) mark(grid, base.command_markers, selection.read_command.substr(0, 2));

    for (int row = 1; row <= kHelpRows; ++row)
        for (int column = 1; column <= TextConsole::kColumns; ++column) {
            const Cell& cell = grid[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column - 1)];
            console.put(row, column, cell.character, cell.attribute);
        }
}

}  // namespace zeph
