#pragma once
// Discrete Fourier transforms of any length L ≥ 2, unscaled:
//   forward  X[k] = Σ_{n=0}^{L−1} x[n]·e^(−j2πnk/L)
//   inverse  x[n] = Σ_{k=0}^{L−1} X[k]·e^(+j2πnk/L)
// A power of two goes to fft_forward (the same bits as the program's own
// transform); a length whose prime factors are all at most kLargestRadix is
// computed by a mixed-radix Stockham transform (radices 4, 2, 3, 5 and a
// general odd radix), its power-of-two factor P, when P ≥ kMinSplit, by
// fft_forward on blocks of P points; any other length by the chirp-z
// (Bluestein) algorithm, a cyclic convolution of power-of-two length
// M ≥ 2L − 1 made with fft_forward.
//
// A plan holds the tables of one L and is read only after prepare(), so one
// plan may serve several threads at once, each with its own workspace.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "dsp/fft.hpp"

namespace zeph {

// Longest transform: the chirp-z convolution of 2^30 points must hold 2L − 1.
inline constexpr long long kMaxAnyLength = 1LL << 29;
// Largest prime factor the mixed-radix transform takes; beyond it, chirp-z.
inline constexpr int kLargestRadix = 31;
// Smallest power-of-two factor of a mixed-radix length that goes to fft_forward.
inline constexpr long long kMinSplit = 32;

inline const std::string kTransformLengthInvalid = "ERROR. TRANSFORM LENGTH MUST BE FROM 2 TO 536870912.";
inline const std::string kTransformLengthMismatch = "ERROR. SAMPLE COUNT DIFFERS FROM THE TRANSFORM LENGTH.";

// Working storage of the transforms of one thread: the power-of-two tables
// and a buffer, sized on first use for the plan at hand and kept for the next
// transform. Not shared between threads.
class TransformWorkspace {
private:
    friend class TransformPlan;
    BitReverseTable table_;
    std::vector<Complex> buffer_;
};

class TransformPlan {
public:
    enum class Method { power_of_two, mixed_radix, chirp_z };

    // Fills the tables of length L unless they already hold them. Fails with
    // kTransformLengthInvalid unless 2 ≤ L ≤ kMaxAnyLength, and with
    // kTablesTooLarge when memory runs out (the plan is then empty).
    Status prepare(long long length);

    // 0 before a successful prepare.
    long long length() const { return length_; }
    Method method() const { return method_; }
    // Mixed radix: the power of two P that divides L and is transformed by
    // fft_forward (L = P·Q, P ≥ kMinSplit), or 1 when every factor is left to
    // the stages. 1 for the other methods.
    long long power_of_two_factor() const { return split_; }
    // The radices of the mixed-radix stages (of Q = L/P), first stage first;
    // empty for the other methods.
    std::vector<int> radices() const;

    // X = forward transform of x, in place. x.size() must equal length()
    // (else kTransformLengthMismatch, x unchanged). Fails with
    // kTransformStopped when the run is ending and with kTablesTooLarge when
    // the workspace cannot grow; x is then unspecified. Non-finite samples
    // spread to every output, as in any transform.
    Status forward(std::span<Complex> x, TransformWorkspace& work) const;
    // x = inverse transform of X (unscaled: forward then inverse multiplies
    // by L). Same rules as forward.
    Status inverse(std::span<Complex> x, TransformWorkspace& work) const;

private:
    struct Stage {
        int radix = 0;
        long long span = 0;     // sub-transform length n at this stage (n = radix·m)
        long long stride = 0;   // s: interleaved sub-transforms
        std::size_t twiddle_offset = 0;   // w_n^(q·j), q < m, 1 ≤ j < radix
        std::size_t root_offset = 0;      // w_radix^(r·j), 1 ≤ r, j ≤ radix/2 (general radix only)
    };

    void run_stages(Complex* x, Complex* y) const;
    void twiddle_blocks(Complex* data) const;   // times w_L^(n1·k2) before the P-point transforms
    Status chirp_z_forward(std::span<Complex> x, TransformWorkspace& work) const;

    long long length_ = 0;
    Method method_ = Method::power_of_two;
    int log2_length_ = 0;
    long long split_ = 1;
    std::vector<Complex> split_twiddles_;   // w_L^(n1·k2) at n1 + P·k2
    std::vector<Stage> stages_;
    std::vector<Complex> twiddles_;
    std::vector<Complex> roots_;
    // Chirp-z: chirp_[n] = e^(−jπn²/L), n < L; kernel_ = the transform of the
    // conjugate chirp laid out cyclically on M points, divided by M.
    std::vector<Complex> chirp_;
    std::vector<Complex> kernel_;
    int padded_log2_ = 0;
};

}  // namespace zeph
