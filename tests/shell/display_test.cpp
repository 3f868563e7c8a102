#include "shell/display.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "dsp/ordinate.hpp"
#include "base/format_number.hpp"
#include "session_fixture.hpp"
#include "tests/support/thread_count.hpp"
#include "shell/command_words.hpp"
#include "shell/listing.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;

std::vector<Complex> polar_phases(int n) {
    std::vector<Complex> z;
    for (int k = 0; k < n; ++k) z.push_back(std::polar(1.0, static_cast<double>(k)));
    return z;
}

TEST(Display, InstantaneousFrequencyOfALinearPhase) {
    ScriptedSession s({});
    s.set_a(polar_phases(8));
    s.line("AS IN NOPL");
    const auto y = s.shown();
    ASSERT_EQ(y.size(), 8u);
    for (double f : y) EXPECT_NEAR(f, 1.0 / kTwoPi, 1e-12);
}

// Derivations of a long signal are shared between threads: one and two
// threads give the same bytes, and the values are the per-sample formulas.
TEST(Display, LongDerivationsGiveTheSameBytesOnOneAndTwoThreads) {
    constexpr int kPoints = 3 * 32768 + 17;   // several blocks and a ragged end
    std::vector<Complex> z;
    for (int k = 0; k < kPoints; ++k) z.push_back({std::sin(0.001 * k) * 1e3, std::cos(0.0007 * k) - 0.5});
    for (const char* line : {"AS RE NOPL", "AS IM NOPL", "AS PR NOPL", "AS AM NOPL", "AS PO DB NOPL", "AS XY NOPL"}) {
        std::vector<double> shown[2], abscissae[2];
        for (int threads : {1, 2}) {
            testing::with_threads(threads, [&] {
                ScriptedSession s({}, kPoints);
                s.set_a(z);
                s.line(line);
                shown[threads - 1] = s.shown();
                const Workspace& w = s.session.workspace;
                abscissae[threads - 1].assign(w.work_x.begin(), w.work_x.begin() + kPoints);
            });
        }
        ASSERT_EQ(shown[0].size(), static_cast<std::size_t>(kPoints)) << line;
        EXPECT_EQ(std::memcmp(shown[0].data(), shown[1].data(), kPoints * sizeof(double)), 0) << line;
        EXPECT_EQ(std::memcmp(abscissae[0].data(), abscissae[1].data(), kPoints * sizeof(double)), 0) << line;
    }
    ScriptedSession s({}, kPoints);
    s.set_a(z);
    s.line("AS AM NOPL");
    const std::vector<double> amplitude = s.shown();
    for (int k : {0, 40000, kPoints - 1}) EXPECT_EQ(amplitude[k], std::hypot(z[k].real(), z[k].imag())) << k;
    s.line("AS XY NOPL");
    EXPECT_EQ(s.session.workspace.work_x[kPoints - 1], z[kPoints - 1].real());
    EXPECT_EQ(s.shown()[kPoints - 1], z[kPoints - 1].imag());
}

TEST(Display, GroupDelayOfAWaveformIsRefused) {
    ScriptedSession s({});
    s.set_a(polar_phases(8));
    s.line("AS GR NOPL");
    EXPECT_EQ(s.session.workspace.message_line, kMissingParameters);
    s.session.workspace.message_line.clear();
    s.set_b(polar_phases(8));
    s.line("BS IN NOPL");
    EXPECT_EQ(s.session.workspace.message_line, kMissingParameters);
}

TEST(Display, DecibelFloorsOfZero) {
    ScriptedSession s({});
    s.set_a({{0, 0}, {10, 0}});
    s.line("AS PO DB NOPL");
    EXPECT_EQ(s.shown(), (std::vector<double>{-770.0, 20.0}));
    s.line("AS AM DB NOPL");
    EXPECT_EQ(s.shown(), (std::vector<double>{-1540.0, 20.0}));
    s.line("AS RE DB NOPL");   // decibels only for power and amplitude
    EXPECT_EQ(s.shown(), (std::vector<double>{0.0, 10.0}));
}

TEST(Display, RepeatedDisplayReusesTheDerivation) {
    ScriptedSession s({});
    s.set_a({{3, 4}, {1, 0}});
    s.line("AS PO DB NOPL");
    const auto first = s.shown();
    s.line("");   // the same display again: decibels are not applied twice
    EXPECT_EQ(s.shown(), first);
    EXPECT_NEAR(first[0], 10.0 * std::log10(25.0), 1e-12);
}

