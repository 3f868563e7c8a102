// Spectrograms and Welch spectra against scipy.signal, the windows against
// their formulas, and the refusals of hostile parameters and samples.
#include "dsp/spectral_density.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "base/stop_request.hpp"
#include "dsp/fft.hpp"
#include "tests/support/random_signal.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/thread_count.hpp"

namespace zeph {
namespace {

using testing::random_signal;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ReferenceCase {
    std::string window;
    double beta = 0, xmin = 0, dx = 1;
    long long length = 0, overlap = 0, npts = 0;
    bool complex_signal = false;
    std::vector<double> x_re, x_im, freq, time, welch;
    std::vector<std::vector<double>> columns;

    SegmentParameters parameters() const {
        SegmentParameters p{length, overlap, {SegmentWindowKind::hann, beta}};
        if (window == "boxcar") p.window.kind = SegmentWindowKind::rectangular;
        if (window == "kaiser") p.window.kind = SegmentWindowKind::kaiser;
        return p;
    }
    std::vector<Complex> samples() const {
        std::vector<Complex> x;
        for (std::size_t i = 0; i < x_re.size(); ++i) x.emplace_back(x_re[i], x_im[i]);
        return x;
    }
    std::string name() const {
        return window + " L=" + std::to_string(length) + " O=" + std::to_string(overlap) +
               (complex_signal ? " complex" : " real");
    }
};

struct Reference {
    std::string unavailable;
    std::vector<ReferenceCase> cases;
};

std::vector<double> read_numbers(std::istringstream& in) {
    std::vector<double> values;
    std::string word;
    while (in >> word) values.push_back(std::strtod(word.c_str(), nullptr));
    return values;
}

Reference load_reference() {
    const std::string python = test::python_with_scipy();
    if (python.empty()) return {"python3 with scipy.signal not found", {}};
    Reference ref;
    int exit_status = 0;
    const std::string text =
        test::run_command(python + " " ZEPH_SOURCE_DIR "/tests/dsp/spectral_reference.py", &exit_status);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        if (kind == "case") {
            ReferenceCase c;
            int is_complex = 0;
            in >> c.window >> c.beta >> c.length >> c.overlap >> c.npts >> c.xmin >> c.dx >> is_complex;
            c.complex_signal = is_complex != 0;
            ref.cases.push_back(c);
        } else if (ref.cases.empty()) {
            continue;
        } else if (kind == "x_re") {
            ref.cases.back().x_re = read_numbers(in);
        } else if (kind == "x_im") {
            ref.cases.back().x_im = read_numbers(in);
        } else if (kind == "freq") {
            ref.cases.back().freq = read_numbers(in);
        } else if (kind == "time") {
            ref.cases.back().time = read_numbers(in);
        } else if (kind == "welch") {
            ref.cases.back().welch = read_numbers(in);
        } else if (kind == "column") {
            ref.cases.back().columns.push_back(read_numbers(in));
        }
    }
    if (exit_status != 0 || ref.cases.empty()) ref.unavailable = "spectral_reference.py failed";
    return ref;
}

const Reference& reference() {
    static const Reference ref = load_reference();
    return ref;
}

// |a − b| ≤ 1e-9·|b| at every index.
void expect_relative(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i)
        ASSERT_LE(std::abs(got[i] - want[i]), 1e-9 * std::abs(want[i])) << what << " at " << i << ": " << got[i]
                                                                        << " vs " << want[i];
}

TEST(SpectralDensity, SpectrogramMatchesScipy) {
    if (!reference().unavailable.empty()) GTEST_SKIP() << reference().unavailable;
    for (const ReferenceCase& c : reference().cases) {
        Spectrogram s;
        const Status status = compute_spectrogram(c.samples(), c.xmin, c.dx, c.parameters(), s);
        ASSERT_TRUE(status.ok) << c.name() << ": " << status.message;
        EXPECT_EQ(s.one_sided, !c.complex_signal) << c.name();
        EXPECT_EQ(s.nonfinite_segments, 0) << c.name();
        ASSERT_EQ(s.segments, static_cast<long long>(c.columns.size())) << c.name();
        expect_relative(s.frequency, c.freq, c.name() + " frequency");
        std::vector<double> time = c.time;
        for (double& t : time) t += c.xmin;
        expect_relative(s.time, time, c.name() + " time");
        for (long long i = 0; i < s.segments; ++i) {
            const std::vector<double> column(s.density.begin() + i * s.bins, s.density.begin() + (i + 1) * s.bins);
            expect_relative(column, c.columns[static_cast<std::size_t>(i)], c.name() + " segment " + std::to_string(i));
        }
    }
}

