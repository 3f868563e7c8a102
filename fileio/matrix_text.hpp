#pragma once
// A matrix over two abscissae as text that plotting programs, numerical
// libraries and spreadsheets read: one line per cell, "x y value" separated
// by blanks, and a blank line after each x (a slice).
#include <span>
#include <string>

#include "base/status.hpp"

namespace zeph {

// Writes values[i·y.size() + j] at (x[i], y[j]), slice by slice. Refuses a
// value count other than x.size()·y.size(); a file that cannot be made or
// written gives "Cannot open file: " or "Error writing file: " with the name.
Status write_matrix_text(std::span<const double> x, std::span<const double> y, std::span<const double> values,
                         const std::string& file_name);

}  // namespace zeph
