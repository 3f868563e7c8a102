#pragma once
// Reading a signal from sample files: the real parts from one file and the
// imaginary parts from another, each in any supported format, or both parts
// from one WAV file.
#include <string_view>

#include "fileio/sample_file.hpp"

namespace zeph {

// Reads a signal into scratch storage; the caller copies samples, XMIN and DX
// into signal A (Tmin, DT) or B (Fmin, DF) only when result.status.ok, and
// shows result.status.message in any case when it is not empty.
//
// Names are blank padded or not; trailing blanks are ignored.
//  - Both names blank: NothingRead, no message.
//  - range.first or range.interval below 1: "First point # and Interval must
//    be 1 or more." (Unsupported).
//  - A real-part name ending in ".wav" (any case, 5 characters or more), or a
//    real-part file whose content is audio (audio_file.hpp), and no imaginary
//    name: the whole read is read_audio_signal with the range, a stereo file
//    giving both parts.
//  - Otherwise each named file is read for its part: an audio file (its one
//    channel; a stereo file is refused, "A stereo file gives both parts, no
//    IMAG file: " + name, Unsupported), a binary signal file
//    (binary_records.hpp), else an ASCII file (ascii.hpp), with the samples
//    range.first, first + interval, … up to range.max_count. A blank real name
//    leaves the real parts 0; a blank imaginary name the imaginary parts 0.
//    Failures, each with the file name: "Cannot find file: " (NothingRead),
//    "Error reading R8 or I2 file: ", "Error reading ASCII file: " (Unsupported;
//    also for a header XMIN or DX that is not a finite number), "No samples in
//    file: " (NothingRead), "C4 file can only be read as REAL file: " (Unsupported).
//  - Two files: their grids must agree, |ΔDX| and |ΔXMIN| at most 1e-6·|DX|,
//    else "XMIN or DX do not match in real & imag files" (GridMismatch); and
//    their counts, else "Different # sample points real & imag files:" with
//    the real then the imaginary count, 12 columns each from column 46
//    (CountMismatch). XMIN and DX are those of the imaginary file.
//  - A resulting DX ≤ 0 becomes 1, with the notice "DX ≤ 0. Assigned a value of 1."
//  - result.available: the samples the files hold for the range (the fewer of
//    two files), 0 when a file does not tell.
SignalRead read_signal(std::string_view real_file_name, std::string_view imag_file_name,
                       const ReadRange& range);

}  // namespace zeph
