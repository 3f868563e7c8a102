#include "dsp/two_signal.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zeph {

namespace {

// The plain complex product; std::complex's operator* also recovers infinities
// from NaN parts, which costs a library call per sample.
inline Complex product(Complex x, Complex y) {
    return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

Status check_record(std::size_t n) {
    int log2n = 0;
    return check_power_of_two(static_cast<long long>(n), log2n);
}

// Signed frequency index of bin k: k below N/2, k − N from N/2 on.
inline double frequency_index(std::size_t k, std::size_t n) {
    return k < n / 2 ? static_cast<double>(k) : static_cast<double>(k) - static_cast<double>(n);
}

// How the two spectra are combined: CV takes A_k·B_k, XC takes A_k·B_(−k).
enum class Pairing { same_bin, mirrored_bin };

void conjugate(std::span<Complex> x) {
    for (Complex& v : x) v = {v.real(), -v.imag()};
}

// XC needs B_(−k), the mirrored bin. B_(−k) = conj(H_k) with H the transform
// of conj(b), so the product is taken bin by bin in natural order: walking
// the mirrored pairs in place is markedly slower.
Status correlate_pair(std::span<Complex> a, std::span<Complex> b, Domain which, Pairing pairing, double step,
                      BitReverseTable& table) {
    int log2n = 0;
    if (Status status = check_power_of_two(static_cast<long long>(a.size()), log2n); !status) return status;
    if (a.size() != b.size()) return Status::failure(kOperandLengthsDiffer);
    if (Status status = table.prepare(log2n); !status) return status;
    const bool mirrored = pairing == Pairing::mirrored_bin;
    const bool into_a = which == Domain::time;
    std::span<Complex> result = into_a ? a : b;
    std::span<const Complex> other = into_a ? b : a;

    // The other operand is transformed in a copy, so it keeps its samples
    // exactly: the table's operand storage, the same pages each command.
    const std::span<Complex> other_spectrum = table.operand_storage();
    if (other_spectrum.size() != other.size()) return Status::failure(kTablesTooLarge);
    std::copy(other.begin(), other.end(), other_spectrum.begin());
    if (mirrored && into_a) conjugate(other_spectrum);
    if (Status status = fft_forward(other_spectrum, table); !status) return status;
    // The tables are ready for this N: the transforms below cannot fail.
    if (mirrored && !into_a) conjugate(result);
    fft_forward(result, table);

    const std::size_t n = result.size();
    const double s = step / static_cast<double>(n);
    const std::span<const Complex> o = other_spectrum;
    if (!mirrored) {
        for (std::size_t k = 0; k < n; ++k) result[k] = s * product(result[k], o[k]);
    } else if (into_a) {
        for (std::size_t k = 0; k < n; ++k) result[k] = s * product(result[k], std::conj(o[k]));
    } else {
        for (std::size_t k = 0; k < n; ++k) result[k] = s * product(o[k], std::conj(result[k]));
    }
    return fft_inverse(result, table);
}

}  // namespace

Status convolve(std::span<Complex> a, std::span<Complex> b, Domain result, double step,
                BitReverseTable& table) {
    return correlate_pair(a, b, result, Pairing::same_bin, step, table);
}

Status cross_correlate(std::span<Complex> a, std::span<Complex> b, Domain result, double step,
                       BitReverseTable& table) {
    return correlate_pair(a, b, result, Pairing::mirrored_bin, step, table);
}

Status autocorrelate(std::span<Complex> x, double step, BitReverseTable& table) {
    if (Status status = check_record(x.size()); !status) return status;
    if (Status status = fft_forward(x, table); !status) return status;
    const std::size_t n = x.size();
    const double s = step / static_cast<double>(n);
    x[0] = s * product(x[0], x[0]);
    for (std::size_t k = 1; k <= n / 2; ++k) {
        const Complex value = s * product(x[k], x[n - k]);
        x[k] = value;
        x[n - k] = value;
    }
    return fft_inverse(x, table);
}

Status differentiate(std::span<Complex> x, double step, BitReverseTable& table) {
    if (Status status = check_record(x.size()); !status) return status;
    if (step == 0.0 || !std::isfinite(step)) return Status::failure(kDerivativeStepZero);
    if (Status status = fft_forward(x, table); !status) return status;
    const std::size_t n = x.size();
    const double nn = static_cast<double>(n);
    // j·2π·ν/(Δ·N), and the 1/N that the unscaled inverse transform needs.
    const double c = kTwoPi / (step * nn * nn);
    for (std::size_t k = 0; k < n; ++k) {
        const double v = frequency_index(k, n) * c;
        x[k] = {-x[k].imag() * v, x[k].real() * v};
    }
    return fft_inverse(x, table);
}

Status integrate(std::span<Complex> x, double step, BitReverseTable& table) {
    if (Status status = check_record(x.size()); !status) return status;
    if (Status status = fft_forward(x, table); !status) return status;
    const std::size_t n = x.size();
    // Dividing by j·2π·ν/Δ is multiplying by −j·Δ/(2π·ν); the N of the
    // inverse transform cancels against the N in ν/(N·Δ).
    const double h = step / kTwoPi;
    x[0] = 0.0;
    for (std::size_t k = 1; k < n; ++k) {
        const double g = h / frequency_index(k, n);
        x[k] = {x[k].imag() * g, -x[k].real() * g};
    }
    return fft_inverse(x, table);
}

}  // namespace zeph
