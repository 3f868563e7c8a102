// Window shapes on the abscissa, their refusals and the Kaiser and
// root-raised-cosine special functions against independent values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/windows.hpp"

namespace zeph {
namespace {

constexpr Complex kSample{1.0, 2.0};   // a weight must scale both parts

std::vector<Complex> windowed(int n, double xmin, double dx, const WindowParameters& w) {
    std::vector<Complex> s(static_cast<std::size_t>(n), kSample);
    const Status status = apply_window(s, xmin, dx, w);
    EXPECT_TRUE(status.ok) << status.message;
    return s;
}

// The real weight a windowed sample was multiplied by, checking that the
// imaginary part got the same one.
double weight_of(const Complex& v) {
    EXPECT_NEAR(v.imag(), 2.0 * v.real(), 1e-15);
    return v.real();
}

TEST(Window, CosineTaperBetweenFlatRegionAndEnds) {
    const WindowParameters w{'C', 0.0, 1.0, 0.5};
    EXPECT_NEAR(window_weight(w, 0.125, 0.05), std::sqrt(0.5), 1e-15);   // cos(π/4)
    EXPECT_NEAR(window_weight(w, 0.875, 0.05), std::sqrt(0.5), 1e-15);
    // x = −0.5 … 1.5 in steps of 0.05.
    const std::vector<Complex> s = windowed(41, -0.5, 0.05, w);
    for (int i = 0; i < 41; ++i) {
        const double x = -0.5 + i * 0.05;
        const double weight = weight_of(s[static_cast<std::size_t>(i)]);
        if (x < -1e-9 || x > 1.0 + 1e-9) {
            EXPECT_EQ(weight, 0.0) << x;
        } else if (x > 0.25 - 1e-9 && x < 0.75 + 1e-9) {
            EXPECT_NEAR(weight, 1.0, 1e-12) << x;
        } else if (std::abs(x) < 1e-9 || std::abs(x - 1.0) < 1e-9) {
            EXPECT_NEAR(weight, 0.0, 1e-12) << x;   // cos(±π/2)
        }
        EXPECT_NEAR(weight, weight_of(s[static_cast<std::size_t>(40 - i)]), 1e-12) << "symmetry at " << x;
    }
    for (int i = 10; i < 15; ++i) EXPECT_LT(weight_of(s[i]), weight_of(s[i + 1])) << "rising edge";
}

TEST(Window, SquaredCosineIsHalfPowerAtMidTaper) {
    EXPECT_NEAR(window_weight({'S', 0.0, 1.0, 0.5}, 0.125, 0.05), 0.5, 1e-15);
    EXPECT_NEAR(window_weight({'s', 0.0, 1.0, 0.5}, 0.5, 0.05), 1.0, 1e-15);
}

TEST(Window, RectangularKeepsClosedIntervalWhateverTheFlatRegion) {
    for (double flat : {0.0, 3.0}) {
        const std::vector<Complex> s = windowed(12, 0.0, 1.0, {'R', 2.0, 7.0, flat});
        for (int i = 0; i < 12; ++i) EXPECT_EQ(weight_of(s[i]), (i >= 2 && i <= 7) ? 1.0 : 0.0) << i;
    }
}

TEST(Window, NotchRemovesBinsFrom49To51) {
    const std::vector<Complex> s = windowed(101, 0.0, 1.0, {'N', 49.0, 51.0, 0.0});
    for (int i = 0; i < 101; ++i) EXPECT_EQ(s[i], (i >= 49 && i <= 51) ? Complex{} : kSample) << i;
}

TEST(Window, RefusalsLeaveTheSignalUnchanged) {
    struct Case {
        WindowParameters parameters;
        std::string message;
    };
    const std::vector<Case> cases{
        {{'C', 0.0, 1.0, 1.0}, "ERROR. Window length is zero."},
        {{'C', 1.0, 1.0, 0.0}, "ERROR. Window length is zero."},
        {{'K', 2.0, 1.0, -5.0}, "ERROR. Window length is zero."},
        {{'X', 0.0, 1.0, 1.0}, "ERROR. Window length is zero."},   // the length is checked first
        {{'X', 0.0, 1.0, 0.0}, "ERROR. Window type must be C, S, R, K, or N."},
        {{' ', 0.0, 1.0, 0.0}, "ERROR. Window type must be C, S, R, K, or N."},
        {{'O', 0.0, 1.0, 0.0, 13.0, 0.0, 0.5}, kWindowPulseInvalid},
        {{'o', 0.0, 1.0, 0.0, 13.0, 0.1, 1.5}, kWindowPulseInvalid},
        {{'O', 0.0, 1.0, 0.0, 13.0, 0.1, -0.1}, kWindowPulseInvalid},
    };
    for (const Case& c : cases) {
        std::vector<Complex> s(20, kSample);
        const Status status = apply_window(s, 0.0, 0.1, c.parameters);
        EXPECT_FALSE(status.ok) << c.message;
        EXPECT_EQ(status.message, c.message);
        for (const Complex& v : s) EXPECT_EQ(v, kSample);
    }
}

TEST(Window, LengthModeIsSaOrXvInOneCase) {
    const std::vector<std::pair<const char*, WindowLengthMode>> good{
        {"SA", WindowLengthMode::sample_numbers}, {"sa", WindowLengthMode::sample_numbers},
        {"XV", WindowLengthMode::abscissa_values}, {"xv", WindowLengthMode::abscissa_values}};
    for (const auto& [reply, expected] : good) {
        const Result<WindowLengthMode> mode = parse_window_length_mode(reply);
        ASSERT_TRUE(mode) << reply;
        EXPECT_EQ(mode.value(), expected) << reply;
    }
    for (const char* bad : {"Sa", "xV", "S", ""}) {
        EXPECT_FALSE(parse_window_length_mode(bad)) << bad;
        EXPECT_EQ(parse_window_length_mode(bad).message(), "ERROR. Invalid entry. Must be XV or SA") << bad;
    }
}

TEST(Window, SampleNumbersConvertToAbscissa) {
    const WindowParameters w = window_in_abscissa_units({'C', 1.0, 101.0, 10.0, 13.0, 4.0, 0.3}, 0.0, 0.01);
    EXPECT_NEAR(w.min, 0.0, 1e-15);
    EXPECT_NEAR(w.max, 1.0, 1e-15);
    EXPECT_NEAR(w.flat, 0.1, 1e-15);
    EXPECT_NEAR(w.rrc_symbol_length, 0.04, 1e-15);
    EXPECT_EQ(w.rrc_rolloff, 0.3);
    const WindowParameters shifted = window_in_abscissa_units({'C', 3.0, 5.0, 0.0}, -2.0, 0.5);
    EXPECT_DOUBLE_EQ(shifted.min, -1.0);
    EXPECT_DOUBLE_EQ(shifted.max, 0.0);
}

TEST(Window, KaiserWithZeroBetaIsFlat) {
    const std::vector<Complex> s = windowed(21, 0.0, 0.05, {'k', 0.0, 1.0, 0.2, 0.0});   // either case
    for (const Complex& v : s) EXPECT_EQ(v, kSample);
}

TEST(Window, KaiserTaperAgainstModifiedBesselFunction) {
    for (double z : {0.0, 0.5, 3.0, 6.5, 10.0}) {
        EXPECT_NEAR(bessel_i0_series(z) / std::cyl_bessel_i(0.0, z), 1.0, 1e-7) << z;
    }
    const double beta = 13.0;
    const WindowParameters w{'K', 0.0, 1.0, 0.5, beta};   // C = 0.25, flat region [0.25, 0.75]
    for (double x : {0.0, 0.05, 0.125, 0.2, 0.9, 1.0}) {
        const double d = x < 0.5 ? x - 0.25 : x - 0.75;
        const double expected = std::cyl_bessel_i(0.0, beta / 2.0 * std::sqrt(1.0 - (d / 0.25) * (d / 0.25))) /
                                std::cyl_bessel_i(0.0, beta / 2.0);
        EXPECT_NEAR(window_weight(w, x, 0.01) / expected, 1.0, 1e-7) << x;
    }
    EXPECT_EQ(window_weight(w, 0.5, 0.01), 1.0);
    EXPECT_EQ(window_weight(w, 1.0001, 0.01), 0.0);
    EXPECT_EQ(kaiser_taper(beta, 0.3, 0.25), 0.0);
    EXPECT_EQ(kaiser_taper(beta, std::nextafter(0.25, 1.0), 0.25), 0.0);
}

// h(0) = 1 − α + 4α/π and h(±T/(4α)) = (α/√2)·[(1 + 2/π)·sin(π/(4α)) + (1 − 2/π)·cos(π/(4α))],
// the closed forms of the pulse at its singular points (per unit 1/T).
double rrc_at_zero(double alpha) { return 1.0 - alpha + 4.0 * alpha / M_PI; }
double rrc_at_quarter(double alpha) {
    const double a = M_PI / (4.0 * alpha);
    return alpha / std::sqrt(2.0) * ((1.0 + 2.0 / M_PI) * std::sin(a) + (1.0 - 2.0 / M_PI) * std::cos(a));
}

TEST(Window, RootRaisedCosineSingularPointsAreFiniteLimits) {
    const double dx = 0.01;
    const double delta = 1e-5 * dx;
    for (double alpha : {0.25, 0.5, 1.0}) {
        EXPECT_NEAR(root_raised_cosine(0.0, 0.4, alpha, delta), rrc_at_zero(alpha), 1e-9) << alpha;
        const double quarter = 0.4 / (4.0 * alpha);
        EXPECT_NEAR(root_raised_cosine(quarter, 0.4, alpha, delta), rrc_at_quarter(alpha), 1e-7) << alpha;
        EXPECT_NEAR(root_raised_cosine(-quarter, 0.4, alpha, delta), rrc_at_quarter(alpha), 1e-7) << alpha;
    }
    // α = 0: a sinc, zero at the symbol length.
    EXPECT_NEAR(root_raised_cosine(0.4, 0.4, 0.0, delta), 0.0, 1e-15);
    EXPECT_NEAR(root_raised_cosine(0.2, 0.4, 0.0, delta), 2.0 / M_PI, 1e-15);
}

TEST(Window, RootRaisedCosineTaperIsOneAtFlatEdgeAndFiniteEverywhere) {
    // Min 0, Max 2, flat 0.4: C = 0.8, q = 0.8, r = 1.2. Tc = 0.4, α = 0.25: singular at |d| = 0.4.
    const WindowParameters w{'O', 0.0, 2.0, 0.4, 13.0, 0.4, 0.25};
    const double dx = 0.01;
    EXPECT_NEAR(window_weight(w, 0.8, dx), 1.0, 1e-12);
    EXPECT_NEAR(window_weight(w, 1.2, dx), 1.0, 1e-12);
    EXPECT_NEAR(window_weight(w, 1.0, dx), 1.0, 1e-12);
    EXPECT_NEAR(window_weight(w, 0.4, dx), rrc_at_quarter(0.25) / rrc_at_zero(0.25), 1e-7);
    EXPECT_NEAR(window_weight(w, 1.6, dx), rrc_at_quarter(0.25) / rrc_at_zero(0.25), 1e-7);
    const std::vector<Complex> s = windowed(241, -0.2, dx, w);
    for (const Complex& v : s) EXPECT_TRUE(std::isfinite(v.real()) && std::isfinite(v.imag()));
    EXPECT_EQ(s[0], Complex{});   // x = −0.2, outside
}

}  // namespace
}  // namespace zeph
