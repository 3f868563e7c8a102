// AL, SE, DE, SH, EQ, AD and MU run through the command loop with scripted replies.
#include <gtest/gtest.h>

#include "base/format_number.hpp"
#include "session_fixture.hpp"
#include "shell/equations_dialogue.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;

TEST(Allocate, RoundsUpToEvenAndShowsTheCapacity) {
    ScriptedSession s({"1001", "1000"});
    s.set_a({{1, 0}});
    s.line("AL");
    EXPECT_EQ(s.session.workspace.max_points, 1002);
    EXPECT_EQ(s.session.workspace.status_line, "Maximum number of sample points:      1002");
    EXPECT_FALSE(s.session.workspace.slot(Domain::time).present);   // the old contents are gone
    s.line("AL");
    EXPECT_EQ(s.session.workspace.max_points, 1000);
}

TEST(Allocate, RefusalKeepsTheOldStorageAndSignals) {
    // 0 points, more than the storage can index, more than the machine's memory.
    ScriptedSession s({"0", "1E15", "1E9"});
    s.set_a({{7, 0}});
    for (const char* expected : {"Unable to allocate memory for       0 data points",
                                 "Unable to allocate memory for 1000000000000000 data points",
                                 "Unable to allocate memory for 1000000000 data points"}) {
        s.line("AL");
        EXPECT_EQ(s.session.workspace.message_line, expected);
        EXPECT_EQ(s.session.workspace.max_points, 4096);
        EXPECT_TRUE(s.session.workspace.slot(Domain::time).present);
        EXPECT_EQ(s.session.workspace.signal_a()[0], Complex(7, 0));
        s.session.workspace.message_line.clear();
    }
}

TEST(Allocate, AnImpossibleCountIsShownAsAsked) {
    ScriptedSession s({"1E30", "-1E300"});
    for (const char* expected : {"Unable to allocate memory for   1E+30 data points",
                                 "Unable to allocate memory for -1E+300 data points"}) {
        s.line("AL");
        EXPECT_EQ(s.session.workspace.message_line, expected);
        EXPECT_EQ(s.session.workspace.max_points, 4096);
        s.session.workspace.message_line.clear();
    }
}

// However many constants DE defines, the grid variables keep their slots:
// listings and plot defaults go on working, and the constant beyond the
// limit gets the limit's message.
TEST(Define, ConstantsNeverTakeTheGridVariablesSlots) {
    std::vector<std::string> replies;
    for (int i = 0; i < 40; ++i) replies.push_back("C" + std::to_string(i) + "=" + std::to_string(i));
    ScriptedSession s(replies);
    s.set_a({{1, 0}, {2, 0}, {3, 0}});
    std::string last_message;
    for (int i = 0; i < 40; ++i) {
        s.line("DE");
        if (!s.session.workspace.message_line.empty()) last_message = s.session.workspace.message_line;
        s.session.workspace.message_line.clear();
    }
    EXPECT_EQ(last_message, "*****INTERP. NO MORE THAN 40 VARIABLES ALLOWED");
    s.keys = ScriptKeySource::from_lines({"XMIN, XMAX"});
    s.line("AS RE LI");
    EXPECT_EQ(s.session.workspace.message_line, "");
    EXPECT_TRUE(s.transcript_has("    3   2."));
}

TEST(SetRange, LimitsToTheCapacityAndMarksANonDefaultRange) {
    ScriptedSession s({"1 1 99999", "2 3 100", "0 1 5", "5000 1 5"});
    Workspace& w = s.session.workspace;
    s.line("SE");
    EXPECT_EQ(w.read_max, 4096);
    EXPECT_FALSE(s.session.help.read_range_set);
    s.line("SE");
    EXPECT_EQ(w.read_first, 2);
    EXPECT_EQ(w.read_interval, 3);
    EXPECT_EQ(w.read_max, 100);
    EXPECT_TRUE(s.session.help.read_range_set);
    s.line("SE");   // a first point below 1 is refused, nothing changes
    EXPECT_EQ(w.message_line, "Error. First point #, Interval and Max # must be at least 1.");
    EXPECT_EQ(w.read_first, 2);
    w.message_line.clear();
    s.line("SE");   // a first point beyond the capacity
    EXPECT_EQ(w.message_line, "Error. First point # is beyond the maximum number of sample points.");
    EXPECT_EQ(w.read_first, 2);
}

