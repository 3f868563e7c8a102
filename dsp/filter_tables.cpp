#include "dsp/filter_tables.hpp"

#include <array>

namespace zeph {

namespace {

constexpr std::array<float, kMaxBesselOrder> kBessel3dbFactors{
    1.0f, 1.36f, 1.75f, 2.13f, 2.42f, 2.70f, 2.95f, 3.17f, 3.39f, 3.58f, 3.77f,
};

// Rows of orders 1 … 11 one after the other; row n holds (n + 1)/2 poles,
// to seven decimals. The order-11 pole −7.4842299 + 1.7371028j was long
// written with a digit dropped (1.737028j), which moved that response by 5e-6.
constexpr std::array<Complex, 36> kBesselPoleRows{
    Complex{-1.0, 0.0},
    Complex{-1.5, 0.8660254},
    Complex{-1.8389073, 1.754381}, Complex{-2.3221854, 0.0},
    Complex{-2.1037894, 2.657418}, Complex{-2.8962106, 0.8672341},
    Complex{-2.3246743, 3.5710229}, Complex{-3.3519564, 1.7426614}, Complex{-3.6467386, 0.0},
    Complex{-2.5159322, 4.492673}, Complex{-3.7357084, 2.6262723}, Complex{-4.2483594, 0.8675097},
    Complex{-2.6856769, 5.4206941}, Complex{-4.0701392, 3.517174}, Complex{-4.7582905, 1.7392861},
    Complex{-4.9717869, 0.0},
    Complex{-5.2048408, 2.6161751}, Complex{-4.3682892, 4.4144425}, Complex{-2.838984, 6.3539113},
    Complex{-5.587886, 0.8676144},
    Complex{-2.9792608, 7.2914637}, Complex{-4.6384399, 5.3172717}, Complex{-5.6044218, 3.4981573},
    Complex{-6.1293679, 1.7378484}, Complex{-6.2970193, 0.0},
    Complex{-4.8862195, 6.2249855}, Complex{-5.9675282, 4.3849471}, Complex{-6.6152916, 2.6115683},
    Complex{-3.1089162, 8.2326995}, Complex{-6.9220449, 0.8676651},
    Complex{-3.2297221, 9.1771116}, Complex{-7.0578924, 3.4890145}, Complex{-7.4842299, 1.7371028},
    Complex{-5.1156483, 7.1370208}, Complex{-6.3013375, 5.2761917}, Complex{-7.6223398, 0.0},
};

bool valid_order(int order) { return order >= 1 && order <= kMaxBesselOrder; }

// Index of the first pole of row n: Σ_{k<n} (k + 1)/2.
std::size_t row_start(int order) {
    std::size_t start = 0;
    for (int k = 1; k < order; ++k) start += static_cast<std::size_t>((k + 1) / 2);
    return start;
}

}  // namespace

double bessel_3db_factor(int order) {
    return valid_order(order) ? static_cast<double>(kBessel3dbFactors[static_cast<std::size_t>(order - 1)]) : 0.0;
}

std::span<const Complex> bessel_poles(int order) {
    if (!valid_order(order)) return {};
    return std::span<const Complex>(kBesselPoleRows).subspan(row_start(order), static_cast<std::size_t>((order + 1) / 2));
}

}  // namespace zeph
