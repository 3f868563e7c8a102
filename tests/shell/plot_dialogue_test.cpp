// The plot dialogue driven by scripted replies, drawing off screen with NOPAUSE.
#include "shell/plot_dialogue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/fileio/file_fixture.hpp"
#include "tests/support/scoped_variable.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

double fixed_seed() { return 0.0; }

// One question as the transcript shows it.
struct Asked {
    std::string prompt, current, default_reply;
};

class PlotDialogueTest : public test::FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        console_.set_presenter(&presenter_);
        ASSERT_TRUE(session_.input.log.create(path("ZEPH32.TMP"), dir_.string(), "", ""));
        ASSERT_TRUE(allocate_storage(workspace(), 256));
        session_.nopause = true;
        plot_.window_allowed = false;
        plot_.window_width = 320;
        plot_.window_height = 240;
        // WA RE of 100 points: -0.5 .. 2.5 on 0 .. 99.
        select("WA", "RE");
        set_values(100, [](int i) { return -0.5 + 3.0 * i / 99; });
        display().title = "Waveform of  test";
        display().x_label = "time (sec)";
        display().y_label = "Real Component ";
    }

    Workspace& workspace() { return session_.workspace; }
    DisplayState& display() { return workspace().display; }
    OptionSet& options() { return workspace().options; }
    const PlotSettings& settings() const { return plot_.settings; }

    void select(const std::string& function, const std::string& parameter) {
        workspace().selection.function = find_word(function, WordKind::function);
        workspace().selection.parameter = find_word(parameter, WordKind::parameter);
    }
    template <typename F>
    void set_values(int n, F f) {
        display().display_count = n;
        display().xmin = 0;
        display().dx = 1;
        for (int i = 0; i < n; ++i) workspace().work_y[static_cast<std::size_t>(i)] = f(i);
    }

    // Runs the dialogue on reply lines; all of them must be used.
    void run(std::vector<std::string> replies) {
        presenter_.lines.clear();
        keys_ = ScriptKeySource::from_lines(std::move(replies));
        plot_dialogue(session_, plot_);
        EXPECT_TRUE(keys_.exhausted()) << keys_.remaining() << " replies left";
    }

    // The questions of the last run, from the transcript: the prompt, "/" and
    // the current values, "<Enter>" and the default reply.
    std::vector<Asked> asked() const {
        std::vector<Asked> result;
        const auto& lines = presenter_.lines;
        for (std::size_t k = 2; k < lines.size(); ++k)
            if (lines[k].rfind("<Enter>", 0) == 0 && lines[k - 1].rfind("/", 0) == 0)
                result.push_back({lines[k - 2], lines[k - 1].substr(1), lines[k].substr(7)});
        return result;
    }
    // EX, ME and BI on: points.txt, the metafile and plot.png.
    void plot_with_every_export(const std::string& metafile) {
        options().EX = 1;
        options().ME = 1;
        options().BI = 2;
        run({"", path("points.txt"), path(metafile), path("plot.png")});
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> result;
        for (const Asked& a : asked()) result.push_back(a.prompt);
        return result;
    }

    RecordingPresenter presenter_;
    TextConsole console_;
    ScriptKeySource keys_ = ScriptKeySource::from_lines({});
    Interpreter interpreter_{fixed_seed};
    Session session_{console_, keys_, interpreter_};
    PlotState plot_;
};

TEST_F(PlotDialogueTest, DefaultPlotAsksOnlyForTheRange) {
    run({""});
    const std::vector<Asked> questions = asked();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].prompt, kRangePrompt);
    EXPECT_EQ(questions[0].current, "XMIN, XMAX, YMIN, YMAX");
    EXPECT_EQ(questions[0].default_reply, "XMIN, XMAX, YMIN, YMAX");
    EXPECT_EQ(workspace().message_line, "");
    EXPECT_EQ(settings().x_min, 0);
    EXPECT_EQ(settings().x_max, 100);
    EXPECT_DOUBLE_EQ(settings().y_min, -0.5);
    EXPECT_DOUBLE_EQ(settings().y_max, 2.5);
    EXPECT_EQ(settings().title, "Waveform of  test");
    EXPECT_EQ(settings().y_label, "Real Component");
    EXPECT_EQ(settings().line_colour, 1);
    EXPECT_EQ(settings().marker_type, -1);
    EXPECT_EQ(settings().axes_mode, 2);
    EXPECT_EQ(settings().low_resolution, 1);
    EXPECT_EQ(settings().aspect_ratio, 0);
    EXPECT_TRUE(plot_.memory.holds_plot);
    EXPECT_EQ(plot_.memory.screen_save.size(), screen_save_bytes(320, 240));
}

