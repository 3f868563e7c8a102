#include "dsp/linear_transform.hpp"

#include <gtest/gtest.h>

#include "tests/support/random_signal.hpp"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "dsp/fft.hpp"

namespace zeph {
namespace {

using testing::random_signal;

LinearTransformSettings settings(LinearTransformType type, double a, double b, double f = 0, double theta = 0) {
    return {type, a, b, f, theta};
}

TEST(LinearTransform, TypeIsTheFirstLetterInEitherCase) {
    const std::pair<const char*, LinearTransformType> accepted[] = {
        {"A", LinearTransformType::add},         {"m", LinearTransformType::multiply},
        {"Exp", LinearTransformType::exponential}, {"s", LinearTransformType::cosine},
        {"conj", LinearTransformType::conjugate},
    };
    for (const auto& [reply, expected] : accepted) {
        const Result<LinearTransformType> type = parse_linear_transform_type(reply);
        ASSERT_TRUE(type) << reply;
        EXPECT_EQ(type.value(), expected) << reply;
        EXPECT_EQ(linear_transform_letter(type.value()), std::toupper(reply[0]));
    }
    for (const char* reply : {"X", "", " A", "1"}) {
        const Result<LinearTransformType> type = parse_linear_transform_type(reply);
        EXPECT_FALSE(type) << reply;
        EXPECT_EQ(type.message(), "ERROR. Type must be A, M, E, S, or C.") << reply;
    }
}

TEST(LinearTransform, AddAndMultiplyUseSinglePrecisionConstants) {
    std::vector<Complex> x{{0, 0}, {2, -1}};
    apply_linear_transform(x, 0, 1, settings(LinearTransformType::add, 1, 0));
    EXPECT_EQ(x[0], Complex(1, 0));
    EXPECT_EQ(x[1], Complex(3, -1));

    std::vector<Complex> zero{{0, 0}};
    apply_linear_transform(zero, 0, 1, settings(LinearTransformType::add, 0.1, 0.2));
    EXPECT_NEAR(zero[0].real(), 0.100000001490116, 1e-15);
    EXPECT_NE(zero[0].real(), 0.1);
    EXPECT_NEAR(zero[0].imag(), 0.200000002980232, 1e-15);

    std::vector<Complex> y{{1, 0}, {3, 4}};
    apply_linear_transform(y, 0, 1, settings(LinearTransformType::multiply, 0, 1));   // 90° rotation
    EXPECT_EQ(y[0], Complex(0, 1));
    EXPECT_EQ(y[1], Complex(-4, 3));
}

TEST(LinearTransform, ExponentialOnAWaveformShiftsTheSpectrumUpOneBin) {
    const int n = 64;
    const double dt = 0.01, df = 1.0 / (n * dt);
    const std::vector<Complex> waveform = random_signal(n, 4);
    std::vector<Complex> shifted = waveform;
    apply_linear_transform(shifted, 0.0, dt, settings(LinearTransformType::exponential, 1, 0, df));

    BitReverseTable table;
    std::vector<Complex> before(n), after(n);
    Grid frequency;
    ASSERT_TRUE(create_spectrum(waveform, Grid{n, 0.0, dt}, before, frequency, table));
    ASSERT_TRUE(create_spectrum(shifted, Grid{n, 0.0, dt}, after, frequency, table));
    double largest = 0;
    for (const Complex& v : before) largest = std::max(largest, std::abs(v));
    for (int i = 0; i < n; ++i)   // 2π·f is rounded to single precision: phase errors near 1e-7
        EXPECT_NEAR(std::abs(after[static_cast<std::size_t>((i + 1) % n)] - before[static_cast<std::size_t>(i)]), 0.0,
                    1e-6 * largest)
            << i;
}

TEST(LinearTransform, ExponentialRoundsTwoPiFToSinglePrecision) {
    // At x = 10^6 the rounding of 2π·0.1 moves the phase by about 0.04 rad.
    std::vector<Complex> x{{1, 0}};
    apply_linear_transform(x, 1e6, 1, settings(LinearTransformType::exponential, 1, 0, 0.1));
    const double single_omega = static_cast<float>(kTwoPi * 0.1);
    EXPECT_NEAR(std::abs(x[0] - std::polar(1.0, single_omega * 1e6)), 0.0, 1e-9);
    EXPECT_GT(std::abs(x[0] - std::polar(1.0, kTwoPi * 0.1 * 1e6)), 1e-2);
}

TEST(LinearTransform, CosineModulatesAtDoublePrecision) {
    const std::vector<Complex> x = random_signal(8, 6);
    std::vector<Complex> same = x;
    apply_linear_transform(same, 3.0, 0.5, settings(LinearTransformType::cosine, 1, 0, 0, 0));
    EXPECT_EQ(same, x);

    std::vector<Complex> zeroed = x;
    apply_linear_transform(zeroed, 3.0, 0.5, settings(LinearTransformType::cosine, 1, 0, 0, kPi / 2));
    for (const Complex& v : zeroed) EXPECT_NEAR(std::abs(v), 0.0, 1e-15);

    std::vector<Complex> tenth{{1, 0}};
    apply_linear_transform(tenth, 0, 1, settings(LinearTransformType::cosine, 0.1, 0, 0, 0));
    EXPECT_EQ(tenth[0], Complex(0.1, 0));   // A is not rounded to single precision here

    // f = 1 Hz over x = i/8 s: every second sample of cos(2π·i/8 + 0) is 0, ±1.
    std::vector<Complex> ones(8, Complex(1, 1));
    apply_linear_transform(ones, 0, 0.125, settings(LinearTransformType::cosine, 2, 0, 1.0, 0));
    EXPECT_NEAR(ones[0].real(), 2.0, 1e-15);
    EXPECT_NEAR(ones[2].real(), 0.0, 1e-15);
    EXPECT_NEAR(ones[4].imag(), -2.0, 1e-15);
    EXPECT_NEAR(ones[1].real(), 2.0 * std::cos(kPi / 4), 1e-15);
}

TEST(LinearTransform, ConjugateTwiceRestoresTheSignal) {
    const std::vector<Complex> x = random_signal(5, 8);
    std::vector<Complex> y = x;
    apply_linear_transform(y, 0, 1, settings(LinearTransformType::conjugate, 0, 0));
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_EQ(y[i], std::conj(x[i]));
    apply_linear_transform(y, 0, 1, settings(LinearTransformType::conjugate, 0, 0));
    EXPECT_EQ(y, x);
}

// Window sums written out directly, for comparison with the running sum.
std::vector<double> direct_moving_average(const std::vector<double>& x, int h) {
    const int n = static_cast<int>(x.size());
    std::vector<double> out(x.size());
    for (int j = 0; j < n; ++j) {
        double sum = 0;
        for (int i = std::max(0, j - h); i <= std::min(n - 1, j + h); ++i) sum += x[static_cast<std::size_t>(i)];
        out[static_cast<std::size_t>(j)] = sum / (2 * h + 1);
    }
    return out;
}

TEST(MovingAverage, EndsKeepTheFullDivisor) {
    const std::vector<double> ones(7, 1.0);
    std::vector<double> out(7);
    const MovingAverage average = average_ordinate(ones, out, 4.0, 1.0);   // h = nint(0.5·4/1)
    EXPECT_EQ(average.half_width, 2);
    EXPECT_EQ(average.length, 5);
    const std::vector<double> expected{0.6, 0.8, 1.0, 1.0, 1.0, 0.8, 0.6};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_DOUBLE_EQ(out[i], expected[i]) << i;
}

TEST(MovingAverage, HalfWidthRoundsHalvesAwayAndSpanIsLimitedToTheRecord) {
    const std::vector<double> x{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<double> out(x.size());
    EXPECT_EQ(average_ordinate(x, out, 3.0, 1.0).half_width, 2);      // 1.5 → 2
    EXPECT_EQ(average_ordinate(x, out, 1000.0, 0.5).half_width, 5);   // limited to N·DX = 5
    EXPECT_EQ(average_ordinate(x, out, 1000.0, 0.5).length, 11);

    for (double span : {0.49, 0.0, -3.0}) {   // below DX/2, zero, negative: unchanged
        std::vector<double> copy(x.size(), -1.0);
        const MovingAverage average = average_ordinate(x, copy, span, 1.0);
        EXPECT_EQ(average.half_width, 0) << span;
        EXPECT_EQ(average.length, 1) << span;
        EXPECT_EQ(copy, x) << span;
    }
    std::vector<double> copy(x.size());
    EXPECT_EQ(average_ordinate(x, copy, 4.0, 0.0).half_width, 0);   // no step: no division by zero
    EXPECT_EQ(copy, x);
}

TEST(MovingAverage, RunningSumMatchesDirectWindowSumsAlsoInPlace) {
    std::mt19937 generator(2);
    std::uniform_real_distribution<double> uniform(-50.0, 50.0);
    std::vector<double> x(101);
    for (double& v : x) v = uniform(generator);
    for (double span : {2.0, 6.0, 31.0, 101.0}) {
        std::vector<double> out(x.size());
        const MovingAverage average = average_ordinate(x, out, span, 1.0);
        const std::vector<double> expected = direct_moving_average(x, average.half_width);
        for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(out[i], expected[i], 1e-12) << span << " " << i;

        std::vector<double> in_place = x;
        average_ordinate(in_place, in_place, span, 1.0);
        EXPECT_EQ(in_place, out) << span;
    }
}

// A NaN or infinity spoils only the averages whose window holds it; the
// running sum is finite again once it has left.
TEST(MovingAverage, NonFiniteValuesSpoilOnlyTheirWindows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> x(40, 1.0);
    x[5] = nan;
    x[15] = inf;
    x[25] = inf;
    x[26] = -inf;
    x[33] = 1e308;
    x[34] = 1e308;   // the finite sum overflows here and must recover
    std::vector<double> out(x.size());
    average_ordinate(x, out, 2.0, 1.0);   // h = 1
    const std::vector<double> expected = direct_moving_average(x, 1);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (std::isnan(expected[i])) EXPECT_TRUE(std::isnan(out[i])) << i;
        else EXPECT_EQ(out[i], expected[i]) << i;
    }
    EXPECT_DOUBLE_EQ(out[8], 1.0);
    EXPECT_EQ(out[15], inf);
    EXPECT_DOUBLE_EQ(out[20], 1.0);
    EXPECT_TRUE(std::isnan(out[25]));
    EXPECT_DOUBLE_EQ(out[30], 1.0);
    EXPECT_EQ(out[34], inf);
    EXPECT_DOUBLE_EQ(out[38], 1.0);
}

}  // namespace
}  // namespace zeph
