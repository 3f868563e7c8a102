#include "fileio/signal_reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "fileio/ascii.hpp"
#include "fileio/audio_file.hpp"
#include "fileio/binary_records.hpp"
#include "fileio/wav.hpp"

namespace zeph {

namespace {

constexpr double kGridTolerance = 1e-6;   // relative to DX

SignalRead failed_read(ReadStatus code, std::string message) {
    SignalRead result;
    result.code = code;
    result.status = Status::failure(std::move(message));
    return result;
}

// A value placed in the part of the signal the file supplies.
Complex in_part(double value, Component component) {
    return component == Component::Real ? Complex{value, 0.0} : Complex{0.0, value};
}

bool is_audio(const std::string& name) { return is_wav_file_name(name) || is_audio_file_content(name); }

// An audio file read for one part: its one channel in that part. A stereo
// file holds both parts and is read only alone.
SignalRead read_audio_component(const std::string& name, Component component, const ReadRange& range) {
    SignalRead pass = read_audio_signal(name, range);
    if (!pass.status.ok) return pass;
    if (pass.channels >= 2) return failed_read(ReadStatus::Unsupported, message_with_name(kStereoGivesBothParts, name));
    for (Complex& s : pass.samples) s = in_part(s.real(), component);
    return pass;
}

// One file read for one part: audio, else binary if it is a binary signal
// file, else ASCII.
SignalRead read_component(const std::string& name, Component component, const ReadRange& range) {
    if (is_audio(name)) return read_audio_component(name, component, range);
    BinaryRead binary = read_binary_signal_file(name, component, range);
    SignalRead pass;
    std::string_view format_error = kErrorReadingBinary;
    if (binary.code == ReadStatus::OtherFormat) {
        AsciiRead ascii = read_ascii_file(name, range);
        if (!ascii.status.ok) return ascii;
        for (Complex& s : ascii.samples) s = in_part(s.real(), component);
        pass = std::move(ascii);
        format_error = kErrorReadingAscii;
    } else if (!binary.status.ok) {
        return binary;
    } else if (binary.format == BinaryFormat::C4 && component == Component::Imag) {
        return failed_read(ReadStatus::Unsupported, message_with_name(kComplexOnlyAsReal, name));
    } else {
        pass = std::move(binary);
    }
    // A grid that is not a number (NaN or infinite XMIN or DX) cannot place the samples.
    if (!std::isfinite(pass.xmin) || !std::isfinite(pass.dx)) {
        return failed_read(ReadStatus::Unsupported, message_with_name(format_error, name));
    }
    if (pass.samples.empty()) return failed_read(ReadStatus::NothingRead, message_with_name(kNoSamples, name));
    return pass;
}

bool differ(double a, double b, double scale) { return std::abs(a - b) > kGridTolerance * scale; }

std::string count_mismatch_message(std::size_t real_count, std::size_t imag_count) {
    char text[kMessageWidth + 1];
    std::snprintf(text, sizeof text, "%-45s%12zu%12zu", std::string(kCountMismatch).c_str(), real_count,
                  imag_count);
    return text;
}

// The real and imaginary passes as one signal: grids and counts must agree.
SignalRead combine_passes(SignalRead real, SignalRead imag) {
    const double scale = std::abs(imag.dx);
    if (differ(real.dx, imag.dx, scale) || differ(real.xmin, imag.xmin, scale)) {
        return failed_read(ReadStatus::GridMismatch, std::string(kGridMismatch));
    }
    if (real.samples.size() != imag.samples.size()) {
        return failed_read(ReadStatus::CountMismatch,
                           count_mismatch_message(real.samples.size(), imag.samples.size()));
    }
    for (std::size_t i = 0; i < imag.samples.size(); ++i) imag.samples[i].real(real.samples[i].real());
    if (real.available != 0 && imag.available != 0) imag.available = std::min(real.available, imag.available);
    return imag;
}

// DX must be positive for the grid to mean anything; a file that gives
// DX ≤ 0 (a descending or constant first column) is read with DX = 1.
void make_step_positive(SignalRead& read) {
    if (read.dx > 0.0) return;
    read.dx = 1.0;
    read.status = Status{true, std::string(kDxNotPositive)};
}

}  // namespace

SignalRead read_signal(std::string_view real_file_name, std::string_view imag_file_name,
                       const ReadRange& range) {
    const std::string real_name(trimmed_file_name(real_file_name));
    const std::string imag_name(trimmed_file_name(imag_file_name));
    if (real_name.empty() && imag_name.empty()) return failed_read(ReadStatus::NothingRead, "");
    if (range.first < 1 || range.interval < 1) {
        return failed_read(ReadStatus::Unsupported, std::string(kBadReadRange));
    }
    // An audio file alone gives both parts (a stereo file its two channels).
    if (imag_name.empty() && is_audio(real_name)) return read_audio_signal(real_name, range);

    std::optional<SignalRead> real, imag;
    if (!real_name.empty()) {
        real = read_component(real_name, Component::Real, range);
        if (!real->status.ok) return std::move(*real);
    }
    if (!imag_name.empty()) {
        imag = read_component(imag_name, Component::Imag, range);
        if (!imag->status.ok) return std::move(*imag);
    }
    SignalRead result = real && imag ? combine_passes(std::move(*real), std::move(*imag))
                                     : std::move(real ? *real : *imag);
    if (result.status.ok) make_step_positive(result);
    return result;
}

}  // namespace zeph
