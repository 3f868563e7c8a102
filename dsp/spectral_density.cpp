#include "dsp/spectral_density.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <new>

#include "base/parallel.hpp"
#include "dsp/any_length_fft.hpp"

namespace zeph {

namespace {

constexpr long double kPiLong = 3.141592653589793238462643383279502884L;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Segments are computed in at most this many parts, whatever the thread count.
constexpr long long kMaxParts = 64;

// What every segment shares: the window, the transform plan and how the
// transform's bins become densities.
struct SegmentSetup {
    long long length = 0;       // L
    long long step = 0;         // L − O
    bool one_sided = true;
    // A real signal with even L ≥ 4: the L real samples are transformed as L/2
    // complex ones, x[2n] + j·x[2n+1], and the halves separated after.
    bool half_length = false;
    long long bins = 0;
    double scale = 0.0;         // DX / Σ w²
    std::vector<double> window;
    std::vector<Complex> half_twiddles;   // e^(−j2πk/L), k ≤ L/2 (half_length only)
    TransformPlan plan;         // of L/2 points when half_length, else of L
};

Status make_setup(double dx, const SegmentParameters& p, bool real, SegmentSetup& setup) {
    setup.length = p.length;
    setup.step = p.length - p.overlap;
    setup.one_sided = real;
    setup.half_length = real && p.length % 2 == 0 && p.length >= 4;
    setup.bins = real ? p.length / 2 + 1 : p.length;
    try {
        setup.window = segment_window_weights(p.window, p.length);
        long double energy = 0;
        for (double w : setup.window) energy += static_cast<long double>(w) * w;
        setup.scale = static_cast<double>(static_cast<long double>(dx) / energy);
        if (setup.half_length) {
            setup.half_twiddles.resize(static_cast<std::size_t>(p.length / 2 + 1));
            for (long long k = 0; k <= p.length / 2; ++k) {
                const long double angle = -2.0L * kPiLong * static_cast<long double>(k) / static_cast<long double>(p.length);
                setup.half_twiddles[static_cast<std::size_t>(k)] = {static_cast<double>(std::cos(angle)),
                                                                    static_cast<double>(std::sin(angle))};
            }
        }
    } catch (const std::bad_alloc&) {
        return Status::failure(kSpectrogramTooLarge);
    }
    return setup.plan.prepare(setup.half_length ? p.length / 2 : p.length);
}

inline double squared_magnitude(Complex v) { return v.real() * v.real() + v.imag() * v.imag(); }

// The densities of one segment at a time, with one thread's storage.
class SegmentDensity {
public:
    explicit SegmentDensity(const SegmentSetup& setup)
        : setup_(setup), buffer_(static_cast<std::size_t>(setup.plan.length())) {}

    // Writes setup.bins densities of the segment starting at `segment` to
    // `out`. A non-finite sample makes them all NaN and `finite` false.
    Status compute(const Complex* segment, double* out, bool& finite) {
        if (setup_.half_length)
            load_pairs(segment);
        else
            load(segment);
        if (Status status = setup_.plan.forward(buffer_, work_); !status) return status;
        if (setup_.half_length)
            separate_halves(out);
        else if (setup_.one_sided)
            fold_one_sided(out);
        else
            shift_two_sided(out);
        // A NaN or ±Inf sample reaches every bin of the transform (sums and
        // products keep them), so only a non-finite bin asks for the samples
        // to be read again; finite samples can overflow too.
        finite = std::isfinite(out[0]) || all_finite(segment);
        if (!finite) std::fill(out, out + setup_.bins, kNaN);
        return Status::success();
    }

private:
    bool all_finite(const Complex* x) const {
        return std::all_of(x, x + setup_.length,
                           [](const Complex& v) { return std::isfinite(v.real()) && std::isfinite(v.imag()); });
    }

    void load(const Complex* x) {
        const double* w = setup_.window.data();
        for (long long n = 0; n < setup_.length; ++n)
            buffer_[static_cast<std::size_t>(n)] = {w[n] * x[n].real(), w[n] * x[n].imag()};
    }

    // Sample i's real part, weighted, to double i of the buffer: z[n] = a[2n] + j·a[2n+1].
    void load_pairs(const Complex* x) {
        const double* w = setup_.window.data();
        const double* in = reinterpret_cast<const double*>(x);   // {re, im} pairs
        double* out = reinterpret_cast<double*>(buffer_.data());
        for (long long i = 0; i < setup_.length; ++i) out[i] = w[i] * in[2 * i];
    }

