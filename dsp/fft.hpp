#pragma once
// The discrete Fourier transform of the program and the rule by which the
// spectrum Y(f) (signal B) and the waveform y(t) (signal A) are made from one
// another.
//
// Transforms are in place, radix-2 (computed two stages at a time, with AVX2
// where the processor has it: the same bits either way), unscaled:
//   forward  X[k] = Σ_{n=0}^{N−1} x[n]·e^(−j2πnk/N)
//   inverse  x[n] = Σ_{k=0}^{N−1} X[k]·e^(+j2πnk/N)
// so a forward transform followed by the inverse multiplies by N.
//
// Spectrum layout: sample i (0-based) of a created spectrum lies at
// Fmin + i·DF with Fmin = −(N/2)·DF, so zero frequency is sample N/2.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/signal_grid.hpp"
#include "base/status.hpp"
#include "base/zeroed_allocator.hpp"

namespace zeph {

inline const std::string kNotPowerOfTwo = "ERROR. NUMBER POINTS MUST BE A POWER OF 2.";
// A transform asked for while the run is being ended by a signal is not made.
inline const std::string kTransformStopped = "Transform not made: the run is ending.";
// A caller handed storage shorter than the grid's point count.
inline const std::string kStorageTooSmall = "ERROR. NUMBER POINTS EXCEEDS THE ALLOCATED STORAGE.";
// The tables of a new point count could not be allocated.
inline const std::string kTablesTooLarge = "ERROR. NOT ENOUGH MEMORY FOR THE FFT TABLES.";

// Largest point count a transform accepts: the table holds 32-bit indices.
inline constexpr int kMaxTransformLog2 = 30;

// The low `bits` bits of i in reverse order.
std::uint32_t bit_reverse(std::uint32_t i, int bits);

// The power-of-two rule of every caller of the transform: n = 2^m with m from
// 1 to 30 (so n = 1 is refused). On success log2n = m; otherwise the status
// carries kNotPowerOfTwo and log2n is left alone.
Status check_power_of_two(long long n, int& log2n);

// The tables of one point count N: the bit reversal of the middle bits of an
// index (all but the three lowest and the three highest, see unscramble); the
// twiddle factors e^(−j2πk/s) of every stage, kept contiguous per stage.
// Filled once per point count, not per transform. Memory: about 16 bytes per
// point (twiddles) for N above 2^16; for smaller N, about 48 bytes per point
// (twiddles and working storage).
class BitReverseTable {
public:
    // Fills the tables for 2^log2n points unless they already hold them.
    // Fails with kNotPowerOfTwo unless 0 ≤ log2n ≤ kMaxTransformLog2, and
    // with kTablesTooLarge when memory runs out (the tables are then empty).
    Status prepare(int log2n);
    // Discards the remembered point count (after the signal arrays are
    // allocated anew), so the next transform refills the tables.
    void forget();

    // The point count the tables were last filled for; −1 when none.
    int points() const { return points_; }
    int log2_points() const { return log2_points_; }
    // Entry i: bit_reverse(i, log2 N − 6) (one entry of 0 for N < 2^7).
    std::span<const std::int32_t> mid_reverse() const { return mid_reverse_; }
    // For 2^5 ≤ N ≤ 2^16: the transform runs out of place in `scratch` (N
    // samples) and its last stages write each result straight to its place
    // in natural order; entry b of tail_reverse is bit_reverse(b, log2 N − t)
    // for the blocks of 2^t points of those stages (t = 4 for even log2 N, 3
    // for odd). Empty for other N.
    std::span<const std::int32_t> tail_reverse() const { return tail_reverse_; }
    Complex* scratch() { return scratch_.data(); }
    // N samples for a second operand (the two-signal operations), kept with
    // the tables so that the next command at this N fills the same pages
    // instead of fresh ones; released when the tables are prepared for
    // another N or forgotten. Empty before a successful prepare or when
    // memory runs out. The contents are what the last user left.
    std::span<Complex> operand_storage();
    // How often the tables were filled (a transform at an unchanged N reuses them).
    int fill_count() const { return fill_count_; }
    // The bytes the tables and storage hold now: those of a larger N are
    // released when the tables are filled for a smaller one.
    std::size_t held_bytes() const;

    // Twiddles of the stage pair whose butterflies span 2^log2_size points
    // (log2_size ≥ 3): for each k < 2^log2_size/4 the factors w^k, w^2k, w^3k
    // (w = e^(−j2π/2^log2_size)), each stored as {re, re} and {−im, im} with
    // the two k of a pair interleaved (see fft.cpp), or as {re, im} when
    // log2_size > 16.
    const double* stage_twiddles(int log2_size) const;

private:
    void fill_reverse();
    void fill_twiddles();

    int points_ = -1;
    int log2_points_ = -1;
    int fill_count_ = 0;
    std::vector<std::int32_t, ZeroedAllocator<std::int32_t>> mid_reverse_;   // filled whole
    std::vector<std::int32_t, ZeroedAllocator<std::int32_t>> tail_reverse_;
    std::vector<Complex, ZeroedAllocator<Complex>> scratch_;
    std::vector<double, ZeroedAllocator<double>> twiddles_;   // written once, not zeroed first
    std::vector<Complex, ZeroedAllocator<Complex>> operand_;
    std::vector<std::size_t> stage_offset_;   // index: log2 of the stage size
};

// X[k] = Σ x[n]·e^(−j2πnk/N), unscaled, in natural order. x.size() must be a
// power of two (1 … 2^30); otherwise kNotPowerOfTwo and x is unchanged (as
// with kTablesTooLarge).
Status fft_forward(std::span<Complex> x, BitReverseTable& table);

// x[n] = Σ X[k]·e^(+j2πnk/N), unscaled: conjugate, forward transform,
// conjugate. Same size rule as fft_forward.
Status fft_inverse(std::span<Complex> x, BitReverseTable& table);

// For i = 0 … N/2−1 exchanges sample i and sample i+N/2, multiplying both by
// `factor`: moves zero frequency between index 0 and index N/2. N is even
// wherever it is used (an odd N leaves the last sample as it was).
void half_swap_scale(std::span<Complex> x, double factor);

// Grid (base/signal_grid.hpp): point count, first abscissa and step of one signal.

// Spectrum creation: spectrum[0 … N−1] = DT·(transform of waveform[0 … N−1])
// with zero frequency moved to index N/2, N = time.npts. The spectrum grid
// becomes N, Fmin = −(N/2)·DF (N/2 by integer division), DF = 1/(N·DT); DT
// makes B approximate the continuous Fourier transform of y(t). The waveform's
// Tmin is not used. Fails with kNotPowerOfTwo (N not 2 … 2^30) or
// kStorageTooSmall, leaving spectrum and `frequency` unchanged. The two spans
// may not overlap unless they are the same storage.
Status create_spectrum(std::span<const Complex> waveform, const Grid& time, std::span<Complex> spectrum,
                       Grid& frequency, BitReverseTable& table);

// Waveform creation, the reverse of create_spectrum: N = frequency.npts, the
// spectrum is copied, half-swapped with the factor DF (= (1/N)/DT) and
// inverse-transformed. The waveform grid becomes N, Tmin = 0,
// DT = (1/N)/DF. The spectrum's Fmin is not read: it assumes the layout that
// create_spectrum makes. Same failures as create_spectrum.
Status create_waveform(std::span<const Complex> spectrum, const Grid& frequency, std::span<Complex> waveform,
                       Grid& time, BitReverseTable& table);

}  // namespace zeph
