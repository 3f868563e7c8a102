#include "shell/spectral_display.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "input/message_report.hpp"
#include "session_fixture.hpp"
#include "tests/support/file_text.hpp"
#include "shell/command_words.hpp"
#include "shell/display.hpp"
#include "shell/file_output_dialogue.hpp"
#include "shell/plot_dialogue.hpp"
#include "shell/window_dialogue.hpp"
#include "base/format_number.hpp"
#include "dsp/linear_transform.hpp"
#include "plot/spectrogram_plot.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;

constexpr double kDt = 1.0 / 1000;

// A real test signal: two tones and a slow ramp.
std::vector<Complex> test_signal(int n) {
    std::vector<Complex> z;
    for (int k = 0; k < n; ++k) {
        const double t = k * kDt;
        z.emplace_back(std::sin(kTwoPi * 50 * t) + 0.25 * std::cos(kTwoPi * 210 * t) + 0.001 * k, 0.0);
    }
    return z;
}

WelchSpectrum welch_of(const std::vector<Complex>& z, SegmentParameters p, double dx = kDt) {
    WelchSpectrum out;
    EXPECT_TRUE(compute_welch(z, dx, p, out).ok);
    return out;
}

SegmentParameters segments(long long length, long long overlap, SegmentWindowKind kind = SegmentWindowKind::hann,
                           double beta = 0) {
    return {.length = length, .overlap = overlap, .window = {.kind = kind, .kaiser_beta = beta}};
}

std::vector<std::vector<double>> numbers_of_file(const std::filesystem::path& path) {
    return testing::numbers_of_lines(testing::file_text(path));
}

void expect_relative(double got, double want, double tolerance, int k) {
    EXPECT_NEAR(got, want, tolerance * std::max(std::abs(want), 1e-300)) << k;
}

// The default replies give L = 1024, O = 512 and the squared-cosine window;
// the curve is compute_welch's, over its frequencies, labelled in hertz.
TEST(SpectralDisplay, WelchWithTheDefaultAnswersIsComputeWelch) {
    ScriptedSession s({"", ""}, 4096);
    const auto z = test_signal(3000);
    s.set_a(z, 0.0, kDt);
    s.line("WA WP NOPL");
    EXPECT_TRUE(s.transcript_has(kSegmentPointsPrompt));
    EXPECT_TRUE(s.transcript_has(kSegmentWindowPrompt));
    const WelchSpectrum want = welch_of(z, segments(1024, 512));
    const auto shown = s.shown();
    ASSERT_EQ(shown.size(), want.density.size());
    ASSERT_EQ(shown.size(), 513u);
    for (std::size_t k = 0; k < shown.size(); ++k) EXPECT_EQ(shown[k], want.density[k]) << k;
    const DisplayState& d = s.session.workspace.display;
    for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{512}})
        expect_relative(d.xmin + static_cast<double>(k) * d.dx, want.frequency[k], 1e-14, static_cast<int>(k));
    EXPECT_EQ(d.x_label, "freq (Hz) ");
    EXPECT_EQ(s.session.workspace.message_line, "");
}

// Out-of-range answers are the invalid-entry message and the question
// again; the answers are kept and offered at the next display, where a
// blank reply is the default reply.
TEST(SpectralDisplay, RefusedSegmentAnswersAskAgain) {
    ScriptedSession s({"300, 10", "1, 0", "16, 16", "16.5, 2", "16, 8", "X", "r", "100, 50", ""}, 256);
    const auto z = test_signal(200);
    s.set_a(z, 0.0, kDt);
    s.line("AS WP NOPL");
    EXPECT_TRUE(s.transcript_has(kInvalidEntryMessage));
    const WelchSpectrum want = welch_of(z, segments(16, 8, SegmentWindowKind::rectangular));
    ASSERT_EQ(s.shown(), want.density);
    const SegmentAnswers& kept = s.session.workspace.segments;
    EXPECT_EQ(kept.parameters.length, 16);
    EXPECT_EQ(kept.parameters.overlap, 8);
    EXPECT_EQ(kept.window_letter, "R");
    s.line("AS WP NOPL");
    EXPECT_TRUE(s.transcript_has("16, 8"));
    EXPECT_EQ(s.shown(), welch_of(z, segments(100, 50)).density);
    EXPECT_EQ(kept.window_letter, "S");
}

