#pragma once
// CH and CS: point-count and sample-rate changes of the current signal, and
// the grid bookkeeping that keeps the other domain in line:
//   linked grids obey DF = 1/(N·DT), Fmin = −(N/2)·DF (N/2 by integer division).
#include <span>
#include <string>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "dsp/fft.hpp"

namespace zeph {

// Zero is refused too, although the message allows it.
inline const std::string kStepNotPositive = "dT or dF must be ≥ 0";
inline const std::string kTooManyUpsampled =
    "Too many samples will be generated. Reduce sample pointsor oversampling ratio.";
// Refusals of inputs that would divide by zero or keep no sample.
inline const std::string kNewCountBelowOne = "ERROR. New number of points must be at least 1.";
inline const std::string kRatioBelowOne = "ERROR. Sampling ratio must be at least 1.";
inline const std::string kNoSampleKept = "ERROR. First point # is beyond the last sample. No sample would be kept.";

// "ERROR." + max_points in 8 columns + " MAXIMUM POINTS ALLOWED."
std::string max_points_message(int max_points);
// "# sampling points after upsampling," + count in 8 columns + ", is not a power of 2"
std::string upsampled_not_power_of_two_message(long long count);

// What CH and CS work on: the current signal (its whole storage, max_points
// values, and the grid in use), and the workspace's two grids, which they
// bring into line afterwards.
struct ResampleTarget {
    SignalRef current;   // the waveform (Domain::time) or the spectrum
    Grid waveform;       // npts_a, Tmin, DT
    Grid spectrum;       // npts_b, Fmin, DF
    bool linked = true;  // signal_mode linked: the other grid follows this one
};

// Every routine below either succeeds, changing samples and grids, or fails
// with its message and changes nothing. On success the signal's own grid
// (waveform or spectrum) becomes `current`, and in linked mode the other grid
// follows: after a waveform change DF = 1/(N·DT) and Fmin = −(N/2)·DF, after a
// spectrum change DT = 1/(N·DF) and Tmin = 0. CS also re-centres a spectrum:
// XMIN = −(N/2)·DF. In independent mode the other grid belongs to an unrelated
// signal and is left alone. The other grid's point count is never changed.

// CH, choice A: keep new_count samples starting at first_point (1-based; a
// value below 1 counts as 1), zero-filling past the old end. A start beyond 1
// moves XMIN on by (first_point − 1)·DX. Refuses new_count > max_points and
// new_count < 1.
Status change_point_count(ResampleTarget& target, int first_point, int new_count);

// CH, choice B: relabel the abscissa (samples unchanged). Refuses new_dx ≤ 0.
Status change_abscissa(ResampleTarget& target, double new_xmin, double new_dx);

// CS, decrease: keep samples first_point, first_point + R, … (1-based; a
// first point below 1 counts as 1) without filtering; DX ← R·DX. Refuses
// R < 1 and a first point beyond the last sample.
Status decimate(ResampleTarget& target, int first_point, int ratio);

// CS, increase: band-limited interpolation by R. The samples are spread R
// apart (scaled by 1/N), transformed over L = N·R points, every bin outside
// the input's band is cleared (the input's Nyquist bin too), and transformed
// back with fft_forward and fft_inverse; the result passes through the input
// samples. DX ← DX/R. Refuses R < 1, L > max_points and L not a power of two
// (2 … 2^30).
Status interpolate(ResampleTarget& target, int ratio, BitReverseTable& table);

}  // namespace zeph
