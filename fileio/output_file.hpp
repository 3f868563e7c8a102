#pragma once
// The file output of a display for a file name that is not a WAV name: the
// format answer picks a binary file (R8, R4, I2) or an ASCII file (1C, 2C).
#include <span>
#include <string>
#include <string_view>

#include "base/status.hpp"

namespace zeph {

// The first two characters of a format answer with a leading r raised to R
// and a leading i to I ("r4" -> "R4", "i2" -> "I2", "2c" stays "2c").
std::string output_format_code(std::string_view answer);

// Writes the display values in the format of the answer: a second character
// C or c selects ASCII, "1C" values only, "2C" abscissa and value (X = xmin +
// i·dx); otherwise the answer is a binary format code (write_signal_file).
// An unknown format ("3C", "R5") is refused before the file is touched:
// "Unknown file format: " + code. Open and write failures as the writers give them.
Status write_output_file(std::span<const double> values, std::string_view format_answer,
                         const std::string& file_name, double xmin, double dx);

}  // namespace zeph
