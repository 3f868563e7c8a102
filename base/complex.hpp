#pragma once
// Complex samples and values: a pair of 64-bit doubles, real part first.
#include <complex>

namespace zeph {

using Complex = std::complex<double>;

// 2*pi as the program uses it everywhere.
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kPi = 3.141592653589793;

}  // namespace zeph
