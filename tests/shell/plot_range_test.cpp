#include "shell/plot_range.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zeph {
namespace {

void expect_range(const PlotRange& r, double x_min, double x_max, double y_min, double y_max) {
    EXPECT_DOUBLE_EQ(r.x_min, x_min);
    EXPECT_DOUBLE_EQ(r.x_max, x_max);
    EXPECT_DOUBLE_EQ(r.y_min, y_min);
    EXPECT_DOUBLE_EQ(r.y_max, y_max);
}

TEST(PlotRange, CurveSpansItsGridAndItsFiniteValues) {
    const std::vector<double> y{3, -1, std::numeric_limits<double>::quiet_NaN(), 7,
                                std::numeric_limits<double>::infinity()};
    expect_range(default_plot_range({.y = y, .xmin = 2, .dx = 0.5}), 2, 4.5, -1, 7);
    // WR: one width more on either side.
    expect_range(default_plot_range({.y = y, .xmin = 2, .dx = 0.5, .wrap = true}), -0.5, 7, -1, 7);
}

TEST(PlotRange, XyIsSquareOverBothCoordinates) {
    const std::vector<double> x{-5, 1, 2}, y{0, 3, 4};
    expect_range(default_plot_range({.y = y, .x = x, .dx = 0, .xy = true}), -5, 4, -5, 4);
}

TEST(PlotRange, PowerEndsAtTheReferenceOrTheCumulativeTotal) {
    const std::vector<double> y{1, 2, 3, 4};
    // A linked spectrum's power: up to the reference power, or 100 dB below its level.
    expect_range(default_plot_range({.y = y, .power = true, .linked_spectrum = true, .reference_power = 50}),
                 0, 4, 0, 50);
    expect_range(default_plot_range({.y = y, .decibels = 1, .power = true, .linked_spectrum = true,
                                     .reference_level = 17}),
                 0, 4, -83, 17);
    // Cumulative power: up to the total, in dB 10·DB·log10 of it.
    expect_range(default_plot_range({.y = y, .power = true, .cumulative = true, .cumulative_total = 1000}),
                 0, 4, 0, 1000);
    expect_range(default_plot_range({.y = y, .decibels = 2, .power = true, .cumulative = true,
                                     .cumulative_total = 1000}),
                 0, 4, -40, 60);
    // Not a power: the values decide.
    expect_range(default_plot_range({.y = y, .linked_spectrum = true, .reference_power = 50}), 0, 4, 1, 4);
}

TEST(PlotRange, DecibelsWithoutAReferenceTakeTheHighestValue) {
    const std::vector<double> y{-20, -3, -770};
    expect_range(default_plot_range({.y = y, .decibels = 2}), 0, 3, -103, -3);
}

TEST(PlotRange, ScaleFactorsApplyToTheReference) {
    const std::vector<double> y{1, 2};
    expect_range(default_plot_range({.y = y, .power = true, .linked_spectrum = true, .reference_power = 10,
                                     .scaled = true, .ym = 2, .yo = 1}),
                 0, 2, 1, 21);
}

TEST(PlotRange, NoFiniteValueLeavesAnEmptyRangeThatIsWidened) {
    const std::vector<double> y{std::numeric_limits<double>::quiet_NaN()};
    const PlotRange r = default_plot_range({.y = y, .dx = 0});
    expect_range(r, 0, 0, 0, 0);
    expect_range(widened(r), -1, 1, -1, 1);
    expect_range(widened({1, 2, 3, 4}), 1, 2, 3, 4);
}

}  // namespace
}  // namespace zeph
