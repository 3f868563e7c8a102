#include "shell/file_output_dialogue.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "fileio/binary_records.hpp"
#include "fileio/wav.hpp"
#include "tests/fileio/file_fixture.hpp"
#include "tests/support/file_text.hpp"
#include "tests/support/script_keys.hpp"

namespace zeph {
namespace {

double fixed_seed() { return 0.0; }

class FileOutputTest : public test::FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        ASSERT_TRUE(session_.input.log.create(path("ZEPH32.TMP"), dir_.string(), "", ""));
        ASSERT_TRUE(allocate_storage(workspace(), 16));
        // Displayed values: three points on the abscissa -1, -0.5, 0.
        workspace().work_y[0] = 1.5;
        workspace().work_y[1] = -2.25;
        workspace().work_y[2] = 4.0;
        workspace().display.display_count = 3;
        workspace().display.xmin = -1.0;
        workspace().display.dx = 0.5;
    }

    Workspace& workspace() { return session_.workspace; }

    void run(std::vector<std::string> replies) {
        keys_ = ScriptKeySource::from_lines(std::move(replies));
        file_output_dialogue(session_);
    }

    // Signal A as a read leaves it: four samples at 8000 Hz.
    void give_signal_a() {
        const Complex samples[] = {{100, -1}, {-200, 2}, {300.4, -3}, {32767, -32768}};
        std::copy(std::begin(samples), std::end(samples), workspace().signal_a());
        workspace().slot(Domain::time).npts = workspace().linked_npts = 4;
        workspace().slot(Domain::time).dx = 1.0 / 8000;
        workspace().slot(Domain::time).present = true;
    }

    static std::vector<std::vector<double>> numbers_of(const std::string& text) {
        return testing::numbers_of_lines(text);
    }

    TextConsole console_;
    ScriptKeySource keys_ = ScriptKeySource::from_lines({});
    Interpreter interpreter_{fixed_seed};
    Session session_{console_, keys_, interpreter_};
};

TEST_F(FileOutputTest, TwoColumnAsciiHoldsAbscissaAndValue) {
    run({path("out.txt"), "2c"});
    EXPECT_EQ(workspace().message_line, "");
    const std::vector<std::vector<double>> expected{{-1.0, 1.5}, {-0.5, -2.25}, {0.0, 4.0}};
    EXPECT_EQ(numbers_of(read_file(path("out.txt"))), expected);
    EXPECT_EQ(workspace().files.output_file_name, path("out.txt"));
    EXPECT_EQ(workspace().files.output_format, "2c");
}

TEST_F(FileOutputTest, PreviousAnswersAreOfferedAgain) {
    run({path("out.txt"), "1C"});
    std::filesystem::remove(path("out.txt"));
    workspace().work_y[0] = 7.0;
    run({"/", "/"});   // keep both offered answers
    const std::vector<std::vector<double>> expected{{7.0}, {-2.25}, {4.0}};
    EXPECT_EQ(numbers_of(read_file(path("out.txt"))), expected);
}

TEST_F(FileOutputTest, LowerCaseR4WritesR4) {
    run({path("out.r4"), "r4"});
    EXPECT_EQ(workspace().files.output_format, "R4");
    const BinaryRead read = read_binary_signal_file(path("out.r4"), Component::Real, {1, 1, 16});
    ASSERT_EQ(read.code, ReadStatus::Ok);
    EXPECT_EQ(read.format, BinaryFormat::R4);
    EXPECT_EQ(read.xmin, -1.0);
    EXPECT_EQ(read.dx, 0.5);
    EXPECT_EQ(read.samples, (std::vector<Complex>{{1.5, 0}, {-2.25, 0}, {4.0, 0}}));
}

TEST_F(FileOutputTest, BlankFormatTakesTheR8Default) {
    run({path("a.wa"), ""});   // not a WAV name: the format is asked
    const BinaryRead read = read_binary_signal_file(path("a.wa"), Component::Real, {1, 1, 16});
    EXPECT_EQ(read.format, BinaryFormat::R8);
    EXPECT_EQ(read.samples.size(), 3u);
}

