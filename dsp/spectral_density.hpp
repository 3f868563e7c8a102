#pragma once
// Power spectral density of a signal cut into overlapping windowed segments:
// the spectrogram (one density per segment) and Welch's estimate (their
// mean). Figures follow scipy.signal.spectrogram / welch with
// detrend=False, scaling='density', no padding (nfft = L).
//
// Segments: segment i covers samples [i·(L − O), i·(L − O) + L) for every i
// whose segment fits inside the N samples; the remainder is not used.
// Density of segment i at bin k (forward transform, unscaled):
//   P[k] = |Σ_{n<L} w[n]·x[start + n]·e^(−j2πnk/L)|² · DX / Σ_n w[n]²
// in (signal unit)² per (1/abscissa unit), i.e. V²/Hz for volts over seconds.
//   * A real signal (every imaginary part == 0, checked over all N samples)
//     gives one-sided densities at f = k/(L·DX), k = 0 … ⌊L/2⌋; the bins
//     strictly between zero and ⌊L/2⌋ are doubled, and so is bin ⌊L/2⌋ when
//     L is odd (that bin is then not the Nyquist frequency).
//   * Any other signal gives two-sided densities at f = k/(L·DX),
//     k = −⌊L/2⌋ … ⌈L/2⌉ − 1, lowest frequency first.
// Time of segment i: the abscissa of its centre, XMIN + (start + L/2)·DX
// (L/2 not rounded).
//
// A segment holding a NaN or ±Inf sample has NaN densities at every bin, and
// is counted. Welch's mean over the segments is then NaN at every bin (as the
// mean over the segments of SciPy): the count tells the caller why.
//
// Segments are computed on worker_threads() threads in parts that do not
// depend on the thread count, and summed in part order: every ZEPH_THREADS
// gives the same bits.
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "base/zeroed_allocator.hpp"

namespace zeph {

inline const std::string kSegmentLengthInvalid = "ERROR. SEGMENT LENGTH MUST BE FROM 2 TO THE NUMBER OF POINTS.";
inline const std::string kSegmentOverlapInvalid = "ERROR. OVERLAP MUST BE FROM 0 TO SEGMENT LENGTH - 1.";
inline const std::string kKaiserBetaInvalid = "ERROR. KAISER BETA MUST BE FROM 0 TO 700.";
inline const std::string kSampleSpacingInvalid = "ERROR. SAMPLE SPACING MUST BE POSITIVE AND FINITE.";
inline const std::string kSpectrogramTooLarge = "ERROR. NOT ENOUGH MEMORY FOR THE SPECTROGRAM.";

// Largest Kaiser β: I0(β) stays finite in double up to about 713.
inline constexpr double kMaxKaiserBeta = 700.0;
// Largest spectrogram accepted, in values (segments × bins): 2 GiB of doubles.
inline constexpr long long kMaxSpectrogramValues = 1LL << 28;

// The taper of every segment, periodic (the L-point window is the first L
// points of the symmetric (L+1)-point one):
//   hann         w[n] = sin²(πn/L)                 (SciPy 'hann', sym=False)
//   rectangular  w[n] = 1                          ('boxcar')
//   kaiser       w[n] = I0(β·√(1 − (2n/L − 1)²)) / I0(β)   (('kaiser', β), sym=False)
enum class SegmentWindowKind { hann, rectangular, kaiser };

struct SegmentWindow {
    SegmentWindowKind kind = SegmentWindowKind::hann;
    double kaiser_beta = 0.0;   // kaiser only: 0 ≤ β ≤ kMaxKaiserBeta
};

struct SegmentParameters {
    long long length = 256;    // L, samples per segment: 2 ≤ L ≤ N
    long long overlap = 128;   // O, samples shared by neighbouring segments: 0 ≤ O < L
    SegmentWindow window;
};

// Refuses, in this order: L < 2 or L > npts (kSegmentLengthInvalid), O < 0 or
// O ≥ L (kSegmentOverlapInvalid), a Kaiser β that is negative, above
// kMaxKaiserBeta or not finite (kKaiserBetaInvalid), a sample spacing dx
// that is not positive and finite (kSampleSpacingInvalid).
Status check_segment_parameters(long long npts, double dx, const SegmentParameters& p);

// Segments of npts samples: ⌊(npts − L)/(L − O)⌋ + 1. Precondition:
// check_segment_parameters succeeded.
long long segment_count(long long npts, const SegmentParameters& p);

// The L weights of the window. Precondition: L ≥ 1, β as above.
std::vector<double> segment_window_weights(const SegmentWindow& window, long long length);

// Modified Bessel function of the first kind, order 0, to full double
// precision for 0 ≤ |x| ≤ 700 (power series of positive terms in long double).
double bessel_i0(double x);

// True when every imaginary part is zero (a NaN one is not): the densities
// are then one-sided.
bool is_real_signal(std::span<const Complex> x);

// Spectrogram: one column per segment (time across), one row per frequency
// bin (frequency up).
struct Spectrogram {
    bool one_sided = true;
    long long segments = 0;            // columns
    long long bins = 0;                // rows: ⌊L/2⌋ + 1 one-sided, L two-sided
    std::vector<double> frequency;     // `bins` values, ascending [1/abscissa unit]
    std::vector<double> time;          // `segments` values, ascending [abscissa unit]
    // segments·bins values, segment by segment [(signal unit)²·abscissa unit]
    std::vector<double, ZeroedAllocator<double>> density;
    long long nonfinite_segments = 0;  // columns that are all NaN

    double at(long long segment, long long bin) const {
        return density[static_cast<std::size_t>(segment * bins + bin)];
    }
};

// Welch's estimate: the mean of the segments' densities.
struct WelchSpectrum {
    bool one_sided = true;
    long long segments = 0;            // segments averaged (NaN ones included)
    std::vector<double> frequency;     // as Spectrogram::frequency
    std::vector<double> density;       // one value per frequency [(signal unit)²·abscissa unit]
    long long nonfinite_segments = 0;  // when > 0, every density is NaN
};

// The spectrogram of x, whose sample i lies at xmin + i·dx (xmin finite).
// On failure `out` is unchanged and the status carries one of the messages
// above, kSpectrogramTooLarge (more than kMaxSpectrogramValues values, or
// memory ran out) or kTransformStopped (the run is ending).
Status compute_spectrogram(std::span<const Complex> x, double xmin, double dx, const SegmentParameters& p,
                           Spectrogram& out);

// Welch's estimate of x with sample spacing dx. Failures as compute_spectrogram
// (never kSpectrogramTooLarge for its size: it keeps no matrix).
Status compute_welch(std::span<const Complex> x, double dx, const SegmentParameters& p, WelchSpectrum& out);

}  // namespace zeph
