#pragma once
// AU plays the display through the sound device; RC records into signal A.
#include <string_view>

#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kSoundOfSpectrum = "Error. AU plays a time signal (WA, AS), not a spectrum.";
inline constexpr std::string_view kSoundOfDistribution = "Error. AU plays a signal, not a distribution.";
inline constexpr std::string_view kRecordLengthPrompt = "Seconds to record, sample rate in Hz:";
inline constexpr std::string_view kRecordChannelsPrompt = "Channels: 1, or 2 for left + j right:";
inline constexpr std::string_view kNothingRecorded = "Nothing recorded.";
inline constexpr std::string_view kNoRecordStorage = "Error. No storage for a recording: AL allocates it.";

// AU, run after the output that shows the display: plays the values as
// shown (after AV, CU, DB and PL's SC) as 16-bit samples, 32768 being full
// scale, at 1/DX hertz; an XY display plays x left and y right. The message
// line shows the progress; Esc stops, except headless and in a NOPAUSE replay,
// which play to the end.
void play_display(Session& session);

// RC: records from the default input into A (linked: as RT, B out of date;
// independent: as RA), up to the maximum number of points.
void record_dialogue(Session& session);

}  // namespace zeph
