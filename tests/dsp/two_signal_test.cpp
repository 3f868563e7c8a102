// AC, CV, XC, DX and IX against direct sums and analytic results.
#include "dsp/two_signal.hpp"

#include <gtest/gtest.h>

#include "tests/support/random_signal.hpp"

#include <cmath>
#include <random>
#include <vector>

namespace zeph {
namespace {

using testing::random_signal;

double max_abs_diff(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

// step·Σ_m a[m]·b[index(n, m) mod N], summed directly.
template <typename Index>
std::vector<Complex> direct_sum(const std::vector<Complex>& a, const std::vector<Complex>& b, double step,
                                Index index) {
    const long long n = static_cast<long long>(a.size());
    std::vector<Complex> out(a.size());
    for (long long k = 0; k < n; ++k) {
        Complex sum = 0;
        for (long long m = 0; m < n; ++m) {
            const long long j = ((index(k, m) % n) + n) % n;
            sum += a[static_cast<std::size_t>(m)] * b[static_cast<std::size_t>(j)];
        }
        out[static_cast<std::size_t>(k)] = step * sum;
    }
    return out;
}

auto convolution_index = [](long long n, long long m) { return n - m; };
auto correlation_index = [](long long n, long long m) { return m - n; };

TEST(Convolution, ImpulseOfHeightOneOverStepReturnsTheOtherSignal) {
    BitReverseTable table;
    const double dt = 0.001;
    std::vector<Complex> a(64), b = random_signal(64, 3);
    a[0] = 1.0 / dt;
    const std::vector<Complex> a_before = a, b_before = b;
    ASSERT_TRUE(convolve(a, b, Domain::time, dt, table));
    EXPECT_LT(max_abs_diff(a, b_before), 1e-12);

    // Into B: A keeps its exact samples.
    a = a_before;
    ASSERT_TRUE(convolve(a, b, Domain::frequency, dt, table));
    EXPECT_EQ(a, a_before);
    EXPECT_LT(max_abs_diff(b, b_before), 1e-12);
}

TEST(Convolution, MatchesTheDirectCircularSumIntoEitherOperand) {
    BitReverseTable table;
    const std::vector<Complex> a = random_signal(32, 1), b = random_signal(32, 2);
    const std::vector<Complex> expected = direct_sum(a, b, 0.25, convolution_index);
    std::vector<Complex> into_a = a, b_copy = b;
    ASSERT_TRUE(convolve(into_a, b_copy, Domain::time, 0.25, table));
    EXPECT_LT(max_abs_diff(into_a, expected), 1e-12);
    EXPECT_EQ(b_copy, b);
    std::vector<Complex> a_copy = a, into_b = b;
    ASSERT_TRUE(convolve(a_copy, into_b, Domain::frequency, 0.25, table));
    EXPECT_LT(max_abs_diff(into_b, expected), 1e-12);
    EXPECT_EQ(a_copy, a);
}

TEST(CrossCorrelation, MatchesTheDirectSumWithoutConjugateIntoEitherOperand) {
    BitReverseTable table;
    // Complex operands, so a conjugate taken by mistake would show.
    for (std::size_t n : {2u, 8u, 64u}) {
        const std::vector<Complex> a = random_signal(n, 5), b = random_signal(n, 6);
        const std::vector<Complex> expected = direct_sum(a, b, 0.5, correlation_index);
        std::vector<Complex> into_a = a, b_copy = b;
        ASSERT_TRUE(cross_correlate(into_a, b_copy, Domain::time, 0.5, table));
        EXPECT_LT(max_abs_diff(into_a, expected), 1e-12) << n;
        EXPECT_EQ(b_copy, b);
        std::vector<Complex> a_copy = a, into_b = b;
        ASSERT_TRUE(cross_correlate(a_copy, into_b, Domain::frequency, 0.5, table));
        EXPECT_LT(max_abs_diff(into_b, expected), 1e-12) << n;
        EXPECT_EQ(a_copy, a);
    }
}

TEST(AutoCorrelation, MatchesTheDirectSum) {
    BitReverseTable table;
    for (std::size_t n : {2u, 16u, 128u}) {
        std::vector<Complex> x = random_signal(n, 9);
        const std::vector<Complex> expected = direct_sum(x, x, 0.125, correlation_index);
        ASSERT_TRUE(autocorrelate(x, 0.125, table));
        EXPECT_LT(max_abs_diff(x, expected), 1e-12) << n;
    }
}

// The copy of the other operand lives in the table's operand storage: the
// same pages for every command at one N, whatever the last command left
// there (a stale spectrum must not leak into the next result), released for
// another N and when the table is forgotten (AL).
TEST(TwoSignalOperations, ReuseTheOperandStorageBetweenCommands) {
    BitReverseTable table;
    const std::vector<Complex> a = random_signal(64, 5), b = random_signal(64, 6);
    const std::vector<Complex> expected = direct_sum(a, b, 0.5, convolution_index);
    std::vector<Complex> into_a = a, b_copy = b;
    ASSERT_TRUE(cross_correlate(into_a, b_copy, Domain::time, 0.5, table));   // leaves a spectrum behind
    const Complex* storage = table.operand_storage().data();
    into_a = a;
    ASSERT_TRUE(convolve(into_a, b_copy, Domain::time, 0.5, table));
    EXPECT_LT(max_abs_diff(into_a, expected), 1e-12);
    EXPECT_EQ(table.operand_storage().data(), storage);
    EXPECT_EQ(table.operand_storage().size(), 64U);

    const std::vector<Complex> short_a = random_signal(16, 7), short_b = random_signal(16, 8);
    std::vector<Complex> short_into_b = short_b, short_a_copy = short_a;
    ASSERT_TRUE(convolve(short_a_copy, short_into_b, Domain::frequency, 0.5, table));
    EXPECT_LT(max_abs_diff(short_into_b, direct_sum(short_a, short_b, 0.5, convolution_index)), 1e-12);
    EXPECT_EQ(table.operand_storage().size(), 16U);   // a shorter signal: the storage follows it
    table.forget();
    EXPECT_TRUE(table.operand_storage().empty());
}

TEST(TwoSignalOperations, RefuseRecordsThatAreNotAPowerOfTwoAndChangeNothing) {
    BitReverseTable table;
    for (std::size_t n : {1u, 6u, 100u}) {
        std::vector<Complex> x = random_signal(n, 4), y = random_signal(n, 8);
        const std::vector<Complex> x_before = x, y_before = y;
        for (const Status& status :
             {autocorrelate(x, 1.0, table), differentiate(x, 1.0, table), integrate(x, 1.0, table),
              convolve(x, y, Domain::time, 1.0, table), cross_correlate(x, y, Domain::frequency, 1.0, table)}) {
            EXPECT_FALSE(status.ok) << n;
            EXPECT_EQ(status.message, kNotPowerOfTwo);
        }
        EXPECT_EQ(x, x_before);
        EXPECT_EQ(y, y_before);
    }
}

TEST(TwoSignalOperations, RefuseOperandsOfDifferentLengths) {
    BitReverseTable table;
    std::vector<Complex> a = random_signal(16, 1), b = random_signal(32, 2);
    const std::vector<Complex> a_before = a, b_before = b;
    const Status status = convolve(a, b, Domain::time, 1.0, table);
    EXPECT_EQ(status.message, kOperandLengthsDiffer);
    EXPECT_EQ(a, a_before);
    EXPECT_EQ(b, b_before);
}

// One period of sin(2πt) sampled with 64 points.
std::vector<Complex> one_period(double (*shape)(double), std::size_t n, double dt) {
    std::vector<Complex> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = shape(kTwoPi * static_cast<double>(i) * dt);
    return x;
}

TEST(Derivative, OfASineIsTwoPiTimesTheCosine) {
    BitReverseTable table;
    const std::size_t n = 64;
    const double dt = 1.0 / n;
    std::vector<Complex> x = one_period([](double p) { return std::sin(p); }, n, dt);
    std::vector<Complex> expected = one_period([](double p) { return std::cos(p); }, n, dt);
    for (Complex& v : expected) v *= kTwoPi;
    ASSERT_TRUE(differentiate(x, dt, table));
    EXPECT_LT(max_abs_diff(x, expected), 1e-12);
}

TEST(Derivative, ScalesWithTheStepAndRefusesAZeroStep) {
    BitReverseTable table;
    // sin(2π·3t/(N·Δ)) on N = 32, Δ = 0.5: the derivative is 2π·3/(NΔ)·cos.
    const std::size_t n = 32;
    const double dt = 0.5, w = kTwoPi * 3.0 / (static_cast<double>(n) * dt);
    std::vector<Complex> x(n), expected(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = std::sin(w * static_cast<double>(i) * dt);
        expected[i] = w * std::cos(w * static_cast<double>(i) * dt);
    }
    const std::vector<Complex> before = x;
    EXPECT_EQ(differentiate(x, 0.0, table).message, kDerivativeStepZero);
    EXPECT_EQ(x, before);
    ASSERT_TRUE(differentiate(x, dt, table));
    EXPECT_LT(max_abs_diff(x, expected), 1e-12);
}

TEST(Integral, OfACosineIsTheSineOverTwoPiWithZeroMean) {
    BitReverseTable table;
    const std::size_t n = 64;
    const double dt = 1.0 / n;
    // An offset of 3 has no zero-mean integral: it is removed.
    std::vector<Complex> x = one_period([](double p) { return std::cos(p) + 3.0; }, n, dt);
    std::vector<Complex> expected = one_period([](double p) { return std::sin(p); }, n, dt);
    for (Complex& v : expected) v /= kTwoPi;
    ASSERT_TRUE(integrate(x, dt, table));
    EXPECT_LT(max_abs_diff(x, expected), 1e-12);
}

TEST(Integral, OfAConstantIsZero) {
    BitReverseTable table;
    std::vector<Complex> constant(16, Complex{2.5, -1.0});
    ASSERT_TRUE(integrate(constant, 0.1, table));
    EXPECT_LT(max_abs_diff(constant, std::vector<Complex>(16)), 1e-15);
}

}  // namespace
}  // namespace zeph
