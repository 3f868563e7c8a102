#include "dsp/ordinate.hpp"

#include <gtest/gtest.h>

#include "tests/support/thread_count.hpp"

#include <cmath>
#include <limits>

namespace zeph {
namespace {

std::vector<double> phase_of(const std::vector<double>& angles) {
    std::vector<Complex> z;
    for (double a : angles) z.push_back(std::polar(1.0, a));
    std::vector<double> phase(z.size());
    unwrapped_phase(z, phase);
    return phase;
}

TEST(UnwrappedPhase, ToneGrowsWithoutJumps) {
    std::vector<double> angles;
    for (int k = 0; k < 50; ++k) angles.push_back(2.5 * k);   // 2.5 rad per sample, under pi
    const auto phase = phase_of(angles);
    for (int k = 0; k < 50; ++k) EXPECT_NEAR(phase[static_cast<std::size_t>(k)], 2.5 * k, 1e-9);
}

TEST(UnwrappedPhase, JumpsOfExactlyPi) {
    // Upward by exactly pi stays; downward by exactly pi is corrected upward.
    std::vector<Complex> up{{1, 0}, {-1, 0}};
    std::vector<double> phase(2);
    unwrapped_phase(up, phase);
    EXPECT_DOUBLE_EQ(phase[1], kPi);
    std::vector<Complex> down{{-1, 0}, {1, 0}, {-1, 0}};
    std::vector<double> phase3(3);
    unwrapped_phase(down, phase3);
    EXPECT_DOUBLE_EQ(phase3[0], kPi);
    EXPECT_DOUBLE_EQ(phase3[1], kTwoPi);   // 0 is pi below pi: corrected by 2 pi
    EXPECT_DOUBLE_EQ(phase3[2], 3 * kPi);
}

TEST(UnwrappedPhase, ZeroSampleKeepsTheOffsetAndDegreesScale) {
    std::vector<Complex> z{{0, 1}, {0, 0}, {0, -1}};
    std::vector<double> phase(3);
    unwrapped_phase(z, phase, kDegreesPerRadian);
    EXPECT_NEAR(phase[0], 90.0, 1e-12);
    EXPECT_NEAR(phase[1], 0.0, 1e-12);
    EXPECT_NEAR(phase[2], -90.0, 1e-12);
}

TEST(CentredDerivative, EndsRepeatTheirNeighbours) {
    const std::vector<double> phase{0, 1, 4, 9, 16};
    std::vector<double> d(5);
    centred_derivative(phase, d, 0.5);
    EXPECT_EQ(d, (std::vector<double>{2, 2, 4, 6, 6}));
}

TEST(Regression, ExactLineAndEmptyFits) {
    const std::vector<double> y{1, 3, 5, 7};
    const RegressionLine line = fit_line_on_grid(y, 0.0, 1.0);
    EXPECT_NEAR(line.slope, 2.0, 1e-12);
    EXPECT_NEAR(line.intercept, 1.0, 1e-12);
    EXPECT_EQ(fit_line_on_grid(std::vector<double>{5}, 0.0, 1.0).slope, 0.0);
    const std::vector<double> same_x{2, 2, 2};
    const RegressionLine vertical = fit_line(same_x, y);
    EXPECT_EQ(vertical.slope, 0.0);
    EXPECT_EQ(vertical.intercept, 0.0);
}

TEST(Distribution, DensityIntegratesToOne) {
    std::vector<double> values;
    for (int k = 0; k < 1000; ++k) values.push_back(std::sin(0.37 * k));
    Distribution d;
    ASSERT_TRUE(distribution(values, 17, d));
    double integral = 0;
    for (double v : d.density) integral += v * d.dx;
    EXPECT_NEAR(integral, 1.0, 1e-12);
    EXPECT_NEAR(d.xmin, *std::min_element(values.begin(), values.end()), 0);
}

TEST(Distribution, Refusals) {
    Distribution d;
    const std::vector<double> values{1, 2};
    EXPECT_EQ(distribution(values, 2049, d).message, kTooManyDivisions);
    EXPECT_EQ(distribution(values, 0, d).message, kTooFewDivisions);
    EXPECT_EQ(distribution(std::vector<double>{3, 3}, 5, d).message, kAllValuesEqual);
}

TEST(Cumulate, ForwardBackwardAndFlatOutside) {
    std::vector<double> y{1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(cumulate(y, 0.0, 1.0, 0.0, 3.0), 10.0);
    EXPECT_EQ(y, (std::vector<double>{1, 3, 6, 10}));
    std::vector<double> back{1, 2, 3, 4};
    cumulate(back, 0.0, 1.0, 3.0, 0.0);
    EXPECT_EQ(back, (std::vector<double>{10, 9, 7, 4}));
    std::vector<double> part{1, 2, 3, 4};
    cumulate(part, 0.0, 0.5, 0.5, 1.0);   // only x = 0.5 and 1.0
    EXPECT_EQ(part, (std::vector<double>{0, 1, 2.5, 2.5}));
}

TEST(Decibels, PowerAndAmplitude) {
    std::vector<double> power{100, 0, -1};
    to_decibels(power, 1);
    EXPECT_EQ(power, (std::vector<double>{20, -770, -770}));
    std::vector<double> amplitude{100, 0};
    to_decibels(amplitude, 2);
    EXPECT_EQ(amplitude, (std::vector<double>{40, -1540}));
}

TEST(Decibels, LongArraysGiveEveryValueOnAnyThreadCount) {
    // Several blocks, a partial last one, and zeros and negatives among them.
    const std::size_t n = 100003;
    std::vector<double> values(n);
    for (std::size_t k = 0; k < n; ++k) values[k] = k % 11 == 0 ? -static_cast<double>(k) : 1e-3 * static_cast<double>(k);
    std::vector<double> one = values, two = values;
    testing::with_threads(1, [&] { to_decibels(one, 1); });
    testing::with_threads(2, [&] { to_decibels(two, 1); });
    for (std::size_t k = 0; k < n; ++k) {
        // log10 by vector math: within 2 ULP of the C library's (scaled by 10, 4 of the product).
        const double expected = values[k] > 0 ? 10.0 * std::log10(values[k]) : -770.0;
        ASSERT_NEAR(one[k], expected, 4 * std::numeric_limits<double>::epsilon() * std::fabs(expected)) << k;
        ASSERT_EQ(two[k], one[k]) << k;
    }
}

}  // namespace
}  // namespace zeph
