#include "shell/command_words.hpp"

#include <gtest/gtest.h>

namespace zeph {
namespace {

struct Scanned {
    Workspace workspace;
    LineAction action = LineAction::execute;
};

Scanned scan(std::initializer_list<std::string_view> lines) {
    Scanned result;
    for (auto line : lines) result.action = scan_command_line(line, result.workspace);
    return result;
}

// The word of a selected row, empty for none.
std::string_view word(const CommandWord* row) { return row ? row->word : std::string_view(); }

TEST(CommandWords, CaseAndLongWordsAreTheSameWords) {
    for (auto line : {"sp am db pl", "SP AM DB PL", "SPECTRUM AMPLITUDE DB PLOT"}) {
        const Scanned s = scan({line});
        EXPECT_EQ(word(s.workspace.selection.function), "SP") << line;
        EXPECT_EQ(word(s.workspace.selection.parameter), "AM") << line;
        EXPECT_EQ(s.workspace.options.DB, 2) << line;
        EXPECT_EQ(s.workspace.options.PL, 1) << line;
    }
}

TEST(CommandWords, FunctionsSetModeAndAbscissaLabel) {
    struct Case { const char* line; Domain domain; SignalMode mode; const char* label; };
    for (const Case& c : {Case{"WA RE", Domain::time, SignalMode::linked, "vs time (sec)"},
                          Case{"SP RE", Domain::frequency, SignalMode::linked, "vs freq (Hz) "},
                          Case{"AS RE", Domain::time, SignalMode::independent, "             "},
                          Case{"BS RE", Domain::frequency, SignalMode::independent, "             "}}) {
        const Scanned s = scan({c.line});
        ASSERT_NE(s.workspace.selection.function, nullptr) << c.line;
        EXPECT_EQ(s.workspace.current_domain(), c.domain) << c.line;
        EXPECT_EQ(s.workspace.signal_mode, c.mode) << c.line;
        EXPECT_EQ(s.workspace.selection.function->label, c.label) << c.line;
    }
}

TEST(CommandWords, LastOperationRunsButEveryOneIsMarked) {
    const Scanned s = scan({"WA WI FF"});
    EXPECT_EQ(word(s.workspace.selection.operation), "FF");
    EXPECT_TRUE(s.workspace.selection.operation_markers.count(find_word("WI", WordKind::operation)));
    EXPECT_TRUE(s.workspace.selection.operation_markers.count(find_word("FF", WordKind::operation)));
}

TEST(CommandWords, FirstParameterWinsLaterOutputWins) {
    Scanned s = scan({"WA RE IM"});
    EXPECT_EQ(word(s.workspace.selection.parameter), "RE");
    EXPECT_EQ(parameter_label(s.workspace.selection), "Real Component      ");
    s = scan({"WA RE PL LI"});
    EXPECT_EQ(s.workspace.options.LI, 1);
    EXPECT_EQ(s.workspace.options.PL, 0);
    s = scan({"WA RE LI PL"});
    EXPECT_EQ(s.workspace.options.PL, 1);
    EXPECT_EQ(s.workspace.options.LI, 0);
}

TEST(CommandWords, DecibelsSurviveOnlyWithPowerAndAmplitude) {
    EXPECT_EQ(scan({"SP PO DB"}).workspace.options.DB, 1);
    EXPECT_EQ(scan({"SP AM DB"}).workspace.options.DB, 2);
    EXPECT_EQ(scan({"SP RE DB"}).workspace.options.DB, 0);
    EXPECT_EQ(scan({"SP PO DB NODB"}).workspace.options.DB, 0);
    EXPECT_EQ(scan({"SP PO NODB DB"}).workspace.options.DB, 1);
    EXPECT_EQ(scan({"SP PO DB DI"}).workspace.options.DB, 0);
}

TEST(CommandWords, CrossOptionRules) {
    Scanned s = scan({"SP PO OV SC NOPL"});
    EXPECT_EQ(s.workspace.options.PL, 0);
    EXPECT_EQ(s.workspace.options.OV, 0);
    EXPECT_EQ(s.workspace.options.SC, 0);
    s = scan({"WA XY AV DI CU ST MO WR FI"});
    const OptionSet& o = s.workspace.options;
    EXPECT_EQ(o.AV + o.DI + o.CU + o.DB + o.ST + o.MO + o.WR + o.FI, 0);
    s = scan({"SP PO BI"});
    EXPECT_EQ(s.workspace.options.BI, 2);
}

TEST(CommandWords, EndMustFollowABlank) {
    EXPECT_EQ(scan({"XXEN"}).action, LineAction::execute);
    EXPECT_EQ(scan({"X EN"}).action, LineAction::end);
    EXPECT_EQ(scan({"en"}).action, LineAction::end);
    EXPECT_EQ(scan({"SP RL"}).action, LineAction::replay);
    // The first of RL and EN from the left decides.
    EXPECT_EQ(scan({"EN RL"}).action, LineAction::end);
}

TEST(CommandWords, CommandWordsRunAtOnce) {
    EXPECT_EQ(scan({"AL"}).action, LineAction::allocate);
    EXPECT_EQ(scan({"SE"}).action, LineAction::set_range);
    EXPECT_EQ(scan({"SYSTEM"}).action, LineAction::system);
    // A function before AL wins the command-word scan.
    EXPECT_EQ(scan({"WA AL"}).action, LineAction::execute);
}

TEST(CommandWords, ReadLineIgnoresOperationsAndParameters) {
    const Scanned s = scan({"RT WI RE"});
    EXPECT_TRUE(s.workspace.selection.read_word);
    EXPECT_EQ(s.workspace.selection.operation, nullptr);
    EXPECT_EQ(word(s.workspace.selection.parameter), "");
    EXPECT_EQ(s.workspace.selection.read_into, Domain::time);
    EXPECT_EQ(scan({"RB"}).workspace.signal_mode, SignalMode::independent);
    EXPECT_EQ(scan({"RB"}).workspace.selection.read_into, Domain::frequency);
}

TEST(CommandWords, BlankLineRepeatsThePreviousLine) {
    Scanned s = scan({"SP PO PL", ""});
    EXPECT_EQ(word(s.workspace.selection.function), "SP");
    EXPECT_EQ(word(s.workspace.selection.parameter), "PO");
    s = scan({"RT", "   "});
    EXPECT_TRUE(s.workspace.selection.read_word);
    s = scan({"WA WI", ""});
    EXPECT_EQ(word(s.workspace.selection.operation), "WI");
}

TEST(CommandWords, OptionsAloneKeepTheSelection) {
    const Scanned s = scan({"SP PO", "LI"});
    EXPECT_EQ(word(s.workspace.selection.function), "SP");
    EXPECT_EQ(word(s.workspace.selection.parameter), "PO");
    EXPECT_EQ(s.workspace.options.LI, 1);
}

TEST(CommandWords, CopyWordsEndInEquals) {
    EXPECT_EQ(word(scan({"AS A="}).workspace.selection.operation), "A=");
    EXPECT_EQ(word(scan({"AS B=A"}).workspace.selection.operation), "B=");
}

TEST(CommandWords, ResetKeepsOutputOptions) {
    Scanned s = scan({"SP PO DB AV CU SC LI ST"});
    reset_selection(s.workspace);
    const OptionSet& o = s.workspace.options;
    EXPECT_EQ(o.AV + o.DI + o.CU + o.DB + o.SC, 0);
    EXPECT_EQ(o.LI, 1);
    EXPECT_EQ(o.ST, 1);
    EXPECT_EQ(s.workspace.selection.function, nullptr);
}

TEST(CommandWords, TitlePrefixes) {
    EXPECT_EQ(title_prefix(scan({"WA RE"}).workspace), "Waveform of  ");
    EXPECT_EQ(title_prefix(scan({"SP RE CU"}).workspace), "CU Spectrum  ");
    EXPECT_EQ(title_prefix(scan({"BS RE"}).workspace), "Signal B:    ");
    EXPECT_EQ(title_prefix(scan({"AS XY"}).workspace), "X-Y Graph:   ");
}

TEST(CommandWords, CommandLineIsUpperCasedAfterALeadingBlank) {
    const std::string line = make_command_line("sp po é");
    ASSERT_EQ(line.size(), 80u);
    EXPECT_EQ(line.substr(0, 6), " SP PO");
    EXPECT_EQ(line.substr(7, 2), "é");   // only a..z change
}

}  // namespace
}  // namespace zeph