TEST(Display, RegressionOfImaginaryAgainstReal) {
    ScriptedSession s({});
    std::vector<Complex> z;
    for (double x : {3.0, -1.0, 5.0, 1.0}) z.push_back({x, 2.0 * x + 1.0});
    s.set_a(z);
    s.line("AS RR NOPL");
    const auto y = s.shown();
    const DisplayState& d = s.session.workspace.display;
    EXPECT_DOUBLE_EQ(d.xmin, -1.0);
    EXPECT_DOUBLE_EQ(d.dx, 2.0);
    for (std::size_t k = 0; k < y.size(); ++k) EXPECT_NEAR(y[k], 2.0 * (-1.0 + 2.0 * k) + 1.0, 1e-12);
    EXPECT_EQ(s.session.workspace.status_line,
              " LINEAR REGRESSION LINE IS Y = " + format_number(2.0) + "*X + " + format_number(1.0));
}

TEST(Display, DeviationFromLinearPhaseWithAClampedRange) {
    // Phase 0.5 rad per sample: deviation from the fitted line is zero; the
    // range -3..99 is clamped to the six points.
    ScriptedSession s({"-3 99"});
    std::vector<Complex> z;
    for (int k = 0; k < 6; ++k) z.push_back(std::polar(1.0, 0.5 * k));
    s.set_b(z, -3.0, 1.0);
    s.line("BS RD NOPL");
    for (double v : s.shown()) EXPECT_NEAR(v, 0.0, 1e-12);
    EXPECT_TRUE(s.transcript_has(" GROUP DELAY = "));
    EXPECT_TRUE(s.transcript_has("* * * <>: CONTINUE:"));
}

TEST(Display, ReversedRegressionRangeIsAnEmptyFit) {
    ScriptedSession s({"4 1"});
    s.set_a(polar_phases(4));
    s.line("AS RD NOPL");
    const auto y = s.shown();
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(y[static_cast<std::size_t>(k)], k, 1e-12);   // unchanged phase
    EXPECT_TRUE(s.transcript_has(" LINEAR REGRESSION LINE IS Y = " + format_number(0.0) + "*X + " +
                                 std::string(" .0")));
}

