#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include "base/stop_request.hpp"
#include "dsp/fft.hpp"

#include <gtest/gtest.h>

#include "tests/support/random_signal.hpp"
#include "tests/support/thread_count.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace zeph {
namespace {

using testing::random_signal;

// e^(sign·j2π·m/n), exact in m mod n, accumulated in long double.
std::complex<long double> root(std::int64_t m, std::int64_t n, int sign) {
    const long double angle = sign * 2.0L * 3.14159265358979323846264338327950288L *
                              static_cast<long double>(m % n) / static_cast<long double>(n);
    return {std::cos(angle), std::sin(angle)};
}

std::vector<Complex> direct_dft(const std::vector<Complex>& x, int sign) {
    const auto n = static_cast<std::int64_t>(x.size());
    std::vector<Complex> out(x.size());
    for (std::int64_t k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (std::int64_t i = 0; i < n; ++i)
            sum += std::complex<long double>(x[static_cast<std::size_t>(i)]) * root(i * k, n, sign);
        out[static_cast<std::size_t>(k)] = Complex(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
    }
    return out;
}

double max_abs(const std::vector<Complex>& x) {
    double m = 0;
    for (const Complex& v : x) m = std::max(m, std::abs(v));
    return m;
}

double max_abs_diff(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    double m = 0;
    for (std::size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

TEST(Fft, ForwardAndInverseMatchTheDirectDft) {
    BitReverseTable table;
    // Odd and even log2 N exercise the radix-2 and the radix-4 last stage.
    for (std::size_t n : {1u, 2u, 4u, 8u, 16u, 32u, 64u, 128u, 512u, 1024u}) {
        const std::vector<Complex> x = random_signal(n, static_cast<unsigned>(n));
        std::vector<Complex> forward = x, inverse = x;
        ASSERT_TRUE(fft_forward(forward, table)) << n;
        ASSERT_TRUE(fft_inverse(inverse, table)) << n;
        const std::vector<Complex> expected_forward = direct_dft(x, -1), expected_inverse = direct_dft(x, +1);
        EXPECT_LE(max_abs_diff(forward, expected_forward), 1e-12 * max_abs(expected_forward)) << n;
        EXPECT_LE(max_abs_diff(inverse, expected_inverse), 1e-12 * max_abs(expected_inverse)) << n;
    }
}

// Large N, where the first stages run over the whole array before the
// blocked ones: tones on bins k_m plus impulses at n_m have the closed form
// X[k] = N·Σ a_m·δ(k − k_m) + Σ b_m·e^(−j2πk·n_m/N).
TEST(Fft, LargeTransformMatchesClosedForm) {
    BitReverseTable table;
    for (int log2n : {17, 18}) {
        const std::int64_t n = std::int64_t{1} << log2n;
        const std::vector<std::int64_t> tone_bins{0, 5, n / 2 + 3, n - 1};
        const std::vector<Complex> tone_amplitudes{{0.5, 0}, {1, -2}, {0, 0.25}, {-1.5, 0.5}};
        const std::vector<std::int64_t> impulse_at{0, 1, 777, n - 2};
        const std::vector<Complex> impulse_values{{2, 0}, {0, 1}, {-3, 0.5}, {1, 1}};

        std::vector<Complex> x(static_cast<std::size_t>(n)), expected(x.size());
        for (std::int64_t i = 0; i < n; ++i) {
            std::complex<long double> sum = 0, bin = 0;
            for (std::size_t m = 0; m < tone_bins.size(); ++m)
                sum += std::complex<long double>(tone_amplitudes[m]) * root(tone_bins[m] * i, n, +1);
            for (std::size_t m = 0; m < tone_bins.size(); ++m)
                if (tone_bins[m] == i) bin += static_cast<long double>(n) * std::complex<long double>(tone_amplitudes[m]);
            for (std::size_t m = 0; m < impulse_at.size(); ++m) {
                if (impulse_at[m] == i) sum += std::complex<long double>(impulse_values[m]);
                bin += std::complex<long double>(impulse_values[m]) * root(i * impulse_at[m], n, -1);
            }
            x[static_cast<std::size_t>(i)] = Complex(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
            expected[static_cast<std::size_t>(i)] =
                Complex(static_cast<double>(bin.real()), static_cast<double>(bin.imag()));
        }
        ASSERT_TRUE(fft_forward(x, table));
        EXPECT_LE(max_abs_diff(x, expected), 1e-12 * max_abs(expected)) << log2n;
    }
}

// The transform's bits are fixed: kernels may be rearranged for speed, but
// every result must stay what it was (saved spectra and the replayed
// sessions of users compare equal). FNV-1a hashes of the output bytes for a
// fixed input, recorded from the kernels as first released.
std::uint64_t transform_hash(int log2n, BitReverseTable& table) {
    std::vector<Complex> x(std::size_t{1} << log2n);
    std::uint32_t state = 12345u + static_cast<std::uint32_t>(log2n);
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    };
    for (Complex& v : x) {
        const double re = next();
        v = Complex(re, next());
    }
    EXPECT_TRUE(fft_forward(x, table).ok);
    std::uint64_t hash = 1469598103934665603ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(x.data());
    for (std::size_t i = 0; i < x.size() * sizeof(Complex); ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

TEST(Fft, ResultsKeepTheirBits) {
    const std::pair<int, std::uint64_t> expected[] = {
        {1, 0x71ee42fcc7428c5eull},
        {2, 0x2d83794fbe591672ull},
        {3, 0x4e790e9fea659819ull},
        {4, 0x8426f24e164e495aull},
        {5, 0xcbb004c5e6311792ull},
        {6, 0x9a3cc9e9dfbeef1aull},
        {7, 0xd9c4f06d60bff071ull},
        {8, 0x1f33f55af30cf4f2ull},
        {9, 0xa29d91a5318a5c9cull},
        {10, 0xa9060dd17e0c3c69ull},
        {11, 0x69197c280addcb2aull},
        {12, 0xc06b58be6cf23619ull},
        {13, 0x7367d62ea4652ea7ull},
        {14, 0x8169b617c59b91f2ull},
        {15, 0x7dafb6d4290519f9ull},
        {16, 0x6aa158d880b4018cull},
        {17, 0x3fd9d5076f861250ull},
        {18, 0xf84363a099c11ea0ull},
        {19, 0xa6a7ae6a7fd925baull},
        {20, 0xb09949d67019d7b3ull}};
    BitReverseTable table;
    for (const auto& [log2n, hash] : expected)
        EXPECT_EQ(transform_hash(log2n, table), hash) << "N = 2^" << log2n;
}

TEST(Fft, ForwardThenInverseGivesNTimesTheInput) {
    BitReverseTable table;
    for (std::size_t n : {std::size_t{2}, std::size_t{8}, std::size_t{4096}, std::size_t{1} << 17}) {
        const std::vector<Complex> x = random_signal(n, 3);
        std::vector<Complex> y = x;
        ASSERT_TRUE(fft_forward(y, table));
        ASSERT_TRUE(fft_inverse(y, table));
        for (Complex& v : y) v /= static_cast<double>(n);
        EXPECT_LE(max_abs_diff(y, x), 1e-12 * max_abs(x)) << n;
    }
}

TEST(Fft, RefusesPointCountsThatAreNotPowersOfTwo) {
    BitReverseTable table;
    for (std::size_t n : {0u, 3u, 12u, 1000u}) {
        const std::vector<Complex> x = random_signal(n);
        std::vector<Complex> y = x;
        EXPECT_EQ(fft_forward(y, table).message, "ERROR. NUMBER POINTS MUST BE A POWER OF 2.") << n;
        EXPECT_FALSE(fft_inverse(y, table).ok) << n;
        EXPECT_EQ(y, x) << "samples changed for N = " << n;
    }
    // The rule of the callers: 2 … 2^30, so N = 1 is refused too.
    int log2n = -1;
    EXPECT_TRUE(check_power_of_two(2, log2n));
    EXPECT_EQ(log2n, 1);
    EXPECT_TRUE(check_power_of_two(1LL << 30, log2n));
    EXPECT_EQ(log2n, 30);
    for (long long n : {-8LL, 0LL, 1LL, 3LL, 1000LL, 1LL << 31}) {
        log2n = -1;
        EXPECT_EQ(check_power_of_two(n, log2n).message, kNotPowerOfTwo) << n;
        EXPECT_EQ(log2n, -1) << n;
    }
}

// Storage follows the point count down as well as up: after a 2^20-point
// transform (about 16 bytes a point of tables) a 2^10-point one holds a few
// bytes a point of its own, not the larger tables.
TEST(Fft, TablesOfALargerCountAreReleasedForASmallerOne) {
    BitReverseTable table;
    std::vector<Complex> large = random_signal(std::size_t{1} << 20), small = random_signal(1024);
    ASSERT_TRUE(fft_forward(large, table));
    EXPECT_GE(table.held_bytes(), std::size_t{8} << 20);
    ASSERT_TRUE(fft_forward(small, table));
    EXPECT_LE(table.held_bytes(), std::size_t{64} * 1024);
    const std::vector<Complex> expected = direct_dft(random_signal(1024), -1);
    EXPECT_LE(max_abs_diff(small, expected), 1e-12 * max_abs(expected));
}

TEST(Fft, TableIsFilledOncePerPointCountAndRefilledForANewOne) {
    BitReverseTable table;
    EXPECT_EQ(table.points(), -1);
    std::vector<Complex> a = random_signal(16), b = random_signal(64);
    const std::vector<Complex> expected_a = direct_dft(a, -1), expected_b = direct_dft(b, -1);

    std::vector<Complex> y = a;
    ASSERT_TRUE(fft_forward(y, table));
    EXPECT_EQ(table.points(), 16);
    y = a;
    ASSERT_TRUE(fft_forward(y, table));
    EXPECT_EQ(table.fill_count(), 1);

    std::vector<Complex> z = b;
    ASSERT_TRUE(fft_forward(z, table));
    EXPECT_EQ(table.points(), 64);
    EXPECT_EQ(table.fill_count(), 2);
    EXPECT_LE(max_abs_diff(z, expected_b), 1e-12 * max_abs(expected_b));

    y = a;   // back to 16 points: the 64-point tables must not be used
    ASSERT_TRUE(fft_forward(y, table));
    EXPECT_LE(max_abs_diff(y, expected_a), 1e-12 * max_abs(expected_a));

    EXPECT_EQ(table.prepare(31).message, kNotPowerOfTwo);
    EXPECT_EQ(table.prepare(-1).message, kNotPowerOfTwo);
    EXPECT_EQ(table.points(), 16);   // a refused count leaves the tables as they were

    table.forget();
    EXPECT_EQ(table.points(), -1);
    y = a;
    ASSERT_TRUE(fft_forward(y, table));
    EXPECT_EQ(table.fill_count(), 4);
}

TEST(Fft, BitReverseReversesTheLowBits) {
    EXPECT_EQ(bit_reverse(1, 3), 4u);
    EXPECT_EQ(bit_reverse(6, 3), 3u);
    EXPECT_EQ(bit_reverse(1, 10), 512u);
    EXPECT_EQ(bit_reverse(0b1011, 4), 0b1101u);
    EXPECT_EQ(bit_reverse(0b1011, 0), 0u);
}

// Bins 0, 1, 12345 mod N, N/2 + 3 and N − 1 of `transformed` against the direct sum over x.
void expect_sampled_bins_match(const std::vector<Complex>& x, const std::vector<Complex>& transformed, int log2n) {
    const auto n = static_cast<std::int64_t>(x.size());
    double largest = 0;
    for (const Complex& v : transformed) largest = std::max(largest, std::abs(v));
    for (std::int64_t k : {std::int64_t{0}, std::int64_t{1}, 12345 % n, n / 2 + 3, n - 1}) {
        std::complex<long double> sum = 0;
        for (std::int64_t i = 0; i < n; ++i)
            sum += std::complex<long double>(x[static_cast<std::size_t>(i)]) * root(i * k, n, -1);
        const Complex expected(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
        EXPECT_LE(std::abs(transformed[static_cast<std::size_t>(k)] - expected), 1e-12 * largest) << log2n << " " << k;
    }
}

// Middle sizes: the out-of-place kernels that write in natural order (both
// tails: odd and even log2 N), and the block-wise in-place ones beyond them.
TEST(Fft, MiddleSizesMatchTheDirectSumAtSampledBins) {
    BitReverseTable table;
    for (int log2n : {11, 12, 15, 16}) {
        const std::vector<Complex> x = random_signal(std::size_t{1} << log2n, static_cast<unsigned>(log2n));
        std::vector<Complex> y = x;
        ASSERT_TRUE(fft_forward(y, table));
        expect_sampled_bins_match(x, y, log2n);
    }
}

// Large transforms run their stages on several threads and keep the wide
// stages' twiddles in a compact layout: the bytes must not depend on the
// thread count, and sampled bins must match the direct sum.
TEST(Fft, LargeTransformsGiveTheSameBytesOnOneAndTwoThreads) {
    for (int log2n : {17, 18}) {
        const std::size_t n = std::size_t{1} << log2n;
        const std::vector<Complex> x = random_signal(n, static_cast<unsigned>(log2n));
        std::vector<Complex> one = x, two = x, inverse_one = x, inverse_two = x;
        BitReverseTable table;
        testing::with_threads(1, [&] {
            ASSERT_TRUE(fft_forward(one, table));
            ASSERT_TRUE(fft_inverse(inverse_one, table));
        });
        testing::with_threads(2, [&] {
            ASSERT_TRUE(fft_forward(two, table));
            ASSERT_TRUE(fft_inverse(inverse_two, table));
        });
        EXPECT_EQ(std::memcmp(one.data(), two.data(), n * sizeof(Complex)), 0) << log2n;
        EXPECT_EQ(std::memcmp(inverse_one.data(), inverse_two.data(), n * sizeof(Complex)), 0) << log2n;
        expect_sampled_bins_match(x, one, log2n);
    }
}

TEST(SpectrumCreation, LargeSignalsGiveTheSameBytesOnOneAndTwoThreads) {
    const int n = 1 << 17;
    const std::vector<Complex> waveform = random_signal(n, 5);
    std::vector<Complex> spectrum[2], back[2];
    for (int threads : {1, 2}) {
        BitReverseTable table;
        std::vector<Complex>& s = spectrum[threads - 1];
        std::vector<Complex>& w = back[threads - 1];
        s.resize(n);
        w.resize(n);
        Grid frequency, time;
        testing::with_threads(threads, [&] {
            ASSERT_TRUE(create_spectrum(waveform, Grid{n, 0.0, 0.001}, s, frequency, table));
            ASSERT_TRUE(create_waveform(s, frequency, w, time, table));
        });
    }
    EXPECT_EQ(std::memcmp(spectrum[0].data(), spectrum[1].data(), n * sizeof(Complex)), 0);
    EXPECT_EQ(std::memcmp(back[0].data(), back[1].data(), n * sizeof(Complex)), 0);
    EXPECT_LE(max_abs_diff(back[0], waveform), 1e-12 * max_abs(waveform));
}

TEST(Fft, HalfSwapScaleExchangesTheHalvesAndScalesBoth) {
    std::vector<Complex> x{{1, 1}, {2, 0}, {3, -1}, {4, 0}, {5, 2}, {6, 0}};
    half_swap_scale(x, 0.5);
    const std::vector<Complex> expected{{2, 0}, {2.5, 1}, {3, 0}, {0.5, 0.5}, {1, 0}, {1.5, -0.5}};
    EXPECT_EQ(x, expected);
}

TEST(SpectrumCreation, ConstantWaveformGivesScaledZeroFrequencyAtHalfN) {
    BitReverseTable table;
    const std::vector<Complex> waveform(16, Complex(1, 0));
    std::vector<Complex> spectrum(16);
    Grid frequency;
    ASSERT_TRUE(create_spectrum(waveform, Grid{16, 3.0, 0.5}, spectrum, frequency, table));
    EXPECT_EQ(frequency.npts, 16);
    EXPECT_DOUBLE_EQ(frequency.dx, 0.125);   // 1/(N·DT)
    EXPECT_DOUBLE_EQ(frequency.xmin, -1.0);  // −(N/2)·DF
    for (std::size_t i = 0; i < 16; ++i) {
        const Complex expected = i == 8 ? Complex(8, 0) : Complex(0, 0);   // N·DT at index N/2
        EXPECT_NEAR(std::abs(spectrum[i] - expected), 0.0, 1e-12) << i;
    }
}

TEST(SpectrumCreation, TonePeaksAtItsFrequencyOnTheSpectrumGrid) {
    BitReverseTable table;
    const int n = 64;
    const double dt = 0.01;
    for (int bin : {-5, 3, 31}) {
        const double f0 = bin / (n * dt);
        std::vector<Complex> waveform(n);
        for (int i = 0; i < n; ++i) waveform[static_cast<std::size_t>(i)] = std::polar(1.0, kTwoPi * f0 * i * dt);
        const std::vector<Complex> original = waveform;
        std::vector<Complex> spectrum(n);
        Grid frequency;
        ASSERT_TRUE(create_spectrum(waveform, Grid{n, 0.0, dt}, spectrum, frequency, table));
        EXPECT_EQ(waveform, original);
        const auto peak = static_cast<std::size_t>(std::max_element(spectrum.begin(), spectrum.end(),
                                                                    [](Complex a, Complex b) {
                                                                        return std::abs(a) < std::abs(b);
                                                                    }) -
                                                   spectrum.begin());
        EXPECT_EQ(static_cast<int>(peak), n / 2 + bin);
        EXPECT_NEAR(frequency.xmin + static_cast<double>(peak) * frequency.dx, f0, 1e-9);
        EXPECT_NEAR(std::abs(spectrum[peak]), n * dt, 1e-12);
    }
}

TEST(SpectrumCreation, WaveformCreationStartsAtZeroAndRoundTrips) {
    BitReverseTable table;
    const int n = 256;
    const std::vector<Complex> waveform = random_signal(n, 11);
    std::vector<Complex> spectrum(n), back(n);
    Grid frequency, time{0, 42.0, 0.0};
    ASSERT_TRUE(create_spectrum(waveform, Grid{n, 7.5, 0.002}, spectrum, frequency, table));
    ASSERT_TRUE(create_waveform(spectrum, frequency, back, time, table));
    EXPECT_EQ(time.npts, n);
    EXPECT_EQ(time.xmin, 0.0);
    EXPECT_NEAR(time.dx, 0.002, 1e-15);   // (1/N)/DF
    EXPECT_LE(max_abs_diff(back, waveform), 1e-12 * max_abs(waveform));

    // And from the spectrum side: waveform then spectrum returns B.
    std::vector<Complex> again(n);
    Grid frequency_again;
    ASSERT_TRUE(create_spectrum(back, time, again, frequency_again, table));
    EXPECT_LE(max_abs_diff(again, spectrum), 1e-12 * max_abs(spectrum));
    EXPECT_NEAR(frequency_again.dx, frequency.dx, 1e-12 * frequency.dx);
    EXPECT_NEAR(frequency_again.xmin, frequency.xmin, 1e-12 * std::abs(frequency.xmin));
}

TEST(SpectrumCreation, RefusesBadPointCountsAndShortStorageWithoutChangingAnything) {
    BitReverseTable table;
    const std::vector<Complex> source = random_signal(1000);
    std::vector<Complex> target(1000, Complex(9, 9));
    const Grid untouched{5, 1.0, 2.0};
    for (int n : {1, 3, 1000}) {
        Grid result = untouched;
        Status forward = create_spectrum(source, Grid{n, 0.0, 1.0}, target, result, table);
        EXPECT_EQ(forward.message, kNotPowerOfTwo) << n;
        Status inverse = create_waveform(source, Grid{n, 0.0, 1.0}, target, result, table);
        EXPECT_EQ(inverse.message, kNotPowerOfTwo) << n;
        EXPECT_EQ(result.npts, untouched.npts);
        EXPECT_EQ(result.dx, untouched.dx);
    }
    Grid result = untouched;
    std::vector<Complex> short_target(4, Complex(9, 9));
    EXPECT_EQ(create_spectrum(source, Grid{8, 0.0, 1.0}, short_target, result, table).message, kStorageTooSmall);
    EXPECT_EQ(create_waveform(std::span<const Complex>(source).first(4), Grid{8, 0.0, 1.0}, target, result, table)
                  .message,
              kStorageTooSmall);
    EXPECT_EQ(result.npts, untouched.npts);
    for (const Complex& v : target) EXPECT_EQ(v, Complex(9, 9));
    for (const Complex& v : short_target) EXPECT_EQ(v, Complex(9, 9));
    // N = 2 is the smallest accepted count.
    EXPECT_TRUE(create_spectrum(source, Grid{2, 0.0, 1.0}, target, result, table));
    EXPECT_EQ(result.npts, 2);
}

}  // namespace
}  // namespace zeph

// A run being ended by a signal makes no more transforms and leaves the data
// as it was. The stop request cannot be taken back, so it is made in a child.
TEST(FftStop, NoTransformOnceTheRunIsEnding) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::vector<zeph::Complex> x(1024, zeph::Complex{1.0, 0.0});
        zeph::BitReverseTable table;
        zeph::request_stop(SIGTERM);
        const zeph::Status status = zeph::fft_forward(x, table);
        const bool unchanged = std::all_of(x.begin(), x.end(), [](zeph::Complex v) { return v == zeph::Complex{1.0, 0.0}; });
        ::_exit(!status.ok && status.message == zeph::kTransformStopped && unchanged ? 0 : 1);
    }
    int wait_status = 0;
    ASSERT_EQ(::waitpid(child, &wait_status, 0), child);
    ASSERT_TRUE(WIFEXITED(wait_status));
    EXPECT_EQ(WEXITSTATUS(wait_status), 0);
}
