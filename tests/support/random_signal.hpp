#pragma once
// A reproducible complex test signal: real and imaginary parts uniform in [-1, 1).
#include <random>
#include <vector>

#include "base/complex.hpp"

namespace zeph::testing {

inline std::vector<Complex> random_signal(std::size_t n, unsigned seed = 7) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<Complex> x(n);
    for (Complex& v : x) v = Complex(uniform(generator), uniform(generator));
    return x;
}

}  // namespace zeph::testing