TEST(SpectralDensity, WelchMatchesScipy) {
    if (!reference().unavailable.empty()) GTEST_SKIP() << reference().unavailable;
    for (const ReferenceCase& c : reference().cases) {
        WelchSpectrum w;
        const Status status = compute_welch(c.samples(), c.dx, c.parameters(), w);
        ASSERT_TRUE(status.ok) << c.name() << ": " << status.message;
        EXPECT_EQ(w.one_sided, !c.complex_signal) << c.name();
        EXPECT_EQ(w.segments, static_cast<long long>(c.columns.size())) << c.name();
        expect_relative(w.frequency, c.freq, c.name() + " frequency");
        expect_relative(w.density, c.welch, c.name() + " density");
    }
}

TEST(SpectralDensity, WindowsFollowTheirFormulas) {
    const std::vector<double> hann = segment_window_weights({SegmentWindowKind::hann, 0.0}, 8);
    const std::vector<double> expected_hann{0.0, 0.1464466094067262, 0.5, 0.8535533905932737,
                                            1.0, 0.8535533905932737, 0.5, 0.1464466094067262};
    for (std::size_t n = 0; n < hann.size(); ++n) EXPECT_NEAR(hann[n], expected_hann[n], 1e-16) << n;
    EXPECT_EQ(segment_window_weights({SegmentWindowKind::rectangular, 0.0}, 5), std::vector<double>(5, 1.0));
    // Kaiser with β = 0 is rectangular; its centre weight is always 1.
    EXPECT_EQ(segment_window_weights({SegmentWindowKind::kaiser, 0.0}, 6), std::vector<double>(6, 1.0));
    const std::vector<double> kaiser = segment_window_weights({SegmentWindowKind::kaiser, 8.6}, 10);
    EXPECT_DOUBLE_EQ(kaiser[5], 1.0);
    EXPECT_NEAR(kaiser[0], 1.0 / bessel_i0(8.6), 1e-18);
    EXPECT_EQ(kaiser[3], kaiser[7]);   // periodic: symmetric about n = L/2
    const std::vector<double> odd = segment_window_weights({SegmentWindowKind::kaiser, 8.6}, 9);
    EXPECT_NEAR(odd[4], bessel_i0(8.6 * std::sqrt(1.0 - 1.0 / 81.0)) / bessel_i0(8.6), 1e-14);   // argument in double here
    EXPECT_EQ(odd[4], odd[5]);
}

TEST(SpectralDensity, BesselI0MatchesKnownValues) {
    EXPECT_EQ(bessel_i0(0.0), 1.0);
    // 1.2660658777520084 is the exact series sum rounded.
    EXPECT_NEAR(bessel_i0(1.0) / 1.2660658777520084, 1.0, 2e-16);
    EXPECT_EQ(bessel_i0(-1.0), bessel_i0(1.0));
    EXPECT_NEAR(bessel_i0(10.0) / 2815.716628466254, 1.0, 4e-16);
    EXPECT_NEAR(bessel_i0(100.0) / 1.0737517071310738e42, 1.0, 4e-16);
    EXPECT_TRUE(std::isfinite(bessel_i0(kMaxKaiserBeta)));
}