TEST(SetRange, DefaultReplyShowsTheCapacity) {
    ScriptedSession s({""});
    s.line("SE");
    EXPECT_TRUE(s.transcript_has("<Enter>1   1      4096"));
}

TEST(Define, ShowsTheValueInTheTitleRow) {
    ScriptedSession s({"Z=COS(PI/4)", "pi=3", "TWOPIX=1", "TWOPIXEL=2", "2*PI"});
    Workspace& w = s.session.workspace;
    s.line("DE");
    EXPECT_EQ(w.status_line, "Z = (" + format_number(0.7071067811865476) + ", " + format_number(0.0) + ")");
    s.line("DE");
    EXPECT_EQ(w.message_line, "Cannot redefine reserved variable: PI    ");
    w.message_line.clear();
    s.line("DE");
    s.line("DE");
    const auto& table = s.interpreter.variables();
    EXPECT_EQ(table.back().name, "TWOPIX");
    EXPECT_EQ(table.back().value, Complex(2, 0));   // TWOPIXEL is TWOPIX
    const std::size_t count = table.size();
    s.line("DE");   // no name: shows the value only
    EXPECT_EQ(s.interpreter.variables().size(), count);
    EXPECT_EQ(w.status_line.substr(0, 4), "  = ");
}

TEST(Show, ListsEveryNamedValue) {
    ScriptedSession s({"K=5"});
    s.line("DE");
    s.line("SH");
    EXPECT_TRUE(s.transcript_has(" VARIABLE  REAL                 IMAG"));
    EXPECT_TRUE(s.transcript_has(" K         " + format_number(5.0)));
    EXPECT_TRUE(s.transcript_has(" Hit any key to continue...."));
}

TEST(Equation, AccumulatesTheAbscissaAndTreatsAMissingSignalAsZero) {
    ScriptedSession s({"4 0 .1", "X+B"});
    s.line("AS EQ");
    const Workspace& w = s.session.workspace;
    ASSERT_TRUE(w.slot(Domain::time).present);
    EXPECT_EQ(w.slot(Domain::time).npts, 4);
    double x = -0.1;
    for (int i = 0; i < 4; ++i) {
        x += 0.1;   // repeated addition, not i*DX
        EXPECT_EQ(w.signal_a()[i], Complex(x, 0)) << i;
    }
    EXPECT_DOUBLE_EQ(w.slot(Domain::time).dx, 0.1);
}

TEST(Equation, AFailingFormulaLeavesTheTargetAsItWas) {
    ScriptedSession s({"3 0 1", "1/(X-1)*UNKNOWN"});
    s.set_a({{9, 0}, {8, 0}});
    s.line("AS EQ");
    const Workspace& w = s.session.workspace;
    EXPECT_EQ(w.message_line, "*****INTERP. VARIABLE UNKNOWN HAS NOT BEEN ASSIGNED A VALUE");
    EXPECT_EQ(w.slot(Domain::time).npts, 2);
    EXPECT_EQ(w.signal_a()[0], Complex(9, 0));
}

TEST(Equation, RefusesTooManyAndTooFewPoints) {
    ScriptedSession s({"5000 0 1", "0 0 1"});
    s.line("BS EQ");
    EXPECT_EQ(s.session.workspace.message_line, "Error. Maximum =  4096");
    s.session.workspace.message_line.clear();
    s.line("BS EQ");
    EXPECT_FALSE(s.session.workspace.message_line.empty());
    EXPECT_FALSE(s.session.workspace.slot(Domain::frequency).present);
}

