#include "shell/read_dialogue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "fileio/audio_file.hpp"
#include "fileio/binary_records.hpp"
#include "shell/command_words.hpp"
#include "tests/fileio/file_fixture.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

double fixed_seed() { return 0.0; }

// A session on a scratch directory, driven by reply lines as the headless
// front end reads them. The dialogue changes the working directory; it is
// put back after each test.
class ReadDialogueTest : public test::FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        saved_directory_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        console_.set_presenter(&presenter_);
        ASSERT_TRUE(session_.input.log.create(path("ZEPH32.TMP"), dir_.string(), "", ""));
        ASSERT_TRUE(allocate_storage(workspace(), 64));
        workspace().read_max = workspace().max_points;
    }
    void TearDown() override {
        std::filesystem::current_path(saved_directory_);
        FileTest::TearDown();
    }

    Workspace& workspace() { return session_.workspace; }

    // Scans `line` as the command loop does and runs the read dialogue with `replies`.
    void run(std::string_view line, std::vector<std::string> replies) {
        keys_ = ScriptKeySource::from_lines(std::move(replies));
        scan_command_line(line, workspace());
        read_dialogue(session_);
    }

    bool transcript_has(std::string_view text) const {
        return std::count(presenter_.lines.begin(), presenter_.lines.end(), std::string(text)) > 0;
    }

    std::vector<Complex> samples_a(int n) { return {workspace().signal_a(), workspace().signal_a() + n}; }
    std::vector<Complex> samples_b(int n) { return {workspace().signal_b(), workspace().signal_b() + n}; }

    std::filesystem::path saved_directory_;
    TextConsole console_;
    RecordingPresenter presenter_;
    ScriptKeySource keys_ = ScriptKeySource::from_lines({});
    Interpreter interpreter_{fixed_seed};
    Session session_{console_, keys_, interpreter_};
};

std::vector<double> ramp(int n, double first) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) values.push_back(first + i);
    return values;
}

TEST_F(ReadDialogueTest, RtReadsAnR8FileIntoAWithBothGrids) {
    std::filesystem::create_directories(dir_ / "data");
    const std::vector<double> values = ramp(8, 10.0);
    ASSERT_TRUE(write_signal_file(values, "R8", path("data/sig.r8"), 0.5, 0.25));
    workspace().slot(Domain::frequency).present = true;
    std::filesystem::current_path("/");

    run("RT", {path("data/sig.r8"), ""});

    const Workspace& w = workspace();
    EXPECT_EQ(w.message_line, "");
    EXPECT_TRUE(w.slot(Domain::time).present);
    EXPECT_FALSE(w.slot(Domain::frequency).present);   // the spectrum no longer matches
    EXPECT_EQ(w.slot(Domain::time).npts, 8);
    EXPECT_EQ(w.linked_npts, 8);
    EXPECT_DOUBLE_EQ(w.slot(Domain::time).xmin, 0.5);
    EXPECT_DOUBLE_EQ(w.slot(Domain::time).dx, 0.25);
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).dx, 1.0 / (8 * 0.25));
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).xmin, -4 * w.slot(Domain::frequency).dx);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(samples_a(8)[i], Complex(values[i], 0.0));
    EXPECT_EQ(w.slot(Domain::time).origin, SignalOrigin::file);
    EXPECT_EQ(w.status_line, "Time domain function: sig.r8,+j0          8 Samples");
    // The directory part became the working directory; the name alone is kept.
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_ / "data"));
    EXPECT_EQ(w.real_file_name, "sig.r8");
    EXPECT_EQ(w.signal_mode, SignalMode::linked);
}

TEST_F(ReadDialogueTest, RtClearsTheSelectionOfTheOldSignals) {
    scan_command_line("SP PO DB AV LA", workspace());
    ASSERT_TRUE(write_signal_file(ramp(4, 1.0), "R8", path("s.r8"), 0.0, 1.0));
    run("RT", {"s.r8", ""});
    const Workspace& w = workspace();
    EXPECT_EQ(w.selection.function, nullptr);
    EXPECT_EQ(w.selection.parameter, nullptr);
    EXPECT_EQ(w.options.AV + w.options.DB + w.options.LA, 0);
}

