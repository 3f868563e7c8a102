#pragma once
// The program's own binary sample files: one real component of a signal (or
// complex 16-bit samples) on a uniform grid. Little-endian, no record markers.
//
// Tagged layout: 8-byte type tag, XMIN (float64), DX (float64), then the
// samples one element after another:
//   "REAL??8" or "COMPACT?" -> R8 float64      "REAL??4" -> R4 float32
//   "NTGR??2"               -> I2 int16        "CMPL??4" -> C4 int16 real, int16 imag
// ("?" = any byte: only bytes 1–4 and 7–8 of the tag are compared.)
// Short integer layout: "IN", XMIN (int16), DX (int16), then int16 samples (I2).
// Values are converted to float64 as they stand; integers are not scaled.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

enum class BinaryFormat { Unknown, R8, R4, I2, C4 };

// "R8", "R4", "I2", "C4"; "XX" while no format is recognised.
std::string_view format_code(BinaryFormat format);

// Which part of the signal a file supplies: "CR" real, "CI" imaginary.
enum class Component { Real, Imag };

// How the read went (code and status):
//   Ok;
//   NothingRead "Cannot find file: " + name: no such file;
//   OtherFormat: no known tag, or shorter than its header: read it as ASCII;
//   Unsupported "Error reading R8 or I2 file: " + name: it cannot be opened or read.
// xmin is the abscissa of the first sample read, XMIN + (first − 1)·DX; dx the
// step between the samples read, interval·DX. Samples: Component::Real gives
// each value as (value, 0), Component::Imag as (0, value); C4 samples are
// (real, imag) and are read only as Component::Real (as Component::Imag no
// sample is read). `available` counts the elements the file holds for the
// range, without max_count.
struct BinaryRead : SignalRead {
    BinaryFormat format = BinaryFormat::Unknown;
};

// Reads samples first, first + interval, … of a binary signal file, at most
// range.max_count of them. The element count is taken from the file's size,
// so a file ending early yields the samples it has. range.first or
// range.interval below 1 is a ReadError.
BinaryRead read_binary_signal_file(const std::string& file_name, Component component,
                                   const ReadRange& range);
// The same for the bytes of a file held in memory.
BinaryRead read_binary_signal_bytes(std::span<const std::byte> bytes, Component component,
                                    const ReadRange& range, std::string_view file_name = {});

// The format of a binary output code: "R8", "R4", "I2"; a first letter r or i
// counts as R or I. Nothing for any other code.
std::optional<BinaryFormat> binary_output_format(std::string_view code);

// Writes values in the tagged layout: "REAL   8" and float64 values (R8),
// "REAL   4" and float32 values rounded to nearest (R4), or "NTGR   2" and
// int16 values, the nearest integer with halves away from zero, limited to
// −32768 … 32767 (I2). An existing file is replaced. An unknown code is
// refused before the file is touched ("Unknown file format: " + code); a file
// that cannot be created gives "Cannot open file: ", a failed write "Error
// writing file: ", each followed by the file name.
Status write_signal_file(std::span<const double> values, std::string_view code,
                         const std::string& file_name, double xmin, double dx);

}  // namespace zeph