TEST(SpectralDisplay, KaiserAsksItsShapeParameter) {
    ScriptedSession s({"32, 16", "K", "5"}, 256);
    const auto z = test_signal(200);
    s.set_a(z, 0.0, kDt);
    s.line("WA WP NOPL");
    EXPECT_TRUE(s.transcript_has(kKaiserShapePrompt));
    EXPECT_EQ(s.shown(), welch_of(z, segments(32, 16, SegmentWindowKind::kaiser, 5)).density);
}

TEST(SpectralDisplay, SpectrumFunctionsAndImageStagesAreRefused) {
    ScriptedSession s({}, 256);
    s.set_b(test_signal(64), 0.0, 1.0);
    for (const char* line : {"SP WP NOPL", "BS WP NOPL", "SP SG NOPL", "BS SG FI"}) {
        s.session.workspace.message_line.clear();
        s.line(line);
        EXPECT_EQ(s.session.workspace.message_line, kMissingParameters) << line;
    }
    // Refused before the segment questions: none of them is asked.
    ScriptedSession t({}, 256);
    t.set_a(test_signal(64), 0.0, kDt);
    for (const char* line : {"AS SG AV FI", "AS SG DI FI", "AS SG CU FI", "AS SG ST FI"}) {
        t.session.workspace.message_line.clear();
        t.line(line);
        EXPECT_EQ(t.session.workspace.message_line, kImageStagesRefused) << line;
    }
    EXPECT_FALSE(t.transcript_has(kSegmentPointsPrompt));
}

TEST(SpectralDisplay, WelchInDecibels) {
    ScriptedSession s({"64, 32", "S"}, 512);
    const auto z = test_signal(400);
    s.set_a(z, 0.0, kDt);
    s.line("WA WP DB NOPL");
    const WelchSpectrum want = welch_of(z, segments(64, 32));
    const auto shown = s.shown();
    ASSERT_EQ(shown.size(), want.density.size());
    for (std::size_t k = 0; k < shown.size(); ++k)
        EXPECT_NEAR(shown[k], 10.0 * std::log10(want.density[k]), 1e-12) << k;
    EXPECT_EQ(s.session.workspace.display.y_label, "Welch Power Density (dB) ");
}

// Segments holding a NaN: a notice, not an error.
TEST(SpectralDisplay, NonFiniteSegmentsAreANotice) {
    ScriptedSession s({"16, 0", "S"}, 256);
    auto z = test_signal(64);
    z[20] = {std::nan(""), 0};
    s.set_a(z, 0.0, kDt);
    s.line("AS WP NOPL");
    const std::string& message = s.session.workspace.message_line;
    EXPECT_EQ(message, "1 of 4" + std::string(kNonfiniteSegmentsEnding));
    EXPECT_TRUE(is_notice(message));
}

TEST(SpectralDisplay, WelchFileInTwoColumns) {
    ScriptedSession s({"32, 16", "S"}, 256);
    const auto path = s.directory / "welch.txt";
    s.session.workspace.files.output_file_name = path.string();
    s.keys = ScriptKeySource::from_lines({"32, 16", "S", path.string(), "2C"});
    const auto z = test_signal(200);
    s.set_a(z, 0.0, kDt);
    s.line("WA WP FI");
    const WelchSpectrum want = welch_of(z, segments(32, 16));
    const auto lines = numbers_of_file(path);
    ASSERT_EQ(lines.size(), want.density.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        ASSERT_EQ(lines[k].size(), 2u) << k;
        expect_relative(lines[k][0], want.frequency[k], 1e-14, static_cast<int>(k));
        expect_relative(lines[k][1], want.density[k], 1e-14, static_cast<int>(k));
    }
}

