#pragma once
// The display pipeline of a line with a function and a parameter and no
// operation: derive the real quantity into work_x/work_y, label it, average,
// distribute, cumulate, convert to decibels, show the statistics, and end in
// one output (plot, file or listing).
#include <string>

#include "shell/derivations.hpp"
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kDivisionsPrompt = "How many divisions?";
inline constexpr std::string_view kCumulativePrompt = "X1, X2:  X2<X1 allowed";
inline constexpr std::string_view kAveragingTimePrompt = "Time span in seconds for averaging:";
inline constexpr std::string_view kAveragingBandwidthPrompt = "Bandwidth in Hz for averaging:";
inline constexpr std::string_view kAveragingWithXy = "X-Y plot and averaging are incompatible";
inline constexpr std::string_view kImageStagesRefused = "ERROR. AV, DI, CU AND ST DO NOT APPLY TO A SPECTROGRAM.";

void run_display(Session& session);

// The labels of a display built from the selection, the options and the file names.
void build_display_labels(Workspace& workspace);

}  // namespace zeph
