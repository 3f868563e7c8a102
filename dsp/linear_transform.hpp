#pragma once
// LT: the sample-by-sample linear transforms of the current signal, and the
// centred moving average of option AV.
#include <span>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/result.hpp"
#include "base/status.hpp"

namespace zeph {

inline const std::string kLinearTransformTypeError = "ERROR. Type must be A, M, E, S, or C.";

// A: OUT = IN+(A+jB)          M: OUT = IN*(A+jB)
// E: OUT = IN*(A+jB)*EXP(j2πfx) (a frequency shift of a waveform, a time shift of a spectrum)
// S: OUT = IN*(A+jB)*COS(2πfx+Θ) (modulation)
// C: OUT = conj(IN)
enum class LinearTransformType { add, multiply, exponential, cosine, conjugate };

// The type named by the first character of the reply, either case; any other
// character (or an empty reply) gives kLinearTransformTypeError and leaves
// `type` alone.
Result<LinearTransformType> parse_linear_transform_type(std::string_view reply);

// The type's letter as typed: 'A', 'M', 'E', 'S' or 'C'.
char linear_transform_letter(LinearTransformType type);

// The LT answers, kept between commands and offered again. The defaults make
// M, E and S leave the signal unchanged.
struct LinearTransformSettings {
    LinearTransformType type = LinearTransformType::multiply;
    double a = 1.0;       // real part of the constant
    double b = 0.0;       // imaginary part of the constant
    double f = 0.0;       // Hz on a waveform, seconds on a spectrum (the abscissa's reciprocal)
    double theta = 0.0;   // radians (S only)
};

// Applies the transform to every sample i, at abscissa x_i = xmin + i·dx.
// A, M and E use A and B rounded to single precision, and E also 2π·f; S
// uses them at double precision.
void apply_linear_transform(std::span<Complex> samples, double xmin, double dx, const LinearTransformSettings& lt);

// The half-width h and length L = 2h + 1 of a moving average.
struct MovingAverage {
    int half_width = 0;
    int length = 1;
};

// AV: output[j] = (Σ input[j−h … j+h] within the record) / L, with
// h = nearest integer to 0.5·S/dx (halves away from zero) and S = `span`
// limited to the record length N·dx. `span` and `dx` are seconds and DT for
// a waveform, hertz and DF for a spectrum. Near the ends fewer than L values
// are summed but the divisor stays L. One pass with a running sum,
// independent of L. A span below dx/2, a negative span or a step that is not
// positive gives h = 0 (values copied unchanged). N = min of the two sizes;
// input and output may be the same array but must not partly overlap.
MovingAverage average_ordinate(std::span<const double> input, std::span<double> output, double span, double dx);

}  // namespace zeph
