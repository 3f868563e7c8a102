#pragma once
// Types and message texts shared by the sample-file readers and writers.
//
// Every reader fills scratch storage (a SignalRead or a per-format result) and
// never a signal of the workspace: the read dialogue copies the samples and
// the grid into signal A or B only when the read succeeded, so a failed read
// leaves the workspace as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "base/text.hpp"

namespace zeph {

// Which samples of a file a read takes: sample numbers first, first + interval,
// first + 2·interval, … (1-based), at most max_count of them. max_count is the
// capacity of the target signal, min(read_max, max_points). first and interval
// must be 1 or more (read_signal refuses a range that is not).
struct ReadRange {
    int first = 1;
    int interval = 1;
    int max_count = 0;
};

// The read status the read dialogue receives; anything but Ok abandons the read.
enum class ReadStatus {
    Ok = 0,
    NothingRead = 1,     // no file name, file not found, unreadable, or no samples in it
    Unsupported = 2,     // read error or content the program cannot read
    GridMismatch = 3,    // XMIN or DX differ between the real and imaginary files
    CountMismatch = 4,   // the real and imaginary files give different point counts
    OtherFormat = 5,     // not this reader's format (a binary read of a text file): the next reader is tried
};

// One signal read from files into scratch storage: what every reader of the
// program gives back (the readers of one format add what only they know).
struct SignalRead {
    ReadStatus code = ReadStatus::Ok;
    // !status.ok: the message for message_line (empty when both names were blank).
    // status.ok: a notice for message_line, usually empty ("DX ≤ 0. …").
    Status status;
    std::vector<Complex> samples;   // N = samples.size(); real and imaginary parts
    double xmin = 0.0;              // abscissa of the first sample read (Tmin or Fmin)
    double dx = 1.0;                // abscissa step of the samples read (DT or DF)
    // The samples the file holds for the read range (first point and
    // interval) without the maximum count; 0 when the file does not tell.
    std::size_t available = 0;
    int channels = 0;   // of an audio file; 0 for the other formats
};

// Message texts of the sample-file layer, spelled once. A message that names a
// file is the text followed by the file name, cut to kMessageWidth bytes.
inline constexpr std::size_t kMessageWidth = 80;
inline constexpr std::string_view kCannotFindFile = "Cannot find file: ";
inline constexpr std::string_view kErrorReadingBinary = "Error reading R8 or I2 file: ";
inline constexpr std::string_view kErrorReadingAscii = "Error reading ASCII file: ";
inline constexpr std::string_view kDxNotPositive = "DX ≤ 0. Assigned a value of 1.";
inline constexpr std::string_view kGridMismatch = "XMIN or DX do not match in real & imag files";
inline constexpr std::string_view kCountMismatch = "Different # sample points real & imag files:";
inline constexpr std::string_view kErrorReadingFile = "Error reading file: ";
inline constexpr std::string_view kFormatNotRecognized = "File format not recognized.>";
inline constexpr std::string_view kCompressedWav = "Cannot read compressed WAV files.";
inline constexpr std::string_view kOnly16BitWav = "Can only read 16 bit/sample WAV files.";
inline constexpr std::string_view kTooManyChannels = "Cannot read more than 2 channels from WAV files.";
// Cases the program refuses rather than reading nothing or dividing by zero.
inline constexpr std::string_view kNoSamples = "No samples in file: ";
inline constexpr std::string_view kNoDataChunk = "No data chunk in WAV file: ";
inline constexpr std::string_view kDataBeforeFormat = "WAV data chunk comes before fmt chunk: ";
inline constexpr std::string_view kNoChannels = "Cannot read WAV files with 0 channels.";
inline constexpr std::string_view kZeroSampleRate = "Cannot read WAV files with sample rate 0.";
inline constexpr std::string_view kComplexOnlyAsReal = "C4 file can only be read as REAL file: ";
inline constexpr std::string_view kBadReadRange = "First point # and Interval must be 1 or more.";
inline constexpr std::string_view kUnknownFormat = "Unknown file format: ";
inline constexpr std::string_view kWavRateOutOfRange = "Sample rate 1/DX out of range for WAV file: ";
inline constexpr std::string_view kAudioRateOutOfRange = "Sample rate 1/DX out of range for this file: ";
inline constexpr std::string_view kStereoGivesBothParts = "A stereo file gives both parts, no IMAG file: ";

// text + the trimmed name, cut to kMessageWidth bytes.
std::string message_with_name(std::string_view text, std::string_view file_name);

// "Error reading file: " + name + ": the file ends early (got of declared samples)",
// for a file whose data stops before the count its header declares.
std::string ends_early_message(std::string_view file_name, std::uint64_t got, std::uint64_t declared);

// The samples a read range takes from `total` samples: first, first +
// interval, … up to total (range.first and range.interval 1 or more).
std::size_t samples_in_range(std::uint64_t total, const ReadRange& range);

// The scratch storage of reads is kept between reads (on each thread), so
// that a large signal read again fills pages it already has instead of fresh
// ones. reserve_samples gives an empty `samples` the kept storage before it
// reserves `count`; keep_read_storage takes a read's samples back once they
// have been copied where they belong, and keeps them only while they are
// not much larger than that read (so a signal that shrank frees them);
// release_read_storage frees them (when the maximum number of points changes).
void reserve_samples(std::vector<Complex>& samples, std::size_t count);
void keep_read_storage(std::vector<Complex>&& samples);
void release_read_storage();

}  // namespace zeph
