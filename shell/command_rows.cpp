// The rows of the command table, bound to their handlers: the one file of
// shell/ that sees every dialogue, and that no other file includes.
#include "shell/command_table.hpp"

#include <array>

#include "shell/constants_dialogue.hpp"
#include "shell/derivations.hpp"
#include "shell/equations_dialogue.hpp"
#include "shell/file_output_dialogue.hpp"
#include "shell/filter_dialogue.hpp"
#include "shell/linear_transform_dialogue.hpp"
#include "shell/listing.hpp"
#include "shell/plot_dialogue.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/resample_dialogue.hpp"
#include "shell/spectral_display.hpp"
#include "shell/sound_dialogue.hpp"
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

constexpr CommandWord function(std::string_view word, Domain domain, SignalMode mode,
                               std::string_view abscissa_label, HelpEntry help) {
    return {.word = word, .kind = WordKind::function, .mode = mode, .domain = domain, .label = abscissa_label,
            .help = help};
}

constexpr CommandWord operation(std::string_view word, void (*run)(Session&), DataNeed data, HelpEntry help) {
    return {.word = word, .kind = WordKind::operation, .run = run, .data = data, .help = help};
}

constexpr CommandWord signal_operation(std::string_view word, bool (*run)(Session&, SignalRef&),
                                       HelpEntry help) {
    return {.word = word, .kind = WordKind::operation, .run_on_signal = run, .help = help};
}

constexpr CommandWord parameter(std::string_view word, std::string_view label, ParameterTraits traits,
                                HelpEntry help) {
    return {.word = word, .kind = WordKind::parameter, .label = label, .parameter = traits, .help = help};
}

constexpr CommandWord option(std::string_view word, int OptionSet::*flag, OptionRules rules, HelpEntry help) {
    return {.word = word, .kind = WordKind::option, .flag = flag, .rules = rules, .has_no_form = true,
            .marked = true, .help = help};
}

constexpr CommandWord output(std::string_view word, int OptionSet::*flag, void (*show)(Session&), HelpEntry help,
                             bool off_for_xy = false) {
    return {.word = word, .kind = WordKind::option, .run = show, .flag = flag,
            .rules = {.group = OptionGroup::output, .off_for_xy = off_for_xy}, .has_no_form = true, .marked = true,
            .help = help};
}

constexpr ParameterTraits curve(DeriveFunction derive, DbForm decibels = DbForm::none) {
    return {.derive = derive, .decibels = decibels};
}

// A derivation that asks questions or sets the status line runs again at every display.
constexpr ParameterTraits asking(DeriveFunction derive, DomainSet domains = {}) {
    return {.derive = derive, .domains = domains, .reusable = false};
}

constexpr OptionRules kStage{.group = OptionGroup::stage};
constexpr OptionRules kStageOffForXy{.group = OptionGroup::stage, .off_for_xy = true};
constexpr OptionRules kStageReset{.group = OptionGroup::stage, .reset_with_selection = true, .off_for_xy = true};
constexpr OptionRules kPlot{.group = OptionGroup::plot};
constexpr OptionRules kPlotOffForXy{.group = OptionGroup::plot, .off_for_xy = true};
constexpr OptionRules kFile{.group = OptionGroup::file};
// DB takes the parameter's dB form; the distribution switches it off.
constexpr OptionRules kDecibels{.group = OptionGroup::stage, .decibels = true, .reset_with_selection = true,
                                .off_for_xy = true, .off_with = &OptionSet::DI};
