// AU plays the display and RC records into A, through SDL's "disk" driver:
// what is played goes to a file, what is recorded comes from one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "audio/pcm16.hpp"
#include "audio/sound.hpp"
#include "input/prompt.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/sound_dialogue.hpp"
#include "tests/audio/sound_environment.hpp"
#include "tests/shell/session_fixture.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph::testing {
namespace {

using test::read_raw16;
using test::ScopedEnvironment;
using test::write_raw16;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Distinct non-zero values on the 16-bit scale.
std::vector<Complex> tone(std::size_t n, double amplitude = 20000) {
    std::vector<Complex> values(n);
    for (std::size_t i = 0; i < n; ++i)
        values[i] = Complex(amplitude * std::sin(0.05 * static_cast<double>(i)) + 1.0,
                            -0.5 * amplitude * std::cos(0.031 * static_cast<double>(i)) + 1.0);
    return values;
}

// The samples as played: the file from the first frame that is not silence,
// cut to the expected length. `first` is the first expected sample that is not 0.
std::vector<std::int16_t> played(const std::vector<std::int16_t>& file, const std::vector<std::int16_t>& expected) {
    const auto lead_expected = std::find_if(expected.begin(), expected.end(), [](std::int16_t s) { return s != 0; });
    const auto lead_file = std::find_if(file.begin(), file.end(), [](std::int16_t s) { return s != 0; });
    const auto skipped = lead_expected - expected.begin();
    if (lead_file - file.begin() < skipped) return {};
    const auto start = lead_file - skipped;
    const auto length = std::min<std::ptrdiff_t>(file.end() - start, static_cast<std::ptrdiff_t>(expected.size()));
    return {start, start + length};
}

class Sound : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("SDL_AUDIODRIVER", "disk");
        env_.set("SDL_DISKAUDIOFILE", out_);
        env_.set("SDL_DISKAUDIOFILEIN", in_);
        env_.set("SDL_DISKAUDIODELAY", "1");
        env_.unset("ZEPH_AUDIO");
    }
    bool nothing_played() const { return !std::filesystem::exists(out_) || std::filesystem::file_size(out_) == 0; }

    TempDirectory dir_{"zsnd"};
    std::string out_ = dir_.file("out.raw");
    std::string in_ = dir_.file("in.raw");
    ScopedEnvironment env_;
};

TEST_F(Sound, ThePlayedSamplesAreTheSamplesShown) {
    // Real part, after AV, after DB, and an XY display as stereo (x left, y right).
    struct Case {
        const char* line;
        std::vector<std::string> replies;
        bool stereo;
    };
    for (const Case& c : {Case{"WA RE NOPL AU", {}, false}, Case{"AS RE AV NOPL AU", {"0.002"}, false},
                          Case{"AS AM DB NOPL AU", {}, false}, Case{"WA XY NOPL AU", {}, true}}) {
        SCOPED_TRACE(c.line);
        std::filesystem::remove(out_);
        ScriptedSession s(c.replies);
        s.set_a(tone(4000), 0.0, 1.0 / 8000);
        s.line(c.line);
        EXPECT_EQ(s.session.workspace.message_line, "");
        const Workspace& w = s.session.workspace;
        const auto n = static_cast<std::size_t>(w.display.display_count);
        ASSERT_EQ(n, 4000u);
        Pcm16 expected;
        if (c.stereo) {
            std::vector<Complex> xy(n);
            for (std::size_t k = 0; k < n; ++k) xy[k] = Complex(w.work_x[k], w.work_y[k]);
            expected = to_pcm16(xy, 2);
        } else {
            expected = to_pcm16(s.shown());
        }
        EXPECT_EQ(played(read_raw16(out_), expected.samples), expected.samples);
        EXPECT_TRUE(s.transcript_has(c.stereo ? "Playing 0.50 s at 8000 Hz. Esc stops." : "Playing 0.50 s at 8000 Hz."));
    }
}

TEST_F(Sound, EscStopsPlaybackWhenSomeoneTypesAndOtherKeysDoNot) {
    ScriptedSession s({}, 1 << 17);
    s.keys = ScriptKeySource(std::string("a") + static_cast<char>(kKeyEscape) + "b");
    s.session.nopause = false;   // an interactive run: keys are read while it plays
    const std::vector<Complex> values = tone(96000);   // 2 s
    s.set_a(values, 0.0, 1.0 / 48000);
    s.line("WA RE NOPL AU");
    EXPECT_EQ(s.keys.remaining(), 1u);   // read up to Esc, no further
    const std::vector<std::int16_t> file = read_raw16(out_);
    const auto sounding = std::count_if(file.begin(), file.end(), [](std::int16_t v) { return v != 0; });
    EXPECT_LT(sounding, 96000);
    EXPECT_EQ(s.session.workspace.message_line, "");
}

