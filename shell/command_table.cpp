#include "shell/command_table.hpp"

#include <algorithm>
#include <array>

#include "shell/constants_dialogue.hpp"
#include "shell/equations_dialogue.hpp"
#include "shell/filter_dialogue.hpp"
#include "shell/linear_transform_dialogue.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/resample_dialogue.hpp"
#include "shell/system_commands.hpp"
#include "shell/two_signal_dialogue.hpp"
#include "shell/window_dialogue.hpp"

namespace zeph {

namespace {

constexpr CommandWord line_command(std::string_view word, LineAction action, void (*run)(Session&),
                                   HelpEntry help = {}) {
    return {.word = word, .kind = WordKind::line_command, .run = run, .action = action, .help = help};
}

constexpr CommandWord command(std::string_view word, LineAction action, void (*run)(Session&), HelpEntry help) {
    return {.word = word, .kind = WordKind::command, .run = run, .action = action, .help = help};
}

constexpr CommandWord read(std::string_view word, SignalMode mode, Domain domain, HelpEntry help) {
    return {.word = word, .kind = WordKind::read, .run = read_dialogue, .mode = mode, .domain = domain,
            .help = help};
}

constexpr CommandWord function(std::string_view word, std::string_view code, SignalMode mode,
                               std::string_view abscissa_label, HelpEntry help) {
    return {.word = word, .kind = WordKind::function, .function_code = code, .mode = mode,
            .label = abscissa_label, .help = help};
}

constexpr CommandWord operation(std::string_view word, int id, void (*run)(Session&), DataNeed data,
                                HelpEntry help) {
    return {.word = word, .kind = WordKind::operation, .run = run, .operation_id = id, .data = data,
            .help = help};
}

constexpr CommandWord signal_operation(std::string_view word, int id, bool (*run)(Session&, CurrentSignal&),
                                       HelpEntry help) {
    return {.word = word, .kind = WordKind::operation, .run_on_signal = run, .operation_id = id, .help = help};
}

constexpr CommandWord parameter(std::string_view word, std::string_view label, HelpEntry help) {
    return {.word = word, .kind = WordKind::parameter, .label = label, .help = help};
}

constexpr CommandWord option(std::string_view word, int OptionSet::*flag, HelpEntry help) {
    return {.word = word, .kind = WordKind::option, .flag = flag, .has_no_form = true, .marked = true,
            .help = help};
}

constexpr SignalMode kLinked = SignalMode::linked;
constexpr SignalMode kIndependent = SignalMode::independent;

// Byte 0xB1 is the program's plus-minus sign.
constexpr std::array kCommandWords{
    line_command("RL", LineAction::replay, start_replay),
    command("AL", LineAction::allocate, allocate_dialogue, {2, 3, "ALlocate"}),
    command("SE", LineAction::set_range, set_range_dialogue, {2, 16, "SEt range"}),
    read("RT", kLinked, Domain::time, {2, 29, "RTime"}),
    read("RF", kLinked, Domain::frequency, {2, 38, "RFreq"}),
    read("RA", kIndependent, Domain::time, {2, 47, "RAsig"}),
    read("RB", kIndependent, Domain::frequency, {2, 56, "RBsig"}),
    command("SY", LineAction::system, system_dialogue, {2, 65, "SYstem"}),
    line_command("EN", LineAction::end, end_program, {2, 75, "ENd"}),

    function("WA", "WA", kLinked, "vs time (sec)", {6, 3, "WAveform: y(t) [=A(x)]"}),
    function("SP", "SP", kLinked, "vs freq (Hz) ", {7, 3, "SPectrum: Y(f) [=B(x)]"}),
    function("AS", "WA", kIndependent, "             ", {8, 3, "ASignal: A(x)  [=y(t)]"}),
    function("BS", "SP", kIndependent, "             ", {9, 3, "BSignal: B(x)  [=Y(f)]"}),

    signal_operation("WI", kOpWindow, window_dialogue, {13, 3, "WIndow A|B"}),
    signal_operation("LT", kOpLinearTransform, linear_transform_dialogue, {14, 3, "LT linear transform A|B"}),
    signal_operation("FF", kOpFilter, filter_dialogue, {15, 3, "FF filter function A|B"}),
    signal_operation("CS", kOpChangeRate, sample_rate_dialogue, {16, 3, "CS change sample rate A|B"}),
    signal_operation("CH", kOpChangePoints, point_count_dialogue, {17, 3, "CHange #pts, Xmin, dX A|B"}),
    signal_operation("DX", kOpDerivative, derivative_operation, {18, 3, "DX time/freq deriv. A|B"}),
    signal_operation("IX", kOpIntegral, integral_operation, {19, 3, "IX time/freq integral A|B"}),
    operation("AC", kOpAutoCorrelation, autocorrelation_operation, DataNeed::current,
              {20, 3, "AC auto-correlation A|B"}),
    operation("SW", kOpSwap, swap_operation, DataNeed::current, {22, 3, "SWap A&B"}),
    operation("A=", kOpCopyBToA, copy_b_to_a_operation, DataNeed::current, {23, 3, "A=B Copy B into A"}),
    operation("B=", kOpCopyAToB, copy_a_to_b_operation, DataNeed::current, {24, 3, "B=A Copy A into B"}),
    operation("AD", kOpAdd, add_dialogue, DataNeed::current, {25, 3, "ADd A&B"}),
    operation("MU", kOpMultiply, multiply_dialogue, DataNeed::current, {26, 3, "MUltiply A&B"}),
    operation("CV", kOpConvolution, convolution_operation, DataNeed::current, {27, 3, "CV convolution A&B"}),
    operation("XC", kOpCrossCorrelation, cross_correlation_operation, DataNeed::current,
              {28, 3, "XC cross-correlation A&B"}),
    operation("DE", kOpDefine, define_dialogue, DataNeed::none, {30, 3, "DEfine constant or calc"}),
    operation("SH", kOpShow, show_constants, DataNeed::none, {31, 3, "SHow constants"}),
    operation("EQ", kOpEquation, equation_dialogue, DataNeed::target, {32, 3, "EQuation: A|B=F(A,B,x,K)"}),
    // CR's work is its data check: the current signal made again.
    operation("CR", kOpCreate, nullptr, DataNeed::remade, {33, 3, "CReate Y=fft(A)|y=ifft(B)"}),

    parameter("RE", "Real Component", {6, 30, "REal"}),
    parameter("IM", "Imag Component", {7, 30, "IMaginary"}),
    parameter("AM", "Amplitude", {8, 30, "AMplitude"}),
    parameter("PO", "Power", {9, 30, "POwer"}),
    parameter("DP", "Phase (deg)", {10, 30, "DPhase (degrees)"}),
    parameter("RP", "Phase (rad)", {11, 30, "RPhase (radians)"}),
    parameter("IN", "Inst Freq (Hz)", {12, 30, "INstfreq (WA only)"}),
    parameter("GR", "Grp Dly (Sec)", {13, 30, "GRoup delay (SP only)"}),
    parameter("DD", "Dev Lin Ph (deg)", {14, 30, "DDev lin phase (deg)"}),
    parameter("RD", "Dev Lin Ph (rad)", {15, 30, "RDev lin phase (rad)"}),
    parameter("XY", "", {16, 30, "XYplot: X=real,Y=imag"}),
    parameter("PR", "Real*Imag", {17, 30, "PRoduct real*imag"}),
    parameter("SU", "Real ± Imag", {18, 30, "SUm real \xB1 imag"}),
    parameter("RX", "Linear Regression", {19, 30, "RX linear regress(x,re)"}),
    parameter("RR", "Linear Regression", {20, 30, "RR linear regress(re,im)"}),

    option("AV", &OptionSet::AV, {6, 56, "AVerage, NOAV"}),
    option("DI", &OptionSet::DI, {7, 56, "DIstribution, NODI"}),
    option("CU", &OptionSet::CU, {8, 56, "CUmulative, NOCU"}),
    option("DB", &OptionSet::DB, {9, 56, "DB, NODB"}),
    option("ST", &OptionSet::ST, {10, 56, "STatistics, NOST"}),
    option("SS", &OptionSet::SS, {11, 56, "SS save stats, NOSS"}),
    option("FI", &OptionSet::FI, {16, 56, "FIle, NOFI"}),
    option("LI", &OptionSet::LI, {17, 56, "LIst, NOLI"}),
    option("PL", &OptionSet::PL, {18, 56, "PLot, NOPL"}),
    // OV has no NO-form, and the help screen never marks it.
    CommandWord{.word = "OV", .kind = WordKind::option, .flag = &OptionSet::OV,
                .help = {19, 58, "OVerlay previous plot"}},
    option("SC", &OptionSet::SC, {20, 58, "SCale data, NOSC"}),
    option("MO", &OptionSet::MO, {21, 58, "MOdulo, NOMO"}),
    option("WR", &OptionSet::WR, {22, 58, "WRap, NOWR"}),
    option("EX", &OptionSet::EX, {23, 58, "EXport, NOEX"}),
    option("ME", &OptionSet::ME, {24, 58, "MEtafile, NOME"}),
    option("BI", &OptionSet::BI, {25, 58, "BItmap file, NOBI"}),
    option("LA", &OptionSet::LA, {27, 58, "LAbel options, NOLA"}),
    option("LO", &OptionSet::LO, {28, 58, "LO line options, NOLO"}),
    option("MA", &OptionSet::MA, {29, 58, "MArkers, NOMA"}),
    option("SM", &OptionSet::SM, {30, 58, "SMoothing, NOSM"}),
    option("PG", &OptionSet::PG, {31, 58, "PG polar graph, NOPG"}),
    option("AX", &OptionSet::AX, {32, 58, "AXis options, NOAX"}),
    option("GO", &OptionSet::GO, {33, 58, "GO grid options, NOGO"}),
    option("ZE", &OptionSet::ZE, {34, 58, "ZEro line axes, NOZE"}),
    option("CO", &OptionSet::CO, {35, 58, "COlor options, NOCO"}),
    option("AR", &OptionSet::AR, {36, 58, "AR aspect ratio, NOAR"}),
    option("HI", &OptionSet::HI, {37, 58, "HIgh resolution, NOHI"}),
};

template <typename Match>
const CommandWord* find_row(Match match) {
    const auto found = std::find_if(kCommandWords.begin(), kCommandWords.end(), match);
    return found == kCommandWords.end() ? nullptr : &*found;
}

}  // namespace

std::span<const CommandWord> command_words() { return kCommandWords; }

const CommandWord* operation_word(int id) {
    return find_row([id](const CommandWord& w) { return w.kind == WordKind::operation && w.operation_id == id; });
}

const CommandWord* command_for(LineAction action) {
    if (action == LineAction::execute) return nullptr;
    return find_row([action](const CommandWord& w) { return w.action == action; });
}

const CommandWord* find_word(std::string_view word, WordKind kind) {
    return find_row([word, kind](const CommandWord& w) { return w.kind == kind && w.word == word; });
}

}  // namespace zeph