// SC scales the plotted data.
constexpr OptionRules kScale{.group = OptionGroup::plot, .reset_with_selection = true, .needs_plot = true};


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
    // Row 2 is full: RC stands below the operations, in the first free row after a gap.
    command("RC", LineAction::record, record_dialogue, {35, 3, "RC record sound into A"}),

    function("WA", Domain::time, kLinked, "vs time (sec)", {6, 3, "WAveform: y(t) [=A(x)]"}),
    function("SP", Domain::frequency, kLinked, "vs freq (Hz) ", {7, 3, "SPectrum: Y(f) [=B(x)]"}),
    function("AS", Domain::time, kIndependent, "             ", {8, 3, "ASignal: A(x)  [=y(t)]"}),
    function("BS", Domain::frequency, kIndependent, "             ", {9, 3, "BSignal: B(x)  [=Y(f)]"}),

    signal_operation("WI", window_dialogue, {13, 3, "WIndow A|B"}),
    signal_operation("LT", linear_transform_dialogue, {14, 3, "LT linear transform A|B"}),
    signal_operation("FF", filter_dialogue, {15, 3, "FF filter function A|B"}),
    signal_operation("CS", sample_rate_dialogue, {16, 3, "CS change sample rate A|B"}),
    signal_operation("CH", point_count_dialogue, {17, 3, "CHange #pts, Xmin, dX A|B"}),
    signal_operation("DX", derivative_operation, {18, 3, "DX time/freq deriv. A|B"}),
    signal_operation("IX", integral_operation, {19, 3, "IX time/freq integral A|B"}),
    operation("AC", autocorrelation_operation, DataNeed::current,
              {20, 3, "AC auto-correlation A|B"}),
    operation("SW", swap_operation, DataNeed::current, {22, 3, "SWap A&B"}),
    operation("A=", copy_b_to_a_operation, DataNeed::current, {23, 3, "A=B Copy B into A"}),
    operation("B=", copy_a_to_b_operation, DataNeed::current, {24, 3, "B=A Copy A into B"}),
    operation("AD", add_dialogue, DataNeed::current, {25, 3, "ADd A&B"}),
    operation("MU", multiply_dialogue, DataNeed::current, {26, 3, "MUltiply A&B"}),
    operation("CV", convolution_operation, DataNeed::current, {27, 3, "CV convolution A&B"}),
    operation("XC", cross_correlation_operation, DataNeed::current,
              {28, 3, "XC cross-correlation A&B"}),
    operation("DE", define_dialogue, DataNeed::none, {30, 3, "DEfine constant or calc"}),
    operation("SH", show_constants, DataNeed::none, {31, 3, "SHow constants"}),
    operation("EQ", equation_dialogue, DataNeed::target, {32, 3, "EQuation: A|B=F(A,B,x,K)"}),
    // CR's work is its data check: the current signal made again.
    operation("CR", nullptr, DataNeed::remade, {33, 3, "CReate Y=fft(A)|y=ifft(B)"}),

    parameter("RE", "Real Component", curve(derive_real),
              {6, 30, "REal"}),
    parameter("IM", "Imag Component", curve(derive_imaginary),
              {7, 30, "IMaginary"}),
    parameter("AM", "Amplitude", curve(derive_amplitude, DbForm::amplitude),
              {8, 30, "AMplitude"}),
    parameter("PO", "Power", curve(derive_power, DbForm::power),
              {9, 30, "POwer"}),
    parameter("DP", "Phase (deg)", curve(derive_phase_degrees),
              {10, 30, "DPhase (degrees)"}),
    parameter("RP", "Phase (rad)", curve(derive_phase_radians),
              {11, 30, "RPhase (radians)"}),
    parameter("IN", "Inst Freq (Hz)", {.derive = derive_instantaneous_frequency, .domains = kTimeOnly},
              {12, 30, "INstfreq (WA only)"}),
    parameter("GR", "Grp Dly (Sec)", {.derive = derive_group_delay, .domains = kFrequencyOnly},
              {13, 30, "GRoup delay (SP only)"}),
    parameter("DD", "Dev Lin Ph (deg)", asking(derive_phase_deviation_degrees),
              {14, 30, "DDev lin phase (deg)"}),
    parameter("RD", "Dev Lin Ph (rad)", asking(derive_phase_deviation_radians),
              {15, 30, "RDev lin phase (rad)"}),
    parameter("XY", "", {.derive = derive_real_against_imaginary, .shape = ResultShape::xy, .reusable = false},
              {16, 30, "XYplot: X=real,Y=imag"}),
    parameter("PR", "Real*Imag", curve(derive_product),
              {17, 30, "PRoduct real*imag"}),
    parameter("SU", "Real ± Imag", curve(derive_weighted_sum),
              {18, 30, "SUm real \xB1 imag"}),
    parameter("RX", "Linear Regression", asking(derive_regression_of_real),
              {19, 30, "RX linear regress(x,re)"}),
    parameter("RR", "Linear Regression", asking(derive_regression_of_imaginary),
              {20, 30, "RR linear regress(re,im)"}),
    // Of the time signal over segments: Welch's density over frequency, and the spectrogram.
    parameter("WP", "Welch Power Density",
              {.derive = derive_welch_power, .decibels = DbForm::power, .domains = kTimeOnly, .reusable = false,
               .frequency_result = true},
              {22, 30, "WP Welch power spectrum"}),
    parameter("SG", "Spectrogram",
              {.derive = derive_spectrogram, .shape = ResultShape::image, .decibels = DbForm::power,
               .domains = kTimeOnly, .reusable = false, .show_image = show_spectrogram},
              {23, 30, "SG spectrogram"}),

    option("AV", &OptionSet::AV, kStageReset, {6, 56, "AVerage, NOAV"}),
    option("DI", &OptionSet::DI, kStageReset, {7, 56, "DIstribution, NODI"}),
    option("CU", &OptionSet::CU, kStageReset, {8, 56, "CUmulative, NOCU"}),
    option("DB", &OptionSet::DB, kDecibels, {9, 56, "DB, NODB"}),
    option("ST", &OptionSet::ST, kStageOffForXy, {10, 56, "STatistics, NOST"}),
    option("SS", &OptionSet::SS, kStage, {11, 56, "SS save stats, NOSS"}),
    // The outputs, in the order in which they win when more than one is set.
    output("PL", &OptionSet::PL, plot_keeping_notice, {18, 56, "PLot, NOPL"}),
    output("FI", &OptionSet::FI, file_output_dialogue, {16, 56, "FIle, NOFI"}, true),
    output("LI", &OptionSet::LI, list_display, {17, 56, "LIst, NOLI"}),
    // AU plays in addition to the output that wins, after it.
    CommandWord{.word = "AU", .kind = WordKind::option, .run = play_display, .flag = &OptionSet::AU,
                .rules = {.group = OptionGroup::output, .in_addition = true}, .has_no_form = true, .marked = true,
                .help = {15, 56, "AUdio play, NOAU"}},
    // OV has no NO-form, and the help screen never marks it.
    CommandWord{.word = "OV", .kind = WordKind::option, .flag = &OptionSet::OV,
                .rules = {.group = OptionGroup::plot, .needs_plot = true}, .help = {19, 58, "OVerlay previous plot"}},
    option("SC", &OptionSet::SC, kScale, {20, 58, "SCale data, NOSC"}),
    option("MO", &OptionSet::MO, kPlotOffForXy, {21, 58, "MOdulo, NOMO"}),
    option("WR", &OptionSet::WR, kPlotOffForXy, {22, 58, "WRap, NOWR"}),
    option("EX", &OptionSet::EX, kFile, {23, 58, "EXport, NOEX"}),
    option("ME", &OptionSet::ME, kFile, {24, 58, "MEtafile, NOME"}),
    option("BI", &OptionSet::BI, {.group = OptionGroup::file, .on_value = 2}, {25, 58, "BItmap file, NOBI"}),
    option("LA", &OptionSet::LA, kPlot, {27, 58, "LAbel options, NOLA"}),
    option("LO", &OptionSet::LO, kPlot, {28, 58, "LO line options, NOLO"}),
    option("MA", &OptionSet::MA, kPlot, {29, 58, "MArkers, NOMA"}),
    option("SM", &OptionSet::SM, kPlot, {30, 58, "SMoothing, NOSM"}),
    option("PG", &OptionSet::PG, kPlot, {31, 58, "PG polar graph, NOPG"}),
    option("AX", &OptionSet::AX, kPlot, {32, 58, "AXis options, NOAX"}),
    option("GO", &OptionSet::GO, kPlot, {33, 58, "GO grid options, NOGO"}),
    option("ZE", &OptionSet::ZE, kPlot, {34, 58, "ZEro line axes, NOZE"}),
    option("CO", &OptionSet::CO, kPlot, {35, 58, "COlor options, NOCO"}),
    option("AR", &OptionSet::AR, kPlot, {36, 58, "AR aspect ratio, NOAR"}),
    option("HI", &OptionSet::HI, kPlot, {37, 58, "HIgh resolution, NOHI"}),
};

}  // namespace

std::span<const CommandWord> command_words() { return kCommandWords; }

}  // namespace zeph
