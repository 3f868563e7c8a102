#pragma once
// Sound samples on the program's 16-bit scale: values are converted to signed
// 16-bit samples (32768 is full scale), and recorded samples are measured.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"

namespace zeph {

// Signed 16-bit samples, frames interleaved (left, right for two channels).
struct Pcm16 {
    std::vector<std::int16_t> samples;
    int channels = 1;            // 1 or 2
    std::size_t clipped = 0;     // values beyond -32768 ... 32767 after rounding, clipped to it
    std::size_t not_finite = 0;  // NaN and ±Inf values, played as silence (0)

    std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

// One value as a sample: rounded to the nearest integer (halves away from
// zero), clipped to -32768 ... 32767; NaN and ±Inf give 0. The counts of
// `into` grow by what happened.
std::int16_t to_sample(double value, Pcm16& into);

// Real values as one channel.
Pcm16 to_pcm16(std::span<const double> values);
// Complex values as one channel (the real parts) or two (left the real part,
// right the imaginary part); clipped and not_finite count values, not frames.
Pcm16 to_pcm16(std::span<const Complex> values, int channels);

// The frames as complex values on the 16-bit scale: one channel gives real
// values, two give left + j right.
std::vector<Complex> to_complex(const Pcm16& sound);

// Level of the largest magnitude among the samples in dB below full scale
// (20·log10(peak/32768): 0 dB for -32768, about -90.3 dB for a peak of 1);
// all zero or none gives kSilentLevelDb.
inline constexpr double kSilentLevelDb = -100.0;
double peak_level_db(std::span<const std::int16_t> samples);

// "Playing 2.78 s at 22050 Hz. Esc stops." and "Recording 5.00 s at 44100 Hz. Esc stops."
std::string playing_notice(double seconds, int rate_hz);
std::string recording_notice(double seconds, int rate_hz);

}  // namespace zeph