TEST_F(PlotDialogueTest, PowerSpectrumRangeComesFromTheReferencePower) {
    select("SP", "PO");
    display().reference_power = 40;
    display().reference_level = 16.02;
    options().DB = 1;
    run({""});
    EXPECT_DOUBLE_EQ(settings().y_max, 16.02);
    EXPECT_DOUBLE_EQ(settings().y_min, 16.02 - 100);
    options().DB = 0;
    run({""});
    EXPECT_EQ(settings().y_max, 40);
    EXPECT_EQ(settings().y_min, 0);
    // Independent signals: the data decide.
    workspace().signal_mode = SignalMode::independent;
    run({""});
    EXPECT_DOUBLE_EQ(settings().y_max, 2.5);
}

TEST_F(PlotDialogueTest, DecibelsWithoutAReferenceShow100dBBelowTheLargestValue) {
    select("WA", "AM");
    options().DB = 2;
    run({""});
    EXPECT_DOUBLE_EQ(settings().y_max, 2.5);
    EXPECT_DOUBLE_EQ(settings().y_min, 2.5 - 100);
}

TEST_F(PlotDialogueTest, RangeLeavesOutInfiniteValues) {
    // 1/X from X = 0: the first value is infinite, the others 10, 5, 2.5.
    set_values(4, [](int i) { return i == 0 ? HUGE_VAL : 10.0 / i; });
    run({""});
    EXPECT_EQ(workspace().message_line, "");
    EXPECT_DOUBLE_EQ(settings().y_min, 10.0 / 3);
    EXPECT_DOUBLE_EQ(settings().y_max, 10);
    EXPECT_TRUE(plot_.memory.holds_plot);
    // Decibels of a zero: minus infinity.
    select("WA", "AM");
    options().DB = 2;
    set_values(3, [](int i) { return i == 1 ? -HUGE_VAL : -3.0 * i; });
    run({""});
    EXPECT_DOUBLE_EQ(settings().y_max, 0);
    EXPECT_DOUBLE_EQ(settings().y_min, -100);
}

TEST_F(PlotDialogueTest, CumulativePowerRangeFromTheTotal) {
    select("SP", "PO");
    options().CU = 1;
    session_.cumulative_total = 1000;
    options().DB = 1;
    run({""});
    EXPECT_DOUBLE_EQ(settings().y_max, 30);
    EXPECT_DOUBLE_EQ(settings().y_min, -70);
}

TEST_F(PlotDialogueTest, XyPlotHasASquareRangeAndAspectOne) {
    select("AS", "XY");
    set_values(5, [](int i) { return -1.0 + i; });              // y: -1 .. 3
    for (int i = 0; i < 5; ++i) workspace().work_x[static_cast<std::size_t>(i)] = 5.0 - 2 * i;   // x: -3 .. 5
    run({""});
    EXPECT_EQ(settings().x_min, -3);
    EXPECT_EQ(settings().x_max, 5);
    EXPECT_EQ(settings().y_min, -3);
    EXPECT_EQ(settings().y_max, 5);
    EXPECT_EQ(settings().aspect_ratio, 1.0);
}

TEST_F(PlotDialogueTest, WrapShowsThreePeriods) {
    options().WR = 1;
    run({""});
    EXPECT_EQ(settings().x_min, -100);
    EXPECT_EQ(settings().x_max, 200);
    EXPECT_EQ(settings().wrap, 1);
}

TEST_F(PlotDialogueTest, RangeReplyWithEqualLimitsKeepsTheComputedPair) {
    run({"5, 5, 0, 10"});
    EXPECT_EQ(settings().x_min, 0);
    EXPECT_EQ(settings().x_max, 100);
    EXPECT_EQ(settings().y_min, 0);
    EXPECT_EQ(settings().y_max, 10);
    run({""});   // the previous reply is offered again
    EXPECT_NE(asked()[0].current.find('5'), std::string::npos);
    EXPECT_EQ(settings().y_max, 2.5);   // the default reply still computes the range
}

