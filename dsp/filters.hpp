#pragma once
// FF: analogue filter responses multiplied into a spectrum.
//
// Design and application are separate. A designed filter (Chebyshev,
// Butterworth, transitional, Bessel) is a cascade of sections, each with unit
// gain at zero frequency:
//   second order  ω0² / (s² + (ω0/Q)·s + ω0²)
//   first order   ω0 / (s + ω0)                      (marked by Q = 0)
// A band-pass replaces s by (s² + ω_m²)/s in every section, which centres the
// pass band on ω_m with the low-pass cut-off as its full width.
// The response is then evaluated at s = j·2π·f for every sample of a spectrum
// laid out with zero frequency at sample N/2 (0-based).
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/complex.hpp"
#include "base/result.hpp"
#include "base/status.hpp"

namespace zeph {

inline const std::string kInvalidFilterType = "INVALID FILTER TYPE.";
inline const std::string kBesselMaxOrder = "ERROR. MAX ORDER 11 FOR BESSEL FILTERS.";
inline const std::string kTransitionalMaxOrder = "ERROR. MAX ORDER 11 FOR TRANSITIONAL FILTERS";
inline const std::string kChebyshevMaxOrder = "ERROR. MAX ORDER 60 FOR CHEBYSHEV FILTERS.";
inline const std::string kButterworthMaxOrder = "ERROR. MAX ORDER 60 FOR BUTTERWORTH FILTERS.";
inline const std::string kFilterOrderBelowOne = "ERROR. FILTER ORDER MUST BE AT LEAST 1.";
inline const std::string kNegativeRipple = "ERROR. RIPPLE MUST NOT BE NEGATIVE.";
// A zero cut-off makes every section 0/0 at zero frequency.
inline const std::string kCutoffNotPositive = "ERROR. CUTOFF FREQUENCY OR BANDWIDTH MUST BE > 0.";

inline constexpr int kMaxChebyshevButterworthOrder = 60;

enum class FilterFamily { chebyshev, butterworth, transitional, bessel, hilbert, typed };

// The type answer's first four letters, either case: CHEB, BUTT, TRAN, BESS,
// HILB or H(S). Anything else fails with kInvalidFilterType (the dialogue
// still asks its remaining questions before showing it).
Result<FilterFamily> parse_filter_family(std::string_view type_answer);

// The LPF/BPF answer "BPF" (either case, trailing blanks ignored) selects a
// band-pass; any other answer a low-pass.
bool selects_band_pass(std::string_view answer);

// One section of a cascade. Q = 0 marks a first-order section.
struct Section {
    double q = 0.0;
    double w0 = 0.0;   // natural angular frequency [rad/s]
};

// A designed response: the cascade and, for a band-pass, its centre.
struct FilterResponse {
    std::vector<Section> sections;
    bool band_pass = false;
    double mid_rad_s = 0.0;   // ω_m = 2π·(mid frequency) [rad/s], band-pass only
};

// What the FF prompts have answered for a designed filter.
struct FilterDesign {
    FilterFamily family = FilterFamily::butterworth;   // chebyshev, butterworth, transitional or bessel
    int order = 1;
    double cutoff_hz = 1.0;   // cut-off (low-pass) or full bandwidth (band-pass) [Hz]
    double ripple_db = 0.0;   // peak-to-peak pass-band ripple [dB], Chebyshev only
    bool band_pass = false;
    double mid_hz = 0.0;      // band-pass centre [Hz]
};

// Where the samples of a spectrum sit: sample i (0-based) of N at
// f_i = (i − N/2)·step + carrier [Hz], N/2 by integer division.
struct FrequencyGrid {
    double step_hz = 1.0;
    double carrier_hz = 0.0;   // frequency moved to the zero-frequency sample
};

double sample_frequency(std::size_t index, std::size_t count, const FrequencyGrid& grid);

// --- design -------------------------------------------------------------

// Chebyshev shape factor c = (A − B)/(A + B), A = (1 + sqrt(1 + ε²))^(1/n),
// B = (sqrt(1 + ε²) − 1)^(1/n), ε = sqrt(10^(R/10) − 1); c = 1 for R = 0.
// Equals tanh(asinh(1/ε)/n). Precondition: order ≥ 1, ripple_db ≥ 0.
double chebyshev_c(int order, double ripple_db);

// Unit-cut-off prototype poles σ_k + j·w_k, k = 1 … n, with
// θ_k = (2k − 1)·π/(2n), σ_k = −c·sin θ_k, w_k = cos θ_k: the Chebyshev poles
// scaled by 1/cosh(asinh(1/ε)/n), the Butterworth poles for R = 0.
std::vector<Complex> prototype_poles(int order, double ripple_db);

// Section cascades for a cut-off (or bandwidth) in Hz. Each returns an empty
// cascade for an order outside its range (1 … 60 for Chebyshev and
// Butterworth, 1 … 11 for Bessel and transitional); design_filter checks first.
std::vector<Section> chebyshev_sections(int order, double ripple_db, double cutoff_hz);
std::vector<Section> butterworth_sections(int order, double cutoff_hz);
// Bessel: table poles p of the order, ω0 = |p|·ω_c/b_n, Q = |p|/(−2·Re p).
std::vector<Section> bessel_sections(int order, double cutoff_hz);
// Transitional: each pole the mean of the Bessel pole over b_n and the
// Butterworth pole of the same index.
std::vector<Section> transitional_sections(int order, double cutoff_hz);

// Checks the design (order ≥ 1; at most 60 for Chebyshev and Butterworth and
// 11 for Bessel and transitional; ripple ≥ 0; cut-off > 0) and builds the
// response. Hilbert and typed families fail with kInvalidFilterType: they
// have no design.
Status design_filter(const FilterDesign& design, FilterResponse& response);

// --- application --------------------------------------------------------

// H(s) of the designed response; complex division throughout. At s = 0 a
// band-pass centred on zero frequency takes its limit 1 instead of 0/0.
Complex evaluate_response(const FilterResponse& response, Complex s);

// Multiplies every sample by H(j·2π·f_i).
void apply_response(std::span<Complex> spectrum, const FrequencyGrid& grid, const FilterResponse& response);

// design_filter, then apply_response. On failure the spectrum is unchanged.
Status apply_designed_filter(std::span<Complex> spectrum, const FrequencyGrid& grid, const FilterDesign& design);

// Hilbert transformer: samples before N/2 (negative frequencies) are
// multiplied by j, sample N/2 (zero frequency) becomes 0, samples after it
// are multiplied by −j. 0-based, N/2 by integer division.
void apply_hilbert(std::span<Complex> spectrum);

// A typed transfer function: evaluates H at the angular frequency omega
// [rad/s] into h, or fails with the complete message line.
using ResponseFormula = std::function<Status(double omega, Complex& h)>;

// Evaluates the formula at ω_i = 2π·f_i for every sample first, then
// multiplies. On the first failure nothing is multiplied and its status is
// returned, so an error leaves the spectrum unchanged.
Status apply_response_formula(std::span<Complex> spectrum, const FrequencyGrid& grid, const ResponseFormula& formula);

}  // namespace zeph