TEST(Display, DistributionOfFourValues) {
    ScriptedSession s({"4"});
    s.set_a({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    s.line("AS RE DI NOPL");
    const auto y = s.shown();
    ASSERT_EQ(y.size(), 4u);
    for (double v : y) EXPECT_NEAR(v, 1.0 / 3.0, 1e-15);
    EXPECT_DOUBLE_EQ(s.session.workspace.display.dx, 0.75);
}

TEST(Display, DistributionRefusals) {
    ScriptedSession s({"3000", "4"});
    s.set_a({{1, 0}, {1, 0}});
    s.line("AS RE DI NOPL");
    EXPECT_EQ(s.session.workspace.message_line, kTooManyDivisions);
    s.session.workspace.message_line.clear();
    s.line("");
    EXPECT_EQ(s.session.workspace.message_line, kAllValuesEqual);
}

TEST(Display, DistributionWithMoreDivisionsThanAllocatedPoints) {
    ScriptedSession s({"2000", ""}, 10);   // room for 10 points, 2000 bins asked
    s.set_a({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
    s.line("AS RE DI CU NOPL");
    const Workspace& w = s.session.workspace;
    EXPECT_TRUE(w.message_line.empty());
    ASSERT_EQ(w.display.display_count, 2000);
    ASSERT_GE(w.work_y.size(), 2000u);
    EXPECT_NEAR(s.shown().back(), 1.0, 1e-12);   // the cumulative distribution ends at 1
}

TEST(Display, CumulativeOverTheFirstPointOnly) {
    ScriptedSession s({"XMIN, XMIN"});
    s.set_a({{2, 0}, {3, 0}, {4, 0}}, 0.0, 0.5);
    s.line("AS RE CU NOPL");
    EXPECT_EQ(s.shown(), (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_DOUBLE_EQ(s.session.cumulative_total, 4.5);
}

TEST(Display, AveragingAConstant) {
    ScriptedSession s({"4"});   // 4 s span, DT = 1: h = 2, L = 5
    s.set_a(std::vector<Complex>(7, Complex{1, 0}));
    s.line("AS RE AV NOPL");
    const auto y = s.shown();
    EXPECT_NEAR(y[0], 3.0 / 5.0, 1e-15);
    EXPECT_NEAR(y[1], 4.0 / 5.0, 1e-15);
    EXPECT_NEAR(y[3], 1.0, 1e-15);
    EXPECT_EQ(s.session.workspace.display.averaging_length, 5);
    s.line("AS XY AV NOPL");   // XY switches AV off
    EXPECT_TRUE(s.session.workspace.message_line.empty());
}

TEST(Display, LabelsOfADecibelPowerSpectrum) {
    ScriptedSession s({});
    s.set_b({{1, 0}, {2, 0}});
    Workspace& w = s.session.workspace;
    w.real_name_shown = "tone.wav";
    s.line("SP PO DB NOPL");
    EXPECT_EQ(w.display.title, "Spectrum of tone.wav,+j0");
    EXPECT_EQ(w.display.listing_heading, "Spectrum of tone.wav,+j0: Power (dB) vs freq (Hz) ");
    EXPECT_EQ(w.display.x_label, "freq (Hz) ");
    EXPECT_EQ(w.display.y_label, "Power (dB) ");
}

TEST(Display, SpectrumOfAConstantWaveformIsCreatedFirst) {
    ScriptedSession s({});
    s.set_a(std::vector<Complex>(16, Complex{1, 0}), 0.0, 0.5);
    s.session.workspace.slot(Domain::frequency).present = false;
    s.line("SP RE NOPL");
    const Workspace& w = s.session.workspace;
    EXPECT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).dx, 0.125);
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).xmin, -1.0);
    const auto y = s.shown();
    for (std::size_t k = 0; k < y.size(); ++k) EXPECT_NEAR(y[k], k == 8 ? 8.0 : 0.0, 1e-12);
}

// Lists the values 0..99 of signal A with the keys `replies` (the first takes
// the default range) and returns the first index of every page shown.
std::vector<std::string> listed_pages(ScriptedSession& s) {
    s.session.nopause = false;
    std::vector<Complex> z;
    for (int k = 0; k < 100; ++k) z.push_back({static_cast<double>(k), 0});
    s.set_a(z);
    s.line("AS RE LI");
    std::vector<std::string> firsts;
    const auto& lines = s.presenter.lines;
    for (std::size_t i = 0; i + 3 < lines.size(); ++i)
        if (lines[i].rfind("    N   ", 0) == 0) firsts.push_back(lines[i + 1].substr(0, 5));
    return firsts;
}

TEST(Display, ListingPagesAndKeys) {
    ScriptedSession s({"", "<PGDN>", "<PGDN>", "<PGUP>", "<END>", "<ESC>"});
    const auto firsts = listed_pages(s);
    // PgUp after the last page goes back 80 from the last index.
    EXPECT_EQ(firsts, (std::vector<std::string>{"    1", "   41", "   81", "   20", "   61"}));
    EXPECT_TRUE(s.transcript_has("** END OF LISTING ** <PgUp>, <Home>, <Esc>"));
}

TEST(Display, ListingSpaceIsPageDownAndQIsEscape) {
    // The first reply takes the default range; Space at the last page does nothing.
    ScriptedSession s({"", " ", " ", " ", "q", "<HOME>"});
    EXPECT_EQ(listed_pages(s), (std::vector<std::string>{"    1", "   41", "   81"}));
    EXPECT_EQ(s.keys.remaining(), 1u);   // q ended the listing; <HOME> is left for the next prompt
    EXPECT_TRUE(s.transcript_has("<PgDn>, <PgUp>, <Home>, <End>, <Esc>"));
}

// On a terminal of 24 rows a page holds 20 values (heading rows and footer
// around them); PgUp and End move by that page.
TEST(Display, ListingPagesAreCutToTheTerminalsRows) {
    ScriptedSession s({"", "<PGDN>", "<PGDN>", "<PGUP>", "<END>", "<ESC>"});
    s.presenter.terminal_rows = 24;
    EXPECT_EQ(listed_pages(s), (std::vector<std::string>{"    1", "   21", "   41", "   21", "   81"}));
    const auto& lines = s.presenter.lines;
    const auto heading = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("    N   ", 0) == 0; });
    ASSERT_LT(heading + 21, lines.end());
    EXPECT_EQ(heading[20].substr(0, 5), "   20");
    EXPECT_EQ(heading[21], "<PgDn>, <PgUp>, <Home>, <End>, <Esc>");
    EXPECT_TRUE(s.transcript_has("** END OF LISTING ** <PgUp>, <Home>, <Esc>"));
}