TEST_F(Sound, ValuesBeyondFullScaleAreClippedAndNonFiniteOnesPlayedAsSilence) {
    ScriptedSession s({});
    std::vector<Complex> values = tone(2000, 1000);
    values[100] = 40000;
    values[200] = -32769;
    values[300] = kNaN;
    values[400] = kInf;
    values[500] = -kInf;
    s.set_a(values, 0.0, 1.0 / 8000);
    s.line("WA RE NOPL AU");
    EXPECT_EQ(s.session.workspace.message_line,
              "Clipped 2 values beyond full scale; 3 NaN or infinite played as silence");
    // The message row showed the notice and the seconds played.
    EXPECT_TRUE(s.console.row_text(kTitleRow).starts_with("Playing 0.25 s at 8000 Hz. Esc stops.  0.25 s"))
        << s.console.row_text(kTitleRow);
    std::vector<std::int16_t> expected = to_pcm16(s.shown()).samples;
    ASSERT_EQ(expected[100], 32767);
    ASSERT_EQ(expected[200], -32768);
    ASSERT_EQ(expected[300], 0);
    EXPECT_EQ(played(read_raw16(out_), expected), expected);
}

TEST_F(Sound, ASpectrumIsRefusedAndTheLinesOutputStillRuns) {
    const std::string listed = dir_.file("b.txt");
    ScriptedSession s({listed, ""});
    s.set_b(tone(64), -32.0, 1.0);
    s.session.workspace.signal_mode = SignalMode::independent;
    s.line("BS RE FI AU");
    EXPECT_EQ(s.session.workspace.message_line, kSoundOfSpectrum);
    EXPECT_TRUE(std::filesystem::exists(listed));
    EXPECT_TRUE(nothing_played());
}

TEST_F(Sound, AuPlaysThePlotsScaledValues) {
    ScriptedSession s({"", "0.5, 100", "<ESC>", "EN"});   // SC: x unchanged, y*0.5 + 100; Esc ends the plot
    const std::vector<Complex> values = tone(800);
    s.set_a(values, 0.0, 1.0 / 8000);
    s.line("WA RE SC AU");
    std::vector<double> scaled(values.size());
    for (std::size_t k = 0; k < values.size(); ++k) scaled[k] = 0.5 * values[k].real() + 100;
    const std::vector<std::int16_t> expected = to_pcm16(scaled).samples;
    EXPECT_EQ(played(read_raw16(out_), expected), expected);
}

TEST_F(Sound, ADistributionIsRefused) {
    ScriptedSession s({"10"});
    s.set_a(tone(100), 0.0, 1.0 / 8000);
    s.line("WA RE DI NOPL AU");
    EXPECT_EQ(s.session.workspace.message_line, kSoundOfDistribution);
    EXPECT_TRUE(nothing_played());
}

TEST_F(Sound, ARateOutsideTheRangeIsRefused) {
    for (const double dx : {1e-7, 2.0}) {   // 10 MHz, 0.5 Hz
        ScriptedSession s({});
        s.set_a(tone(100), 0.0, dx);
        s.line("WA RE NOPL AU");
        EXPECT_EQ(s.session.workspace.message_line, kBadSoundRate);
    }
    EXPECT_TRUE(nothing_played());
}

TEST_F(Sound, NoSoundGivesOneMessageAndTheLineGoesOn) {
    const std::string listed = dir_.file("a.txt");
    {
        env_.set("ZEPH_AUDIO", "none");
        ScriptedSession s({listed, ""});
        s.set_a(tone(100), 0.0, 1.0 / 8000);
        s.line("WA RE FI AU");
        EXPECT_EQ(s.session.workspace.message_line, kSoundOff);
        EXPECT_TRUE(std::filesystem::exists(listed));
        env_.unset("ZEPH_AUDIO");
    }
    env_.set("SDL_AUDIODRIVER", "nonexistent");
    ScriptedSession s({});
    s.set_a(tone(100), 0.0, 1.0 / 8000);
    s.line("WA RE NOPL AU");
    EXPECT_TRUE(s.session.workspace.message_line.starts_with(kNoSoundOutput)) << s.session.workspace.message_line;
    EXPECT_GT(s.session.workspace.message_line.size(), kNoSoundOutput.size());   // SDL's reason follows
    EXPECT_TRUE(nothing_played());
}

