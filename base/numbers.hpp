#pragma once
// Whole numbers from the reals the dialogues and the plot read, and grid checks.
#include <climits>
#include <cmath>

namespace zeph {

// The nearest int, halves away from zero, limited to the int range; NaN gives 0.
inline int nearest_int(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::round(value);
    if (rounded >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (rounded <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(rounded);
}

// Whether a grid of `n` points `dx` apart spans a finite, non-zero range whose
// reciprocal (the other domain's step, 1/(n·dx)) and 1/dx are finite too.
inline bool has_finite_reciprocal_span(int n, double dx) {
    const double span = static_cast<double>(n) * dx;
    return std::isfinite(span) && span != 0.0 && std::isfinite(1.0 / span) && std::isfinite(1.0 / dx);
}

}  // namespace zeph
