#pragma once
// The derive functions of the display parameters: each fills the display's
// work arrays from the current signal. The command table binds each
// parameter word to one of them; the display runs the selected one.
#include <span>

#include "base/complex.hpp"
#include "shell/command_table.hpp"
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kSumPrompt = "A*REAL + B*IMAG. Enter A,B:";
inline constexpr std::string_view kRegressionRangePrompt = "Range for calculation of regression line:";

// What a derive function works on: the current signal, its samples in use
// (z), and the work arrays it fills (y, and x: a copy of y for a curve, the
// abscissae for XY pairs). display.xmin and display.dx start as the signal's
// grid; a function whose abscissa differs sets them.
struct DeriveInput {
    Session& session;
    SignalRef signal;
    std::span<const Complex> z;
    std::span<double> x, y;
};

Derivation derive_real(DeriveInput& in);                    // RE
Derivation derive_imaginary(DeriveInput& in);               // IM
Derivation derive_product(DeriveInput& in);                 // PR: real*imag
Derivation derive_amplitude(DeriveInput& in);               // AM
Derivation derive_power(DeriveInput& in);                   // PO: |z|²
Derivation derive_phase_radians(DeriveInput& in);           // RP: unwrapped
Derivation derive_phase_degrees(DeriveInput& in);           // DP: unwrapped
Derivation derive_weighted_sum(DeriveInput& in);            // SU: asks A, B
Derivation derive_real_against_imaginary(DeriveInput& in);  // XY
Derivation derive_instantaneous_frequency(DeriveInput& in); // IN [Hz], of a waveform
Derivation derive_group_delay(DeriveInput& in);             // GR [s], of a spectrum
Derivation derive_phase_deviation_degrees(DeriveInput& in); // DD: asks the fit range
Derivation derive_phase_deviation_radians(DeriveInput& in); // RD: asks the fit range
Derivation derive_regression_of_real(DeriveInput& in);      // RX: real part against x
Derivation derive_regression_of_imaginary(DeriveInput& in); // RR: imaginary against real

}  // namespace zeph