TEST_F(ReadDialogueTest, RealAndImaginaryFilesNameBothParts) {
    ASSERT_TRUE(write_signal_file(ramp(4, 1.0), "R8", path("re.r8"), 0.0, 2.0));
    ASSERT_TRUE(write_signal_file(ramp(4, -1.0), "R8", path("im.r8"), 0.0, 2.0));
    run("RF", {"re.r8", "im.r8"});
    const Workspace& w = workspace();
    ASSERT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_EQ(samples_b(4)[3], Complex(4.0, 2.0));
    EXPECT_DOUBLE_EQ(w.slot(Domain::time).dx, 1.0 / (4 * 2.0));
    EXPECT_EQ(w.slot(Domain::time).xmin, 0.0);
    EXPECT_EQ(w.status_line, "Freq domain function: re.r8,+j im.r8          4 Samples");
}

TEST_F(ReadDialogueTest, RfConstantOfEightPointsCentresTheSpectrum) {
    run("RF", {"=constant", "", "8", "0.5", "2, -1"});   // the keyword in any case
    const Workspace& w = workspace();
    EXPECT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_FALSE(w.slot(Domain::time).present);
    EXPECT_EQ(w.slot(Domain::frequency).npts, 8);
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).dx, 0.5);
    EXPECT_DOUBLE_EQ(w.slot(Domain::frequency).xmin, -4 * w.slot(Domain::frequency).dx);
    EXPECT_EQ(w.slot(Domain::time).xmin, 0.0);
    EXPECT_DOUBLE_EQ(w.slot(Domain::time).dx, 1.0 / (8 * w.slot(Domain::frequency).dx));
    EXPECT_EQ(samples_b(8), std::vector<Complex>(8, Complex(2.0, -1.0)));
    EXPECT_EQ(w.status_line, "Freq domain function: CONSTANT,+j0          8 Samples");
    EXPECT_TRUE(transcript_has("Enter DF:"));
}

TEST_F(ReadDialogueTest, ConstantPointCountMustFitTheStorage) {
    run("RT", {"=CONSTANT", "", "0", "100000", "3", "1", ""});
    EXPECT_TRUE(transcript_has("Error. Number of points must be at least 1."));
    EXPECT_TRUE(transcript_has("Error. Maximum =    64"));
    EXPECT_EQ(workspace().slot(Domain::time).npts, 3);
    EXPECT_EQ(samples_a(3), std::vector<Complex>(3, Complex(1.0, 0.0)));   // the default constant 1., 0.
}

TEST_F(ReadDialogueTest, ConstantStepThatIsNotPositiveBecomesOne) {
    run("RA", {"=CONSTANT", "", "4", "/", "1 /"});   // independent: 0 offered and kept
    EXPECT_TRUE(transcript_has("Enter DX:"));
    EXPECT_EQ(workspace().slot(Domain::time).dx, 1.0);
    EXPECT_EQ(workspace().message_line, kDxNotPositive);
}

TEST_F(ReadDialogueTest, RaLeavesBValidAndRtMarksItInvalid) {
    run("RB", {"=CONSTANT", "", "4", "1", "5 /"});
    ASSERT_TRUE(workspace().slot(Domain::frequency).present);
    const std::vector<Complex> b_before = samples_b(4);

    run("RA", {"=CONSTANT", "", "4", "1", "7 /"});
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_TRUE(workspace().slot(Domain::frequency).present);
    EXPECT_EQ(samples_b(4), b_before);
    EXPECT_EQ(workspace().status_line,
              "Signal A:                                       4 Samples");
    EXPECT_EQ(workspace().real_name_shown, "");

    run("RT", {"=CONSTANT", "", "4", "1", "7 /"});
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_FALSE(workspace().slot(Domain::frequency).present);
}

TEST_F(ReadDialogueTest, BothNamesBlankAsksForTheRealNameAgain) {
    run("RT", {"", "", "=CONSTANT", "", "2", "1", "3 /"});
    EXPECT_TRUE(transcript_has(kNoFileNameEntered));
    EXPECT_EQ(std::count(presenter_.lines.begin(), presenter_.lines.end(), std::string(kRealNamePrompt)), 2);
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_EQ(samples_a(2), std::vector<Complex>(2, Complex(3.0, 0.0)));
}

