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

TEST(CommandWords, CaseAndLongWordsAreTheSameWords) {
    for (auto line : {"sp am db pl", "SP AM DB PL", "SPECTRUM AMPLITUDE DB PLOT"}) {
        const Scanned s = scan({line});
        EXPECT_EQ(s.workspace.selection.function_code, "SP") << line;
        EXPECT_EQ(s.workspace.selection.parameter_code, "AM") << line;
        EXPECT_EQ(s.workspace.options.DB, 2) << line;
        EXPECT_EQ(s.workspace.options.PL, 1) << line;
    }
}

TEST(CommandWords, FunctionsSetModeAndAbscissaLabel) {
    struct Case { const char* line; const char* code; SignalMode mode; const char* label; };
    for (const Case& c : {Case{"WA RE", "WA", SignalMode::linked, "vs time (sec)"},
                          Case{"SP RE", "SP", SignalMode::linked, "vs freq (Hz) "},
                          Case{"AS RE", "WA", SignalMode::independent, "             "},
                          Case{"BS RE", "SP", SignalMode::independent, "             "}}) {
        const Scanned s = scan({c.line});
        EXPECT_EQ(s.workspace.selection.function_code, c.code) << c.line;
        EXPECT_EQ(s.workspace.signal_mode, c.mode) << c.line;
        EXPECT_EQ(s.workspace.selection.abscissa_label, c.label) << c.line;
    }
}

TEST(CommandWords, LastOperationRunsButEveryOneIsMarked) {
    const Scanned s = scan({"WA WI FF"});
    EXPECT_EQ(s.workspace.selection.operation_id, kOpFilter);
    EXPECT_TRUE(s.workspace.selection.operation_markers.count("WI"));
    EXPECT_TRUE(s.workspace.selection.operation_markers.count("FF"));
}

TEST(CommandWords, FirstParameterWinsLaterOutputWins) {
    Scanned s = scan({"WA RE IM"});
    EXPECT_EQ(s.workspace.selection.parameter_code, "RE");
    EXPECT_EQ(s.workspace.selection.parameter_label, "Real Component      ");
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
    EXPECT_EQ(s.workspace.selection.operation_id, 0);
    EXPECT_EQ(s.workspace.selection.parameter_code, "");
    EXPECT_EQ(s.workspace.selection.read_selector, 1);
    EXPECT_EQ(scan({"RB"}).workspace.signal_mode, SignalMode::independent);
    EXPECT_EQ(scan({"RB"}).workspace.selection.read_selector, 2);
}

TEST(CommandWords, BlankLineRepeatsThePreviousLine) {
    Scanned s = scan({"SP PO PL", ""});
    EXPECT_EQ(s.workspace.selection.function_code, "SP");
    EXPECT_EQ(s.workspace.selection.parameter_code, "PO");
    s = scan({"RT", "   "});
    EXPECT_TRUE(s.workspace.selection.read_word);
    s = scan({"WA WI", ""});
    EXPECT_EQ(s.workspace.selection.operation_id, kOpWindow);
}

TEST(CommandWords, OptionsAloneKeepTheSelection) {
    const Scanned s = scan({"SP PO", "LI"});
    EXPECT_EQ(s.workspace.selection.function_code, "SP");
    EXPECT_EQ(s.workspace.selection.parameter_code, "PO");
    EXPECT_EQ(s.workspace.options.LI, 1);
}

TEST(CommandWords, CopyWordsEndInEquals) {
    EXPECT_EQ(scan({"AS A="}).workspace.selection.operation_id, kOpCopyBToA);
    EXPECT_EQ(scan({"AS B=A"}).workspace.selection.operation_id, kOpCopyAToB);
}

TEST(CommandWords, ResetKeepsOutputOptions) {
    Scanned s = scan({"SP PO DB AV CU SC LI ST"});
    reset_selection(s.workspace);
    const OptionSet& o = s.workspace.options;
    EXPECT_EQ(o.AV + o.DI + o.CU + o.DB + o.SC, 0);
    EXPECT_EQ(o.LI, 1);
    EXPECT_EQ(o.ST, 1);
    EXPECT_TRUE(s.workspace.selection.function_code.empty());
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
