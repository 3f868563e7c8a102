#pragma once
// Messages that more than one command of the shell shows.
#include <string_view>

namespace zeph {

inline constexpr std::string_view kSignalAMissing = "Signal A has not been read or generated";
inline constexpr std::string_view kSignalBMissing = "Signal B has not been read or generated";
inline constexpr std::string_view kMustCreateDataFirst = "Must create data first. Use RT, RF, RA, RB, AS EQ, or BS EQ";
inline constexpr std::string_view kOutOfMemory = "Error. Not enough memory: the command was not finished.";
inline constexpr std::string_view kTooFewPoints = "Error. Number of points must be at least 1.";

}  // namespace zeph