    // Z = transform of z[n] = a[2n] + j·a[2n+1] (h = L/2 points); the real
    // signal's transform is X[k] = E[k] + e^(−j2πk/L)·O[k] with
    // E = (Z[k] + conj Z[h−k])/2, O = (Z[k] − conj Z[h−k])/(2j), Z[h] = Z[0].
    // The halves are left out until the end: |2X|²/4, doubled inside the band.
    void separate_halves(double* out) const {
        const long long h = setup_.length / 2;
        const Complex* z = buffer_.data();
        const Complex* tw = setup_.half_twiddles.data();
        auto twice_x = [&](Complex zk, Complex zr, Complex t) {   // zr = Z[h − k], not conjugated
            const double even_re = zk.real() + zr.real(), even_im = zk.imag() - zr.imag();
            const double d_re = zk.real() - zr.real(), d_im = zk.imag() + zr.imag();
            // odd = d/j = {d_im, −d_re}
            return Complex{even_re + t.real() * d_im + t.imag() * d_re, even_im - t.real() * d_re + t.imag() * d_im};
        };
        const double edge = 0.25 * setup_.scale, inside = 0.5 * setup_.scale;
        out[0] = edge * squared_magnitude(twice_x(z[0], z[0], tw[0]));
        for (long long k = 1; k < h; ++k) out[k] = inside * squared_magnitude(twice_x(z[k], z[h - k], tw[k]));
        out[h] = edge * squared_magnitude(twice_x(z[0], z[0], tw[h]));
    }

    void fold_one_sided(double* out) const {
        const long long nyquist = setup_.length % 2 == 0 ? setup_.length / 2 : -1;   // odd L: none
        for (long long k = 0; k < setup_.bins; ++k) {
            const double factor = (k == 0 || k == nyquist) ? 1.0 : 2.0;
            out[k] = factor * setup_.scale * squared_magnitude(buffer_[static_cast<std::size_t>(k)]);
        }
    }

    void shift_two_sided(double* out) const {
        const long long l = setup_.length, first = l - l / 2;   // bin of k = −⌊L/2⌋
        for (long long i = 0; i < l; ++i) {
            const long long k = i < l / 2 ? first + i : i - l / 2;
            out[i] = setup_.scale * squared_magnitude(buffer_[static_cast<std::size_t>(k)]);
        }
    }

