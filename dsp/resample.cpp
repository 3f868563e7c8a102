#include "dsp/resample.hpp"

#include <algorithm>
#include <cstdio>

namespace zeph {

namespace {

constexpr int kMaxUpsampledLog2 = 30;

Grid& own_grid(ResampleTarget& t) { return t.current.domain == Domain::time ? t.waveform : t.spectrum; }

long long capacity(const ResampleTarget& t) { return static_cast<long long>(t.current.storage.size()); }

// The spectrum's first frequency for N points of step df: −(N/2)·DF.
double centred_start(int npts, double df) { return -static_cast<double>(npts / 2) * df; }

// After CH: the signal's own grid takes N, XMIN, DX; in linked mode the other
// domain's step follows from DF = 1/(N·DT), with the spectrum centred and the
// waveform starting at 0.
void align_grids_after_change(ResampleTarget& t) {
    const Grid& c = t.current;
    own_grid(t) = c;
    if (!t.linked) return;
    if (t.current.domain == Domain::time) {
        t.spectrum.dx = 1.0 / (c.npts * c.dx);
        t.spectrum.xmin = centred_start(c.npts, t.spectrum.dx);
    } else {
        t.waveform.dx = 1.0 / (c.npts * c.dx);
        t.waveform.xmin = 0.0;
    }
}

// After CS: as after CH, but a spectrum is re-centred on zero frequency.
// In independent mode the other grid belongs to an unrelated signal and is
// left alone.
void align_grids_after_resampling(ResampleTarget& t) {
    Grid& c = t.current;
    if (t.current.spectrum()) c.xmin = centred_start(c.npts, c.dx);
    align_grids_after_change(t);
}

bool is_upsampled_power_of_two(long long count) {
    for (int m = 1; m <= kMaxUpsampledLog2; ++m) {
        if (count == (1LL << m)) return true;
    }
    return false;
}

// Spreads the N samples R apart, each scaled by 1/N; working from the last
// sample down never overwrites a sample not yet moved.
void spread(std::span<Complex> s, int npts, int ratio) {
    for (int k = npts - 1; k >= 0; --k) {
        const Complex value = s[static_cast<std::size_t>(k)] / static_cast<double>(npts);
        const std::size_t at = static_cast<std::size_t>(k) * static_cast<std::size_t>(ratio);
        std::fill(s.begin() + static_cast<std::ptrdiff_t>(at) + 1, s.begin() + static_cast<std::ptrdiff_t>(at) + ratio,
                  Complex{});
        s[at] = value;
    }
}

// Clears the L − N + 1 bins from N/2 to L − N/2 (0-based, inclusive): the
// bins 0 … N/2 − 1 and L − N/2 + 1 … L − 1 of the input's band remain, its
// Nyquist bin goes. For the one odd N possible (N = 1) the DC bin stays.
void clear_outside_band(std::span<Complex> bins, int npts) {
    const std::size_t length = bins.size();
    const std::size_t n = static_cast<std::size_t>(npts);
    const std::size_t first = (n + 1) / 2;
    const std::size_t last = length - n / 2 - n % 2;
    std::fill(bins.begin() + static_cast<std::ptrdiff_t>(first), bins.begin() + static_cast<std::ptrdiff_t>(last) + 1,
              Complex{});
}

}  // namespace

std::string max_points_message(int max_points) {
    char number[32];
    std::snprintf(number, sizeof number, "%8d", max_points);
    return std::string("ERROR.") + number + " MAXIMUM POINTS ALLOWED.";
}

std::string upsampled_not_power_of_two_message(long long count) {
    char number[32];
    std::snprintf(number, sizeof number, "%8lld", count);
    return std::string("# sampling points after upsampling,") + number + ", is not a power of 2";
}

Status change_point_count(ResampleTarget& target, int first_point, int new_count) {
    if (new_count > capacity(target)) return Status::failure(max_points_message(static_cast<int>(capacity(target))));
    if (new_count < 1) return Status::failure(kNewCountBelowOne);
    Grid& c = target.current;
    const long long first = std::max(first_point, 1) - 1;   // 0-based
    const long long moved = std::clamp<long long>(c.npts - first, 0, new_count);
    const auto begin = target.current.storage.begin();
    if (first > 0) {
        c.xmin += static_cast<double>(first) * c.dx;
        std::copy(begin + first, begin + first + moved, begin);
    }
    std::fill(begin + moved, begin + new_count, Complex{});
    c.npts = new_count;
    align_grids_after_change(target);
    return Status::success();
}

Status change_abscissa(ResampleTarget& target, double new_xmin, double new_dx) {
    if (!(new_dx > 0.0)) return Status::failure(kStepNotPositive);
    target.current.xmin = new_xmin;
    target.current.dx = new_dx;
    align_grids_after_change(target);
    return Status::success();
}

Status decimate(ResampleTarget& target, int first_point, int ratio) {
    if (ratio < 1) return Status::failure(kRatioBelowOne);
    Grid& c = target.current;
    const long long first = std::max(first_point, 1) - 1;   // 0-based
    const long long kept = (static_cast<long long>(c.npts) - first + ratio - 1) / ratio;
    if (first >= c.npts || kept < 1) return Status::failure(kNoSampleKept);
    for (long long j = 0; j < kept; ++j) {
        target.current.storage[static_cast<std::size_t>(j)] = target.current.storage[static_cast<std::size_t>(first + j * ratio)];
    }
    c.npts = static_cast<int>(kept);
    c.xmin += static_cast<double>(first) * c.dx;
    c.dx *= ratio;
    align_grids_after_resampling(target);
    return Status::success();
}

Status interpolate(ResampleTarget& target, int ratio, BitReverseTable& table) {
    if (ratio < 1) return Status::failure(kRatioBelowOne);
    Grid& c = target.current;
    const long long length = static_cast<long long>(c.npts) * ratio;
    if (length > capacity(target)) return Status::failure(kTooManyUpsampled);
    if (!is_upsampled_power_of_two(length)) return Status::failure(upsampled_not_power_of_two_message(length));
    const std::span<Complex> samples = target.current.storage.first(static_cast<std::size_t>(length));
    spread(samples, c.npts, ratio);
    // L is a power of two within the table's range, so neither transform can refuse.
    fft_forward(samples, table);
    clear_outside_band(samples, c.npts);
    fft_inverse(samples, table);
    c.npts = static_cast<int>(length);
    c.dx /= ratio;
    align_grids_after_resampling(target);
    return Status::success();
}

}  // namespace zeph
