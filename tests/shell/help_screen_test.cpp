#include "shell/help_screen.hpp"

#include <gtest/gtest.h>

#include "shell/command_words.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

TextConsole drawn(std::initializer_list<std::string_view> lines, HelpState state = {}) {
    Workspace workspace;
    for (auto line : lines) scan_command_line(line, workspace);
    TextConsole console;
    draw_help_screen(console, workspace, state);
    return console;
}

bool marked(const TextConsole& console, int row, int column) {
    return console.cell(row, column).character == kHelpMarker;
}

int marker_count(const TextConsole& console) {
    int count = 0;
    for (int row = 1; row <= kHelpRows; ++row)
        for (int column = 1; column <= TextConsole::kColumns; ++column) count += marked(console, row, column);
    return count;
}

TEST(HelpScreen, RowsAsListed) {
    const TextConsole console = drawn({"NOPL"});   // no marker in the way
    EXPECT_EQ(console.row_text(2),
              "  ALlocate     SEt range    RTime    RFreq    RAsig    RBsig    SYstem    ENd");
    EXPECT_EQ(console.row_text(18), "  DX time/freq deriv. A|B    SUm real ± imag           PLot, NOPL");
    EXPECT_EQ(console.row_text(29), "                              norm(s,x-µ) = Norm dist    MArkers, NOMA");
    EXPECT_EQ(console.row_text(35), "  RC record sound into A       gauss(µ,s): Gaussian      COlor options, NOCO");
    EXPECT_EQ(console.cell(18, 39).character, U'±');   // one cell, so PLot stays in column 56
    EXPECT_EQ(console.cell(18, 56).character, U'P');
    EXPECT_EQ(console.row_text(3), "");
    EXPECT_EQ(console.row_text(44), "");
}

TEST(HelpScreen, AuHasItsRowAndMarkerBesideTheOutputs) {
    const TextConsole unmarked = drawn({"NOPL"});
    EXPECT_EQ(unmarked.row_text(15), "  FF filter function A|B     RDev lin phase (rad)      AUdio play, NOAU");
    const TextConsole console = drawn({"WA RE AU"});
    EXPECT_TRUE(marked(console, 15, 55));   // AUdio, beside PLot, which stays on
    EXPECT_TRUE(marked(console, 18, 55));
    EXPECT_FALSE(marked(drawn({"WA RE AU", "NOAU"}), 15, 55));
}

// RC stands in the first column below the operations, a blank row after CR;
// every other cell stays where it was.
TEST(HelpScreen, RcHasARowBelowTheOperations) {
    const TextConsole console = drawn({"NOPL"});
    EXPECT_EQ(console.row_text(33).substr(0, 29), "  CReate Y=fft(A)|y=ifft(B)  ");
    EXPECT_EQ(console.row_text(34).substr(0, 29), std::string(29, ' '));
    EXPECT_EQ(console.cell(35, 3).attribute, kHelpTypedAttribute);   // R
    EXPECT_EQ(console.cell(35, 4).attribute, kHelpTypedAttribute);   // C
    EXPECT_EQ(console.cell(35, 5).attribute, kHelpEntryAttribute);
    EXPECT_EQ(console.cell(35, 2).attribute, kHelpMarkerAttribute);
    EXPECT_FALSE(marked(drawn({"RC"}), 35, 2));   // a command is never marked
}

TEST(HelpScreen, TheMarkerIsTheGuillemet) {
    const TextConsole console = drawn({"SP PO DB PL"});
    EXPECT_EQ(console.cell(7, 2).character, U'»');
    EXPECT_EQ(console.row_text(7).rfind(" »SPectrum: Y(f)", 0), 0u) << console.row_text(7);
}

TEST(HelpScreen, MarkersOfTheSelection) {
    // The default selection has PL on.
    const TextConsole console = drawn({"SP PO DB PL"});
    EXPECT_TRUE(marked(console, 7, 2));     // SPectrum
    EXPECT_TRUE(marked(console, 9, 29));    // POwer
    EXPECT_TRUE(marked(console, 9, 55));    // DB
    EXPECT_TRUE(marked(console, 18, 55));   // PLot
    EXPECT_EQ(marker_count(console), 4);
    EXPECT_EQ(console.cell(7, 2).attribute, kHelpMarkerAttribute);
}

