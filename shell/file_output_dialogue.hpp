#pragma once
// FI: writes the displayed values to a sample file, or signal A itself to a
// WAV file, under a name the user gives.
#include <string_view>

#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kOutputNamePrompt =
    "Enter file name: (.wav extension to write RE [+jIM] in WAV format)";
inline constexpr std::string_view kWavChannelsPrompt = "Format: MOno or STereo";
inline constexpr std::string_view kOutputFormatPrompt =
    "Format: R4=real*4, R8=real*8, I2=integer*2, 2C=ASCII X&Y,1C=ASCII Y only:";

// Asks for the name and the format, offering the previous answers, and
// writes: a WAV name writes signal A (its current point count, DX = DT); any
// other name writes work_y[0 .. display_count) on the display's abscissa as
// R8, R4, I2, 1C or 2C. A failure leaves its message in message_line.
void file_output_dialogue(Session& session);

}  // namespace zeph