TEST_F(PlotDialogueTest, ScaleFactorsApplyToAbscissaValuesAndRange) {
    options().SC = 1;
    run({"2, 1", "3, 0", ""});
    EXPECT_EQ(prompts(), (std::vector<std::string>{std::string(kXScalePrompt), std::string(kYScalePrompt),
                                                   std::string(kRangePrompt)}));
    EXPECT_EQ(asked()[0].default_reply, "1., 0.");
    EXPECT_EQ(display().xmin, 1);
    EXPECT_EQ(display().dx, 2);
    EXPECT_EQ(settings().x_max, 201);
    EXPECT_DOUBLE_EQ(settings().y_min, -1.5);
    EXPECT_DOUBLE_EQ(settings().y_max, 7.5);
}

TEST_F(PlotDialogueTest, LogarithmicAxisWithALimitAtZeroIsRefused) {
    options().AX = 1;
    run({"", "0", "", ""});
    EXPECT_EQ(workspace().message_line, kLogXLimitError);
    EXPECT_FALSE(plot_.memory.holds_plot);
    EXPECT_EQ(options().AX, 2);
    run({"1, 100, -1, 1"});
    EXPECT_EQ(workspace().message_line, "");
    EXPECT_TRUE(plot_.memory.holds_plot);
    options().AX = 1;
    run({"", "10", "0", "1, 100, 0, 1"});
    EXPECT_EQ(workspace().message_line, kLogYLimitError);
}

TEST_F(PlotDialogueTest, EveryGroupAsksItsQuestionsWithDefaults) {
    for (int* flag : {&options().LO, &options().MA, &options().SM, &options().PG, &options().AX, &options().GO,
                      &options().ZE, &options().CO, &options().AR, &options().HI})
        *flag = 1;
    run(std::vector<std::string>(16, ""));
    const std::vector<Asked> q = asked();
    const std::vector<std::pair<std::string_view, std::string_view>> expected{
        {kLineColourPrompt, "1"},     {kLineWidthPrompt, "0."},     {kLineStylePrompt, "0"},
        {kMarkerPrompt, "100"},       {kMarkerRadiusPrompt, ".015"}, {kGraphTypePrompt, "1"},
        {kAxesModePrompt, "2"},       {kXDivisionsPrompt, "10"},    {kYDivisionsPrompt, "10"},
        {kXGridPrompt, "1"},          {kYGridPrompt, "1"},          {kZeroAxesPrompt, "1"},
        {kLabelColourPrompt, "0"},    {kAxesColourPrompt, "0"},     {kAspectPrompt, "1.0"},
        {kRangePrompt, "XMIN, XMAX, YMIN, YMAX"}};
    ASSERT_EQ(q.size(), expected.size());
    for (std::size_t k = 0; k < q.size(); ++k) {
        EXPECT_EQ(q[k].prompt, expected[k].first);
        EXPECT_EQ(q[k].default_reply, expected[k].second) << q[k].prompt;
    }
    const PlotSettings& s = settings();
    EXPECT_EQ(s.line_colour, 1);
    EXPECT_EQ(s.marker_type, 100);
    EXPECT_DOUBLE_EQ(s.marker_radius, 0.015);
    EXPECT_EQ(s.smooth, 1);
    EXPECT_EQ(s.graph_type, 1);
    EXPECT_EQ(s.zero_axes, 1);
    EXPECT_EQ(s.aspect_ratio, 1.0);
    EXPECT_EQ(s.low_resolution, 0);
    for (int flag : {options().LO, options().MA, options().SM, options().PG, options().AX, options().GO,
                     options().ZE, options().CO, options().AR, options().HI})
        EXPECT_EQ(flag, 2);
    EXPECT_TRUE(plot_.memory.holds_plot);
}

TEST_F(PlotDialogueTest, KeptAnswersAreOfferedAgainAndNoFormsRestoreDefaults) {
    options().LO = 1;
    run({"5", "0.01", "3", ""});
    EXPECT_EQ(settings().line_colour, 5);
    EXPECT_EQ(settings().line_style, 3);
    run({""});                              // LO = 2: no questions, the answers stay
    EXPECT_EQ(prompts(), std::vector<std::string>{std::string(kRangePrompt)});
    EXPECT_EQ(settings().line_colour, 5);
    options().LO = 1;                       // asked again, with the kept values offered
    run({"", "/", "", ""});
    EXPECT_NE(asked()[0].current.find("5."), std::string::npos);
    EXPECT_EQ(settings().line_colour, 1);   // an empty reply takes the default
    EXPECT_NEAR(settings().line_width, 0.01, 1e-12);   // "/" keeps the current value
    options().LO = 0;                       // NOLO
    run({""});
    EXPECT_EQ(settings().line_colour, 1);
    EXPECT_EQ(settings().line_width, 0);
    EXPECT_EQ(settings().line_style, 0);
}

