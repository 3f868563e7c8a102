#include "input/expr/functions.hpp"

#include <cmath>

// Scalar code for the operators: GCC's SLP vectorizer would load each operand
// as one 16-byte value right after the caller stored it as two 8-byte parts,
// and the failed store forwarding costs more than the arithmetic.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

namespace zeph {

namespace {

// The name's character at 0-based index i, blank beyond its end.
char name_char(std::string_view name, std::size_t i) { return i < name.size() ? name[i] : ' '; }

bool letters_at(std::string_view name, std::string_view letters, int position) {
    const std::size_t first = static_cast<std::size_t>(position - 1);
    for (std::size_t i = 0; i < letters.size(); ++i)
        if (name_char(name, first + i) != letters[i]) return false;
    return true;
}

}  // namespace

std::optional<FunctionId> find_function(std::string_view name) {
    for (const FunctionCandidate& candidate : kFunctionCandidates)
        for (int position : candidate.start_positions)
            if (position > 0 && letters_at(name, candidate.letters, position)) return candidate.id;
    return std::nullopt;
}

void RandomGenerator::set_seed(double seed) {
    if (!std::isfinite(seed)) {
        state_ = 0;
        return;
    }
    double s = std::fmod(std::trunc(seed), 4294967296.0);   // exact; |s| < 2^32
    if (s < 0) s += 4294967296.0;
    state_ = static_cast<std::uint32_t>(s);
}

void RandomGenerator::advance(std::uint64_t count) {
    std::uint32_t multiplier = 1, increment = 0;   // the composed map s → m·s + c
    std::uint32_t step_multiplier = 69069u, step_increment = 1u;
    for (; count != 0; count >>= 1) {
        if (count & 1u) {
            multiplier *= step_multiplier;
            increment = increment * step_multiplier + step_increment;
        }
        step_increment = step_increment * step_multiplier + step_increment;
        step_multiplier *= step_multiplier;
    }
    state_ = multiplier * state_ + increment;
}

Complex complex_product(const Complex& x, const Complex& y) {
    const double a = x.real(), b = x.imag(), c = y.real(), d = y.imag();
    return {a * c - b * d, a * d + b * c};
}

Complex complex_quotient(const Complex& x, const Complex& y) {
    const double a = x.real(), b = x.imag(), c = y.real(), d = y.imag();
    if (d == 0) return {a / c, b / c};
    if (c == 0) return {b / d, -a / d};
    if (std::fabs(c) >= std::fabs(d)) {
        const double r = d / c, den = c + d * r;
        return {(a + b * r) / den, (b - a * r) / den};
    }
    const double r = c / d, den = c * r + d;
    return {(a * r + b) / den, (b * r - a) / den};
}

Complex complex_log(const Complex& z) { return {std::log(std::hypot(z.real(), z.imag())), std::atan2(z.imag(), z.real())}; }

Complex complex_exp(const Complex& z) {
    const double m = std::exp(z.real());
    if (z.imag() == 0) return {m, z.imag()};
    return {m * std::cos(z.imag()), m * std::sin(z.imag())};
}

Complex complex_power(const Complex& z, const Complex& w) {
    if (z.real() == 0 && z.imag() == 0) return (w.real() == 0 && w.imag() == 0) ? Complex{1, 0} : Complex{0, 0};
    return complex_exp(complex_product(w, complex_log(z)));
}

double normal_cdf(double y) { return normal_cdf_given(y, std::exp(-y * y / 2)); }

Complex apply_function(FunctionId id, const Complex& z, RandomGenerator& random) {
    const double a = z.real(), b = z.imag();
    switch (id) {
        case FunctionId::log10: return {std::log10(a), 0};
        case FunctionId::log:
        case FunctionId::ln: return complex_log(z);
        case FunctionId::cmplx: return z;
        case FunctionId::sqrt: return std::sqrt(z);
        case FunctionId::imag: return {b, 0};
        case FunctionId::real: return {a, 0};
        case FunctionId::exp: return complex_exp(z);
        case FunctionId::sinc: {
            if (a == 0 && b == 0) return {1, 0};
            const double x = kPi * a;
            return {std::sin(x) / x, 0};
        }
        case FunctionId::asin: return {std::asin(a), 0};
        case FunctionId::acos: return {std::acos(a), 0};
        case FunctionId::atan2: return {std::atan2(a, b), 0};
        case FunctionId::atan: return {std::atan(a), 0};
        case FunctionId::sinh: return {std::sinh(a), 0};
        case FunctionId::cosh: return {std::cosh(a), 0};
        case FunctionId::tanh: return {std::tanh(a), 0};
        // A real argument (b = 0) takes the real function: the same value as the
        // complex formula sin a cosh b + j cos a sinh b, with b's zero as imaginary part.
        case FunctionId::sin: return b == 0 ? Complex{std::sin(a), b} : std::sin(z);
        case FunctionId::cos: return b == 0 ? Complex{std::cos(a), b} : std::cos(z);
        case FunctionId::cotan: return {1 / std::tan(a), 0};
        case FunctionId::tan: return {std::tan(a), 0};
        case FunctionId::abs: return {std::sqrt(a * a + b * b), 0};
        case FunctionId::conjg: return {a, -b};
        case FunctionId::nint: return {std::round(a), 0};   // halves away from zero
        case FunctionId::int_: return {std::trunc(a), 0};
        case FunctionId::mod: return {a - b * std::trunc(a / b), 0};
        case FunctionId::sign: return {b < 0 ? -std::fabs(a) : std::fabs(a), 0};
        case FunctionId::dim: {
            const double difference = a - b;
            return {difference >= 0 ? difference : 0, 0};
        }
        case FunctionId::norm: {
            const double s = a, x = b, u = x / s;
            return {std::exp(-u * u / 2) / (s * kSqrtTwoPi), 0};
        }
        case FunctionId::ray: {
            const double r = a, x = b, r2 = r * r;
            return {(2 * x / r2) * std::exp(-x * x / r2), 0};
        }
        case FunctionId::cnorm: return {normal_cdf(b / a), 0};
        case FunctionId::rand: {
            const double u = random.draw_uniform();
            return {a + (b - a) * u, 0};
        }
        case FunctionId::gauss: {
            const double u1 = random.draw_uniform();
            const double u2 = random.draw_uniform();
            const double r = u1 == 0 ? 13.23 : std::sqrt(-2 * std::log(u1));
            const double g = r * std::cos(kTwoPi * u2);
            return {a + b * g, 0};
        }
    }
    return z;
}

}  // namespace zeph