// A tone at bin 5 of L = 32 with a rectangular window: all power at ±5 (a
// complex tone: at +5 only), none elsewhere.
TEST(SpectralDensity, ToneLandsInItsBin) {
    const long long l = 32;
    std::vector<Complex> real(64), complex_tone(64);
    for (long long n = 0; n < 64; ++n) {
        const double phase = kTwoPi * 5.0 * static_cast<double>(n) / static_cast<double>(l);
        real[static_cast<std::size_t>(n)] = {std::cos(phase), 0.0};
        complex_tone[static_cast<std::size_t>(n)] = {std::cos(phase), std::sin(phase)};
    }
    const SegmentParameters p{l, 0, {SegmentWindowKind::rectangular, 0.0}};
    WelchSpectrum one, two;
    ASSERT_TRUE(compute_welch(real, 0.5, p, one).ok);
    ASSERT_TRUE(compute_welch(complex_tone, 0.5, p, two).ok);
    ASSERT_EQ(one.density.size(), 17u);
    ASSERT_EQ(two.density.size(), 32u);
    EXPECT_DOUBLE_EQ(one.frequency[5], 5.0 / 16.0);
    EXPECT_DOUBLE_EQ(two.frequency[0], -1.0);   // −⌊L/2⌋/(L·DX)
    EXPECT_DOUBLE_EQ(two.frequency[16 + 5], 5.0 / 16.0);
    // |X[5]|² = (L/2)² for the cosine, doubled one-sided; L² for the complex tone.
    EXPECT_NEAR(one.density[5], 2.0 * 256.0 * 0.5 / 32.0, 1e-12);
    EXPECT_NEAR(two.density[21], 1024.0 * 0.5 / 32.0, 1e-12);
    for (std::size_t k = 0; k < one.density.size(); ++k)
        if (k != 5) {
            EXPECT_LT(one.density[k], 1e-24) << k;
        }
    for (std::size_t k = 0; k < two.density.size(); ++k)
        if (k != 21) {
            EXPECT_LT(two.density[k], 1e-24) << k;
        }
}

// The same bits for every thread count, the parts being fixed by the segment count.
TEST(SpectralDensity, ThreadCountDoesNotChangeTheBits) {
    std::vector<Complex> complex_signal = random_signal(20000, 9);
    std::vector<Complex> real_signal = random_signal(20000, 9);
    for (Complex& v : real_signal) v.imag(0.0);
    const SegmentParameters p{300, 100, {SegmentWindowKind::kaiser, 6.0}};
    for (const std::vector<Complex>* x : {&real_signal, &complex_signal}) {
        Spectrogram s1, s3;
        WelchSpectrum w1, w3;
        testing::with_threads(1, [&] {
            ASSERT_TRUE(compute_spectrogram(*x, 0.0, 1.0, p, s1).ok);
            ASSERT_TRUE(compute_welch(*x, 1.0, p, w1).ok);
        });
        testing::with_threads(3, [&] {
            ASSERT_TRUE(compute_spectrogram(*x, 0.0, 1.0, p, s3).ok);
            ASSERT_TRUE(compute_welch(*x, 1.0, p, w3).ok);
        });
        EXPECT_EQ(s1.density, s3.density);
        EXPECT_EQ(w1.density, w3.density);
        // Welch is the mean of the spectrogram's columns.
        for (long long k = 0; k < s1.bins; ++k) {
            double sum = 0;
            for (long long i = 0; i < s1.segments; ++i) sum += s1.at(i, k);
            EXPECT_NEAR(w1.density[static_cast<std::size_t>(k)], sum / static_cast<double>(s1.segments),
                        1e-12 * w1.density[static_cast<std::size_t>(k)]);
        }
    }
}

