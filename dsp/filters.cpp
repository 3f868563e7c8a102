#include "dsp/filters.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "base/text.hpp"
#include "dsp/filter_tables.hpp"

namespace zeph {

namespace {

// One row per family: the four letters that select it, the order limit of its
// design and the design itself (none for the Hilbert transformer and H(s)).
using Designer = std::vector<Section> (*)(const FilterDesign&);

struct FamilyRow {
    std::string_view letters;
    FilterFamily family;
    int max_order;
    const std::string* max_order_message;
    Designer design;
};

const std::array kFamilies{
    FamilyRow{"CHEB", FilterFamily::chebyshev, kMaxChebyshevButterworthOrder, &kChebyshevMaxOrder,
              [](const FilterDesign& d) { return chebyshev_sections(d.order, d.ripple_db, d.cutoff_hz); }},
    FamilyRow{"BUTT", FilterFamily::butterworth, kMaxChebyshevButterworthOrder, &kButterworthMaxOrder,
              [](const FilterDesign& d) { return butterworth_sections(d.order, d.cutoff_hz); }},
    FamilyRow{"TRAN", FilterFamily::transitional, kMaxBesselOrder, &kTransitionalMaxOrder,
              [](const FilterDesign& d) { return transitional_sections(d.order, d.cutoff_hz); }},
    FamilyRow{"BESS", FilterFamily::bessel, kMaxBesselOrder, &kBesselMaxOrder,
              [](const FilterDesign& d) { return bessel_sections(d.order, d.cutoff_hz); }},
    FamilyRow{"HILB", FilterFamily::hilbert, 0, nullptr, nullptr},
    FamilyRow{"H(S)", FilterFamily::typed, 0, nullptr, nullptr},
};

const FamilyRow& row_of(FilterFamily family) {
    return *std::find_if(kFamilies.begin(), kFamilies.end(), [family](const FamilyRow& r) { return r.family == family; });
}

bool designable(FilterFamily family) { return row_of(family).design != nullptr; }

// θ_k = (2k − 1)·π/(2n), k 1-based.
double prototype_angle(int k, int order) { return (2.0 * k - 1.0) * kPi / (2.0 * order); }

// A second-order section from the upper pole of a conjugate pair at unit
// cut-off, scaled to the angular frequency `scale`.
Section section_from_pole(Complex pole, double scale) {
    const double r = std::sqrt(pole.real() * pole.real() + pole.imag() * pole.imag());
    return {r / (-2.0 * pole.real()), r * scale};
}

Section first_order_section(double real_pole, double scale) { return {0.0, -real_pole * scale}; }

// Chebyshev and Butterworth share the prototype; Butterworth has c = 1.
std::vector<Section> prototype_sections(int order, double ripple_db, double cutoff_hz) {
    if (order < 1 || order > kMaxChebyshevButterworthOrder) return {};
    const double wc = kTwoPi * cutoff_hz;
    const std::vector<Complex> poles = prototype_poles(order, ripple_db);
    std::vector<Section> sections;
    for (int k = 1; k <= order / 2; ++k) sections.push_back(section_from_pole(poles[k - 1], wc));
    if (order % 2 == 1) sections.push_back(first_order_section(poles[(order + 1) / 2 - 1].real(), wc));
    return sections;
}

Complex low_pass_section(const Section& sec, Complex s) {
    if (sec.q == 0.0) return sec.w0 / (s + sec.w0);
    const double w2 = sec.w0 * sec.w0;
    return w2 / (s * s + (sec.w0 / sec.q) * s + w2);
}

// The low-pass section with s → (s² + ω_m²)/s, multiplied out. Only s = 0
// with ω_m = 0 makes the denominator vanish; there the band-pass is the
// low-pass at zero frequency, gain 1.
Complex band_pass_section(const Section& sec, double wm, Complex s) {
    const double wm2 = wm * wm;
    Complex numerator;
    Complex denominator;
    if (sec.q == 0.0) {
        numerator = sec.w0 * s;
        denominator = s * s + sec.w0 * s + wm2;
    } else {
        const double w2 = sec.w0 * sec.w0;
        const double damping = sec.w0 / sec.q;
        const Complex s2 = s * s;
        numerator = w2 * s2;
        denominator = s2 * s2 + damping * s2 * s + (2.0 * wm2 + w2) * s2 + damping * wm2 * s + wm2 * wm2;
    }
    if (denominator == Complex{0.0, 0.0}) return 1.0;
    return numerator / denominator;
}

Status check_design(const FilterDesign& d) {
    if (!designable(d.family)) return Status::failure(kInvalidFilterType);
    if (d.order < 1) return Status::failure(kFilterOrderBelowOne);
    const FamilyRow& row = row_of(d.family);
    if (d.order > row.max_order) return Status::failure(*row.max_order_message);
    if (d.family == FilterFamily::chebyshev && !(d.ripple_db >= 0.0)) return Status::failure(kNegativeRipple);
    if (!(d.cutoff_hz > 0.0)) return Status::failure(kCutoffNotPositive);
    return Status::success();
}

}  // namespace

Result<FilterFamily> parse_filter_family(std::string_view type_answer) {
    const std::string head = upper_case(type_answer.substr(0, 4));
    for (const FamilyRow& row : kFamilies) {
        if (head == row.letters) return row.family;
    }
    return Result<FilterFamily>::failure(std::string(kInvalidFilterType));
}

bool selects_band_pass(std::string_view answer) {
    return upper_case(trim_right(answer)) == "BPF";
}

double sample_frequency(std::size_t index, std::size_t count, const FrequencyGrid& grid) {
    const double offset = static_cast<double>(index) - static_cast<double>(count / 2);
    return offset * grid.step_hz + grid.carrier_hz;
}

double chebyshev_c(int order, double ripple_db) {
    const double epsilon2 = std::pow(10.0, ripple_db / 10.0) - 1.0;
    const double root = std::sqrt(1.0 + epsilon2);
    const double a = std::pow(1.0 + root, 1.0 / order);
    const double b = std::pow(root - 1.0, 1.0 / order);
    return (a - b) / (a + b);
}

std::vector<Complex> prototype_poles(int order, double ripple_db) {
    if (order < 1) return {};
    const double c = chebyshev_c(order, ripple_db);
    std::vector<Complex> poles;
    poles.reserve(static_cast<std::size_t>(order));
    for (int k = 1; k <= order; ++k) {
        const double theta = prototype_angle(k, order);
        poles.emplace_back(-c * std::sin(theta), std::cos(theta));
    }
    return poles;
}

std::vector<Section> chebyshev_sections(int order, double ripple_db, double cutoff_hz) {
    return prototype_sections(order, ripple_db, cutoff_hz);
}

std::vector<Section> butterworth_sections(int order, double cutoff_hz) { return prototype_sections(order, 0.0, cutoff_hz); }

std::vector<Section> bessel_sections(int order, double cutoff_hz) {
    const std::span<const Complex> poles = bessel_poles(order);
    if (poles.empty()) return {};
    const double scale = kTwoPi * cutoff_hz / bessel_3db_factor(order);
    std::vector<Section> sections;
    for (int k = 0; k < order / 2; ++k) sections.push_back(section_from_pole(poles[k], scale));
    if (order % 2 == 1) sections.push_back(first_order_section(poles.back().real(), scale));
    return sections;
}

std::vector<Section> transitional_sections(int order, double cutoff_hz) {
    const std::span<const Complex> bessel = bessel_poles(order);
    if (bessel.empty()) return {};
    const double bn = bessel_3db_factor(order);
    const double wc = kTwoPi * cutoff_hz;
    const std::vector<Complex> butterworth = prototype_poles(order, 0.0);
    std::vector<Section> sections;
    for (int k = 0; k < order / 2; ++k) {
        const Complex mean = (bessel[k] / bn + butterworth[k]) / 2.0;
        sections.push_back(section_from_pole(mean, wc));
    }
    if (order % 2 == 1) {
        const double real_pole = (bessel.back().real() / bn + butterworth[(order + 1) / 2 - 1].real()) / 2.0;
        sections.push_back(first_order_section(real_pole, wc));
    }
    return sections;
}

Status design_filter(const FilterDesign& design, FilterResponse& response) {
    if (Status status = check_design(design); !status) return status;
    response.sections = row_of(design.family).design(design);
    response.band_pass = design.band_pass;
    response.mid_rad_s = design.band_pass ? kTwoPi * design.mid_hz : 0.0;
    return Status::success();
}

Complex evaluate_response(const FilterResponse& response, Complex s) {
    Complex h{1.0, 0.0};
    for (const Section& sec : response.sections) {
        h *= response.band_pass ? band_pass_section(sec, response.mid_rad_s, s) : low_pass_section(sec, s);
    }
    return h;
}

void apply_response(std::span<Complex> spectrum, const FrequencyGrid& grid, const FilterResponse& response) {
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        const double omega = kTwoPi * sample_frequency(i, spectrum.size(), grid);
        spectrum[i] *= evaluate_response(response, Complex{0.0, omega});
    }
}

Status apply_designed_filter(std::span<Complex> spectrum, const FrequencyGrid& grid, const FilterDesign& design) {
    FilterResponse response;
    if (Status status = design_filter(design, response); !status) return status;
    apply_response(spectrum, grid, response);
    return Status::success();
}

void apply_hilbert(std::span<Complex> spectrum) {
    const std::size_t zero = spectrum.size() / 2;
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        if (i < zero) spectrum[i] *= Complex{0.0, 1.0};
        else if (i == zero) spectrum[i] = 0.0;
        else spectrum[i] *= Complex{0.0, -1.0};
    }
}

Status apply_response_formula(std::span<Complex> spectrum, const FrequencyGrid& grid, const ResponseFormula& formula) {
    std::vector<Complex> response(spectrum.size());
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        const double omega = kTwoPi * sample_frequency(i, spectrum.size(), grid);
        if (Status status = formula(omega, response[i]); !status) return status;
    }
    for (std::size_t i = 0; i < spectrum.size(); ++i) spectrum[i] *= response[i];
    return Status::success();
}

}  // namespace zeph