TEST_F(PlotDialogueTest, OverlaysTakeTheNextColourAndAskNothing) {
    run({""});
    EXPECT_EQ(settings().line_colour, 1);
    options().OV = 1;
    run({});
    EXPECT_EQ(settings().line_colour, 2);
    EXPECT_EQ(options().OV, 0);
    options().OV = 1;
    run({});
    EXPECT_EQ(settings().line_colour, 3);
    run({""});
    EXPECT_EQ(settings().line_colour, 1);
}

TEST_F(PlotDialogueTest, OverlayWithoutAPreviousPlotIsANewPlot) {
    options().OV = 1;
    run({""});
    EXPECT_EQ(prompts(), std::vector<std::string>{std::string(kRangePrompt)});
    EXPECT_EQ(settings().line_colour, 1);
    EXPECT_TRUE(plot_.memory.holds_plot);
}

TEST_F(PlotDialogueTest, TitleAnsweredWithExclamationMarkStaysBlank) {
    options().LA = 1;
    run({"!", "", "Volts", ""});
    const std::vector<Asked> q = asked();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(q[0].prompt, kTitlePrompt);
    EXPECT_EQ(q[0].default_reply, "Waveform of  test");
    EXPECT_EQ(q[1].default_reply, "time (sec)");
    EXPECT_EQ(settings().title, "");
    EXPECT_EQ(settings().x_label, "time (sec)");
    EXPECT_EQ(settings().y_label, "Volts");
    display().title = "Spectrum of  other";
    run({""});
    EXPECT_EQ(settings().title, "");
    EXPECT_EQ(settings().y_label, "Volts");
    options().LA = 0;
    run({""});
    EXPECT_EQ(settings().title, "Spectrum of  other");
}

TEST_F(PlotDialogueTest, ExportNamesAreAskedAndMetafileAndBitmapActOnce) {
    plot_with_every_export("plot.wmf");
    EXPECT_EQ(workspace().message_line, "");
    EXPECT_EQ(prompts(), (std::vector<std::string>{std::string(kRangePrompt), std::string(kDataExportPrompt),
                                                   std::string(kMetafilePrompt), std::string(kBitmapPrompt)}));
    EXPECT_TRUE(std::filesystem::exists(path("points.txt")));
    EXPECT_GT(std::filesystem::file_size(path("plot.wmf")), 46u * 2);
    EXPECT_TRUE(std::filesystem::exists(path("plot.png")));
    EXPECT_EQ(options().ME, 0);
    EXPECT_EQ(options().BI, 0);
    EXPECT_EQ(options().EX, 1);

    // The name is offered again; a blank one writes nothing this time.
    std::filesystem::remove(path("points.txt"));
    run({"", ""});
    EXPECT_EQ(asked()[1].current, path("points.txt"));
    EXPECT_FALSE(std::filesystem::exists(path("points.txt")));
    EXPECT_EQ(options().EX, 1);
}

TEST_F(PlotDialogueTest, AnOverlayIsAddedToThePreviousPlotsMetafile) {
    options().ME = 1;
    run({"", path("plot.wmf")});
    ASSERT_EQ(workspace().message_line, "");
    const auto size_alone = std::filesystem::file_size(path("plot.wmf"));
    options().OV = 1;
    run({});
    EXPECT_GT(std::filesystem::file_size(path("plot.wmf")), size_alone);
    run({""});   // a new plot without ME leaves the file alone
    const auto size_with_overlay = std::filesystem::file_size(path("plot.wmf"));
    options().OV = 1;
    run({});     // and an overlay of that plot writes no metafile
    EXPECT_EQ(std::filesystem::file_size(path("plot.wmf")), size_with_overlay);
}

TEST_F(PlotDialogueTest, WithoutNopauseThePlotTakesKeysFromTheSession) {
    session_.nopause = false;
    run({"", "<RIGHT>", "x", "<ESC>"});
    EXPECT_EQ(plot_.memory.view.pan_x, 25);   // a quarter of the 0 .. 100 range
    EXPECT_TRUE(plot_.memory.holds_plot);
}