TEST(Display, CutPageKeepsHeadingsAndSaysMoreFollows) {
    const std::vector<std::string> page{"title", "", "    N   ", "1", "2", "3", "end"};
    EXPECT_EQ(cut_page(page, 3), page);
    EXPECT_EQ(cut_page(page, 5), page);
    EXPECT_EQ(cut_page(page, 2), (std::vector<std::string>{"title", "", "    N   ", "1", "2", std::string(kListingMoreFooter)}));
    EXPECT_EQ(listing_lines(50), kListingLinesPerPage);
    EXPECT_EQ(listing_lines(24), 20);
}

// SH with more named values than rows: pages of 23 lines, a key after each.
TEST(Display, LongTablesComeInPagesOnAShortTerminal) {
    for (const int rows : {24, 50}) {
        ScriptedSession s({"", "", "", ""});
        s.session.nopause = false;
        s.presenter.terminal_rows = rows;
        for (int i = 0; i < 25; ++i) s.session.define_variable("C" + std::to_string(i), i);
        s.line("SH");
        const int table_lines = static_cast<int>(s.session.interpreter.variables().size()) + 3;
        ASSERT_GT(table_lines, 24);
        if (rows == 24) {
            EXPECT_TRUE(s.transcript_has("-- any key: more (lines 1-23 of " + std::to_string(table_lines) + ") --"));
            EXPECT_EQ(s.keys.remaining(), 2u);   // one key for each of the two pages
        } else {
            EXPECT_FALSE(s.transcript_has("-- any key: more"));
            EXPECT_EQ(s.keys.remaining(), 3u);
        }
        EXPECT_TRUE(s.transcript_has(" Hit any key to continue...."));
    }
}

// A display parameter is one row and one derive function: a throw-away table
// with a new parameter of the time signal only is scanned and displayed like
// the program's own.
Derivation derive_twice_the_real_part(DeriveInput& in) {
    for (std::size_t k = 0; k < in.z.size(); ++k) in.x[k] = in.y[k] = 2.0 * in.z[k].real();
    return Derivation::done;
}

TEST(Display, ANewParameterIsOneRowAndOneFunction) {
    const std::array table{
        CommandWord{.word = "WA", .kind = WordKind::function, .domain = Domain::time, .label = "vs time (sec)"},
        CommandWord{.word = "SP", .kind = WordKind::function, .domain = Domain::frequency, .label = "vs freq (Hz) "},
        CommandWord{.word = "TR", .kind = WordKind::parameter, .label = "Twice Real",
                    .parameter = {.derive = derive_twice_the_real_part, .domains = kTimeOnly}},
        CommandWord{.word = "LI", .kind = WordKind::option, .flag = &OptionSet::LI,
                    .rules = {.group = OptionGroup::output}},
    };
    ScriptedSession s({"", "<ESC>"});
    s.set_a({{1, 5}, {-2, 7}, {3, 0}}, 0.0, 0.5);
    Workspace& w = s.session.workspace;
    w.options.PL = 0;   // the table has no PL row to switch it off
    ASSERT_EQ(scan_command_line("WA TR LI", w, table), LineAction::execute);
    ASSERT_EQ(w.selection.parameter, &table[2]);
    run_display(s.session);
    EXPECT_EQ(w.message_line, "");
    EXPECT_EQ(s.shown(), (std::vector<double>{2.0, -4.0, 6.0}));
    EXPECT_TRUE(s.transcript_has("Twice Real")) << "the listing heading names the row's label";
    // The row says it takes the time signal only: the spectrum is refused.
    s.set_b({{1, 0}, {2, 0}, {3, 0}});
    ASSERT_EQ(scan_command_line("SP TR LI", w, table), LineAction::execute);
    run_display(s.session);
    EXPECT_EQ(w.message_line, kMissingParameters);
}

TEST(Display, NoteOfAWrittenFileLastsUntilTheNextLine) {
    ScriptedSession s({});
    s.session.help.written_note = "Wrote out.txt: 3 values";
    s.line("XX");
    EXPECT_EQ(s.session.help.written_note, "");
}

}  // namespace
}  // namespace zeph
