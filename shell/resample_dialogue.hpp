#pragma once
// CS (change the sample rate by an integer ratio) and CH (change the number
// of points, or Xmin and dX) of the current signal.
#include <string_view>

#include "shell/operations.hpp"

namespace zeph {

inline constexpr std::string_view kSampleRateDirectionPrompt =
    "Increase sampling rate or Decrease sampling rate? I or D:";
inline constexpr std::string_view kSampleRateDirectionError = "Incorrect entry. Must be I or D.";
inline constexpr std::string_view kIncreaseAnswer = "Increase";
inline constexpr std::string_view kDecreaseAnswer = "Decrease";
inline constexpr std::string_view kDecimationPrompt = "First point #, undersampling ratio (2,3,4,5,...):";
inline constexpr std::string_view kInterpolationPrompt = "Oversampling ratio. 2, 4, 8, 16, 32, 64, ...:";

inline constexpr std::string_view kPointCountChoicePrompt = "A=change # points,  B=change Xmin, dX";
inline constexpr std::string_view kPointCountChoiceError = "Must enter A or B";
inline constexpr std::string_view kKeptPointsPrompt = "First point number to keep, New number of points:";
inline constexpr std::string_view kWaveformGridPrompt = "New Tmin, New dT:";
inline constexpr std::string_view kSpectrumGridPrompt = "New Fmin, New dF:";

// CS. Returns true when the signal was changed. The signal's grid comes back
// in `signal`; the other domain's Xmin and dX are brought into line in the
// workspace (linked mode only).
bool sample_rate_dialogue(Session& session, SignalRef& signal);

// CH. As sample_rate_dialogue.
bool point_count_dialogue(Session& session, SignalRef& signal);

}  // namespace zeph