TEST_F(PlotDialogueTest, EscapeReturnsWithoutPlottingAndKeepsAskedFlags) {
    options().LO = 1;
    options().MA = 1;
    keys_ = ScriptKeySource();
    keys_.text("4").enter().enter().enter().escape();
    plot_dialogue(session_, plot_);
    EXPECT_FALSE(plot_.memory.holds_plot);
    EXPECT_EQ(options().LO, 2);
    EXPECT_EQ(options().MA, 2);
    EXPECT_EQ(settings().line_colour, 4);
    EXPECT_EQ(workspace().message_line, "");
}

// After the plot the text window names each export file with its point count
// or picture size; the help screen keeps the note until the next command line.
TEST_F(PlotDialogueTest, ExportFilesWrittenAreNoted) {
    plot_with_every_export("plot.svg");
    ASSERT_EQ(workspace().message_line, "");
    const std::vector<std::string> notes{"Wrote " + path("points.txt") + ": 100 points",
                                         "Wrote " + path("plot.svg") + ": 320 x 240",
                                         "Wrote " + path("plot.png") + ": 320 x 240"};
    std::vector<std::string> shown;
    for (const std::string& line : presenter_.lines)
        if (line.rfind("Wrote ", 0) == 0) shown.push_back(line);
    EXPECT_EQ(shown, notes);
    draw_help_screen(console_, workspace(), session_.help);
    EXPECT_EQ(console_.row_text(43).substr(2, notes[0].size()), notes[0]);

    // Without EX, ME and BI, and with the bitmap only offered (B not pressed), nothing is noted.
    session_.help.written_note.clear();
    options().EX = 0;
    options().BI = 0;
    session_.nopause = false;
    run({"", "<ESC>"});
    for (const std::string& line : presenter_.lines) EXPECT_EQ(line.rfind("Wrote ", 0), std::string::npos) << line;
    EXPECT_EQ(session_.help.written_note, "");
}

// A bitmap saved with the B key is noted too.
TEST_F(PlotDialogueTest, BitmapSavedWithTheBKeyIsNoted) {
    plot_.bitmap_name = path("keyed.png");
    session_.nopause = false;
    options().BI = 0;
    run({"", "b"});
    EXPECT_TRUE(session_.help.written_note.find("Wrote " + path("keyed.png") + ": 320 x 240") != std::string::npos)
        << session_.help.written_note;
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

class PlotTargetTest : public PlotDialogueTest {
protected:
    void SetUp() override {
        PlotDialogueTest::SetUp();
        plot_.window_allowed = true;   // the choice is made as in the program
    }
    ScopedEnv no_display_{"DISPLAY", nullptr};
    ScopedEnv no_wayland_{"WAYLAND_DISPLAY", nullptr};
};

TEST_F(PlotTargetTest, TheChoiceIsNotedOnceOnTheMessageLine) {
    ScopedEnv plot("ZEPH_PLOT", nullptr);
    run({""});
    EXPECT_EQ(workspace().message_line, "Plots: off screen only (exports work) (auto). Set ZEPH_PLOT to change.");
    EXPECT_TRUE(plot_.memory.holds_plot);   // drawn off screen all the same
    workspace().message_line.clear();
    run({""});
    EXPECT_EQ(workspace().message_line, "");
}

TEST_F(PlotTargetTest, AWindowThatCannotOpenIsAGraphicsError) {
    ScopedEnv plot("ZEPH_PLOT", "window");
    run({""});
    EXPECT_EQ(workspace().message_line, kGraphicsInitError);
    EXPECT_EQ(plot_.target, PlotTarget::Window);
}

TEST_F(PlotTargetTest, TerminalTargetsWithoutATerminalDrawOffScreen) {
    ScopedEnv plot("ZEPH_PLOT", "Sixel");
    run({""});
    EXPECT_EQ(plot_.target, PlotTarget::None);
    EXPECT_TRUE(plot_.memory.holds_plot);
}

TEST_F(PlotTargetTest, AnUnknownWordFallsBackToAuto) {
    ScopedEnv plot("ZEPH_PLOT", "x11");
    run({""});
    EXPECT_EQ(workspace().message_line,
              "ZEPH_PLOT is not one of auto, window, sixel, kitty, iterm, symbols, none: auto");
    EXPECT_EQ(plot_.target, PlotTarget::None);
}

}  // namespace
}  // namespace zeph