TEST(SpectralDensity, NonFiniteSamplesMakeTheirSegmentsNaN) {
    std::vector<Complex> x(1000, Complex{0.0, 0.0});
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = {std::sin(0.1 * static_cast<double>(i)), 0.0};
    x[150] = {kNaN, 0.0};
    x[700] = {std::numeric_limits<double>::infinity(), 0.0};
    const SegmentParameters p{100, 50, {SegmentWindowKind::hann, 0.0}};   // starts 0, 50, …, 900
    Spectrogram s;
    ASSERT_TRUE(compute_spectrogram(x, 0.0, 1.0, p, s).ok);
    ASSERT_EQ(s.segments, 19);
    EXPECT_EQ(s.nonfinite_segments, 4);   // 150 in segments 2, 3; 700 in 13, 14
    EXPECT_TRUE(s.one_sided);
    for (long long i = 0; i < s.segments; ++i) {
        const bool hit = i == 2 || i == 3 || i == 13 || i == 14;
        for (long long k = 0; k < s.bins; ++k) ASSERT_EQ(std::isnan(s.at(i, k)), hit) << i << " " << k;
    }
    WelchSpectrum w;
    ASSERT_TRUE(compute_welch(x, 1.0, p, w).ok);
    EXPECT_EQ(w.nonfinite_segments, 4);
    for (double d : w.density) EXPECT_TRUE(std::isnan(d));
    // A −Inf in the imaginary part alone: the signal is complex and the segment NaN.
    std::vector<Complex> y(200, Complex{1.0, 0.5});
    y[10] = {0.0, -std::numeric_limits<double>::infinity()};
    ASSERT_TRUE(compute_spectrogram(y, 0.0, 1.0, {100, 0, {}}, s).ok);
    EXPECT_FALSE(s.one_sided);
    EXPECT_EQ(s.nonfinite_segments, 1);
    EXPECT_TRUE(std::isnan(s.at(0, 0)));
    EXPECT_FALSE(std::isnan(s.at(1, 0)));
    // Finite samples whose densities overflow are not counted: their bins are +Inf.
    const std::vector<Complex> huge(64, Complex{1e200, 0.0});
    ASSERT_TRUE(compute_spectrogram(huge, 0.0, 1.0, {32, 0, {SegmentWindowKind::rectangular, 0.0}}, s).ok);
    EXPECT_EQ(s.nonfinite_segments, 0);
    EXPECT_EQ(s.at(1, 0), std::numeric_limits<double>::infinity());
}

TEST(SpectralDensity, HostileParametersAreRefused) {
    const std::vector<Complex> x = random_signal(100, 4);
    struct Case {
        SegmentParameters p;
        double dx;
        const std::string& message;
    };
    const SegmentWindow kaiser{SegmentWindowKind::kaiser, 5.0};
    const std::vector<Case> cases{
        {{101, 0, {}}, 1.0, kSegmentLengthInvalid},
        {{1, 0, {}}, 1.0, kSegmentLengthInvalid},
        {{0, 0, {}}, 1.0, kSegmentLengthInvalid},
        {{-5, 0, {}}, 1.0, kSegmentLengthInvalid},
        {{10, 10, {}}, 1.0, kSegmentOverlapInvalid},
        {{10, 11, {}}, 1.0, kSegmentOverlapInvalid},
        {{10, -1, {}}, 1.0, kSegmentOverlapInvalid},
        {{10, 0, {SegmentWindowKind::kaiser, -1.0}}, 1.0, kKaiserBetaInvalid},
        {{10, 0, {SegmentWindowKind::kaiser, 701.0}}, 1.0, kKaiserBetaInvalid},
        {{10, 0, {SegmentWindowKind::kaiser, kNaN}}, 1.0, kKaiserBetaInvalid},
        {{10, 0, kaiser}, 0.0, kSampleSpacingInvalid},
        {{10, 0, kaiser}, -1.0, kSampleSpacingInvalid},
        {{10, 0, kaiser}, kNaN, kSampleSpacingInvalid},
        {{10, 0, kaiser}, std::numeric_limits<double>::infinity(), kSampleSpacingInvalid},
    };
    for (const Case& c : cases) {
        Spectrogram s;
        s.segments = 77;
        WelchSpectrum w;
        w.segments = 77;
        EXPECT_EQ(compute_spectrogram(x, 0.0, c.dx, c.p, s).message, c.message) << c.p.length << " " << c.p.overlap;
        EXPECT_EQ(compute_welch(x, c.dx, c.p, w).message, c.message) << c.p.length << " " << c.p.overlap;
        EXPECT_EQ(s.segments, 77);   // left alone
        EXPECT_EQ(w.segments, 77);
    }
    Spectrogram s;
    EXPECT_EQ(compute_spectrogram({}, 0.0, 1.0, {2, 0, {}}, s).message, kSegmentLengthInvalid);
    // L = N: one segment, centred.
    ASSERT_TRUE(compute_spectrogram(x, 10.0, 0.5, {100, 99, {}}, s).ok);
    EXPECT_EQ(s.segments, 1);
    EXPECT_DOUBLE_EQ(s.time[0], 10.0 + 50.0 * 0.5);
}

