#pragma once
// Constant tables of the Bessel and transitional filters, orders 1 … 11.
#include <span>

#include "base/complex.hpp"

namespace zeph {

inline constexpr int kMaxBesselOrder = 11;

// 3-dB factor b_n of the Bessel filter of order n normalised to unit group
// delay: dividing its poles by b_n puts the 3-dB point at unit frequency.
// Held as the float nearest the two-decimal value, widened to a double
// (1.36 is 1.3600000143051147). 0 for an order outside 1 … 11.
double bessel_3db_factor(int order);

// Poles of the Bessel filter of order n normalised to unit group delay (roots
// of the reverse Bessel polynomial): the upper member of each conjugate pair,
// then the real pole for odd n. The order within a row is the one the
// transitional filter pairs with the Butterworth poles. Empty outside 1 … 11.
std::span<const Complex> bessel_poles(int order);

}  // namespace zeph
