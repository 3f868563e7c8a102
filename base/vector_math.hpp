#pragma once
// The C library's transcendental functions over arrays, computed with SLEEF's
// vector functions (1.0-ULP accuracy) at the widest vector width the machine
// offers (AVX-512, AVX2 with FMA, or SSE2, chosen once at run time), so one
// binary runs everywhere.
//
// Every result is within 1 ULP of the C library's (log10: within 1 ULP of
// the correctly rounded value, the C library's own log10 being up to 2 ULP
// off). Where an argument or the result is not a normal number (zero,
// subnormal, infinite, NaN), the C library's own value is taken, so special
// values (NaN, ±Inf, ±0) and subnormal results are exactly the C library's. A value depends on its argument and, for
// sin, cos and tan, on the arguments sharing its vector (their argument
// reduction takes the path the largest one needs): the same array gives the
// same values on every call, however the work is shared out, as long as the
// arrays start at the same elements. A ragged end is computed padded with zeros.
#include <cstddef>
#include <string_view>

namespace zeph {

// sinh and tanh are left to the C library: its own results are up to 2 ULP
// from the correctly rounded ones, and vector versions differ from them by 2.
enum class VectorFunction : unsigned char { sin, cos, tan, exp, log, log10, atan, asin, acos, cosh };
enum class VectorFunction2 : unsigned char { atan2, hypot, pow };

// y[i] = f(x[i]) for i < n. y may be x; otherwise the arrays must not overlap.
void vector_apply(VectorFunction f, const double* x, double* y, std::size_t n);
// y[i] = f(x1[i], x2[i]) for i < n. y may be x1 or x2; otherwise no overlap.
void vector_apply2(VectorFunction2 f, const double* x1, const double* x2, double* y, std::size_t n);

// The scalar C library function behind each kind (the reference of the contract).
double library_function(VectorFunction f, double x);
double library_function2(VectorFunction2 f, double x1, double x2);

// The instruction set in use: "avx512", "avx2", "sse2" or "scalar". At
// first use the widest the machine has, unless the environment variable
// ZEPH_VECTOR_MATH names another one the machine has.
std::string_view vector_math_isa();
// Chooses the instruction set (for tests and benchmarks); one the machine
// lacks is refused (false). "scalar" uses the C library throughout.
bool select_vector_math_isa(std::string_view isa);

}  // namespace zeph
