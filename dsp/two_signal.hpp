#pragma once
// AC, CV and XC (correlation and convolution) and DX and IX (derivative and
// integral), all by way of the transform. They are circular over the N points
// of the record (N a power of two, 2 … 2^30) and scaled by the sample step
// Δ, so that they approximate the continuous integrals:
//   CV  r[n] = Δ·Σ_m a[m]·b[(n − m) mod N]
//   XC  r[n] = Δ·Σ_m a[m]·b[(m − n) mod N]     (no conjugate is taken)
//   AC  r[n] = Δ·Σ_m x[m]·x[(m − n) mod N]
// DX multiplies bin k by j·2π·ν_k/(N·Δ) and IX divides by it (bin 0 becomes
// 0: the integral has zero mean), with ν_k = k below N/2 and k − N from N/2
// on (the middle bin counts as −N/2).
//
// Every routine either succeeds or fails with its message and leaves every
// sample as it was.
#include <span>
#include <string>

#include "base/complex.hpp"
#include "base/signal_grid.hpp"
#include "base/status.hpp"
#include "dsp/fft.hpp"

namespace zeph {

// CV and XC were handed operands of different lengths (the caller checks the grids first).
inline const std::string kOperandLengthsDiffer = "ERROR. SIGNALS A AND B MUST HAVE THE SAME NUMBER OF POINTS.";
// A zero (or non-finite) step makes the derivative's factor infinite.
inline const std::string kDerivativeStepZero = "ERROR. dX must not be zero for the derivative.";

// CV: the circular convolution of a and b, scaled by `step`, into the signal
// that `result` names (Domain::time: a, the signal A; Domain::frequency: b);
// the other keeps its samples. Fails with kNotPowerOfTwo or kOperandLengthsDiffer. Works on a
// copy of the other operand (N extra samples of storage).
Status convolve(std::span<Complex> a, std::span<Complex> b, Domain result, double step,
                BitReverseTable& table);

// XC: the circular cross-correlation of a with b, scaled by `step`, into the
// signal that `result` names. For real signals it equals the correlation with the
// conjugate of b. Same failures and storage as convolve.
Status cross_correlate(std::span<Complex> a, std::span<Complex> b, Domain result, double step,
                       BitReverseTable& table);

// AC: the circular auto-correlation of x, scaled by `step`, in place.
// Fails with kNotPowerOfTwo.
Status autocorrelate(std::span<Complex> x, double step, BitReverseTable& table);

// DX: the derivative of x with respect to the abscissa, in place. Exact for
// a periodic signal band-limited below N/2 bins. Fails with kNotPowerOfTwo or
// kDerivativeStepZero.
Status differentiate(std::span<Complex> x, double step, BitReverseTable& table);

// IX: the zero-mean integral of x with respect to the abscissa, in place.
// Fails with kNotPowerOfTwo.
Status integrate(std::span<Complex> x, double step, BitReverseTable& table);

}  // namespace zeph
