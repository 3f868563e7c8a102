#pragma once
// Audio files beyond 16-bit PCM WAV, read and written through libsndfile:
// WAV of other sample formats (8, 24, 32-bit PCM, float, extensible), RF64,
// W64, FLAC, AIFF and AIFF-C, Ogg Vorbis and Opus, CAF, AU.
//
// Values are on the scale of 16-bit samples (full scale 32768), whatever the
// file's sample format, so the same sound read from a 16-bit WAV and from a
// 24-bit FLAC gives the same values within the coarser file's quantisation.
// Channels and grid follow the WAV rules: channel 1 the real parts, channel
// 2 the imaginary parts, XMIN = 0 and DX = 1/sample rate [s].
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "fileio/sample_file.hpp"
#include "fileio/wav.hpp"

namespace zeph {

inline constexpr double kAudioFullScale = 32768.0;   // 16-bit scale of every audio file
inline constexpr std::size_t kAudioMagicBytes = 12;   // bytes looked at to tell the kind

// True when the first bytes of a file are the header of an audio container
// libsndfile reads (RIFF/RIFX/RF64 WAVE, W64, FORM AIFF/AIFC, fLaC, OggS,
// caff, AU). Told by content alone: the name plays no part.
bool is_audio_content(std::span<const std::byte> head);
// The same for the first bytes of the named file; false when it cannot be read.
bool is_audio_file_content(const std::string& file_name);

// The read of an audio file: a ".wav" name or audio content. 16-bit PCM WAV,
// mono or stereo, goes to read_wav; a WAV file that reader refuses for its
// sample format or channel count, and any other audio content, goes to
// libsndfile. When libsndfile cannot open it either, a file that is not RIFF
// at all keeps the WAV reader's message. The range's first point and
// interval pick the frames (XMIN = (first − 1)/rate, DX = interval/rate).
SignalRead read_audio_signal(const std::string& file_name, const ReadRange& range);

// Reads at most range.max_count frames through libsndfile, the kind told by
// the content. More than two channels: the first two are read, with the notice
// "Read channels 1 and 2 of N in file: " + name. `channels` and `available`
// (the frames the header declares, for the range) are set. Failures:
//   "Cannot find file: " + name                        (NothingRead)
//   "Error reading file: " + name + ": format not recognised"  (Unsupported)
//       content that is_audio_content refuses: never handed to libsndfile
//   "Error reading file: " + name + ": sample rate R"  (Unsupported) a rate in
//       the header that is 0, negative, NaN or infinite
//   "Error reading file: " + name + ": " + libsndfile's reason, left out when
//       the reason is about libsndfile's own workings   (Unsupported)
//   ends_early_message: the data stops before the frames the header declares
//       and the read needs more                        (NothingRead)
//   "No samples in file: " + name                      (NothingRead)
SignalRead read_sndfile(const std::string& file_name, const ReadRange& range);
inline SignalRead read_sndfile(const std::string& file_name, int max_count) {
    return read_sndfile(file_name, ReadRange{.max_count = max_count});
}
// The same for a file's bytes held in memory; file_name is used in messages only.
SignalRead read_sndfile_bytes(std::span<const std::byte> bytes, std::string_view file_name, const ReadRange& range);
inline SignalRead read_sndfile_bytes(std::span<const std::byte> bytes, std::string_view file_name, int max_count) {
    return read_sndfile_bytes(bytes, file_name, ReadRange{.max_count = max_count});
}

// Names that FI writes as audio: ".wav" (the 16-bit writer) and the names of
// audio_output_kind. Any case.
bool is_audio_output_name(std::string_view file_name);

// Writes signal A as the audio file its name asks for, replacing any file of
// that name only when the whole file is written: ".wav" through write_wav;
// ".flac" and ".aif"/".aiff" 24-bit PCM, ".ogg"/".oga" Vorbis, ".opus" Opus,
// through libsndfile. Mono writes the real parts, stereo real then imaginary
// part. Sample rate = nearest integer to 1/dx. Opus takes only 8, 12, 16, 24
// and 48 kHz: another rate is resampled to the next of those up (48 kHz at
// most), with a notice. Values beyond ±32768 (and NaN) are limited, in every
// format, with the notice "Clipped N values beyond full scale". libsndfile
// encodes the whole file in memory first, so a named pipe receives a
// complete stream whose header sizes are filled in. A returned status that is
// ok may carry a notice in its message. Failures: "Sample rate 1/DX out of range for …",
// "Error writing file: " + name (+ ": " + libsndfile's reason).
Status write_audio_signal(std::span<const Complex> samples, const std::string& file_name, WavChannels channels,
                          double dx);

}  // namespace zeph
