// libFuzzer target: the transform of any length against a direct DFT summed
// in long double. The first two bytes choose L (2 … 401), the rest are the
// samples, 16-bit integers scaled to [−1, 1) and repeated to fill L complex
// samples. Plans are kept per L and one workspace serves them all, as callers
// reuse them. The forward transform must be within 1e-12 of the largest
// magnitude (or of Σ|x| when the bins cancel), and the inverse must bring the
// samples back.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include "dsp/any_length_fft.hpp"

namespace {

constexpr long long kLengths = 400;

void check(bool condition) {
    if (!condition) std::abort();
}

std::vector<std::complex<long double>> direct_dft(const std::vector<zeph::Complex>& x) {
    const auto length = static_cast<long long>(x.size());
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<std::complex<long double>> roots(x.size()), out(x.size());
    for (long long t = 0; t < length; ++t) {
        const long double angle = -2.0L * pi * static_cast<long double>(t) / static_cast<long double>(length);
        roots[static_cast<std::size_t>(t)] = {std::cos(angle), std::sin(angle)};
    }
    for (long long k = 0; k < length; ++k) {
        std::complex<long double> sum = 0;
        for (long long n = 0; n < length; ++n)
            sum += std::complex<long double>(x[static_cast<std::size_t>(n)]) * roots[static_cast<std::size_t>(n * k % length)];
        out[static_cast<std::size_t>(k)] = sum;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const long long length = 2 + (data[0] | (data[1] << 8)) % kLengths;
    const std::uint8_t* bytes = data + 2;
    const std::size_t count = (size - 2) / 2;
    if (count == 0) return 0;
    std::vector<zeph::Complex> x(static_cast<std::size_t>(length));
    double l1 = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        auto value = [&](std::size_t i) {
            const std::size_t at = 2 * (i % count);
            return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8)) / 32768.0;
        };
        x[n] = {value(2 * n), value(2 * n + 1)};
        l1 += std::abs(x[n]);
    }

    static std::map<long long, zeph::TransformPlan> plans;
    static zeph::TransformWorkspace work;
    zeph::TransformPlan& plan = plans[length];
    check(plan.prepare(length).ok);
    check(plan.length() == length);

    std::vector<zeph::Complex> y = x;
    check(plan.forward(y, work).ok);
    const std::vector<std::complex<long double>> expected = direct_dft(x);
    long double largest = 0, error = 0;
    for (std::size_t k = 0; k < y.size(); ++k) {
        largest = std::max(largest, std::abs(expected[k]));
        error = std::max(error, std::abs(std::complex<long double>(y[k]) - expected[k]));
    }
    check(error <= 1e-12L * std::max(largest, 1e-3L * l1));

    check(plan.inverse(y, work).ok);
    double back = 0, peak = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        back = std::max(back, std::abs(y[n] / static_cast<double>(length) - x[n]));
        peak = std::max(peak, std::abs(x[n]));
    }
    check(back <= 1e-12 * std::max(peak, 1e-3 * l1));
    return 0;
}
