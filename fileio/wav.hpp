#pragma once
// RIFF WAVE files of 16-bit PCM samples, mono or stereo.
//
// A mono file maps to the real parts of a signal; a stereo file maps its first
// channel to the real parts and its second to the imaginary parts. Sample
// values are the 16-bit integers unscaled (−32768 … 32767). The grid of a WAV
// signal is XMIN = 0, DX = 1/sample rate [s].
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

// True when the name, without trailing blanks, is at least 5 characters long
// and ends in ".wav" in any case ("x.wav", "DATA.WAV"; not ".wav" or "a.wa").
bool is_wav_file_name(std::string_view file_name);

// Reads at most max_count frames of the first "data" chunk. Chunks after
// "WAVE" may come in any order ("fmt " before "data"); unknown chunks are
// skipped by their size plus the pad byte that follows an odd size. Failures:
//   "Cannot find file: " + name               (NothingRead)  cannot be opened
//   "Error reading file: " + name              (NothingRead)  truncated header or data
//   "File format not recognized.>" + id + form + "<"  (Unsupported)  not RIFF/WAVE
//   "Cannot read compressed WAV files."       (Unsupported)  format tag not 1
//   "Can only read 16 bit/sample WAV files."  (Unsupported)
//   "Cannot read more than 2 channels from WAV files."  (Unsupported)
//   "Cannot read WAV files with 0 channels.", "… with sample rate 0."  (Unsupported)
//   "WAV data chunk comes before fmt chunk: " + name  (Unsupported)
//   "No data chunk in WAV file: " + name, "No samples in file: " + name  (NothingRead)
// The range's first point and interval pick the frames as in every sample
// file (XMIN = (first − 1)/rate, DX = interval/rate); `available` is the
// count the data chunk holds for the range. A data chunk that ends before the
// frames its size declares is refused when the read needs frames beyond the
// end (ends_early_message, NothingRead).
SignalRead read_wav(const std::string& file_name, const ReadRange& range);
inline SignalRead read_wav(const std::string& file_name, int max_count) {
    return read_wav(file_name, ReadRange{.max_count = max_count});
}
// The same for the bytes of a file held in memory; file_name is used in messages only.
SignalRead read_wav_bytes(std::span<const std::byte> bytes, std::string_view file_name, const ReadRange& range);
inline SignalRead read_wav_bytes(std::span<const std::byte> bytes, std::string_view file_name, int max_count) {
    return read_wav_bytes(bytes, file_name, ReadRange{.max_count = max_count});
}

enum class WavChannels { Mono = 1, Stereo = 2 };

// The channel answer of the file output dialogue: a reply beginning with M or
// m is mono, anything else stereo.
WavChannels wav_channels_from_reply(std::string_view reply);

// Writes samples as a canonical 44-byte-header WAV file, replacing any file of
// that name: mono writes the real parts, stereo real then imaginary part of
// each sample. Each part becomes its nearest integer (halves away from zero)
// limited to −32768 … 32767. Sample rate = nearest integer to 1/dx; dx must
// give a rate of 1 … 1073741823 Hz, else "Sample rate 1/DX out of range for
// WAV file: " + name and nothing is written. Open and write failures give
// "Cannot open file: " and "Error writing file: " with the name.
Status write_wav(std::span<const Complex> samples, const std::string& file_name,
                 WavChannels channels, double dx);

}  // namespace zeph
