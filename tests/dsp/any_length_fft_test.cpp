// The transform of any length against a direct DFT summed in long double.
#include "dsp/any_length_fft.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "tests/support/random_signal.hpp"

namespace zeph {
namespace {

using testing::random_signal;
using LongComplex = std::complex<long double>;

// e^(−j2πt/L) for t < L, in long double.
std::vector<LongComplex> root_table(std::int64_t length) {
    std::vector<LongComplex> roots(static_cast<std::size_t>(length));
    const long double pi = 3.141592653589793238462643383279502884L;
    for (std::int64_t t = 0; t < length; ++t) {
        const long double angle = -2.0L * pi * static_cast<long double>(t) / static_cast<long double>(length);
        roots[static_cast<std::size_t>(t)] = {std::cos(angle), std::sin(angle)};
    }
    return roots;
}

// Bin k of the direct DFT of x.
LongComplex direct_bin(const std::vector<Complex>& x, const std::vector<LongComplex>& roots, std::int64_t k) {
    const auto length = static_cast<std::int64_t>(x.size());
    long double re = 0, im = 0;   // plain sums: quick in unoptimised builds too
    std::int64_t t = 0;           // n·k mod L
    for (std::int64_t n = 0; n < length; ++n) {
        const Complex v = x[static_cast<std::size_t>(n)];
        const LongComplex r = roots[static_cast<std::size_t>(t)];
        re += v.real() * r.real() - v.imag() * r.imag();
        im += v.real() * r.imag() + v.imag() * r.real();
        t += k;
        if (t >= length) t -= length;
    }
    return {re, im};
}

double max_abs(const std::vector<Complex>& x) {
    double m = 0;
    for (const Complex& v : x) m = std::max(m, std::abs(v));
    return m;
}

// Max |X[k] − direct[k]| / max |X| over the bins k of `bins` (all when empty).
double relative_error(const std::vector<Complex>& x, const std::vector<Complex>& transformed,
                      const std::vector<std::int64_t>& bins) {
    const auto roots = root_table(static_cast<std::int64_t>(x.size()));
    double worst = 0;
    auto check = [&](std::int64_t k) {
        const LongComplex d = direct_bin(x, roots, k);
        const Complex got = transformed[static_cast<std::size_t>(k)];
        worst = std::max(worst, static_cast<double>(std::abs(LongComplex(got.real(), got.imag()) - d)));
    };
    if (bins.empty()) {
        for (std::int64_t k = 0; k < static_cast<std::int64_t>(x.size()); ++k) check(k);
    } else {
        for (std::int64_t k : bins) check(k);
    }
    return worst / max_abs(transformed);
}

std::vector<Complex> forward(const std::vector<Complex>& x) {
    TransformPlan plan;
    TransformWorkspace work;
    std::vector<Complex> y = x;
    const Status prepared = plan.prepare(static_cast<long long>(x.size()));
    EXPECT_TRUE(prepared.ok) << prepared.message;
    const Status status = plan.forward(y, work);
    EXPECT_TRUE(status.ok) << status.message;
    return y;
}

TEST(AnyLengthFft, EveryLengthFromTwoTo300MatchesTheDirectDft) {
    for (std::size_t length = 2; length <= 300; ++length) {
        const std::vector<Complex> x = random_signal(length, static_cast<unsigned>(length));
        EXPECT_LT(relative_error(x, forward(x), {}), 1e-12) << "L = " << length;
    }
}

TEST(AnyLengthFft, LongLengthsMatchTheDirectDft) {
    for (std::size_t length : {1000u, 1024u, 3072u, 4096u, 6000u}) {
        const std::vector<Complex> x = random_signal(length, 11);
        EXPECT_LT(relative_error(x, forward(x), {}), 1e-12) << "L = " << length;
    }
}

// All L² terms would take minutes: every bin near the ends and the middle,
// and bins spread evenly between.
TEST(AnyLengthFft, VeryLongLengthsMatchTheDirectDftAtSampledBins) {
    for (std::int64_t length : {20480, 44100, 65537}) {
        const std::vector<Complex> x = random_signal(static_cast<std::size_t>(length), 13);
        std::vector<std::int64_t> bins;
        for (std::int64_t k = 0; k < 8; ++k) {
            bins.push_back(k);
            bins.push_back(length - 1 - k);
            bins.push_back(length / 2 - 4 + k);
        }
        for (std::int64_t k = 8; k < length; k += length / 199) bins.push_back(k);
        EXPECT_LT(relative_error(x, forward(x), bins), 1e-12) << "L = " << length;
    }
}

TEST(AnyLengthFft, LengthsChooseTheirMethod) {
    TransformPlan plan;
    ASSERT_TRUE(plan.prepare(1024).ok);
    EXPECT_EQ(plan.method(), TransformPlan::Method::power_of_two);
    ASSERT_TRUE(plan.prepare(6000).ok);   // 2^4·3·5^3
    EXPECT_EQ(plan.method(), TransformPlan::Method::mixed_radix);
    EXPECT_EQ(plan.radices(), (std::vector<int>{4, 4, 3, 5, 5, 5}));
    EXPECT_EQ(plan.power_of_two_factor(), 1);   // 16 < kMinSplit
    ASSERT_TRUE(plan.prepare(3 * 1024).ok);
    EXPECT_EQ(plan.power_of_two_factor(), 1024);
    EXPECT_EQ(plan.radices(), (std::vector<int>{3}));
    ASSERT_TRUE(plan.prepare(2 * 29 * 31).ok);
    EXPECT_EQ(plan.radices(), (std::vector<int>{2, 29, 31}));
    ASSERT_TRUE(plan.prepare(37).ok);
    EXPECT_EQ(plan.method(), TransformPlan::Method::chirp_z);
    ASSERT_TRUE(plan.prepare(65537).ok);
    EXPECT_EQ(plan.method(), TransformPlan::Method::chirp_z);
}

// The power-of-two path is the program's own transform, bit for bit.
TEST(AnyLengthFft, PowerOfTwoGivesTheSameBitsAsFftForward) {
    for (std::size_t length : {2u, 64u, 2048u}) {
        const std::vector<Complex> x = random_signal(length, 3);
        std::vector<Complex> y = x;
        BitReverseTable table;
        ASSERT_TRUE(fft_forward(y, table).ok);
        EXPECT_EQ(forward(x), y) << "L = " << length;
    }
}

TEST(AnyLengthFft, InverseUndoesForwardTimesLength) {
    for (long long length : {6, 210, 97, 1031}) {
        TransformPlan plan;
        TransformWorkspace work;
        ASSERT_TRUE(plan.prepare(length).ok);
        const std::vector<Complex> x = random_signal(static_cast<std::size_t>(length), 5);
        std::vector<Complex> y = x;
        ASSERT_TRUE(plan.forward(y, work).ok);
        ASSERT_TRUE(plan.inverse(y, work).ok);
        double worst = 0;
        for (std::size_t n = 0; n < x.size(); ++n)
            worst = std::max(worst, std::abs(y[n] / static_cast<double>(length) - x[n]));
        EXPECT_LT(worst, 1e-13) << "L = " << length;
    }
}

// One plan, reused across lengths and workspaces: each transform uses its own
// storage, so a workspace sized for a longer transform serves a shorter one.
TEST(AnyLengthFft, PlanAndWorkspaceAreReused) {
    TransformPlan long_plan, short_plan;
    TransformWorkspace work;
    ASSERT_TRUE(long_plan.prepare(1031).ok);
    ASSERT_TRUE(short_plan.prepare(15).ok);
    const std::vector<Complex> a = random_signal(1031, 1), b = random_signal(15, 2);
    std::vector<Complex> ya = a, yb = b, yb_again = b;
    ASSERT_TRUE(long_plan.forward(ya, work).ok);
    ASSERT_TRUE(short_plan.forward(yb, work).ok);
    ASSERT_TRUE(short_plan.forward(yb_again, work).ok);
    EXPECT_EQ(yb, yb_again);
    EXPECT_LT(relative_error(b, yb, {}), 1e-12);
    EXPECT_LT(relative_error(a, ya, {}), 1e-12);
}

TEST(AnyLengthFft, RefusesBadLengthsAndMismatchedSpans) {
    TransformPlan plan;
    TransformWorkspace work;
    for (long long length : {-1LL, 0LL, 1LL, kMaxAnyLength + 1}) {
        const Status status = plan.prepare(length);
        EXPECT_FALSE(status.ok) << length;
        EXPECT_EQ(status.message, kTransformLengthInvalid);
    }
    std::vector<Complex> x(12, Complex{1.0, 0.0});
    EXPECT_EQ(plan.forward(x, work).message, kTransformLengthMismatch);   // never prepared
    ASSERT_TRUE(plan.prepare(13).ok);
    EXPECT_EQ(plan.forward(x, work).message, kTransformLengthMismatch);
    EXPECT_EQ(x, std::vector<Complex>(12, Complex{1.0, 0.0}));
}

}  // namespace
}  // namespace zeph