TEST_F(ReadDialogueTest, StartupNamesAreOfferedAtTheFirstRead) {
    ASSERT_TRUE(write_signal_file(ramp(4, 1.0), "R8", path("start.r8"), 0.0, 1.0));
    workspace().real_file_name = "start.r8";
    run("RT", {"/", ""});   // "/" keeps the offered name
    EXPECT_TRUE(transcript_has("/start.r8"));
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_EQ(workspace().slot(Domain::time).npts, 4);
}

TEST_F(ReadDialogueTest, ReadRangeTakesFirstIntervalAndMaximum) {
    ASSERT_TRUE(write_signal_file(ramp(10, 1.0), "R8", path("r.r8"), 0.0, 0.5));
    workspace().read_first = 2;
    workspace().read_interval = 2;
    workspace().read_max = 3;
    run("RA", {"r.r8", ""});
    ASSERT_EQ(workspace().slot(Domain::time).npts, 3);
    EXPECT_EQ(samples_a(3), (std::vector<Complex>{{2, 0}, {4, 0}, {6, 0}}));
    EXPECT_DOUBLE_EQ(workspace().slot(Domain::time).xmin, 0.5);
    EXPECT_DOUBLE_EQ(workspace().slot(Domain::time).dx, 1.0);
}

TEST_F(ReadDialogueTest, AReadStoppedByTheLimitSaysSo) {
    // 100 samples each, with room for 64.
    std::vector<Complex> tone;
    for (int i = 0; i < 100; ++i) tone.emplace_back(100.0 * i, 0.0);
    ASSERT_TRUE(write_audio_signal(tone, path("t.wav"), WavChannels::Mono, 1.0 / 8000).ok);
    ASSERT_TRUE(write_audio_signal(tone, path("t.flac"), WavChannels::Mono, 1.0 / 8000).ok);
    ASSERT_TRUE(write_signal_file(ramp(100, 1.0), "R8", path("t.r8"), 0.0, 1.0));
    for (const char* name : {"t.wav", "t.flac", "t.r8"}) {
        run("RT", {name, ""});
        EXPECT_EQ(workspace().slot(Domain::time).npts, 64) << name;
        EXPECT_EQ(workspace().message_line, "Read 64 of 100 samples: the limit. AL 100 raises it.") << name;
        // A maximum set by SE is the user's own: no word about it.
        workspace().read_max = 50;
        run("RT", {name, ""});
        EXPECT_EQ(workspace().slot(Domain::time).npts, 50) << name;
        EXPECT_EQ(workspace().message_line, "") << name;
        workspace().read_max = workspace().max_points;
        // Every second sample: 50 fit.
        workspace().read_interval = 2;
        run("RT", {name, ""});
        EXPECT_EQ(workspace().slot(Domain::time).npts, 50) << name;
        EXPECT_EQ(workspace().message_line, "") << name;
        workspace().read_interval = 1;
    }
}

TEST_F(ReadDialogueTest, BackslashSeparatesTheDirectory) {
    std::filesystem::create_directories(dir_ / "sub");
    ASSERT_TRUE(write_signal_file(ramp(2, 1.0), "R8", path("sub/s.r8"), 0.0, 1.0));
    run("RT", {"sub\\s.r8", ""});
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_ / "sub"));
}

TEST_F(ReadDialogueTest, MissingDirectoryIsNamedInTheMessage) {
    run("RT", {"nodir/s.r8", ""});
    EXPECT_EQ(workspace().message_line, "Cannot find file: nodir/s.r8");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_));
}

TEST_F(ReadDialogueTest, BlankLineAfterRfReadsIntoBAgain) {
    run("RF", {"=CONSTANT", "", "2", "1", ""});
    run("", {"=CONSTANT", "", "4", "1", ""});
    EXPECT_EQ(workspace().slot(Domain::frequency).npts, 4);
    EXPECT_FALSE(workspace().slot(Domain::time).present);
}

