// CH (cut, shift, extend, relabel) and CS (decimate, interpolate) with their
// grid bookkeeping and refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/resample.hpp"

namespace zeph {
namespace {

// Sample k (1-based) holds k − j·k, so every move is visible.
Complex marked(int k) { return {static_cast<double>(k), -static_cast<double>(k)}; }

struct Signal {
    std::vector<Complex> store;
    ResampleTarget target;
};

// A signal of n marked samples in storage of `capacity`, on the grid
// (xmin, dx) of `domain`; the other grid holds recognisable values.
Signal make_signal(int n, int capacity, Domain domain, double xmin, double dx, bool linked = true) {
    Signal s;
    s.store.assign(static_cast<std::size_t>(capacity), Complex{99.0, 99.0});
    for (int k = 1; k <= n; ++k) s.store[static_cast<std::size_t>(k - 1)] = marked(k);
    s.target.current = SignalRef{{n, xmin, dx}, s.store, domain};
    s.target.waveform = {n, -7.0, 0.125};
    s.target.spectrum = {n, -3.0, 0.25};
    (domain == Domain::time ? s.target.waveform : s.target.spectrum) = s.target.current;
    s.target.linked = linked;
    return s;
}

void expect_same_grid(const Grid& a, const Grid& b) {
    EXPECT_EQ(a.npts, b.npts);
    EXPECT_EQ(a.xmin, b.xmin);
    EXPECT_EQ(a.dx, b.dx);
}

// A refused operation changes neither the samples nor any grid.
void expect_refused(const Status& status, const std::string& message, const Signal& before, const Signal& after) {
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message, message);
    EXPECT_EQ(before.store, after.store);
    expect_same_grid(before.target.current, after.target.current);
    expect_same_grid(before.target.waveform, after.target.waveform);
    expect_same_grid(before.target.spectrum, after.target.spectrum);
}

// ---- CH ----------------------------------------------------------------

TEST(ChangePoints, ExtendingZeroFillsAndRetiesTheSpectrumGrid) {
    Signal s = make_signal(8, 64, Domain::time, 0.5, 0.01);
    ASSERT_TRUE(change_point_count(s.target, 1, 16).ok);
    for (int k = 1; k <= 8; ++k) EXPECT_EQ(s.store[k - 1], marked(k));
    for (int i = 8; i < 16; ++i) EXPECT_EQ(s.store[i], Complex{}) << i;
    EXPECT_EQ(s.store[16], (Complex{99.0, 99.0}));   // nothing written past the new count
    expect_same_grid(s.target.current, {16, 0.5, 0.01});
    expect_same_grid(s.target.waveform, {16, 0.5, 0.01});
    EXPECT_DOUBLE_EQ(s.target.spectrum.dx, 1.0 / (16 * 0.01));
    EXPECT_DOUBLE_EQ(s.target.spectrum.xmin, -8.0 / (16 * 0.01));
}

TEST(ChangePoints, FirstPointElevenDropsTenAndShiftsXmin) {
    Signal s = make_signal(32, 64, Domain::time, 1.0, 0.5);
    ASSERT_TRUE(change_point_count(s.target, 11, 32).ok);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(s.store[i], marked(i + 11)) << i;
    for (int i = 22; i < 32; ++i) EXPECT_EQ(s.store[i], Complex{}) << i;
    EXPECT_DOUBLE_EQ(s.target.current.xmin, 1.0 + 10 * 0.5);
    EXPECT_DOUBLE_EQ(s.target.waveform.xmin, 6.0);
}

TEST(ChangePoints, CuttingFromAFirstPointBelowOneKeepsTheFirstHalf) {
    Signal s = make_signal(8, 8, Domain::time, 2.0, 1.0);
    ASSERT_TRUE(change_point_count(s.target, -3, 4).ok);   // counts as 1
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(s.store[k - 1], marked(k));
    EXPECT_EQ(s.target.current.xmin, 2.0);
}

TEST(ChangePoints, FirstPointPastTheEndLeavesZeros) {
    Signal s = make_signal(8, 16, Domain::time, 0.0, 1.0);
    ASSERT_TRUE(change_point_count(s.target, 20, 12).ok);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(s.store[i], Complex{}) << i;
    EXPECT_EQ(s.target.current.xmin, 19.0);
}

TEST(ChangePoints, SpectrumChangeRetiesTheWaveformGrid) {
    Signal s = make_signal(8, 64, Domain::frequency, -4.0, 2.0);
    ASSERT_TRUE(change_point_count(s.target, 1, 32).ok);
    expect_same_grid(s.target.spectrum, {32, -4.0, 2.0});
    EXPECT_DOUBLE_EQ(s.target.waveform.dx, 1.0 / (32 * 2.0));
    EXPECT_EQ(s.target.waveform.xmin, 0.0);
    EXPECT_EQ(s.target.waveform.npts, 8);   // the other count is the shell's to set
}

TEST(ChangePoints, RefusesMoreThanMaxPointsAndFewerThanOne) {
    const Signal before = make_signal(100, 32768, Domain::time, 0.0, 1.0);
    Signal s = before;
    s.target.current.storage = s.store;
    expect_refused(change_point_count(s.target, 1, 32769), "ERROR.   32768 MAXIMUM POINTS ALLOWED.", before, s);
    EXPECT_EQ(max_points_message(1002), "ERROR.    1002 MAXIMUM POINTS ALLOWED.");
    for (int count : {0, -5}) expect_refused(change_point_count(s.target, 1, count), kNewCountBelowOne, before, s);
    EXPECT_TRUE(change_point_count(s.target, 1, 32768).ok);
}

TEST(ChangeAbscissa, RelabelsAndRefusesAStepNotAboveZero) {
    const Signal before = make_signal(16, 16, Domain::frequency, -8.0, 1.0);
    Signal s = before;
    s.target.current.storage = s.store;
    for (double step : {0.0, -0.5}) {
        expect_refused(change_abscissa(s.target, 3.0, step), "dT or dF must be ≥ 0", before, s);
    }
    ASSERT_TRUE(change_abscissa(s.target, -2.0, 0.5).ok);
    EXPECT_EQ(s.store, before.store);
    expect_same_grid(s.target.spectrum, {16, -2.0, 0.5});
    EXPECT_DOUBLE_EQ(s.target.waveform.dx, 1.0 / (16 * 0.5));
    EXPECT_EQ(s.target.waveform.xmin, 0.0);
}

TEST(ChangeAbscissa, IndependentModeLeavesTheOtherGrid) {
    Signal s = make_signal(16, 16, Domain::time, 0.0, 1.0, false);
    const Grid other = s.target.spectrum;
    ASSERT_TRUE(change_abscissa(s.target, 5.0, 0.25).ok);
    ASSERT_TRUE(change_point_count(s.target, 3, 4).ok);
    expect_same_grid(s.target.spectrum, other);
    expect_same_grid(s.target.waveform, {4, 5.5, 0.25});
}

// ---- CS decrease -------------------------------------------------------

TEST(Decimate, RatioThreeOnTenKeepsOneFourSevenTen) {
    Signal s = make_signal(10, 10, Domain::time, 0.0, 0.1);
    ASSERT_TRUE(decimate(s.target, 1, 3).ok);
    EXPECT_EQ(s.target.current.npts, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.store[i], marked(1 + 3 * i)) << i;
    EXPECT_DOUBLE_EQ(s.target.current.dx, 0.3);
    EXPECT_EQ(s.target.current.xmin, 0.0);
    expect_same_grid(s.target.waveform, s.target.current);
    EXPECT_DOUBLE_EQ(s.target.spectrum.dx, 1.0 / (4 * 0.3));
    EXPECT_DOUBLE_EQ(s.target.spectrum.xmin, -2.0 / (4 * 0.3));
}

TEST(Decimate, LaterFirstPointShiftsXmin) {
    Signal s = make_signal(10, 10, Domain::time, 1.0, 0.5);
    ASSERT_TRUE(decimate(s.target, 2, 4).ok);   // (10 + 4 − 2)/4 = 3 samples: 2, 6, 10
    EXPECT_EQ(s.target.current.npts, 3);
    EXPECT_EQ(s.store[0], marked(2));
    EXPECT_EQ(s.store[1], marked(6));
    EXPECT_EQ(s.store[2], marked(10));
    EXPECT_DOUBLE_EQ(s.target.current.xmin, 1.5);
    EXPECT_DOUBLE_EQ(s.target.current.dx, 2.0);
}

TEST(Decimate, LastSampleAloneAndRatioOneAreKept) {
    Signal s = make_signal(10, 10, Domain::time, 0.0, 1.0);
    ASSERT_TRUE(decimate(s.target, 10, 5).ok);
    EXPECT_EQ(s.target.current.npts, 1);
    EXPECT_EQ(s.store[0], marked(10));
    Signal t = make_signal(6, 6, Domain::time, 0.0, 1.0);
    ASSERT_TRUE(decimate(t.target, 1, 1).ok);
    EXPECT_EQ(t.target.current.npts, 6);
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(t.store[k - 1], marked(k));
}

TEST(Decimate, RefusesRatioBelowOneAndAStartPastTheEnd) {
    const Signal before = make_signal(10, 16, Domain::time, 0.0, 1.0);
    Signal s = before;
    s.target.current.storage = s.store;
    for (int ratio : {0, -2}) expect_refused(decimate(s.target, 1, ratio), kRatioBelowOne, before, s);
    for (int first : {11, 1000}) expect_refused(decimate(s.target, first, 2), kNoSampleKept, before, s);
}

TEST(Decimate, SpectrumIsRecentredOnZeroFrequency) {
    Signal s = make_signal(16, 16, Domain::frequency, 5.0, 1.0, false);
    const Grid other = s.target.waveform;
    ASSERT_TRUE(decimate(s.target, 1, 2).ok);
    expect_same_grid(s.target.current, {8, -8.0, 2.0});
    expect_same_grid(s.target.spectrum, {8, -8.0, 2.0});
    expect_same_grid(s.target.waveform, other);   // independent: the waveform is unrelated
}

// ---- CS increase -------------------------------------------------------

// Two tones inside the band of n samples (no Nyquist component), at time t
// measured in input samples.
Complex tones(double t, int n) {
    return std::polar(1.0, kTwoPi * 5.0 * t / n) + 0.5 * std::cos(kTwoPi * 17.0 * t / n + 0.3) + Complex{0.25, -0.5};
}

TEST(Interpolate, RatioFourOnBandLimitedSignalFollowsTheTones) {
    const int n = 256;
    Signal s = make_signal(n, 4096, Domain::time, 2.0, 0.01);
    for (int i = 0; i < n; ++i) s.store[i] = tones(i, n);
    BitReverseTable table;
    ASSERT_TRUE(interpolate(s.target, 4, table).ok);
    expect_same_grid(s.target.current, {1024, 2.0, 0.0025});
    double worst = 0.0;
    for (int m = 0; m < 1024; ++m) worst = std::max(worst, std::abs(s.store[m] - tones(m / 4.0, n)));
    EXPECT_LT(worst, 1e-12);
    for (int i = 0; i < n; ++i) EXPECT_LT(std::abs(s.store[4 * i] - tones(i, n)), 1e-12) << i;
    EXPECT_DOUBLE_EQ(s.target.spectrum.dx, 1.0 / (1024 * 0.0025));
    EXPECT_DOUBLE_EQ(s.target.spectrum.xmin, -512.0 / (1024 * 0.0025));
}

TEST(Interpolate, RemovesTheNyquistComponent) {
    Signal s = make_signal(8, 64, Domain::time, 0.0, 1.0);
    for (int i = 0; i < 8; ++i) s.store[i] = (i % 2 == 0 ? 1.0 : -1.0) + 2.0;   // Nyquist tone plus DC
    BitReverseTable table;
    ASSERT_TRUE(interpolate(s.target, 2, table).ok);
    for (int m = 0; m < 16; ++m) EXPECT_NEAR(std::abs(s.store[m] - 2.0), 0.0, 1e-13) << m;
}

TEST(Interpolate, SingleSampleBecomesAConstant) {
    Signal s = make_signal(1, 16, Domain::time, 0.0, 1.0);
    s.store[0] = Complex{3.0, -1.0};
    BitReverseTable table;
    ASSERT_TRUE(interpolate(s.target, 8, table).ok);
    EXPECT_EQ(s.target.current.npts, 8);
    for (int m = 0; m < 8; ++m) EXPECT_NEAR(std::abs(s.store[m] - Complex{3.0, -1.0}), 0.0, 1e-14) << m;
    EXPECT_EQ(s.store[8], (Complex{99.0, 99.0}));   // nothing written past L
}

TEST(Interpolate, SpectrumIsRecentredOnZeroFrequency) {
    Signal s = make_signal(64, 256, Domain::frequency, 1.0, 4.0);
    BitReverseTable table;
    ASSERT_TRUE(interpolate(s.target, 2, table).ok);
    expect_same_grid(s.target.current, {128, -128.0, 2.0});
    expect_same_grid(s.target.spectrum, {128, -128.0, 2.0});
    EXPECT_DOUBLE_EQ(s.target.waveform.dx, 1.0 / (128 * 2.0));
    EXPECT_EQ(s.target.waveform.xmin, 0.0);
}

TEST(Interpolate, Refusals) {
    const Signal before = make_signal(100, 32768, Domain::time, 0.0, 1.0);
    Signal s = before;
    s.target.current.storage = s.store;
    BitReverseTable table;
    expect_refused(interpolate(s.target, 2, table), "# sampling points after upsampling,     200, is not a power of 2",
                   before, s);
    // The capacity is checked before the power of two.
    expect_refused(interpolate(s.target, 1000, table), kTooManyUpsampled, before, s);
    for (int ratio : {0, -4}) expect_refused(interpolate(s.target, ratio, table), kRatioBelowOne, before, s);
    EXPECT_EQ(kTooManyUpsampled, "Too many samples will be generated. Reduce sample pointsor oversampling ratio.");

    const Signal small = make_signal(64, 32768, Domain::time, 0.0, 1.0);
    Signal t = small;
    t.target.current.storage = t.store;
    expect_refused(interpolate(t.target, 1024, table), kTooManyUpsampled, small, t);   // 65536 > 32768
    // A huge ratio must not overflow into an accepted length.
    expect_refused(interpolate(t.target, 1 << 26, table), kTooManyUpsampled, small, t);
}

}  // namespace
}  // namespace zeph