TEST_F(Sound, AuPlaysAfterTheOutputThatWinsAndStaysUntilNoau) {
    const std::string listed = dir_.file("a.txt");
    ScriptedSession s({listed, ""});
    s.set_a(tone(800), 0.0, 1.0 / 8000);
    s.line("WA RE AU FI");   // FI does not switch AU off, nor AU FI
    EXPECT_EQ(s.session.workspace.options.AU, 1);
    EXPECT_EQ(s.session.workspace.options.FI, 1);
    EXPECT_TRUE(std::filesystem::exists(listed));
    EXPECT_FALSE(nothing_played());
    s.line("NOAU NOFI NOPL");
    EXPECT_EQ(s.session.workspace.options.AU, 0);
}

TEST_F(Sound, RcRecordsTheInputIntoAOnItsGrid) {
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        std::vector<std::int16_t> input(static_cast<std::size_t>(channels) * 2000);
        for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::int16_t>(i * 7919 % 65536 - 32768);
        write_raw16(in_, input);
        ScriptedSession s({"0.25, 8000", std::to_string(channels)});
        s.set_a(tone(10), 5.0, 3.0);
        s.line("RC");
        const Workspace& w = s.session.workspace;
        EXPECT_EQ(w.message_line, "");
        const SignalSlot& a = w.slot(Domain::time);
        ASSERT_EQ(a.npts, 2000);
        EXPECT_EQ(a.xmin, 0.0);
        EXPECT_DOUBLE_EQ(a.dx, 1.0 / 8000);
        EXPECT_TRUE(a.present);
        EXPECT_FALSE(w.slot(Domain::frequency).present);   // linked: B is out of date
        for (std::size_t k = 0; k < 2000; ++k) {
            const std::size_t c = static_cast<std::size_t>(channels);
            const Complex expected(input[k * c], c == 2 ? input[k * c + 1] : 0);
            ASSERT_EQ(w.signal_a()[k], expected) << k;
        }
        EXPECT_NE(w.status_line.find("Rec 8000 Hz"), std::string::npos) << w.status_line;
        EXPECT_TRUE(s.transcript_has("Recording 0.25 s at 8000 Hz. Esc stops."));
        // The replies are offered again.
        EXPECT_EQ(s.session.operation_settings.record.length_reply.find("0.25"), 0u);
    }
}

TEST_F(Sound, RcStopsAtTheMaximumNumberOfPointsAndSaysSo) {
    write_raw16(in_, std::vector<std::int16_t>(4000, 1234));
    ScriptedSession s({"0.5, 8000", "1"}, 1000);
    s.line("RC");
    const Workspace& w = s.session.workspace;
    EXPECT_EQ(w.slot(Domain::time).npts, 1000);
    EXPECT_EQ(w.message_line, limit_notice(1000, 4000));
}

TEST_F(Sound, RcWithoutAnInputOrWithBadRepliesLeavesAUnchanged) {
    const std::vector<Complex> before = tone(10);
    struct Case {
        std::vector<std::string> replies;
        std::string_view message;
        bool no_driver;
    };
    for (const Case& c : {Case{{"1, 8000", "1"}, kNoSoundInput, true}, Case{{"0, 8000", "1"}, kBadRecordLength, false},
                          Case{{"1, 500000", "1"}, kBadSoundRate, false}, Case{{"1, 8000", "3"}, kBadSoundChannels, false}}) {
        SCOPED_TRACE(c.message);
        if (c.no_driver) env_.set("SDL_AUDIODRIVER", "nonexistent");
        else env_.set("SDL_AUDIODRIVER", "disk");
        ScriptedSession s(c.replies);
        s.set_a(before, 5.0, 3.0);
        s.line("RC");
        const Workspace& w = s.session.workspace;
        EXPECT_TRUE(w.message_line.starts_with(c.message)) << w.message_line;
        EXPECT_EQ(w.slot(Domain::time).npts, 10);
        EXPECT_EQ(w.slot(Domain::time).dx, 3.0);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), w.signal_a()));
    }
}

TEST_F(Sound, RcInIndependentModeFillsAAndKeepsB) {
    write_raw16(in_, std::vector<std::int16_t>(800, -5));
    ScriptedSession s({"0.1, 8000", "1"});
    s.set_b(tone(16));
    s.session.workspace.signal_mode = SignalMode::independent;
    s.line("RC");
    const Workspace& w = s.session.workspace;
    EXPECT_EQ(w.slot(Domain::time).npts, 800);
    EXPECT_EQ(w.signal_a()[799], Complex(-5, 0));
    EXPECT_TRUE(w.slot(Domain::frequency).present);
    EXPECT_EQ(w.slot(Domain::frequency).npts, 16);
    // The status line names the recording; the count keeps columns 40 to 49.
    EXPECT_EQ(w.status_line.rfind("Signal A: Rec 8000 Hz,+j0 ", 0), 0u) << w.status_line;
    EXPECT_EQ(w.status_line.substr(39), "       800 Samples");
}

}  // namespace
}  // namespace zeph::testing
