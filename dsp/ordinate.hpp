#pragma once
// The real quantities a display derives from a complex signal: the unwrapped
// phase and its derivatives, regression lines, the distribution and the
// cumulative integral of the values, and decibels.
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"

namespace zeph {

inline constexpr double kDegreesPerRadian = 57.29577951308232;

// The phase of every sample, in radians times `unit`, continued across the
// ±π jumps of atan2: an upward jump of more than π or a downward jump of π or
// more is corrected by 2π. A zero sample keeps the phase offset.
void unwrapped_phase(std::span<const Complex> samples, std::span<double> phase, double unit = 1.0);

// The centred difference (φ[k+1] − φ[k−1])·scale for the inner points; the
// first and last values repeat their neighbours. Instantaneous frequency uses
// scale = 0.5/(DT·2π) [Hz]; group delay −0.5/(DF·2π) [s]. One value is copied.
void centred_derivative(std::span<const double> phase, std::span<double> result, double scale);

// A least-squares line y = slope·x + intercept. Fewer than two points, or
// points that all share one abscissa, give the empty fit (0, 0).
struct RegressionLine {
    double slope = 0.0;
    double intercept = 0.0;
};
// Fits y[i] against the abscissa x0 + i·dx.
RegressionLine fit_line_on_grid(std::span<const double> y, double x0, double dx);
// Fits y[i] against x[i].
RegressionLine fit_line(std::span<const double> x, std::span<const double> y);

inline constexpr int kMaxDivisions = 2048;
inline const std::string kTooManyDivisions = "Maximum 2048 divisions allowed";
inline const std::string kTooFewDivisions = "Error. Number of divisions must be at least 1.";
inline const std::string kAllValuesEqual = "Error. All values are equal: no distribution to show.";

// How many values are NaN or ±Inf, and the message line saying that many
// were left out of a distribution or cumulative display.
std::size_t count_non_finite(std::span<const double> values);
std::string left_out_message(std::size_t count);

// The probability density of the finite values in `divisions` bins of equal
// width from the smallest to the largest; its sum times the bin width is 1.
// NaN and ±Inf are left out (counted in left_out).
struct Distribution {
    std::vector<double> density;
    double xmin = 0.0;   // the smallest value
    double dx = 0.0;     // the bin width
    std::size_t left_out = 0;   // values that are NaN or infinite, not counted
};
Status distribution(std::span<const double> values, int divisions, Distribution& result);

// The running integral of the values (abscissa xmin + k·dx) over [x1, x2],
// flat outside it: from the left when x1 <= x2, from the right otherwise.
// Returns dx times the sum of all values before the integration. NaN and ±Inf
// add nothing: the integral carries on past them.
double cumulate(std::span<double> values, double xmin, double dx, double x1, double x2);

// 10·db_kind·log10(y) for y > 0 and −770·db_kind otherwise (db_kind 1: power,
// 2: amplitude). log10 by vector math (base/vector_math.hpp).
void to_decibels(std::span<double> values, int db_kind);

}  // namespace zeph
