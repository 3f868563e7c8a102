#pragma once
// The interpreter's function library: the 32 functions callable by
// name, the complex operators of INTERP, and the shared random generator.
//
// Every function takes one complex argument z = a + jb. Two-argument functions
// are written f(p, q) and receive a = p, b = q (the comma packs the real parts).
// Arguments outside a function's domain are not tested: the result is whatever
// the arithmetic gives (inf or NaN included).
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/complex.hpp"

namespace zeph {

enum class FunctionId : std::uint8_t {
    log10, log, ln, cmplx, sqrt, imag, real, exp, sinc, asin, acos, atan2, atan, sinh, cosh, tanh,
    sin, cos, cotan, tan, abs, conjg, nint, int_, mod, sign, dim, norm, ray, cnorm, rand, gauss,
};

// One candidate of the name matching: its letters and the 1-based positions of
// the function token's name at which they may stand (0 = unused slot).
struct FunctionCandidate {
    std::string_view letters;
    std::array<int, 3> start_positions;
    FunctionId id;
};

// The candidates in the order they are tried (the order decides which name
// wins: DIMAG selects IMAG before DIM is tried, ACOSH selects ACOS).
inline constexpr std::array<FunctionCandidate, 34> kFunctionCandidates{{
    {"LOG10", {1, 2, 0}, FunctionId::log10},
    {"LOG", {3, 1, 2}, FunctionId::log},
    {"LN", {1, 0, 0}, FunctionId::ln},
    {"CMPLX", {1, 2, 0}, FunctionId::cmplx},
    {"SQRT", {3, 2, 1}, FunctionId::sqrt},
    {"IMAG", {2, 1, 0}, FunctionId::imag},
    {"REAL", {2, 1, 0}, FunctionId::real},
    {"EXP", {3, 1, 2}, FunctionId::exp},
    {"SINC", {2, 1, 0}, FunctionId::sinc},
    {"ARSIN", {1, 2, 0}, FunctionId::asin},
    {"ASIN", {2, 1, 0}, FunctionId::asin},
    {"ARCOS", {1, 2, 0}, FunctionId::acos},
    {"ACOS", {2, 1, 0}, FunctionId::acos},
    {"ATAN2", {1, 2, 0}, FunctionId::atan2},
    {"ATAN", {2, 1, 0}, FunctionId::atan},
    {"SINH", {2, 1, 0}, FunctionId::sinh},
    {"COSH", {2, 1, 0}, FunctionId::cosh},
    {"TANH", {2, 1, 0}, FunctionId::tanh},
    {"SIN", {3, 1, 2}, FunctionId::sin},
    {"COS", {3, 1, 2}, FunctionId::cos},
    {"COTAN", {1, 2, 0}, FunctionId::cotan},
    {"TAN", {1, 2, 0}, FunctionId::tan},
    {"ABS", {3, 1, 2}, FunctionId::abs},
    {"CONJG", {1, 2, 0}, FunctionId::conjg},
    {"NINT", {2, 1, 0}, FunctionId::nint},
    {"INT", {1, 2, 0}, FunctionId::int_},
    {"MOD", {1, 2, 0}, FunctionId::mod},
    {"SIGN", {2, 1, 0}, FunctionId::sign},
    {"DIM", {1, 2, 0}, FunctionId::dim},
    {"NORM", {1, 0, 0}, FunctionId::norm},
    {"RAY", {1, 0, 0}, FunctionId::ray},
    {"CNORM", {1, 0, 0}, FunctionId::cnorm},
    {"RAND", {1, 0, 0}, FunctionId::rand},
    {"GAUSS", {1, 0, 0}, FunctionId::gauss},
}};

// Finds the function named by a function token (its text without "%"; the name
// is taken as blank beyond its end). Characters after the matched letters are
// ignored, so SINE selects SIN and CDSQRT selects SQRT. nullopt: status 7.
std::optional<FunctionId> find_function(std::string_view name);

// The shared generator: seed <- (69069*seed + 1) mod 2^32, u = seed / 2^32.
// The seed is an integer 0 <= s < 2^32 held as a double.
class RandomGenerator {
public:
    double seed() const { return static_cast<double>(state_); }
    // The seed as the integer it is (for code that steps it itself).
    std::uint32_t state() const { return state_; }
    void set_state(std::uint32_t state) { state_ = state; }
    // Non-integers are truncated, values outside [0, 2^32) are reduced modulo
    // 2^32, NaN and infinities give 0.
    void set_seed(double seed);
    // One draw: advances the seed and returns it divided by 2^32, in [0, 1).
    double draw_uniform() {
        state_ = static_cast<std::uint32_t>(69069u * static_cast<std::uint64_t>(state_) + 1u);
        return static_cast<double>(state_) * 0x1p-32;
    }
    // As after `count` more draws: the step s → 69069·s + 1 (mod 2^32) composed
    // with itself by squaring.
    void advance(std::uint64_t count);

private:
    std::uint32_t state_ = 0;
};

// Applies a library function; RAND draws once and GAUSS twice from `random`.
Complex apply_function(FunctionId id, const Complex& z, RandomGenerator& random);

// INTERP's operators, spelled out so that every path computes bit-identical values
// (one out-of-line definition each, used by INTERP and by PreparedFormula alike).
// (a + jb)(c + jd) = (ac - bd) + j(ad + bc).
Complex complex_product(const Complex& x, const Complex& y);
// x / y: exact a/c for a real divisor, Smith's formula otherwise (no needless overflow).
Complex complex_quotient(const Complex& x, const Complex& y);
// z**w: 0**0 = 1, 0**w = 0 for w != 0, else exp(w log z) with the principal logarithm.
Complex complex_power(const Complex& z, const Complex& w);
inline Complex complex_sum(const Complex& x, const Complex& y) { return {x.real() + y.real(), x.imag() + y.imag()}; }
inline Complex complex_difference(const Complex& x, const Complex& y) { return {x.real() - y.real(), x.imag() - y.imag()}; }

// Principal logarithm ln|z| + j atan2(b, a).
Complex complex_log(const Complex& z);
// e^a (cos b + j sin b); a real argument gives a real result even when e^a overflows.
Complex complex_exp(const Complex& z);

inline constexpr double kSqrtTwoPi = 2.5066282746310002;   // sqrt(2*pi)

// Phi(y), the standard normal distribution function, by the five-coefficient
// polynomial approximation (absolute error about 7.5E-8).
double normal_cdf(double y);
// The same given gaussian = exp(-y*y/2) (computed by the caller, maybe in a vector).
inline double normal_cdf_given(double y, double gaussian) {
    constexpr double p = 0.2316419;
    constexpr double b1 = 0.319381530, b2 = -0.356563782, b3 = 1.781477937, b4 = -1.821255978, b5 = 1.330274429;
    const double t = 1 / (1 + p * std::fabs(y));
    const double density = gaussian / kSqrtTwoPi;
    const double polynomial = t * (b1 + t * (b2 + t * (b3 + t * (b4 + t * b5))));
    const double q = 1 - density * polynomial;
    return y >= 0 ? q : 1 - q;
}

}  // namespace zeph