// One line per cell "time frequency value", a blank line after each slice;
// with DB the values are 10·log10.
TEST(SpectralDisplay, SpectrogramFileIsSlicesOfCells) {
    const auto z = test_signal(100);
    Spectrogram want;
    ASSERT_TRUE(compute_spectrogram(z, 0.5, kDt, segments(16, 4, SegmentWindowKind::rectangular), want).ok);
    ASSERT_GT(want.segments, 2);
    for (const bool decibels : {false, true}) {
        ScriptedSession s({}, 256);
        const auto path = s.directory / "sg.txt";
        s.keys = ScriptKeySource::from_lines({"16, 4", "R", path.string()});
        s.set_a(z, 0.5, kDt);
        s.line(decibels ? "AS SG DB FI" : "AS SG FI");
        const auto lines = numbers_of_file(path);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(want.segments * (want.bins + 1)));
        std::size_t line = 0;
        for (long long i = 0; i < want.segments; ++i) {
            for (long long j = 0; j < want.bins; ++j, ++line) {
                ASSERT_EQ(lines[line].size(), 3u) << line;
                expect_relative(lines[line][0], want.time[static_cast<std::size_t>(i)], 1e-14, static_cast<int>(line));
                EXPECT_EQ(lines[line][1], want.frequency[static_cast<std::size_t>(j)]) << line;
                const double value = decibels ? 10.0 * std::log10(want.at(i, j)) : want.at(i, j);
                expect_relative(lines[line][2], value, 1e-14, static_cast<int>(line));
            }
            EXPECT_TRUE(lines[line++].empty()) << "after slice " << i;
        }
    }
}