    const SegmentSetup& setup_;
    TransformWorkspace work_;
    std::vector<Complex> buffer_;
};

std::vector<double> frequencies(const SegmentSetup& setup, double dx) {
    std::vector<double> f(static_cast<std::size_t>(setup.bins));
    const double span = static_cast<double>(setup.length) * dx;
    const long long lowest = setup.one_sided ? 0 : -(setup.length / 2);
    for (long long i = 0; i < setup.bins; ++i) f[static_cast<std::size_t>(i)] = static_cast<double>(lowest + i) / span;
    return f;
}

// For every segment, in parts taken by worker_threads() threads, each part
// with its own storage: computes the densities into row_of(part, segment,
// scratch) (a row of setup.bins values; scratch is the part's own), then calls
// done(part, row). Returns the failure of the first failing part, if any;
// nonfinite counts the segments found non-finite.
template <class RowOf, class Done>
Status for_each_segment(const Complex* x, long long segments, long long parts, const SegmentSetup& setup,
                        long long& nonfinite, RowOf&& row_of, Done&& done) {
    std::vector<Status> statuses(static_cast<std::size_t>(parts));
    std::vector<long long> counts(static_cast<std::size_t>(parts), 0);
    run_parts(static_cast<int>(parts), worker_threads(), [&](int part) {
        try {
            SegmentDensity density(setup);
            std::vector<double> scratch(static_cast<std::size_t>(setup.bins));
            for (long long i = part_start(segments, static_cast<int>(parts), part);
                 i < part_start(segments, static_cast<int>(parts), part + 1); ++i) {
                double* row = row_of(part, i, scratch.data());
                bool finite = true;
                if (Status s = density.compute(x + i * setup.step, row, finite); !s) {
                    statuses[static_cast<std::size_t>(part)] = s;
                    return;
                }
                if (!finite) ++counts[static_cast<std::size_t>(part)];
                done(part, row);
            }
        } catch (const std::bad_alloc&) {
            statuses[static_cast<std::size_t>(part)] = Status::failure(kSpectrogramTooLarge);
        }
    });
    nonfinite = 0;
    for (long long c : counts) nonfinite += c;
    for (const Status& s : statuses)
        if (!s) return s;
    return Status::success();
}

}  // namespace

Status check_segment_parameters(long long npts, double dx, const SegmentParameters& p) {
    if (p.length < 2 || p.length > npts) return Status::failure(kSegmentLengthInvalid);
    if (p.overlap < 0 || p.overlap >= p.length) return Status::failure(kSegmentOverlapInvalid);
    if (p.window.kind == SegmentWindowKind::kaiser &&
        !(p.window.kaiser_beta >= 0.0 && p.window.kaiser_beta <= kMaxKaiserBeta))
        return Status::failure(kKaiserBetaInvalid);
    if (!(dx > 0.0) || !std::isfinite(dx)) return Status::failure(kSampleSpacingInvalid);
    return Status::success();
}

long long segment_count(long long npts, const SegmentParameters& p) {
    return (npts - p.length) / (p.length - p.overlap) + 1;
}

double bessel_i0(double x) {
    const long double quarter_square = static_cast<long double>(x) * x / 4.0L;
    long double term = 1.0L, sum = 1.0L;
    for (int k = 1; k < 2000; ++k) {
        term *= quarter_square / (static_cast<long double>(k) * k);
        sum += term;
        if (term < sum * 1e-21L) break;
    }
    return static_cast<double>(sum);
}

std::vector<double> segment_window_weights(const SegmentWindow& window, long long length) {
    std::vector<double> w(static_cast<std::size_t>(length), 1.0);
    const auto l = static_cast<long double>(length);
    if (window.kind == SegmentWindowKind::hann) {
        for (long long n = 0; n < length; ++n) {
            const long double s = std::sin(kPiLong * static_cast<long double>(n) / l);
            w[static_cast<std::size_t>(n)] = static_cast<double>(s * s);
        }
    } else if (window.kind == SegmentWindowKind::kaiser) {
        // Symmetric about n = L/2: the second half mirrors the first.
        const long double peak = bessel_i0(window.kaiser_beta);
        for (long long n = 0; n <= length / 2; ++n) {
            const long double r = 2.0L * static_cast<long double>(n) / l - 1.0L;
            const long double argument = window.kaiser_beta * std::sqrt(std::max(0.0L, 1.0L - r * r));
            w[static_cast<std::size_t>(n)] = static_cast<double>(bessel_i0(static_cast<double>(argument)) / peak);
            if (n > 0) w[static_cast<std::size_t>(length - n)] = w[static_cast<std::size_t>(n)];
        }
    }
    return w;
}

bool is_real_signal(std::span<const Complex> x) {
    std::atomic<bool> real{true};
    run_blocks(static_cast<long long>(x.size()), kElementBlock * 8, [&](long long begin, long long end) {
        if (!real.load(std::memory_order_relaxed)) return;
        bool block_real = true;
        for (long long i = begin; i < end; ++i) block_real &= x[static_cast<std::size_t>(i)].imag() == 0.0;
        if (!block_real) real.store(false, std::memory_order_relaxed);
    });
    return real.load();
}

Status compute_spectrogram(std::span<const Complex> x, double xmin, double dx, const SegmentParameters& p,
                           Spectrogram& out) {
    const auto npts = static_cast<long long>(x.size());
    if (Status status = check_segment_parameters(npts, dx, p); !status) return status;
    SegmentSetup setup;
    if (Status status = make_setup(dx, p, is_real_signal(x), setup); !status) return status;
    const long long segments = segment_count(npts, p);
    if (segments > kMaxSpectrogramValues / setup.bins) return Status::failure(kSpectrogramTooLarge);

    Spectrogram result;
    try {
        result.density.resize(static_cast<std::size_t>(segments * setup.bins));   // fresh zero pages
        result.frequency = frequencies(setup, dx);
        result.time.resize(static_cast<std::size_t>(segments));
    } catch (const std::bad_alloc&) {
        return Status::failure(kSpectrogramTooLarge);
    }
    for (long long i = 0; i < segments; ++i)
        result.time[static_cast<std::size_t>(i)] =
            xmin + (static_cast<double>(i * setup.step) + static_cast<double>(p.length) / 2.0) * dx;
    const Status status = for_each_segment(
        x.data(), segments, std::min(segments, kMaxParts), setup, result.nonfinite_segments,
        [&](int, long long segment, double*) { return result.density.data() + segment * setup.bins; },
        [](int, const double*) {});
    if (!status) return status;
    result.one_sided = setup.one_sided;
    result.segments = segments;
    result.bins = setup.bins;
    out = std::move(result);
    return Status::success();
}

Status compute_welch(std::span<const Complex> x, double dx, const SegmentParameters& p, WelchSpectrum& out) {
    const auto npts = static_cast<long long>(x.size());
    if (Status status = check_segment_parameters(npts, dx, p); !status) return status;
    SegmentSetup setup;
    if (Status status = make_setup(dx, p, is_real_signal(x), setup); !status) return status;
    const long long segments = segment_count(npts, p);
    const long long parts = std::min(segments, kMaxParts);

    WelchSpectrum result;
    std::vector<double> sums;   // part by part, then added in part order
    try {
        sums.assign(static_cast<std::size_t>(parts * setup.bins), 0.0);
        result.frequency = frequencies(setup, dx);
        result.density.assign(static_cast<std::size_t>(setup.bins), 0.0);
    } catch (const std::bad_alloc&) {
        return Status::failure(kSpectrogramTooLarge);
    }
    const Status status = for_each_segment(
        x.data(), segments, parts, setup, result.nonfinite_segments,
        [](int, long long, double* scratch) { return scratch; },
        [&](int part, const double* row) {
            double* sum = sums.data() + part * setup.bins;
            for (long long k = 0; k < setup.bins; ++k) sum[k] += row[k];
        });
    if (!status) return status;
    for (long long part = 0; part < parts; ++part)
        for (long long k = 0; k < setup.bins; ++k)
            result.density[static_cast<std::size_t>(k)] += sums[static_cast<std::size_t>(part * setup.bins + k)];
    for (double& d : result.density) d /= static_cast<double>(segments);
    result.one_sided = setup.one_sided;
    result.segments = segments;
    out = std::move(result);
    return Status::success();
}

}  // namespace zeph
