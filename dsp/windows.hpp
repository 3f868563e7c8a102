#pragma once
// WI: real windows on the abscissa. A window is zero outside [min, max], one
// over a centred flat region [q, r] and tapers between them:
//   C = (max − min − flat)/2 is the taper width, q = min + C, r = max − C.
// The same weight multiplies the real and the imaginary part of a sample, so a
// window on the spectrum band-limits the signal.
#include <span>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/result.hpp"
#include "base/status.hpp"

namespace zeph {

inline const std::string kWindowLengthZero = "ERROR. Window length is zero.";
inline const std::string kWindowTypeInvalid = "ERROR. Window type must be C, S, R, K, or N.";
inline const std::string kWindowLengthModeInvalid = "ERROR. Invalid entry. Must be XV or SA";
// A root-raised-cosine taper needs a positive symbol length; a roll-off outside
// [0, 1] has no pulse of that name and can make h(0) vanish.
inline const std::string kWindowPulseInvalid =
    "ERROR. Symbol length must be > 0 and roll-off factor from 0 to 1.";

inline constexpr double kDefaultKaiserBeta = 13.0;

// How the range prompt is answered: in sample numbers (1-based) or in
// abscissa values.
enum class WindowLengthMode { sample_numbers, abscissa_values };

struct WindowParameters {
    char type = 'C';        // first letter of the type answer, either case: C S R K N O
    double min = 0.0;       // abscissa units
    double max = 0.0;       // abscissa units
    double flat = 0.0;      // width of the central flat region, abscissa units
    double kaiser_beta = kDefaultKaiserBeta;   // K only
    double rrc_symbol_length = 1.0;            // O only: Tc, abscissa units
    double rrc_rolloff = 0.5;                  // O only: α
};

// "SA"/"sa" → sample numbers, "XV"/"xv" → abscissa values (the first two
// characters count, so "Sa" is refused with kWindowLengthModeInvalid).
Result<WindowLengthMode> parse_window_length_mode(std::string_view reply);

// Converts parameters given in sample numbers (min, max, flat; Tc in samples)
// into abscissa units: min ← (min − 1)·dx + xmin, max ← (max − 1)·dx + xmin,
// flat ← flat·dx, Tc ← Tc·dx.
WindowParameters window_in_abscissa_units(WindowParameters in_samples, double xmin, double dx);

// Refuses an empty window (max ≤ min or max − min ≤ flat), then an unknown
// type letter, then (type O) an invalid pulse — in that order.
Status check_window(const WindowParameters& w);

// Weight of the window at abscissa x. dx is the sample step (> 0): the
// root-raised-cosine pulse steps 1e-5·dx around its singular points.
// Precondition: check_window(w) succeeded.
double window_weight(const WindowParameters& w, double x, double dx);

// Multiplies sample i (0-based) at x = xmin + i·dx by the window weight.
// On failure the samples are unchanged and the status carries the message.
Status apply_window(std::span<Complex> samples, double xmin, double dx, const WindowParameters& w);

// Kaiser taper K(d)/K(0) for |d| ≤ C, where K(d) = I0((β/2)·sqrt(1 − (d/C)²));
// 0 for |d| > C.
double kaiser_taper(double beta, double d, double c);

// I0(z) summed as 1 + Σ t_k², t_k = t_(k−1)·(z/2)/k, stopping after the first
// term below 1e-8 of the sum (that term included) or after 25 terms.
double bessel_i0_series(double z);

// Root-raised-cosine pulse of symbol length t_symbol and roll-off alpha at
// time t, u = t/T:
//   h(t) = [sin(πu(1 − α)) + 4αu·cos(πu(1 + α))] / [πu(1 − (4αu)²)].
// Within delta of t = 0 or |t| = T/(4α) the value is the mean of the formula
// at t − delta and t + delta.
double root_raised_cosine(double t, double t_symbol, double alpha, double delta);

}  // namespace zeph
