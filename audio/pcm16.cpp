#include "audio/pcm16.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zeph {

std::int16_t to_sample(double value, Pcm16& into) {
    if (!std::isfinite(value)) {
        ++into.not_finite;
        return 0;
    }
    const double rounded = std::round(value);   // halves away from zero
    if (rounded > 32767.0) {
        ++into.clipped;
        return 32767;
    }
    if (rounded < -32768.0) {
        ++into.clipped;
        return -32768;
    }
    return static_cast<std::int16_t>(rounded);
}

Pcm16 to_pcm16(std::span<const double> values) {
    Pcm16 sound;
    sound.samples.reserve(values.size());
    for (const double v : values) sound.samples.push_back(to_sample(v, sound));
    return sound;
}

Pcm16 to_pcm16(std::span<const Complex> values, int channels) {
    Pcm16 sound;
    sound.channels = channels == 2 ? 2 : 1;
    sound.samples.reserve(values.size() * static_cast<std::size_t>(sound.channels));
    for (const Complex& v : values) {
        sound.samples.push_back(to_sample(v.real(), sound));
        if (sound.channels == 2) sound.samples.push_back(to_sample(v.imag(), sound));
    }
    return sound;
}

std::vector<Complex> to_complex(const Pcm16& sound) {
    std::vector<Complex> values(sound.frames());
    const std::size_t step = static_cast<std::size_t>(sound.channels);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double left = sound.samples[i * step];
        values[i] = step == 2 ? Complex(left, sound.samples[i * step + 1]) : Complex(left, 0.0);
    }
    return values;
}

double peak_level_db(std::span<const std::int16_t> samples) {
    int peak = 0;
    for (const std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    if (peak == 0) return kSilentLevelDb;
    return 20.0 * std::log10(peak / 32768.0);
}

namespace {

std::string notice(const char* verb, double seconds, int rate_hz) {
    char text[96];
    std::snprintf(text, sizeof text, "%s %.2f s at %d Hz. Esc stops.", verb, seconds, rate_hz);
    return text;
}

}  // namespace

std::string playing_notice(double seconds, int rate_hz) { return notice("Playing", seconds, rate_hz); }
std::string recording_notice(double seconds, int rate_hz) { return notice("Recording", seconds, rate_hz); }

}  // namespace zeph
