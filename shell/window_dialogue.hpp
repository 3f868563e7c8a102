#pragma once
// WI: multiplies the current signal by a real window on its abscissa.
#include <string_view>

#include "shell/operations.hpp"

namespace zeph {

inline constexpr std::string_view kWindowTypePrompt =
    "Type: Cosine, Squared cosine, Rectangular, Kaiser, Notch, rOot-raised-cosine";
inline constexpr std::string_view kWindowLengthModePrompt =
    "Is window length specified in XValues or SAmple numbers?:";
inline constexpr std::string_view kWindowSampleRangePrompt =
    "Enter sample numbers for window. Min, Max, central flatregion:";
inline constexpr std::string_view kWindowAbscissaRangePrompt =
    "Enter X values for window. Min, Max, central flat region:";
inline constexpr std::string_view kKaiserShapePrompt = "Enter shape parameter for Kaiser window:";
inline constexpr std::string_view kKaiserShapeDefault = "13.";
inline constexpr std::string_view kRootRaisedCosinePrompt = "Enter symbol length (Tc), roll-off factor (alpha):";

// Asks the window's type, length mode and range (and the Kaiser β or the
// root-raised-cosine pulse), then windows the signal. Returns true when the
// signal was changed; a refusal leaves its message and the signal as it was.
bool window_dialogue(Session& session, SignalRef& signal);

}  // namespace zeph
