#pragma once
// ASCII sample files: one value per line (one column), or an abscissa and a
// value per line (two columns). Values are separated by blanks, tabs or
// commas; a number may carry a sign, a point and an exponent with the letter
// E, D or Q ("1.5", "-.5", "+2", "1.5D-3"). Lines may end in "\r\n".
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

// The values read (the second column of a two-column file) are the samples'
// real parts; `available` counts the value lines the range takes from the
// whole text. A file that cannot be read or holds an unreadable value is
// ReadStatus::Unsupported with "Error reading ASCII file: " and the name.
struct AsciiRead : SignalRead {
    bool two_columns = false;
};

// Reads one component from ASCII text.
// Columns: the first non-blank line decides; it has two columns when a blank,
// tab or comma stands between its first and last non-blank character (within
// its first 80 characters). Grid: one column gives XMIN = 0, DX = 1; two
// columns give XMIN = first value of the first line and DX = first value of
// the second line − XMIN (no second line: a failure).
// Samples: after skipping range.first − 1 lines, up to range.max_count values
// are read, skipping range.interval − 1 lines after each. Blank lines between
// values are passed over; the end of the text ends the read normally; a line
// whose values cannot be read (too few, or not numbers) is a failure.
// Finally XMIN += (first − 1)·DX and DX *= interval.
// range.first or range.interval below 1 is a failure.
AsciiRead read_ascii_file(const std::string& file_name, const ReadRange& range);
// The same for a whole file held in memory.
AsciiRead read_ascii_text(std::string_view text, const ReadRange& range, std::string_view file_name = {});

enum class AsciiLayout {
    ValuesOnly,         // "1C": one value per line
    AbscissaAndValue,   // "2C": X, value per line; X = xmin + i·dx
};

// Writes one line per value, each beginning with a blank; every number in
// exponent notation, 23 characters wide with 15 digits after the point
// ("  1.000000000000000E+00"); 2C puts ", " between X and the value. An
// existing file is replaced. Failures: "Cannot open file: " or "Error writing
// file: " with the name.
Status write_ascii_file(std::span<const double> values, AsciiLayout layout,
                        const std::string& file_name, double xmin, double dx);

}  // namespace zeph