TEST(SpectralDisplay, SpectrogramListingShowsTheFirstCells) {
    ScriptedSession s({"16, 8", "R"}, 256);
    const auto z = test_signal(64);
    s.set_a(z, 0.0, kDt);
    s.line("AS SG LI");
    EXPECT_EQ(s.session.workspace.message_line, "");
    Spectrogram want;
    ASSERT_TRUE(compute_spectrogram(z, 0.0, kDt, segments(16, 8, SegmentWindowKind::rectangular), want).ok);
    EXPECT_TRUE(s.transcript_has("    N   Time"));
    EXPECT_TRUE(s.transcript_has("   40  "));
    EXPECT_FALSE(s.transcript_has("   41  "));
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// WP goes through the stages and outputs as PO does: AV over a bandwidth on
// its own frequency grid, DI, CU, ST, LI and PL (off screen, with an overlay
// and a metafile).
TEST(SpectralDisplay, WelchTakesTheOptionsOfACurve) {
    ScriptedSession s({}, 512);
    s.session.plot.window_allowed = false;
    const auto z = test_signal(400);
    s.set_a(z, 0.0, kDt);
    const auto metafile = (s.directory / "welch.wmf").string();
    const std::vector<std::pair<std::string, std::vector<std::string>>> runs{
        {"WA WP AV NOPL", {"64, 32", "S", "31.25"}},   // two bins of 15.625 Hz
        {"WA WP NOAV DI NOPL", {"64, 32", "S", "10"}},
        {"WA WP NODI CU NOPL", {"64, 32", "S", ""}},
        {"WA WP NOCU ST NOPL", {"64, 32", "S"}},
        {"WA WP NOST LI", {"64, 32", "S", ""}},
        {"WA WP DB PL ME", {"64, 32", "S", "", metafile}},
        {"WA WP OV PL", {"64, 32", "S"}},
    };
    const WelchSpectrum want = welch_of(z, segments(64, 32));
    for (const auto& [line, replies] : runs) {
        s.keys = ScriptKeySource::from_lines(replies);
        s.session.workspace.message_line.clear();
        s.line(line);
        EXPECT_EQ(s.session.workspace.message_line, "") << line;
        if (line == "WA WP AV NOPL") {
            EXPECT_TRUE(s.transcript_has(kAveragingBandwidthPrompt));
            std::vector<double> copy = want.density, averaged(want.density.size());
            average_ordinate(copy, averaged, 31.25, 15.625);
            EXPECT_EQ(s.shown(), averaged);
        }
    }
    EXPECT_TRUE(std::filesystem::exists(metafile));
    EXPECT_TRUE(s.transcript_has("   33  " + format_number(32 * 15.625)));   // the last bin, listed at 500 Hz
}

// SG PL asks the dynamic range after the plot's range and draws the image.
TEST(SpectralDisplay, SpectrogramPlotAsksTheDynamicRange) {
    ScriptedSession s({"16, 8", "R", "", "60"}, 256);
    s.session.plot.window_allowed = false;
    s.set_a(test_signal(200), 0.0, kDt);
    s.line("WA SG PL");
    EXPECT_TRUE(s.transcript_has(kDynamicRangePrompt));
    EXPECT_EQ(s.session.workspace.message_line, "");
    EXPECT_EQ(s.session.plot.dynamic_range_db, 60);
    EXPECT_TRUE(s.session.plot.memory.holds_plot);
    // EX has no points to write for an image: its name is not asked.
    s.keys = ScriptKeySource::from_lines({"16, 8", "R", "", "60"});
    s.line("WA SG PL EX");
    EXPECT_FALSE(s.transcript_has(kDataExportPrompt));
    EXPECT_EQ(s.session.workspace.message_line, "");
    s.keys = ScriptKeySource::from_lines({"16, 8", "R", "", "-3"});
    s.line("WA SG PL");
    EXPECT_EQ(s.session.workspace.message_line, kDynamicRangeError);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// The spectrogram's title names it, as a curve's label names its quantity.
TEST(SpectralDisplay, SpectrogramTitleNamesTheSpectrogram) {
    ScriptedSession s({}, 256);
    s.session.plot.window_allowed = false;
    s.set_a(test_signal(200), 0.0, kDt);
    Workspace& w = s.session.workspace;
    w.real_name_shown = "speech.wav";
    const auto wmf = s.directory / "sg.wmf";   // its text records hold the strings
    s.keys = ScriptKeySource::from_lines({"16, 8", "R", "", "60", wmf.string()});
    s.line("WA SG PL ME");
    EXPECT_EQ(w.message_line, "");
    EXPECT_EQ(w.display.title, "Spectrogram of speech.wav,+j0");
    EXPECT_NE(testing::file_text(wmf).find("Spectrogram of speech.wav,+j0"), std::string::npos);
    s.keys = ScriptKeySource::from_lines({"16, 8", "R"});
    s.line("AS SG NOPL");
    EXPECT_EQ(w.display.title.rfind("Spectrogram of Signal A: ", 0), 0u) << w.display.title;
    s.keys = ScriptKeySource::from_lines({"16, 8", "R"});
    s.line("WA WP NOPL");   // a curve keeps the title of its function
    EXPECT_EQ(w.display.title, "Waveform of speech.wav,+j0");
}

// BI saves the Welch plot as drawn: a 24-bit BMP of the canvas, pixel for pixel.
TEST(SpectralDisplay, WelchBitmapIsThePictureDrawn) {
    ScriptedSession s({}, 512);
    s.session.plot.window_allowed = false;
    s.set_a(test_signal(400), 0.0, kDt);
    const auto bmp = s.directory / "welch.bmp";
    s.keys = ScriptKeySource::from_lines({"64, 32", "S", "", bmp.string()});
    s.line("WA WP DB PL BI");
    ASSERT_EQ(s.session.workspace.message_line, "");
    const std::string bytes = testing::file_text(bmp);
    ASSERT_GT(bytes.size(), 54u);
    ASSERT_EQ(bytes.substr(0, 2), "BM");
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    const auto u32 = [&](std::size_t at) {
        return static_cast<int>(byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24);
    };
    const GraphicsCanvas& canvas = *s.session.plot.canvas;
    const int width = u32(18), height = u32(22), offset = u32(10);
    ASSERT_EQ(width, canvas.width());
    ASSERT_EQ(height, canvas.height());
    const int row = (width * 3 + 3) / 4 * 4;
    ASSERT_GE(bytes.size(), static_cast<std::size_t>(offset + row * height));
    int differing = 0, coloured = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto at = static_cast<std::size_t>(offset + row * (height - 1 - y) + 3 * x);
            const RgbColour pixel{byte(at + 2), byte(at + 1), byte(at)};
            differing += pixel != canvas.pixel(x, y);
            coloured += pixel.red != pixel.green || pixel.green != pixel.blue;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(coloured, 100);   // the curve, not only the frame and its text
}

// Answers at the edges give a result or the invalid-entry message and the
// question again, never a hang: L = N with O = L − 1 (one segment), the
// largest and smallest Kaiser β, and NaN or infinite samples (a notice that
// counts their segments, and the picture still drawn).
TEST(SpectralDisplay, AnswersAtTheEdgesGiveResultsOrMessages) {
    ScriptedSession s({}, 256);
    s.session.plot.window_allowed = false;
    auto z = test_signal(200);
    s.set_a(z, 0.0, kDt);
    Workspace& w = s.session.workspace;
    s.keys = ScriptKeySource::from_lines({"200, 199", "S"});
    s.line("AS WP NOPL");
    EXPECT_EQ(w.message_line, "");
    EXPECT_EQ(s.shown(), welch_of(z, segments(200, 199)).density);
    s.keys = ScriptKeySource::from_lines({"200, 199", "S", "", "100"});
    s.line("AS SG PL");
    EXPECT_EQ(w.message_line, "");
    EXPECT_EQ(w.spectrogram.segments, 1);
    EXPECT_TRUE(s.session.plot.memory.holds_plot);

    s.keys = ScriptKeySource::from_lines({"32, 16", "K", "701", "-1", "700"});
    s.line("AS WP NOPL");
    EXPECT_TRUE(s.transcript_has(kInvalidEntryMessage));
    EXPECT_EQ(w.segments.parameters.window.kaiser_beta, 700);
    const auto widest = s.shown();
    EXPECT_EQ(widest, welch_of(z, segments(32, 16, SegmentWindowKind::kaiser, 700)).density);
    for (double v : widest) EXPECT_TRUE(std::isfinite(v));
    s.keys = ScriptKeySource::from_lines({"32, 16", "K", "0"});
    s.line("AS WP NOPL");
    EXPECT_EQ(s.shown(), welch_of(z, segments(32, 16, SegmentWindowKind::rectangular)).density);

    z[10] = {std::nan(""), 0.0};
    z[150] = {0.0, -std::numeric_limits<double>::infinity()};
    s.set_a(z, 0.0, kDt);
    s.keys = ScriptKeySource::from_lines({"32, 16", "S", "", "100"});
    s.line("AS SG PL");
    EXPECT_EQ(w.message_line, nonfinite_segments_notice(3, 11));
    EXPECT_TRUE(is_notice(w.message_line));
    EXPECT_TRUE(s.session.plot.memory.holds_plot);
    // The Welch curve's notice, too, is still there when its plot has ended
    // (the plot's prompts showed it first); the next display, without
    // segments, brings none back.
    s.keys = ScriptKeySource::from_lines({"32, 16", "S"});
    s.line("AS WP PL");
    EXPECT_EQ(w.message_line, nonfinite_segments_notice(3, 11));
    w.message_line.clear();   // as when the command prompt has shown it
    s.line("AS PO PL");
    EXPECT_EQ(w.message_line, "");
}

}  // namespace
}  // namespace zeph