// WP and SG stand in free rows of the parameter column, marked like the others.
TEST(HelpScreen, SegmentParametersInFreeRows) {
    EXPECT_EQ(drawn({"NOPL"}).row_text(22), "  SWap A&B                   WP Welch power spectrum     WRap, NOWR");
    EXPECT_EQ(drawn({"NOPL"}).row_text(23), "  A=B Copy B into A          SG spectrogram              EXport, NOEX");
    const TextConsole welch = drawn({"WA WP PL"});
    EXPECT_TRUE(marked(welch, 22, 29));
    EXPECT_EQ(marker_count(welch), 3);      // WAveform, WP, PLot
    EXPECT_TRUE(marked(drawn({"AS SG FI"}), 23, 29));
}

TEST(HelpScreen, IndependentFunctionsAndOperationsAreMarked) {
    const TextConsole console = drawn({"BS WI", "AS FF"});
    EXPECT_TRUE(marked(console, 8, 2));     // ASignal, the last function
    EXPECT_FALSE(marked(console, 9, 2));
    EXPECT_TRUE(marked(console, 13, 2));    // WIndow stays marked until a read
    EXPECT_TRUE(marked(console, 15, 2));    // FF
}

TEST(HelpScreen, ReadClearsOperationMarkersAndMarksTheReadWord) {
    const TextConsole console = drawn({"BS WI", "RT"});
    EXPECT_FALSE(marked(console, 13, 2));
    EXPECT_TRUE(marked(console, 2, 28));    // RTime
}

// A short terminal shows the marked words in one row above the help window.
TEST(HelpScreen, MarkedWordsInTheOrderOfTheMarks) {
    EXPECT_EQ(drawn({"SP PO DB PL"}).marked_words(), "SP PO DB PL");
    EXPECT_EQ(drawn({"AS WI", "AS WI", "BS EQ"}).marked_words(), "BS WI EQ PL");   // WI once
    EXPECT_EQ(drawn({"NOPL"}).marked_words(), "");
    EXPECT_EQ(drawn({"BS WI", "RT"}).marked_words(), "SP PL RT");   // RT links the signals
}

TEST(HelpScreen, WrittenNoteIsRevealedOnAShortTerminal) {
    Workspace workspace;
    TextConsole console;
    RecordingPresenter presenter;
    presenter.terminal_rows = 24;
    console.set_presenter(&presenter);
    HelpState state;
    note_written(console, state, "out.wav", "4096 values");
    draw_help_screen(console, workspace, state);
    EXPECT_EQ(console.row_text(43), "  Wrote out.wav: 4096 values");
    EXPECT_LE(console.help_top(), 43);
    EXPECT_GE(console.help_top() + help_window_rows(24), 44);
}

TEST(HelpScreen, ReadRangeMarker) {
    EXPECT_TRUE(marked(drawn({}, HelpState{.read_range_set = true}), 2, 15));
    EXPECT_FALSE(marked(drawn({}), 2, 15));
}

TEST(HelpScreen, Attributes) {
    const TextConsole console = drawn({"NOPL"});
    EXPECT_EQ(console.cell(1, 2).attribute, kHelpHeadingAttribute);   // title
    EXPECT_EQ(console.cell(4, 3).attribute, kHelpHeadingAttribute);   // FUNCTION
    EXPECT_EQ(console.cell(11, 3).attribute, kHelpHeadingAttribute);  // (OPERATION)
    EXPECT_EQ(console.cell(6, 2).attribute, kHelpMarkerAttribute);    // before WAveform
    EXPECT_EQ(console.cell(6, 3).attribute, kHelpTypedAttribute);     // W
    EXPECT_EQ(console.cell(6, 4).attribute, kHelpTypedAttribute);     // A
    EXPECT_EQ(console.cell(6, 5).attribute, kHelpEntryAttribute);     // v
    EXPECT_EQ(console.cell(6, 65).attribute, kHelpTypedAttribute);    // N of NOAV
    EXPECT_EQ(console.cell(6, 68).attribute, kHelpTypedAttribute);    // V of NOAV
    EXPECT_EQ(console.cell(6, 63).attribute, kHelpEntryAttribute);    // the comma
    EXPECT_EQ(console.cell(2, 12).attribute, kHelpMarkerAttribute);   // gap in row 2
    EXPECT_EQ(console.cell(40, 40).attribute, kHelpOtherAttribute);
    EXPECT_EQ(console.cell(28, 40).attribute, kHelpOtherAttribute);   // a note on the functions
}

}  // namespace
}  // namespace zeph
