#pragma once
// Whole numbers from the reals the dialogues and the plot read.
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

}  // namespace zeph
