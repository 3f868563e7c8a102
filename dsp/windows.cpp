#include "dsp/windows.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/text.hpp"

namespace zeph {

namespace {

// Taper width C and flat region [q, r] of a window, abscissa units.
struct Geometry {
    double c;
    double q;
    double r;
};

Geometry geometry_of(const WindowParameters& w) {
    const double c = (w.max - w.min - w.flat) / 2.0;
    return {c, w.min + c, w.max - c};
}

bool inside(const WindowParameters& w, double x) { return x >= w.min && x <= w.max; }

// Offset into the taper: negative on the rising edge (x < q), positive on the
// falling edge (x > r), 0 in the flat region. Every tapered shape is 1 at 0,
// so the flat region needs no case of its own.
double taper_offset(const Geometry& g, double x) {
    if (x < g.q) return x - g.q;
    if (x > g.r) return x - g.r;
    return 0.0;
}

double cosine_taper(double d, double c) { return std::cos((kPi / 2.0) * d / c); }

using WeightFn = double (*)(const WindowParameters&, const Geometry&, double x, double dx);

double cosine_weight(const WindowParameters& w, const Geometry& g, double x, double) {
    return inside(w, x) ? cosine_taper(taper_offset(g, x), g.c) : 0.0;
}

double squared_cosine_weight(const WindowParameters& w, const Geometry& g, double x, double) {
    if (!inside(w, x)) return 0.0;
    const double h = cosine_taper(taper_offset(g, x), g.c);
    return h * h;
}

// The flat value only enters the zero-length check.
double rectangular_weight(const WindowParameters& w, const Geometry&, double x, double) { return inside(w, x) ? 1.0 : 0.0; }

double kaiser_weight(const WindowParameters& w, const Geometry& g, double x, double) {
    return inside(w, x) ? kaiser_taper(w.kaiser_beta, taper_offset(g, x), g.c) : 0.0;
}

// The band [min, max] is removed, everything else kept.
double notch_weight(const WindowParameters& w, const Geometry&, double x, double) { return inside(w, x) ? 0.0 : 1.0; }

double root_raised_cosine_weight(const WindowParameters& w, const Geometry& g, double x, double dx) {
    if (!inside(w, x)) return 0.0;
    const double delta = 1e-5 * dx;
    const double peak = root_raised_cosine(0.0, w.rrc_symbol_length, w.rrc_rolloff, delta);
    return root_raised_cosine(taper_offset(g, x), w.rrc_symbol_length, w.rrc_rolloff, delta) / peak;
}

struct Shape {
    char letter;   // upper case
    WeightFn weight;
};

constexpr std::array kShapes{
    Shape{'C', cosine_weight},  Shape{'S', squared_cosine_weight}, Shape{'R', rectangular_weight},
    Shape{'K', kaiser_weight},  Shape{'N', notch_weight},          Shape{'O', root_raised_cosine_weight},
};

const Shape* find_shape(char letter) {
    const char upper = upper_letter(letter);
    const auto it = std::find_if(kShapes.begin(), kShapes.end(), [upper](const Shape& s) { return s.letter == upper; });
    return it == kShapes.end() ? nullptr : &*it;
}

bool is_root_raised_cosine(char letter) { return letter == 'O' || letter == 'o'; }

// The raw pulse formula, singular at t = 0 and |t| = T/(4α).
double rrc_formula(double t, double t_symbol, double alpha) {
    const double u = t / t_symbol;
    const double numerator = std::sin(kPi * u * (1.0 - alpha)) + 4.0 * alpha * u * std::cos(kPi * u * (1.0 + alpha));
    const double v = 4.0 * alpha * u;
    return numerator / (kPi * u * (1.0 - v * v));
}

}  // namespace

Result<WindowLengthMode> parse_window_length_mode(std::string_view reply) {
    const std::string_view head = reply.substr(0, 2);
    if (head == "SA" || head == "sa") return WindowLengthMode::sample_numbers;
    if (head == "XV" || head == "xv") return WindowLengthMode::abscissa_values;
    return Result<WindowLengthMode>::failure(std::string(kWindowLengthModeInvalid));
}

WindowParameters window_in_abscissa_units(WindowParameters w, double xmin, double dx) {
    w.min = (w.min - 1.0) * dx + xmin;
    w.max = (w.max - 1.0) * dx + xmin;
    w.flat = w.flat * dx;
    w.rrc_symbol_length = w.rrc_symbol_length * dx;
    return w;
}

Status check_window(const WindowParameters& w) {
    if (w.max <= w.min || w.max - w.min <= w.flat) return Status::failure(kWindowLengthZero);
    if (find_shape(w.type) == nullptr) return Status::failure(kWindowTypeInvalid);
    if (is_root_raised_cosine(w.type) &&
        !(w.rrc_symbol_length > 0.0 && w.rrc_rolloff >= 0.0 && w.rrc_rolloff <= 1.0)) {
        return Status::failure(kWindowPulseInvalid);
    }
    return Status::success();
}

double window_weight(const WindowParameters& w, double x, double dx) {
    const Shape* shape = find_shape(w.type);
    return shape == nullptr ? 0.0 : shape->weight(w, geometry_of(w), x, dx);
}

Status apply_window(std::span<Complex> samples, double xmin, double dx, const WindowParameters& w) {
    if (Status status = check_window(w); !status) return status;
    const Shape* shape = find_shape(w.type);
    const Geometry g = geometry_of(w);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double x = xmin + static_cast<double>(i) * dx;
        samples[i] *= shape->weight(w, g, x, dx);
    }
    return Status::success();
}

double bessel_i0_series(double z) {
    constexpr int kMaxTerms = 25;
    constexpr double kRelativeTolerance = 1e-8;
    double sum = 1.0;
    double t = 1.0;
    for (int k = 1; k <= kMaxTerms; ++k) {
        t *= (z / 2.0) / k;
        const double term = t * t;
        sum += term;
        if (term < kRelativeTolerance * sum) break;
    }
    return sum;
}

double kaiser_taper(double beta, double d, double c) {
    if (std::abs(d) > c) return 0.0;
    const double ratio = d / c;
    // Clamped so that rounding at |d| = C cannot take the root of a negative number.
    const double root = std::sqrt(std::max(0.0, 1.0 - ratio * ratio));
    return bessel_i0_series((beta / 2.0) * root) / bessel_i0_series(beta / 2.0);
}

double root_raised_cosine(double t, double t_symbol, double alpha, double delta) {
    const double singular = t_symbol / (4.0 * alpha);   // +inf for α = 0: no second singular point
    const double a = std::abs(t);
    if (a < delta || std::abs(a - singular) < delta) {
        return (rrc_formula(t - delta, t_symbol, alpha) + rrc_formula(t + delta, t_symbol, alpha)) / 2.0;
    }
    return rrc_formula(t, t_symbol, alpha);
}

}  // namespace zeph
