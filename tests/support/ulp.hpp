#pragma once
// Distances in units in the last place, and a sweep of arguments that visits
// the hard regions of the elementary functions, for accuracy tests.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace zeph::testing {

// Doubles mapped onto integers in their order (−0 and +0 both to 0).
inline std::int64_t ordered_bits(double x) {
    std::int64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
}

// How many representable doubles lie between x and y; 0 for two NaNs, huge
// for a NaN against a number or for different signs of zero.
inline double ulp_distance(double x, double y) {
    if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y) ? 0 : 1e300;
    if (x == 0 && y == 0) return std::signbit(x) == std::signbit(y) ? 0 : 1e300;
    const std::int64_t a = ordered_bits(x), b = ordered_bits(y);
    const std::uint64_t difference = a > b ? static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b)
                                           : static_cast<std::uint64_t>(b) - static_cast<std::uint64_t>(a);
    return static_cast<double>(difference);
}

inline bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// `count` arguments: ordinary values, a wide range of magnitudes (subnormals to
// the largest double, both signs), the neighbourhoods of multiples of π/2 far
// and near, [−1, 1], the ranges where exp and the hyperbolic functions
// overflow, and the special values. Fixed seed: the same sweep every run.
inline std::vector<double> argument_sweep(std::size_t count, std::uint64_t seed = 20261207) {
    std::mt19937_64 engine(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const std::vector<double> specials{0.0, -0.0, INFINITY, -INFINITY, NAN, -NAN, 1.0, -1.0,
                                       std::numeric_limits<double>::min(), -std::numeric_limits<double>::min(),
                                       std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                                       std::numeric_limits<double>::denorm_min(),
                                       -std::numeric_limits<double>::denorm_min(), 709.782712893384, -745.1332191019411,
                                       710.4758600739439, 1e-300, 0.5, -0.5};
    std::vector<double> sweep(specials);
    while (sweep.size() < count) {
        const double sign = unit(engine) < 0.5 ? -1.0 : 1.0;
        const std::size_t region = sweep.size() % 8;
        double x = 0;
        switch (region) {
            case 0:
            case 1: x = 20 * unit(engine) - 10; break;
            case 2: x = sign * std::exp2(-1074 + 2098 * unit(engine)); break;   // every magnitude
            case 3: x = sign * std::exp2(-60 + 120 * unit(engine)); break;
            case 4: {   // k·π/2 and its neighbours, k small or large
                const double k = std::floor(unit(engine) < 0.5 ? 64 * unit(engine) : std::exp2(50 * unit(engine)));
                x = std::nextafter(sign * k * (M_PI / 2), 0.0);
                for (int steps = static_cast<int>(8 * unit(engine)); steps > 0; --steps) x = std::nextafter(x, INFINITY);
                break;
            }
            case 5: x = 2 * unit(engine) - 1; break;
            case 6: x = sign * 760 * unit(engine); break;
            default: x = sign * std::exp2(-1074 + 64 * unit(engine)); break;   // subnormals and just above
        }
        sweep.push_back(x);
    }
    return sweep;
}

}  // namespace zeph::testing
