#pragma once
// The command language: two-letter words found anywhere in a line, sorted
// into a FUNCTION, at most one OPERATION, a PARAMETER, OPTIONS and the
// top-level commands. Pure: the scan changes only the selection and options.
#include <string>
#include <string_view>

#include "shell/workspace.hpp"

namespace zeph {

inline constexpr std::string_view kMissingParameters = "ERROR OR MISSING PARAMETERS. REENTER COMMAND LINE.";

// Operation ids.
enum OperationId : int {
    kOpWindow = 1, kOpLinearTransform = 2, kOpChangeRate = 4, kOpChangePoints = 5, kOpDerivative = 6,
    kOpIntegral = 7, kOpFilter = 8, kOpAutoCorrelation = 17, kOpConvolution = 18, kOpCrossCorrelation = 19,
    kOpSwap = 20, kOpCopyBToA = 21, kOpCopyAToB = 22, kOpAdd = 23, kOpMultiply = 24, kOpDefine = 25,
    kOpShow = 26, kOpEquation = 27, kOpCreate = 28
};

struct OperationWord {
    std::string_view word;
    int id;
};
inline constexpr OperationWord kOperationWords[] = {
    {"WI", kOpWindow},  {"LT", kOpLinearTransform}, {"CS", kOpChangeRate},    {"CH", kOpChangePoints},
    {"DX", kOpDerivative}, {"IX", kOpIntegral},     {"FF", kOpFilter},        {"AC", kOpAutoCorrelation},
    {"CV", kOpConvolution}, {"XC", kOpCrossCorrelation}, {"SW", kOpSwap},     {"A=", kOpCopyBToA},
    {"B=", kOpCopyAToB},  {"AD", kOpAdd},           {"MU", kOpMultiply},      {"DE", kOpDefine},
    {"SH", kOpShow},      {"EQ", kOpEquation},      {"CR", kOpCreate},
};

struct ParameterWord {
    std::string_view word;
    std::string_view label;   // 20-character label (shorter texts are blank padded)
};
inline constexpr ParameterWord kParameterWords[] = {
    {"RE", "Real Component"}, {"IM", "Imag Component"},   {"AM", "Amplitude"},
    {"PO", "Power"},          {"DP", "Phase (deg)"},      {"RP", "Phase (rad)"},
    {"DD", "Dev Lin Ph (deg)"}, {"RD", "Dev Lin Ph (rad)"}, {"XY", ""},
    {"PR", "Real*Imag"},      {"SU", "Real ± Imag"},   {"RX", "Linear Regression"},
    {"RR", "Linear Regression"}, {"IN", "Inst Freq (Hz)"}, {"GR", "Grp Dly (Sec)"},
};

// What the scanned line asks the loop to do.
enum class LineAction {
    execute,      // run the read dialogue, operation or display
    replay,       // RL
    end,          // EN
    system,       // SY
    allocate,     // AL
    set_range,    // SE
};

// Scans `reply` (the typed line, any case) into the selection and options.
// A blank line keeps everything of the previous line.
LineAction scan_command_line(std::string_view reply, Workspace& workspace);

// The 80-character command line: a blank, then the reply upper-cased (a..z only).
std::string make_command_line(std::string_view reply);

// Whether the word (two or three characters after the blank) stands at 1-based column `column`.
bool word_at(std::string_view line, int column, std::string_view word);

// The operation id of a word, 0 when it is none.
int operation_id_of(std::string_view word);
std::string_view operation_word_of(int id);

// Switches AV, DI, CU, DB and SC off, forgets the cache and blanks the
// function and parameter: after operations, reads, CR, SE and AL.
void reset_selection(Workspace& workspace);

// The title prefix of a display ("Waveform of  ", "CU Spectrum  ", "X-Y Graph:   " ...).
std::string title_prefix(const Workspace& workspace);

}  // namespace zeph
