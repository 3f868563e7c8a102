// Ticks, grids, zero lines and axis numbers, as values and as pixels.
#include "plot/axes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "plot/plot_driver.hpp"

namespace zeph {
namespace {

constexpr RgbColour kWhite{255, 255, 255};

AxisScale linear(double lo, double hi, int n) { return {lo, hi, n, false}; }
AxisScale decades(double lo_exponent, int n) { return {lo_exponent, lo_exponent + n, n, true}; }

TEST(AxisTicks, LinearAxisHasTenthsWithALongerFifth) {
    const std::vector<Tick> ticks = axis_ticks(linear(0, 1, 4), 10000);
    ASSERT_EQ(ticks.size(), 5u + 4 * 9);
    int major = 0, middle = 0;
    for (const Tick& t : ticks) {
        major += t.length == kMajorTickLength;
        middle += t.length == kMiddleTickLength;
    }
    EXPECT_EQ(major, 5);
    EXPECT_EQ(middle, 4);
    // The minor ticks of the second division sit at its tenths.
    EXPECT_NEAR(ticks[10 + 1].position, 2500 + 250, 1e-9);
    EXPECT_EQ(ticks[10 + 5].length, kMiddleTickLength);
    EXPECT_EQ(ticks.back().position, 10000);
}

TEST(AxisTicks, ThreeDecadesShowFourMajorAndEightMinorTicksEach) {
    const std::vector<Tick> ticks = axis_ticks(decades(0, 3), 9000);
    ASSERT_EQ(ticks.size(), 4u + 3 * 8);
    // Inside the first decade the ticks lie at log10(m) of its width; m = 5 is longer.
    for (int m = 2; m <= 9; ++m) {
        const Tick& t = ticks[static_cast<std::size_t>(m - 1)];
        EXPECT_NEAR(t.position, 3000 * std::log10(m), 1e-9);
        EXPECT_EQ(t.length, m == 5 ? kMiddleTickLength : kMinorTickLength);
    }
}

TEST(GridLines, CountsAndSolidLinesPerCode) {
    const AxisScale five = linear(0, 1, 5);
    const std::vector<GridLine> full = grid_lines(five, 10000, 4);
    ASSERT_EQ(full.size(), 50u);
    std::vector<double> solid;
    for (const GridLine& g : full)
        if (g.solid) solid.push_back(g.position);
    EXPECT_EQ(solid, (std::vector<double>{2000, 4000, 6000, 8000, 10000}));

    EXPECT_EQ(grid_lines(five, 10000, 0).size(), 0u);
    EXPECT_EQ(grid_lines(five, 10000, 7).size(), 0u);   // unknown codes draw nothing
    const std::vector<GridLine> partial = grid_lines(five, 10000, 1);
    ASSERT_EQ(partial.size(), 5u);
    EXPECT_FALSE(partial.front().solid);
    EXPECT_EQ(partial.front().position, 2000);
    EXPECT_TRUE(grid_lines(five, 10000, 3).front().solid);
    EXPECT_EQ(std::count_if(full.begin(), full.end(), [](const GridLine& g) { return !g.solid; }), 45);

    // Logarithmic: 2..10 of each decade, the decade line solid for code 4.
    const std::vector<GridLine> log_full = grid_lines(decades(0, 2), 6000, 4);
    ASSERT_EQ(log_full.size(), 18u);
    EXPECT_NEAR(log_full[0].position, 3000 * std::log10(2.0), 1e-9);
    EXPECT_TRUE(log_full[8].solid);
    EXPECT_NEAR(log_full[8].position, 3000, 1e-9);
    EXPECT_EQ(grid_lines(decades(0, 2), 6000, 1).size(), 2u);
}

TEST(AxisTicks, AbsurdDivisionCountsDrawNothing) {
    const AxisScale dense = linear(0, 1, 2000000000);
    EXPECT_TRUE(axis_ticks(dense, 13000).empty());
    EXPECT_TRUE(grid_lines(dense, 13000, 2).empty());
    EXPECT_TRUE(axis_number_labels(1, 0, 2000000000, true).empty());
    EXPECT_TRUE(axis_ticks(linear(0, 1, -3), 13000).empty());
    EXPECT_EQ(axis_ticks(linear(0, 1, kMaxDrawnDivisions), 13000).size(), kMaxDrawnDivisions * 10u + 1);
}

TEST(ZeroLine, LiesWhereZeroFallsStrictlyInsideTheLimits) {
    EXPECT_NEAR(*zero_line_position(linear(-1, 3, 4), 10000), 2500, 1e-9);
    EXPECT_FALSE(zero_line_position(linear(0, 3, 4), 10000));
    EXPECT_FALSE(zero_line_position(linear(-3, -1, 4), 10000));
    // On a logarithmic axis the line marks the value 1 (exponent 0).
    EXPECT_NEAR(*zero_line_position(decades(-1, 3), 9000), 3000, 1e-9);
}

TEST(AxisNumbers, LargeLinearNumbersShareOneExponent) {
    const std::vector<std::string> labels = axis_number_labels(2000000, 0, 4, true);
    EXPECT_EQ(labels, (std::vector<std::string>{"   0.       ", " 0.50000E+06", " 1.00000E+06", " 1.50000E+06",
                                                " 2.00000E+06"}));
}

TEST(AxisNumbers, ModerateLinearNumbersAreFixedPoint) {
    EXPECT_EQ(axis_number_labels(10, 0, 4, true),
              (std::vector<std::string>{"   0.       ", "  2.5000    ", "  5.0000    ", "  7.5000    ", " 10.0000    "}));
    // e = -1: six decimals; a negative number drops its leading zero to fit 8 characters.
    EXPECT_EQ(axis_number_labels(0.5, -0.5, 2, true),
              (std::vector<std::string>{"-.500000    ", "   0.       ", "0.500000    "}));
    // e = 5: no decimals, but the point stays.
    EXPECT_EQ(axis_number_labels(500000, -500000, 1, true)[0], "-500000.    ");
    // e = -2 is outside the fixed-point range.
    EXPECT_EQ(axis_number_labels(0.02, 0.01, 1, true)[1], " 2.00000E-02");
    // The exponent is the one written after rounding to 6 digits.
    EXPECT_EQ(axis_number_labels(999999.9, 0, 1, true)[1], " 1.00000E+06");
}

TEST(AxisNumbers, RoundingNoiseAtTheCentreIsWrittenAsZero) {
    // Limits a hair off symmetric put the middle tick at -0.00006.
    const std::vector<std::string> labels = axis_number_labels(1.49994, -1.50006, 10, true);
    EXPECT_EQ(labels[5], "   0.       ");
    EXPECT_EQ(labels[0], "-1.50006    ");
    // A small value that is a real part of a division stays as it is.
    EXPECT_EQ(axis_number_labels(1.4, -1.6, 10, true)[5], "-0.10000    ");
    // The limits are the user's own numbers, however close to zero.
    EXPECT_EQ(axis_number_labels(1, 0.00001, 10, true)[0], " 0.00001    ");
}

TEST(AxisNumbers, LogarithmicEntriesCarryTheirOwnExponent) {
    EXPECT_EQ(axis_number_labels(1000, 1, 3, false),
              (std::vector<std::string>{" 1.00000E+00", " 1.00000E+01", " 1.00000E+02", " 1.00000E+03"}));
    EXPECT_EQ(axis_number_labels(0.3, 0.003, 2, false)[0], " 3.00000E-03");
}

TEST(AxisNumbers, WhichEntriesAreDrawn) {
    EXPECT_EQ(drawn_label_indices(4), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(drawn_label_indices(10), (std::vector<int>{0, 5, 10}));
    EXPECT_EQ(drawn_label_indices(5), (std::vector<int>{0, 5}));
}

// --- Pixels: the layers drawn on a default 13000 × 10000 frame. ---

class AxesPixels : public ::testing::Test {
protected:
    static constexpr int kWidth = 640, kHeight = 480;

    void SetUp() override {
        ASSERT_TRUE(painter_.graphics_open(kWidth, kHeight, 0).ok);
        const PlotLayout layout = plot_layout(settings_);
        painter_.set_world_window(layout.window.x_min, layout.window.y_min, layout.window.x_max, layout.window.y_max);
        settings_.x_grid = settings_.y_grid = 0;
    }

    // Pixel column (row) of a world x (y), computed from the window's extents.
    static int column_of(double x) { return static_cast<int>(std::lround((x + 3500) * (kWidth - 1) / 17666.66666667)); }
    static int row_of(double y) {
        return (kHeight - 1) - static_cast<int>(std::lround((y + 2150) * (kHeight - 1) / 13250.0));
    }

    bool painted(int x, int y) const { return canvas_.pixel(x, y) != kWhite; }
    int painted_in_rows(int top, int bottom) const {
        int n = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = 0; x < kWidth; ++x) n += painted(x, y);
        return n;
    }
    // Columns strictly inside the frame with a painted pixel on one of the rows.
    int painted_columns(int top, int bottom) const {
        int n = 0;
        for (int x = column_of(0) + 2; x < column_of(13000) - 1; ++x) {
            bool any = false;
            for (int y = top; y <= bottom; ++y) any = any || painted(x, y);
            n += any;
        }
        return n;
    }

    GraphicsCanvas canvas_{1, 1};
    Painter painter_{canvas_};
    PlotSettings settings_;
    PlotFrame frame_;
};

TEST_F(AxesPixels, FrameRunsUpTheLeftAndAlongTheBottom) {
    draw_plot_background(painter_, frame_, linear(0, 1, 10), linear(0, 1, 10), settings_);
    const int left = column_of(0), bottom = row_of(0), right = column_of(13000), top = row_of(10000);
    for (int y = top; y <= bottom; y += 7) EXPECT_TRUE(painted(left, y)) << y;
    for (int x = left; x <= right; x += 7) EXPECT_TRUE(painted(x, bottom)) << x;
    // No right or top side.
    EXPECT_FALSE(painted(right, (top + bottom) / 2));
    EXPECT_FALSE(painted((left + right) / 2, top));
    // Ticks point out of the frame: below the bottom side, not above it.
    EXPECT_TRUE(painted(column_of(1300), row_of(-200)));
    EXPECT_FALSE(painted(column_of(1300), row_of(400)));
}

TEST_F(AxesPixels, NoAxesModeStillDrawsGrids) {
    settings_.axes_mode = 0;
    settings_.y_grid = 3;
    draw_plot_background(painter_, frame_, linear(0, 1, 4), linear(0, 1, 4), settings_);
    const int middle_column = column_of(6500);
    int lines = 0;
    for (int y = row_of(10000) - 1; y <= row_of(0) + 1; ++y) lines += painted(middle_column, y);
    EXPECT_EQ(lines, 4);                                  // the solid lines at 1/4 .. 4/4
    EXPECT_FALSE(painted(column_of(0), row_of(6000)));    // no frame
    EXPECT_EQ(painted_in_rows(row_of(-100), row_of(-260)), 0);   // no ticks
}

TEST_F(AxesPixels, FullDottedGridDrawsOneLinePerTenth) {
    settings_.axes_mode = 0;
    settings_.x_grid = 2;
    draw_plot_background(painter_, frame_, linear(0, 1, 2), linear(0, 1, 2), settings_);
    // Eight rows hold one whole period of the dot pattern of every vertical line.
    EXPECT_EQ(painted_columns(row_of(5000), row_of(5000) + 7), 19);   // 20 tenths, the last on the right edge
}

TEST_F(AxesPixels, ZeroLineAtAQuarterOfTheHeight) {
    settings_.zero_axes = 1;
    draw_zero_lines(painter_, frame_, linear(0, 1, 10), linear(-1, 3, 4), settings_);
    const int frame_columns = column_of(13000) - column_of(0) - 3;
    EXPECT_EQ(painted_columns(row_of(2500), row_of(2500)), frame_columns);
    EXPECT_EQ(painted_columns(row_of(2500) - 3, row_of(2500) - 1), 0);
    EXPECT_EQ(painted_columns(row_of(2500) + 1, row_of(2500) + 3), 0);
}

TEST_F(AxesPixels, ExponentRowAppearsOnlyForSharedExponents) {
    // The band below the numbers' row, where an exponent part is drawn.
    const int top = row_of(-900), bottom = row_of(-1150);
    draw_axis_numbers(painter_, frame_, linear(0, 10, 4), linear(0, 1, 4), settings_);
    const int numbers = painted_in_rows(row_of(-500), row_of(-820));
    EXPECT_GT(numbers, 0);
    EXPECT_EQ(painted_in_rows(top, bottom), 0);

    canvas_.clear();
    draw_axis_numbers(painter_, frame_, linear(0, 2000000, 4), linear(0, 1, 4), settings_);
    EXPECT_GT(painted_in_rows(top, bottom), 0);

    canvas_.clear();
    settings_.axes_mode = 1;
    draw_axis_numbers(painter_, frame_, linear(0, 2000000, 4), linear(0, 1, 4), settings_);
    EXPECT_EQ(painted_in_rows(0, kHeight - 1), 0);
}

TEST_F(AxesPixels, PolarGridHasSpokesAndCircles) {
    settings_.graph_type = 1;
    settings_.x_grid = settings_.y_grid = 1;
    const PlotLayout layout = plot_layout(settings_);
    painter_.set_world_window(layout.window.x_min, layout.window.y_min, layout.window.x_max, layout.window.y_max);
    draw_plot_background(painter_, layout.frame, linear(-1, 1, 4), linear(-1, 1, 2), settings_);
    const PixelPoint centre = painter_.to_pixel(5000, 5000);
    const PixelPoint up = painter_.to_pixel(5000, 9000);      // on the spoke at 90 degrees
    const PixelPoint rim = painter_.to_pixel(5000, 10000);    // on the outer circle
    const PixelPoint off = painter_.to_pixel(6500, 6200);     // between spokes and circles
    EXPECT_TRUE(painted(centre.x, centre.y));
    EXPECT_TRUE(painted(up.x, up.y));
    EXPECT_TRUE(painted(rim.x, rim.y));
    EXPECT_FALSE(painted(off.x, off.y));
}

}  // namespace
}  // namespace zeph