// A grid that is no grid is refused, naming the field at fault, and the
// signal keeps its grid: a zero step, a NaN start, a step whose reciprocal
// (the spectrum's step) overflows.
TEST(Equation, RefusesAGridThatIsNoGridAndKeepsTheOld) {
    const struct {
        const char* grid;
        std::string_view message;
    } cases[] = {
        {"8 0 0", kEquationStepInvalid},
        {"8 (0./0.) 1", kEquationStartInvalid},
        {"8 0 (1./0.)", kEquationStepInvalid},
        {"8 0 5E-324", kEquationStepTooSmall},
        {"8 0 -5E-324", kEquationStepTooSmall},
        {"8 0 1E308", kEquationStepTooSmall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grid);
        ScriptedSession s({c.grid, "X"});
        s.set_a({{9, 0}, {8, 0}}, 0.5, 0.25);
        s.line("AS EQ");
        const Workspace& w = s.session.workspace;
        EXPECT_EQ(w.message_line, c.message);
        EXPECT_EQ(w.slot(Domain::time).npts, 2);
        EXPECT_DOUBLE_EQ(w.slot(Domain::time).xmin, 0.5);
        EXPECT_DOUBLE_EQ(w.slot(Domain::time).dx, 0.25);
        EXPECT_EQ(w.signal_a()[0], Complex(9, 0));
    }
}

TEST(Equation, RandomDrawsContinueOneSequence) {
    ScriptedSession s({"3 0 1", "RAND(0.,1.)"});
    s.interpreter.set_random_seed(0);
    s.line("AS EQ");
    Interpreter reference([] { return 0.0; });
    reference.set_random_seed(0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.session.workspace.signal_a()[i].real(), reference.draw_uniform());
}

TEST(AddAndMultiply, WeightsAndKeptAnswers) {
    ScriptedSession s({"", "2 0", ""});
    s.set_a({{1, 2}, {3, 0}});
    s.set_b({{5, 0}, {0, 1}});
    s.session.workspace.signal_mode = SignalMode::independent;
    s.line("AS AD");   // defaults 1 0 1 0: A + B
    EXPECT_EQ(s.session.workspace.signal_a()[0], Complex(6, 2));
    EXPECT_EQ(s.session.workspace.signal_a()[1], Complex(3, 1));
    s.line("BS MU");   // B = A*B*2
    EXPECT_EQ(s.session.workspace.signal_b()[0], Complex(60, 20));
    s.line("AS MU");   // offered 2 0 from the last answer; blank reply takes the default 1 0
    EXPECT_EQ(s.session.weights[0], 1.0);
}

TEST(AddAndMultiply, RefusalsNameWhatIsMissingOrDifferent) {
    ScriptedSession s({});
    s.set_a({{1, 0}, {2, 0}, {3, 0}}, 0.0, 1.0);
    s.line("AS AD");
    EXPECT_EQ(s.session.workspace.message_line, kMustCreateB);
    s.session.workspace.message_line.clear();
    s.set_b({{1, 0}}, 0.0, 0.5);
    s.session.workspace.slot(Domain::time).npts = 3;
    s.session.workspace.signal_mode = SignalMode::independent;
    s.line("AS AD");
    EXPECT_EQ(s.session.workspace.message_line,
              "These parameters of signals A & B do not match:  # points  dX");
}

TEST(Create, ARefusedTransformKeepsTheSignalItWouldReplace) {
    ScriptedSession s({});
    s.set_a({{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    s.set_b({{7, 0}, {8, 0}, {9, 0}, {1, 0}, {2, 0}, {3, 0}});
    s.line("SP CR");   // six points: not a power of two
    const Workspace& w = s.session.workspace;
    EXPECT_EQ(w.message_line, "ERROR. NUMBER POINTS MUST BE A POWER OF 2.");
    EXPECT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_EQ(w.signal_b()[0], Complex(7, 0));

    ScriptedSession only_a({});
    only_a.set_a({{1, 0}, {2, 0}});
    only_a.session.workspace.signal_mode = SignalMode::independent;
    only_a.line("WA CR");   // no spectrum to make the waveform from
    EXPECT_TRUE(only_a.session.workspace.slot(Domain::time).present);
}

TEST(Create, RecreatesTheSpectrumFromTheWaveform) {
    ScriptedSession s({});
    s.set_a(std::vector<Complex>(8, Complex{1, 0}), 0.0, 0.5);
    s.set_b(std::vector<Complex>(8, Complex{9, 9}));
    s.line("SP CR");
    const Workspace& w = s.session.workspace;
    EXPECT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_NEAR(std::abs(w.signal_b()[4] - Complex(4, 0)), 0.0, 1e-12);   // N*DT at zero frequency
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).dx, 0.25);
}

}  // namespace
}  // namespace zeph