TEST_F(FileOutputTest, WavWritesSignalAStereoByDefault) {
    give_signal_a();
    run({path("a.wav"), ""});
    EXPECT_EQ(workspace().message_line, "");
    const SignalRead read = read_wav(path("a.wav"), 16);
    ASSERT_TRUE(read.status.ok) << read.status.message;
    EXPECT_EQ(read.samples,
              (std::vector<Complex>{{100, -1}, {-200, 2}, {300, -3}, {32767, -32768}}));
    EXPECT_DOUBLE_EQ(read.dx, 1.0 / 8000);
}

TEST_F(FileOutputTest, WavMonoInIndependentModeUsesTheCountOfA) {
    give_signal_a();
    workspace().signal_mode = SignalMode::independent;
    workspace().slot(Domain::time).npts = 2;
    run({path("m.WAV"), "mono"});
    const SignalRead read = read_wav(path("m.WAV"), 16);
    ASSERT_TRUE(read.status.ok) << read.status.message;
    EXPECT_EQ(read.samples, (std::vector<Complex>{{100, 0}, {-200, 0}}));
    EXPECT_EQ(workspace().files.wav_channels, "mo");
}

TEST_F(FileOutputTest, WavIsAcceptedBySox) {
    if (!test::have_tool("sox")) GTEST_SKIP() << "sox is not installed";
    give_signal_a();
    run({path("s.wav"), "ST"});
    int status = 0;
    const std::string info = test::run_command("sox --i '" + path("s.wav") + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << info;
    EXPECT_NE(info.find("Channels       : 2"), std::string::npos) << info;
    EXPECT_NE(info.find("Sample Rate    : 8000"), std::string::npos) << info;
    EXPECT_NE(info.find("Precision      : 16-bit"), std::string::npos) << info;
    EXPECT_NE(info.find("4 samples"), std::string::npos) << info;
}

TEST_F(FileOutputTest, UnwritablePathsAreReported) {
    give_signal_a();
    const std::string binary = path("nodir/x.r8");
    run({binary, "R8"});
    EXPECT_EQ(workspace().message_line, "Cannot open file: " + binary);
    const std::string text = path("nodir/x.txt");
    run({text, "1C"});
    EXPECT_EQ(workspace().message_line, "Cannot open file: " + text);
    const std::string wav = path("nodir/x.wav");
    run({wav, "ST"});
    EXPECT_EQ(workspace().message_line, "Cannot open file: " + wav);
}

TEST_F(FileOutputTest, WavOfAnAbsentSignalAIsRefused) {
    run({path("a.wav"), "ST"});
    EXPECT_EQ(workspace().message_line, "Signal A has not been read or generated");
    EXPECT_FALSE(std::filesystem::exists(path("a.wav")));
}

TEST_F(FileOutputTest, EndOfInputAtTheFormatWritesNothing) {
    run({path("none.r8")});
    EXPECT_FALSE(std::filesystem::exists(path("none.r8")));
}

// The text window says what FI wrote; a failed write says nothing of the kind.
TEST_F(FileOutputTest, WrittenFileIsNotedWithItsValueCount) {
    RecordingPresenter presenter;
    console_.set_presenter(&presenter);
    const auto notes = [&presenter] {
        std::vector<std::string> result;
        for (const std::string& line : presenter.lines)
            if (line.rfind("Wrote ", 0) == 0) result.push_back(line);
        return result;
    };
    give_signal_a();
    run({path("a.wav"), "MO"});
    run({path("out.txt"), "1C"});
    EXPECT_EQ(notes(), (std::vector<std::string>{"Wrote " + path("a.wav") + ": 4 values",
                                                 "Wrote " + path("out.txt") + ": 3 values"}));
    presenter.lines.clear();
    session_.help.written_note.clear();
    run({path("missing/out.txt"), "1C"});
    EXPECT_NE(workspace().message_line, "");
    EXPECT_TRUE(notes().empty());
    EXPECT_EQ(session_.help.written_note, "");
}

}  // namespace
}  // namespace zeph
