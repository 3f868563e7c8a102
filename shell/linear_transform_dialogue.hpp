#pragma once
// LT: a sample-by-sample linear transform of the current signal.
#include <string_view>

#include "shell/operations.hpp"

namespace zeph {

inline constexpr std::string_view kLinearTransformTypePrompt =
    "Type: A=+(A+jB), M=*(A+jB), E=*(A+jB)*EXP(j2πft), S=*(A+jB)*COS(2πft+Θ), C=conj.";
inline constexpr std::string_view kAddConstantPrompt = "OUT = IN+(A+jB). Enter A, B";
inline constexpr std::string_view kMultiplyConstantPrompt = "OUT = IN*(A+jB). Enter A, B";
inline constexpr std::string_view kExponentialPrompt = "OUT = IN*(A+jB)*EXP(j2πft). Enter A, B, ";
inline constexpr std::string_view kCosinePrompt = "OUT = IN*(A+jB)*COS(2πft+Θ). Enter A, B, ";
inline constexpr std::string_view kCosinePromptTail = ", Θ (radians)";

// Asks the type and its constants and transforms the signal. The third
// constant is a frequency f on a waveform and a time t on a spectrum.
// Returns true when the signal was changed.
bool linear_transform_dialogue(Session& session, SignalRef& signal);

}  // namespace zeph