TEST_F(ReadDialogueTest, StarPicksTheFileAndLogsThePath) {
    ASSERT_TRUE(write_signal_file(ramp(4, 1.0), "R8", path("p.r8"), 0.0, 1.0));
    run("RT", {"*", path("p.r8"), ""});
    EXPECT_TRUE(workspace().slot(Domain::time).present);
    EXPECT_EQ(workspace().real_file_name, "p.r8");
    const std::string log = read_file(path("ZEPH32.TMP"));
    EXPECT_NE(log.find(format_reply_record(path("p.r8"), kRealNamePrompt) + "\n"), std::string::npos);
    EXPECT_EQ(log.find("*  "), std::string::npos);   // the "*" itself is not logged
}

// An independent-mode target keeps its samples, grid and flag when a read fails.
class FailedReadTest : public ReadDialogueTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(FailedReadTest, LeavesTheIndependentTargetUntouched) {
    write_file("bad.dat", "1 2\nx y\n");
    write_file("empty.dat", "");
    run("RA", {"=CONSTANT", "", "4", "0.5", "9, 1"});
    ASSERT_TRUE(workspace().slot(Domain::time).present);
    workspace().slot(Domain::time).xmin = 3.0;
    const std::vector<Complex> before = samples_a(4);

    run("RA", {GetParam(), ""});
    const Workspace& w = workspace();
    EXPECT_TRUE(w.message_line.ends_with(GetParam())) << w.message_line;
    EXPECT_TRUE(w.slot(Domain::time).present);
    EXPECT_EQ(w.slot(Domain::time).npts, 4);
    EXPECT_EQ(w.slot(Domain::time).xmin, 3.0);
    EXPECT_EQ(w.slot(Domain::time).dx, 0.5);
    EXPECT_EQ(samples_a(4), before);
}

INSTANTIATE_TEST_SUITE_P(MissingCorruptOrEmpty, FailedReadTest,
                         ::testing::Values("missing.r8", "bad.dat", "empty.dat"));

TEST_F(ReadDialogueTest, FailedLinkedReadClearsFlagsButKeepsSamplesAndGrid) {
    run("RT", {"=CONSTANT", "", "4", "0.5", "9 /"});
    const std::vector<Complex> before = samples_a(4);
    run("RT", {"missing.r8", ""});
    EXPECT_EQ(workspace().message_line, "Cannot find file: missing.r8");
    EXPECT_FALSE(workspace().slot(Domain::time).present);
    EXPECT_FALSE(workspace().slot(Domain::frequency).present);
    EXPECT_EQ(workspace().slot(Domain::time).npts, 4);
    EXPECT_EQ(workspace().slot(Domain::time).dx, 0.5);
    EXPECT_EQ(samples_a(4), before);
}

TEST_F(ReadDialogueTest, EndOfInputAtTheStepLeavesTheTargetUntouched) {
    run("RA", {"=CONSTANT", "", "4", "1", "2 /"});
    run("RA", {"=CONSTANT", "", "8"});
    EXPECT_TRUE(session_.input.end_requested);
    EXPECT_EQ(workspace().slot(Domain::time).npts, 4);
    EXPECT_EQ(samples_a(4), std::vector<Complex>(4, Complex(2.0, 0.0)));
}

TEST(ReadStatusLine, JoinsTheShownNames) {
    struct Case {
        const char* real;
        const char* imag;
        const char* expected;
    };
    const Case cases[] = {
        {"", "", "Time domain function: 0+j0          5 Samples"},
        {"", "im.dat", "Time domain function:  +j im.dat          5 Samples"},
        {"re.dat", "", "Time domain function: re.dat,+j0          5 Samples"},
        {"abcdefghijklmnopqrst", "im", "Time domain function: abcdefghijklmnopq,+j im          5 Samples"},
    };
    Workspace workspace;
    for (const Case& c : cases) {
        workspace.real_name_shown = c.real;
        workspace.imag_name_shown = c.imag;
        EXPECT_EQ(read_status_line(workspace, SignalMode::linked, Domain::time, 5), c.expected) << c.real;
    }
    EXPECT_EQ(read_status_line(workspace, SignalMode::independent, Domain::frequency, 1234567),
              "Signal B:                                 1234567 Samples");
}

}  // namespace
}  // namespace zeph
