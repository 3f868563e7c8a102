// The spectrogram picture: a linear chirp computed by the spectral code and
// drawn on the canvas, in SVG, PDF and the metafile; the brightest cell of
// every time slice follows the chirp, the colour bar rises in luminance,
// NaN segments show in their colour, and a panned view stays in the frame.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/spectral_density.hpp"
#include "plot/metafile.hpp"
#include "plot/spectrogram_plot.hpp"
#include "tests/support/file_text.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph {
namespace {

using test::have_tool;
using test::run_command;

constexpr double kRate = 8000;              // samples a second
constexpr double kStartHz = 300, kEndHz = 3500;
constexpr long long kSamples = 16384;
constexpr double kSweep = (kEndHz - kStartHz) / (kSamples / kRate);   // Hz a second

double chirp_frequency(double t) { return kStartHz + kSweep * t; }

// The chirp's spectrogram; samples [nan_from, nan_to) are NaN.
Spectrogram chirp_spectrogram(long long nan_from = 0, long long nan_to = 0) {
    std::vector<Complex> x(static_cast<std::size_t>(kSamples));
    for (long long i = 0; i < kSamples; ++i) {
        const double t = i / kRate;
        const double phase = 2 * std::numbers::pi * (kStartHz * t + kSweep * t * t / 2);
        x[static_cast<std::size_t>(i)] = Complex(i >= nan_from && i < nan_to ? std::nan("") : std::sin(phase), 0);
    }
    SegmentParameters p;
    p.length = 256;
    p.overlap = 192;
    Spectrogram sg;
    EXPECT_TRUE(compute_spectrogram(x, 0, 1 / kRate, p, sg).ok);
    return sg;
}

SpectrogramCells cells_of(const Spectrogram& sg) {
    return {sg.time, sg.frequency, {sg.density.data(), sg.density.size()}};
}

std::size_t occurrences(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

// CIE lightness L* (0..100) of an sRGB colour.
double lightness(RgbColour c) {
    const auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    const double y = 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
    return y > 216.0 / 24389 ? 116 * std::cbrt(y) - 16 : y * 24389.0 / 27;
}
// Rounding the map to 8 bits leaves a few neighbours a few hundredths of a
// unit of L* apart the wrong way, far below what an eye can tell.
constexpr double kLightnessRounding = 0.05;

// The map index of the nearest viridis entry; -1 for a colour far from all.
int map_index(RgbColour c) {
    int best = -1, best_distance = 3 * 12 * 12;
    for (int i = 0; i < 256; ++i) {
        const RgbColour m = viridis_map()[static_cast<std::size_t>(i)];
        const int d = (c.red - m.red) * (c.red - m.red) + (c.green - m.green) * (c.green - m.green) +
                      (c.blue - m.blue) * (c.blue - m.blue);
        if (d < best_distance) best = i, best_distance = d;
    }
    return best;
}

// A picture of the spectrogram drawn by the driver, without a key loop.
struct Picture {
    GraphicsCanvas canvas{1, 1};
    Painter painter{canvas};
    PlotSettings settings;
    PlotMemory memory;
    SpectrogramReport report;
    PixelRect frame;   // the frame's pixels, both edges included

    Picture(const SpectrogramCells& cells, int width, int height, const WorldRect* view = nullptr,
            DrawingRecorder* recorder = nullptr, const PlotIo& io = {}, int y_divisions = 10) {
        const WorldRect extent = view ? *view : spectrogram_extent(cells);
        settings.y_divisions = y_divisions;
        settings.x_min = extent.x_min, settings.x_max = extent.x_max;
        settings.y_min = extent.y_min, settings.y_max = extent.y_max;
        settings.title = "Chirp";
        settings.x_label = "Time";
        settings.y_label = "Frequency";
        settings.x_grid = settings.y_grid = 0;
        settings.metafile_mode = recorder ? 1 : 0;
        memory.screen_save.resize(screen_save_bytes(width, height));
        painter.set_recorder(recorder);
        PlotCall call{.overlay = false, .window_width = width, .window_height = height,
                      .pause_after_plot = static_cast<bool>(io.read_key)};
        status = spectrogram_driver(painter, cells, kDefaultDynamicRangeDb, settings, call, memory, io, report);
        const PlotFrame f = plot_layout(spectrogram_settings(settings)).frame;
        frame = PixelRect::from_corners(painter.to_pixel(0, 0), painter.to_pixel(f.width, f.height));
    }
    Status status;
};

// For every pixel column inside the frame: its time and the frequency of
// its brightest (highest map index) pixel.
struct Peak {
    double time = 0, frequency = 0;
};
std::vector<Peak> brightest_rows(const GraphicsCanvas& c, const PixelRect& frame, const PlotSettings& s) {
    std::vector<Peak> peaks;
    // One pixel in from the frame line on each side.
    for (int x = frame.x + 3; x < frame.right() - 3; ++x) {
        int best = -1, best_row = 0;
        for (int y = frame.y + 3; y < frame.bottom() - 3; ++y) {
            const int i = map_index(c.pixel(x, y));
            if (i > best) best = i, best_row = y;
        }
        const double u = (x - frame.x) / double(frame.width - 1), v = (frame.bottom() - 1 - best_row) / double(frame.height - 1);
        const double y = s.y_divisions == 0 ? s.y_min * std::pow(s.y_max / s.y_min, v) : s.y_min + v * (s.y_max - s.y_min);
        peaks.push_back({s.x_min + u * (s.x_max - s.x_min), y});
    }
    return peaks;
}

// Checks the peaks against the chirp: within one cell, one pixel and the
// sweep over one pixel column's time.
void expect_peaks_follow_chirp(const Picture& p, const Spectrogram& sg) {
    const double bin = sg.frequency[1] - sg.frequency[0];
    const double pixel_hz = (p.settings.y_max - p.settings.y_min) / p.frame.height;
    const double pixel_s = (p.settings.x_max - p.settings.x_min) / p.frame.width;
    const double tolerance = bin + pixel_hz + kSweep * pixel_s;
    const std::vector<Peak> peaks = brightest_rows(p.canvas, p.frame, p.settings);
    ASSERT_GT(peaks.size(), 50u);
    int checked = 0;
    for (const Peak& peak : peaks) {
        // Columns past the first and last segment centre hold a cell at the edge.
        if (peak.time < sg.time.front() || peak.time > sg.time.back()) continue;
        EXPECT_NEAR(peak.frequency, chirp_frequency(peak.time), tolerance) << "at t = " << peak.time;
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

TEST(SpectrogramPicture, BrightestCellOfEverySliceFollowsTheChirp) {
    const Spectrogram sg = chirp_spectrogram();
    ASSERT_GT(sg.segments, 200);
    // Fewer pixels than cells (thinned both ways) and more (every cell several pixels).
    for (const auto& [w, h] : {std::pair{240, 180}, std::pair{1280, 864}}) {
        Picture p(cells_of(sg), w, h);
        ASSERT_TRUE(p.status.ok) << p.status.message;
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        expect_peaks_follow_chirp(p, sg);
        EXPECT_EQ(p.report.scale.nan_cells, 0);
        EXPECT_NEAR(p.report.scale.floor_db, p.report.scale.top_db - kDefaultDynamicRangeDb, 1e-9);
    }
}

TEST(SpectrogramPicture, ColourBarRisesInLightnessAndMapIsMonotonic) {
    const auto& map = viridis_map();
    for (std::size_t i = 1; i < 256; ++i) EXPECT_GT(lightness(map[i]), lightness(map[i - 1]) - kLightnessRounding) << i;
    for (std::size_t i = 4; i < 256; ++i) EXPECT_GT(lightness(map[i]), lightness(map[i - 4]) + 0.5) << i;
    const Spectrogram sg = chirp_spectrogram();
    Picture p(cells_of(sg), 1280, 864);
    ASSERT_TRUE(p.status.ok);
    // The bar's middle column right of the frame, bottom to top.
    const PlotFrame f = plot_layout(spectrogram_settings(p.settings)).frame;
    const int x = p.painter.to_pixel(f.width + 350, 0).x;
    std::vector<double> l;
    for (int y = p.frame.bottom() - 4; y > p.frame.y + 3; --y) {
        ASSERT_GE(map_index(p.canvas.pixel(x, y)), 0) << "y = " << y;
        l.push_back(lightness(p.canvas.pixel(x, y)));
    }
    for (std::size_t k = 1; k < l.size(); ++k) EXPECT_GE(l[k], l[k - 1] - kLightnessRounding);
    EXPECT_GT(l.back() - l.front(), 70);
    // Its numbers are the multiples of 10 dB between floor and top.
    const std::vector<double> ticks = colour_bar_ticks(p.report.scale.floor_db, p.report.scale.top_db);
    ASSERT_GE(ticks.size(), 3u);
    for (double t : ticks) {
        EXPECT_EQ(std::fmod(t, 10), 0);
        EXPECT_GE(t, p.report.scale.floor_db);
        EXPECT_LE(t, p.report.scale.top_db);
    }
}

TEST(SpectrogramPicture, NanSegmentsShowInTheirColourAndAreCounted) {
    // Samples 6000..8000 NaN: the segments that touch them.
    const Spectrogram sg = chirp_spectrogram(6000, 8000);
    ASSERT_GT(sg.nonfinite_segments, 0);
    Picture p(cells_of(sg), 1280, 864);
    ASSERT_TRUE(p.status.ok);
    EXPECT_EQ(p.report.scale.nan_segments, sg.nonfinite_segments);
    EXPECT_EQ(p.report.scale.nan_cells, sg.nonfinite_segments * sg.bins);
    const double t_mid = 7000 / kRate;   // inside the NaN stretch, far from its ends
    const double u = (t_mid - p.settings.x_min) / (p.settings.x_max - p.settings.x_min);
    const int x = p.frame.x + static_cast<int>(u * (p.frame.width - 1));
    for (int y = p.frame.y + 4; y < p.frame.bottom() - 4; y += 7) EXPECT_EQ(p.canvas.pixel(x, y), kNanCellColour);
    // Elsewhere no NaN colour.
    const int x_clean = p.frame.x + p.frame.width / 8;
    for (int y = p.frame.y + 4; y < p.frame.bottom() - 4; y += 7) EXPECT_NE(p.canvas.pixel(x_clean, y), kNanCellColour);
}

TEST(SpectrogramPicture, ThinningKeepsTheLargestCellOfEveryPixel) {
    // 5000 × 7 cells, one far above the rest, drawn into 50 × 7 pixels.
    std::vector<double> t(5000), f{1, 2, 3, 4, 5, 6, 7}, d(5000 * 7, 1e-6);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<double>(i);
    d[2503 * 7 + 4] = 1;
    d[17 * 7 + 2] = std::nan("");
    const SpectrogramCells cells{t, f, d};
    const SpectrogramScale scale = spectrogram_scale(cells, 60);
    EXPECT_EQ(scale.top_db, 0);
    EXPECT_EQ(scale.nan_cells, 1);
    const WorldRect e = spectrogram_extent(cells);
    std::vector<std::uint8_t> rgb(3 * 50 * 7), mask(50 * 7);
    render_cells(cells, scale, {e.x_min, e.x_max, e.y_min, e.y_max}, 50, 7, rgb.data(), mask.data());
    const auto at = [&](int col, int row) {
        const std::size_t i = 3 * (static_cast<std::size_t>(row) * 50 + col);
        return RgbColour{rgb[i], rgb[i + 1], rgb[i + 2]};
    };
    for (int col = 0; col < 50; ++col) {
        for (int row = 0; row < 7; ++row) {
            EXPECT_EQ(mask[static_cast<std::size_t>(row) * 50 + col], 1);
            // Row 2 from the top is bin 4; the spike's column is 2503/100.
            const bool spike = col == 25 && row == 2;
            EXPECT_EQ(at(col, row), spike ? viridis_map()[255] : colour_of_db(-60, scale)) << col << "," << row;
        }
    }
}

TEST(SpectrogramPicture, PannedViewDrawsOnlyTheVisibleCellsInsideTheFrame) {
    const Spectrogram sg = chirp_spectrogram();
    const WorldRect all = spectrogram_extent(cells_of(sg));
    // The second half of the time and a band of frequencies.
    const WorldRect view{(all.x_min + all.x_max) / 2, 1000, all.x_max + 0.3, 2500};
    Picture p(cells_of(sg), 1280, 864, &view);
    ASSERT_TRUE(p.status.ok);
    // Nothing of the cells outside the frame (and the colour bar's column).
    const PlotFrame f = plot_layout(spectrogram_settings(p.settings)).frame;
    const int bar_left = p.painter.to_pixel(f.width + 150, 0).x;
    for (int y = 0; y < p.canvas.height(); ++y) {
        for (int x = 0; x < bar_left; ++x) {
            if (x >= p.frame.x && x < p.frame.right() && y >= p.frame.y && y < p.frame.bottom()) continue;
            const RgbColour c = p.canvas.pixel(x, y);
            ASSERT_TRUE((c == RgbColour{255, 255, 255}) || (c.red == c.green && c.green == c.blue))
                << "cell colour outside the frame at " << x << "," << y;
        }
    }
    // Right of the data (past its last cell) the frame stays white.
    const double u = (all.x_max + 0.15 - view.x_min) / (view.x_max - view.x_min);
    const int x_empty = p.frame.x + static_cast<int>(u * p.frame.width);
    for (int y = p.frame.y + 4; y < p.frame.bottom() - 4; y += 5) EXPECT_EQ(p.canvas.pixel(x_empty, y), (RgbColour{255, 255, 255}));
    // The visible cells are those of the view: the chirp where it crosses the band.
    const std::vector<Peak> peaks = brightest_rows(p.canvas, p.frame, p.settings);
    const double bin = sg.frequency[1] - sg.frequency[0];
    int checked = 0;
    for (const Peak& peak : peaks) {
        const double expected = chirp_frequency(peak.time);
        if (peak.time > sg.time.back() || expected < view.y_min + bin || expected > view.y_max - bin) continue;
        EXPECT_NEAR(peak.frequency, expected, 2 * bin) << "at t = " << peak.time;
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

TEST(SpectrogramPicture, LogarithmicFrequencyAxisPlacesTheCellsByDecade) {
    const Spectrogram sg = chirp_spectrogram();
    const WorldRect all = spectrogram_extent(cells_of(sg));
    const WorldRect view{all.x_min, 100, all.x_max, 10000};   // two decades
    Picture p(cells_of(sg), 1280, 864, &view, nullptr, {}, 0);
    ASSERT_TRUE(p.status.ok) << p.status.message;
    const double bin = sg.frequency[1] - sg.frequency[0];
    int checked = 0;
    for (const Peak& peak : brightest_rows(p.canvas, p.frame, p.settings)) {
        if (peak.time < sg.time.front() || peak.time > sg.time.back()) continue;
        // A pixel row near 4 kHz spans about 25 Hz.
        EXPECT_NEAR(peak.frequency, chirp_frequency(peak.time), bin + 30) << "at t = " << peak.time;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST(SpectrogramPicture, PanKeyRedrawsTheShiftedViewAndTheFileKeepsOnlyIt) {
    const Spectrogram sg = chirp_spectrogram();
    testing::TempDirectory dir("zsgpan");
    MetafileWriter writer;
    ASSERT_TRUE(writer.open(dir.file("pan.svg")).ok);
    std::vector<int> keys{kKeyExtended, kKeyRight, 'x', kKeyEscape};
    std::size_t next = 0, shown = 0;
    PlotIo io;
    io.read_key = [&] { return next < keys.size() ? keys[next++] : kKeyEscape; };
    io.mark_metafile = [&] { writer.mark_for_pan(); };
    io.rewind_metafile = [&] { writer.rewind_for_pan(); };
    io.show = [&](const GraphicsCanvas&) { ++shown; };
    Picture panned(cells_of(sg), 640, 480, nullptr, &writer, io);
    ASSERT_TRUE(panned.status.ok) << panned.status.message;
    ASSERT_TRUE(writer.close().ok);
    EXPECT_EQ(shown, 2u);
    EXPECT_EQ(next, keys.size());
    // The same pixels as a picture of the view a quarter to the right.
    WorldRect shifted = spectrogram_extent(cells_of(sg));
    const double quarter = (shifted.x_max - shifted.x_min) / 4;
    shifted.x_min += quarter, shifted.x_max += quarter;
    Picture direct(cells_of(sg), 640, 480, &shifted);
    EXPECT_TRUE(panned.canvas.rgb_pixels() == direct.canvas.rgb_pixels());
    // The file holds the last view only: one image of cells and one colour bar.
    const std::string svg = testing::file_text(dir.file("pan.svg"));
    EXPECT_EQ(occurrences(svg, "<image"), 2u);
}

TEST(SpectrogramPicture, SavesTheBitmapAtClose) {
    const Spectrogram sg = chirp_spectrogram();
    testing::TempDirectory dir("zsgbmp");
    Picture p(cells_of(sg), 320, 240);
    p.settings.bitmap_mode = 2;
    p.settings.bitmap_file = dir.file("sg.png");
    const PlotCall call{.overlay = false, .window_width = 320, .window_height = 240, .pause_after_plot = false};
    ASSERT_TRUE(spectrogram_driver(p.painter, cells_of(sg), 60, p.settings, call, p.memory, {}, p.report).ok);
    const std::string png = testing::file_text(dir.file("sg.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_NEAR(p.report.scale.floor_db, p.report.scale.top_db - 60, 1e-9);
}

TEST(SpectrogramPicture, ColourBarTicksAreRoundAndFewAtAnyRange) {
    for (const double top : {-13.27, 0.0, 47.5}) {
        for (const double range : {0.3, 1.0, 7.9, 9.99, 10.0, 60.0, 79.0, 100.0, 150.0, 799.0, 1234.0}) {
            const std::vector<double> ticks = colour_bar_ticks(top - range, top);
            SCOPED_TRACE(std::to_string(top) + " " + std::to_string(range));
            ASSERT_GE(ticks.size(), 2u);
            EXPECT_LE(ticks.size(), 8u);
            const double step = ticks[1] - ticks[0];
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
            EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 || std::abs(mantissa - 5) < 1e-6)
                << step;
            for (std::size_t k = 0; k < ticks.size(); ++k) {
                EXPECT_GE(ticks[k], top - range - 1e-9);
                EXPECT_LE(ticks[k], top + 1e-9);
                EXPECT_NEAR(std::remainder(ticks[k], step), 0, step * 1e-6);
                if (k > 0) {
                    EXPECT_NEAR(ticks[k] - ticks[k - 1], step, step * 1e-6);
                }
            }
        }
    }
    EXPECT_TRUE(colour_bar_ticks(0, 0).empty());
}

TEST(SpectrogramPicture, RefusesBadCellsAndRange) {
    std::vector<double> t{0, 1, 1}, f{0, 1}, d(6, 1);
    EXPECT_EQ(check_spectrogram_cells({t, f, d}).message, kSpectrogramCellsError);
    t = {0, 1, 2};
    EXPECT_TRUE(check_spectrogram_cells({t, f, d}).ok);
    d.pop_back();
    EXPECT_EQ(check_spectrogram_cells({t, f, d}).message, kSpectrogramEmptyError);
    EXPECT_EQ(check_spectrogram_cells({{}, f, {}}).message, kSpectrogramEmptyError);
    EXPECT_EQ(check_dynamic_range(0).message, kDynamicRangeError);
    EXPECT_EQ(check_dynamic_range(std::nan("")).message, kDynamicRangeError);
    EXPECT_TRUE(check_dynamic_range(100).ok);
}

// --- Export files ---

class SpectrogramFileTest : public ::testing::Test {
protected:
    testing::TempDirectory dir{"zsg"};
    Spectrogram sg = chirp_spectrogram();

    // Draws into a file through the ME writer, and the same picture on a canvas of width × height.
    void draw_file(const std::string& name, int width, int height) {
        MetafileWriter writer;
        ASSERT_TRUE(writer.open(dir.file(name)).ok);
        Picture p(cells_of(sg), width, height, nullptr, &writer);
        ASSERT_TRUE(p.status.ok) << p.status.message;
        ASSERT_TRUE(writer.close().ok);
        ASSERT_TRUE(p.canvas.save_bitmap(p.canvas.bounds(), dir.file("canvas.png")).ok);
    }

    // Runs a command; its standard error must be empty (but for the
    // progress counts "NN%" and backspaces that wmf2gd writes there).
    void run_quietly(const std::string& command) {
        int status = 0;
        run_command(command + " 2>" + dir.file("stderr.txt"), &status);
        EXPECT_EQ(status, 0) << command;
        std::string err = testing::file_text(dir.file("stderr.txt"));
        if (command.starts_with("wmf2gd")) std::erase_if(err, [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '%' || c == '\b' || c == ' '; });
        EXPECT_EQ(err, "") << command;
    }

    // Normalised root-mean-square difference of two pictures of one size,
    // both scaled down to a quarter: a coarse comparison that one pixel of
    // shift or another font's outline cannot fail.
    double difference(const std::string& a, const std::string& b) {
        for (const std::string& name : {a, b})
            run_command("convert " + dir.file(name) + " -background white -flatten -resize 25% " + dir.file("small_" + name));
        const std::string out = run_command("compare -metric RMSE " + dir.file("small_" + a) + " " +
                                            dir.file("small_" + b) + " null: 2>&1");
        const auto open = out.find('(');
        return open == std::string::npos ? 1.0 : std::strtod(out.c_str() + open + 1, nullptr);
    }
};

TEST_F(SpectrogramFileTest, SvgAndPdfRenderCleanlyAndAgreeWithTheBitmap) {
    if (!have_tool("rsvg-convert") || !have_tool("pdftoppm") || !have_tool("compare")) GTEST_SKIP();
    draw_file("sg.svg", 600, 450);
    run_quietly("rsvg-convert -w 600 -h 450 -b white -o " + dir.file("svg.png") + " " + dir.file("sg.svg"));
    EXPECT_LT(difference("canvas.png", "svg.png"), 0.08);
    draw_file("sg.pdf", 600, 450);
    run_quietly("pdftoppm -r 100 -png -singlefile " + dir.file("sg.pdf") + " " + dir.file("pdf"));
    EXPECT_LT(difference("canvas.png", "pdf.png"), 0.08);
    // The cells are one embedded image, not thousands of shapes.
    const std::string svg = testing::file_text(dir.file("sg.svg"));
    EXPECT_NE(svg.find("<image"), std::string::npos);
    EXPECT_LT(svg.size(), 3u << 20);
}

TEST_F(SpectrogramFileTest, MetafileHoldsTheCellsAsABitmapRecord) {
    draw_file("sg.wmf", 600, 450);
    const std::string wmf = testing::file_text(dir.file("sg.wmf"));
    // A StretchDIB record: function 0x0F43 after its 32-bit size.
    bool found = false;
    for (std::size_t i = 22 + 18; i + 6 <= wmf.size() && !found;) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(wmf[k]); };
        const std::size_t words = byte(i) | byte(i + 1) << 8 | byte(i + 2) << 16 | std::size_t{byte(i + 3)} << 24;
        found = (byte(i + 4) | byte(i + 5) << 8) == 0x0F43;
        if (words < 3) break;
        i += 2 * words;
    }
    EXPECT_TRUE(found);
    if (have_tool("wmf2svg")) {
        // It writes each bitmap beside the SVG and links it: the cells and the colour bar.
        run_quietly("wmf2svg -o " + dir.file("wmf.svg") + " " + dir.file("sg.wmf"));
        const std::string svg = testing::file_text(dir.file("wmf.svg"));
        EXPECT_EQ(occurrences(svg, "<image"), 2u);
        EXPECT_NE(svg.find("<text"), std::string::npos);
    }
    if (!have_tool("wmf2gd") || !have_tool("compare")) return;
    run_quietly("wmf2gd -t png --maxwidth=600 --maxheight=450 --maxpect -o " + dir.file("wmf.png") + " " +
                dir.file("sg.wmf"));
    // The reader fits the drawing's own bounds, so the pictures differ in
    // scale: the cells must be there, with the ridge in the top colour.
    std::istringstream ppm(run_command("convert " + dir.file("wmf.png") + " -background white -flatten ppm:-"));
    std::string magic;
    int width = 0, height = 0, max = 0;
    ppm >> magic >> width >> height >> max;
    ppm.get();
    ASSERT_EQ(magic, "P6");
    ASSERT_GT(width * height, 10000);
    std::vector<unsigned char> rgb(3 * static_cast<std::size_t>(width) * height);
    ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    int map_pixels = 0, top_pixels = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const int k = map_index({rgb[i], rgb[i + 1], rgb[i + 2]});
        map_pixels += k >= 0;
        top_pixels += k >= 240;
    }
    EXPECT_GT(map_pixels, width * height / 3);
    EXPECT_GT(top_pixels, width * height / 200);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// The mouse over a spectrogram: a click names the cell under it, the wheel
// zooms time about the pointer.
TEST(SpectrogramMouse, AClickNamesTheCellAndTheWheelZooms) {
    const std::vector<double> time{0.5, 1.5, 2.5, 3.5}, frequency{10, 20, 30};
    std::vector<double> density(12);
    for (std::size_t i = 0; i < density.size(); ++i) density[i] = std::pow(10.0, static_cast<double>(i) / 10);
    const SpectrogramCells cells{time, frequency, density};
    const Picture still(cells, 640, 480);
    ASSERT_TRUE(still.status.ok);
    const PlotSettings drawn = spectrogram_settings(still.settings);
    PlotView view;
    ASSERT_TRUE(plot_view(drawn, asked_limits(drawn), view).ok);
    const WorldPoint cell = pixel_of_data(still.painter, plot_layout(drawn), view, {2.4, 21});   // segment 3, bin 2

    std::vector<PlotInput> inputs{{-1, PointerGesture{PointerGesture::Kind::click, cell.x, cell.y}},
                                  {-1, PointerGesture{PointerGesture::Kind::wheel, cell.x, cell.y, 0, 0, 1}}};
    std::size_t next = 0;
    std::vector<std::string> picked;
    PlotIo io;
    io.read_key = [] { return kKeyEscape; };
    io.read_input = [&] { return next < inputs.size() ? inputs[next++] : PlotInput{kKeyEscape, std::nullopt}; };
    io.picked = [&](const std::string& text) { picked.push_back(text); };
    const Picture clicked(cells, 640, 480, nullptr, nullptr, io);
    ASSERT_TRUE(clicked.status.ok);
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0], "Point 3, 2: x 2.5, y 20, " + [&] {
        char level[32];
        std::snprintf(level, sizeof level, "%.1f dB", 10 * std::log10(density[2 * 3 + 1]));
        return std::string(level);
    }());
    // Time from 0 to 4 zoomed by 0.8 about 2.4 (the readout's value): 0.48 .. 3.68.
    EXPECT_NEAR(clicked.memory.view.shown_x_lo(), 2.4 - 2.4 * kWheelZoomFactor, 1e-9);
    EXPECT_NEAR(clicked.memory.view.shown_x_hi(), 2.4 + 1.6 * kWheelZoomFactor, 1e-9);
    EXPECT_EQ(clicked.memory.view.shown_y_lo(), still.settings.y_min);
}

}  // namespace
}  // namespace zeph