// N = 2^24 with the shortest segments: every segment is computed, none is
// lost to a count that overflows, and the figures are the formula's. With the
// periodic squared cosine of L = 2 (w = 0, 1) a segment's density at both bins
// is its second sample squared, so Welch's mean is the mean of x[1..N-1]².
TEST(SpectralDensity, TwoTo24SamplesInTheShortestSegments) {
    const long long n = 1LL << 24;
    std::vector<Complex> x(static_cast<std::size_t>(n));
    for (long long i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = {std::sin(0.001 * static_cast<double>(i)) + 0.5, 0.0};
    WelchSpectrum w;
    ASSERT_TRUE(compute_welch(x, 0.5, {2, 1, {SegmentWindowKind::hann, 0.0}}, w).ok);
    EXPECT_EQ(w.segments, n - 1);
    long double squares = 0;
    for (long long i = 1; i < n; ++i) squares += std::norm(x[static_cast<std::size_t>(i)]);
    const double mean = static_cast<double>(squares / static_cast<long double>(n - 1)) * 0.5;
    ASSERT_EQ(w.density.size(), 2u);
    EXPECT_NEAR(w.density[0], mean, 1e-9 * mean);
    EXPECT_NEAR(w.density[1], mean, 1e-9 * mean);

    Spectrogram s;
    ASSERT_TRUE(compute_spectrogram(x, 1.0, 0.5, {3, 0, {SegmentWindowKind::rectangular, 0.0}}, s).ok);
    EXPECT_EQ(s.segments, n / 3);
    EXPECT_EQ(s.bins, 2);
    EXPECT_DOUBLE_EQ(s.time.back(), 1.0 + (static_cast<double>(3 * (n / 3 - 1)) + 1.5) * 0.5);
    for (long long segment : {0LL, n / 6, n / 3 - 1}) {
        const Complex* v = x.data() + 3 * segment;
        const double dc = (v[0] + v[1] + v[2]).real();
        EXPECT_NEAR(s.at(segment, 0), dc * dc * 0.5 / 3, 1e-12 * dc * dc) << segment;
    }
}

// More values than the limit are refused before any allocation.
TEST(SpectralDensity, OversizedSpectrogramIsRefused) {
    const std::vector<Complex> x(1 << 20, Complex{1.0, 0.0});
    Spectrogram s;
    EXPECT_EQ(compute_spectrogram(x, 0.0, 1.0, {1024, 1023, {}}, s).message, kSpectrogramTooLarge);
    EXPECT_EQ(s.segments, 0);
}

}  // namespace
}  // namespace zeph

// A run being ended by a signal ends the segments' transforms: the failure is
// reported and the results are left as they were. The stop request cannot be
// taken back, so it is made in a child.
TEST(SpectralDensityStop, NothingComputedOnceTheRunIsEnding) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::vector<zeph::Complex> x = zeph::testing::random_signal(5000, 1);
        zeph::request_stop(SIGTERM);
        zeph::Spectrogram s;
        zeph::WelchSpectrum w;
        bool ok = true;
        for (long long length : {256LL, 300LL, 257LL}) {   // power of two, mixed radix, chirp-z
            const zeph::SegmentParameters p{length, 10, {}};
            ok = ok && zeph::compute_spectrogram(x, 0.0, 1.0, p, s).message == zeph::kTransformStopped;
            ok = ok && zeph::compute_welch(x, 1.0, p, w).message == zeph::kTransformStopped;
        }
        ::_exit(ok && s.segments == 0 && w.segments == 0 && w.density.empty() ? 0 : 1);
    }
    int wait_status = 0;
    ASSERT_EQ(::waitpid(child, &wait_status, 0), child);
    ASSERT_TRUE(WIFEXITED(wait_status));
    EXPECT_EQ(WEXITSTATUS(wait_status), 0);
}
