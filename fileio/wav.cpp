#include "fileio/wav.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "fileio/audio_header.hpp"
#include "fileio/byte_io.hpp"

namespace zeph {

namespace {

constexpr std::uint64_t kRiffHeaderBytes = 12;    // "RIFF", size, "WAVE"
constexpr std::uint64_t kChunkHeaderBytes = 8;    // identifier, size
constexpr std::uint32_t kFormatFieldBytes = 16;   // the PCM fields of "fmt "
constexpr std::uint64_t kFramesPerChunk = 16384;  // frames fetched from the file at once
constexpr std::uint32_t kCanonicalHeaderRest = 36;   // header bytes after the RIFF size field, before the data
constexpr double kMaxWriteRate = 1073741823.0;    // Hz; the byte rate of stereo still fits 32 bits

struct WavFormat {
    unsigned channels = 0;
    std::uint32_t sample_rate = 0;   // Hz
};

SignalRead failed_read(ReadStatus code, std::string message) {
    SignalRead result;
    result.code = code;
    result.status = Status::failure(std::move(message));
    return result;
}

// A 4-byte field of an unrecognised header as message text: printable ASCII
// as it stands, anything else as '?', so no control byte reaches the console.
std::string field_text(const std::byte* p) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const auto c = std::to_integer<unsigned char>(p[i]);
        text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    return text;
}

// The PCM fields of a "fmt " chunk, checked in the order the messages are given.
std::optional<SignalRead> check_format(const std::byte* fields, WavFormat& format) {
    const std::uint16_t format_tag = le_u16(fields);
    const std::uint16_t channels = le_u16(fields + 2);
    const std::uint32_t sample_rate = le_u32(fields + 4);
    // fields + 8: byte rate, + 12: block align; both follow from the others.
    const std::uint16_t bits = le_u16(fields + 14);
    if (format_tag != 1) return failed_read(ReadStatus::Unsupported, std::string(kCompressedWav));
    if (bits != 16) return failed_read(ReadStatus::Unsupported, std::string(kOnly16BitWav));
    if (channels >= 3) return failed_read(ReadStatus::Unsupported, std::string(kTooManyChannels));
    if (channels == 0) return failed_read(ReadStatus::Unsupported, std::string(kNoChannels));
    if (sample_rate == 0) return failed_read(ReadStatus::Unsupported, std::string(kZeroSampleRate));
    format = {channels, sample_rate};
    return std::nullopt;
}

// Every `stride`-th frame of a block of 16-bit PCM as a random-access range of
// Complex values decoded on access: channel 1 the real part, channel 2
// (stereo) the imaginary part. vector::insert appends such a range in one tight pass,
// without a capacity check per frame or a zero fill.
template <unsigned Channels>
class FrameIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Complex;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Complex;

    FrameIterator(const std::byte* frames, difference_type index, std::size_t stride)
        : frames_(frames), index_(index), stride_(stride) {}

    Complex operator*() const {
        const std::byte* p = frames_ + 2 * Channels * stride_ * static_cast<std::size_t>(index_);
        return {static_cast<double>(le_i16(p)), Channels == 2 ? static_cast<double>(le_i16(p + 2)) : 0.0};
    }
    FrameIterator& operator++() { ++index_; return *this; }
    FrameIterator operator++(int) { FrameIterator before = *this; ++index_; return before; }
    FrameIterator& operator--() { --index_; return *this; }
    FrameIterator& operator+=(difference_type n) { index_ += n; return *this; }
    difference_type operator-(const FrameIterator& other) const { return index_ - other.index_; }
    bool operator==(const FrameIterator& other) const { return index_ == other.index_; }

private:
    const std::byte* frames_;
    difference_type index_;
    std::size_t stride_;
};

template <unsigned Channels>
void append_frames(std::vector<Complex>& samples, const std::byte* frames, std::size_t count, std::size_t stride) {
    const FrameIterator<Channels> first(frames, 0, stride), last(frames, static_cast<std::ptrdiff_t>(count), stride);
    samples.insert(samples.end(), first, last);
}

// The frames of a "data" chunk whose body starts at `body` and holds `size`
// bytes that the range takes; with a streaming placeholder size (only then
// does the data run to the end of the file), the frames present. Any other
// size beyond the file is a file cut short.
SignalRead read_frames(ByteSource& source, std::uint64_t body, std::uint32_t size, const WavFormat& format,
                       const ReadRange& range, std::string_view name) {
    const bool open_ended = is_streaming_placeholder(size);
    const std::uint64_t frame_bytes = 2 * format.channels;
    const std::uint64_t present = source.size() - body;
    const std::uint64_t stated = open_ended ? (size == 0 ? present : std::min<std::uint64_t>(size, present)) : size;
    const std::uint64_t declared = stated / frame_bytes;
    const std::size_t available = samples_in_range(declared, range);
    const std::uint64_t frames = std::min<std::uint64_t>(available, static_cast<std::uint64_t>(std::max(range.max_count, 0)));
    if (frames == 0) return failed_read(ReadStatus::NothingRead, message_with_name(kNoSamples, name));
    const auto skipped = static_cast<std::uint64_t>(std::max(range.first, 1) - 1);
    const auto stride = static_cast<std::uint64_t>(std::max(range.interval, 1));
    if (skipped + (frames - 1) * stride + 1 > present / frame_bytes) {
        return failed_read(ReadStatus::NothingRead, ends_early_message(name, present / frame_bytes, declared));
    }
    SignalRead result;
    reserve_samples(result.samples, static_cast<std::size_t>(frames));
    const std::uint64_t per_fetch = std::max<std::uint64_t>(1, kFramesPerChunk / stride);
    for (std::uint64_t done = 0; done < frames;) {
        const std::uint64_t k = std::min(per_fetch, frames - done);
        const std::uint64_t spanned = (k - 1) * stride + 1;   // frames from the first taken to the last
        const auto chunk = source.bytes(body + (skipped + done * stride) * frame_bytes,
                                        static_cast<std::size_t>(spanned * frame_bytes));
        if (chunk.empty()) return failed_read(ReadStatus::NothingRead, message_with_name(kErrorReadingFile, name));
        if (format.channels == 1) {
            append_frames<1>(result.samples, chunk.data(), static_cast<std::size_t>(k), static_cast<std::size_t>(stride));
        } else {
            append_frames<2>(result.samples, chunk.data(), static_cast<std::size_t>(k), static_cast<std::size_t>(stride));
        }
        done += k;
    }
    const double step = 1.0 / format.sample_rate;
    result.xmin = static_cast<double>(skipped) * step;
    result.dx = static_cast<double>(stride) * step;
    result.available = available;
    result.channels = static_cast<int>(format.channels);
    return result;
}

SignalRead read_wav_source(ByteSource& source, std::string_view name, const ReadRange& range) {
    const auto riff = source.bytes(0, kRiffHeaderBytes);
    if (riff.empty()) return failed_read(ReadStatus::NothingRead, message_with_name(kErrorReadingFile, name));
    if (!bytes_equal(riff.data(), "RIFF") || !bytes_equal(riff.data() + 8, "WAVE")) {
        std::string message(kFormatNotRecognized);
        message += field_text(riff.data()) + field_text(riff.data() + 8) + "<";
        return failed_read(ReadStatus::Unsupported, message);
    }
    std::optional<WavFormat> format;
    std::uint64_t position = kRiffHeaderBytes;
    // A chunk header cut off by the end of the file ends the walk.
    while (source.size() - position >= kChunkHeaderBytes) {
        const auto header = source.bytes(position, kChunkHeaderBytes);
        if (header.empty()) return failed_read(ReadStatus::NothingRead, message_with_name(kErrorReadingFile, name));
        const bool is_format = bytes_equal(header.data(), "fmt ");
        const bool is_data = bytes_equal(header.data(), "data");
        const std::uint32_t size = le_u32(header.data() + 4);
        const std::uint64_t body = position + kChunkHeaderBytes;
        if (is_format) {
            const auto fields = size < kFormatFieldBytes ? std::span<const std::byte>{}
                                                         : source.bytes(body, kFormatFieldBytes);
            if (fields.empty()) {
                return failed_read(ReadStatus::NothingRead, message_with_name(kErrorReadingFile, name));
            }
            WavFormat checked;
            if (auto refused = check_format(fields.data(), checked)) return std::move(*refused);
            format = checked;
        } else if (is_data) {
            if (!format) return failed_read(ReadStatus::Unsupported, message_with_name(kDataBeforeFormat, name));
            return read_frames(source, body, size, *format, range, name);
        }
        // Skip the chunk body. An odd size is followed by one pad byte, a zero;
        // a writer that left it out has the next chunk's name there instead
        // (chunk names are printable), so a non-zero byte is not skipped.
        position = body + size;
        if ((size & 1u) && position < source.size()) {
            const auto pad = source.bytes(position, 1);
            if (!pad.empty() && pad[0] == std::byte{0}) ++position;
        }
        if (position > source.size()) break;
    }
    return failed_read(ReadStatus::NothingRead, message_with_name(kNoDataChunk, name));
}

}  // namespace

bool is_wav_file_name(std::string_view file_name) {
    return has_extension(trimmed_file_name(file_name), ".wav");
}

SignalRead read_wav(const std::string& file_name, const ReadRange& range) {
    return read_named_file(file_name, [&](ByteSource& source, std::string_view name) {
        return read_wav_source(source, name, range);
    });
}

SignalRead read_wav_bytes(std::span<const std::byte> bytes, std::string_view file_name, const ReadRange& range) {
    ByteSource source(bytes);
    return read_wav_source(source, file_name, range);
}

WavChannels wav_channels_from_reply(std::string_view reply) {
    return !reply.empty() && (reply.front() == 'M' || reply.front() == 'm') ? WavChannels::Mono
                                                                            : WavChannels::Stereo;
}

Status write_wav(std::span<const Complex> samples, const std::string& file_name,
                 WavChannels channels, double dx) {
    const std::string name(trimmed_file_name(file_name));
    const double rate = std::round(1.0 / dx);   // halves away from zero
    if (!(dx > 0.0) || !(rate >= 1.0 && rate <= kMaxWriteRate)) {
        return Status::failure(message_with_name(kWavRateOutOfRange, name));
    }
    const auto sample_rate = static_cast<std::uint32_t>(rate);
    const std::uint32_t channel_count = channels == WavChannels::Mono ? 1 : 2;
    const std::uint64_t data_bytes = static_cast<std::uint64_t>(samples.size()) * channel_count * 2;
    if (data_bytes > UINT32_MAX - kCanonicalHeaderRest) {   // the RIFF size must fit 32 bits
        return Status::failure(message_with_name(kErrorWritingFile, name));
    }
    ReplacementFile file = create_output_file(name);
    if (!file) return Status::failure(message_with_name(kCannotOpenFile, name));

    LittleEndianWriter out(file.get());
    out.text("RIFF");                                              // RIFF chunk identifier
    out.u32(static_cast<std::uint32_t>(data_bytes) + kCanonicalHeaderRest);   // RIFF size: bytes after this field
    out.text("WAVE");                                              // form type
    out.text("fmt ");                                              // format chunk identifier
    out.u32(kFormatFieldBytes);                                    // format chunk size
    out.u16(1);                                                    // format tag: PCM
    out.u16(static_cast<std::uint16_t>(channel_count));            // channels
    out.u32(sample_rate);                                          // sample rate [Hz]
    out.u32(sample_rate * channel_count * 2);                      // byte rate [bytes/s]
    out.u16(static_cast<std::uint16_t>(channel_count * 2));        // block align: bytes per frame
    out.u16(16);                                                   // bits per sample
    out.text("data");                                              // data chunk identifier
    out.u32(static_cast<std::uint32_t>(data_bytes));               // data size [bytes]
    for (const Complex& s : samples) {
        out.i16(nearest_int16(s.real()));                          // channel 1
        if (channel_count == 2) out.i16(nearest_int16(s.imag()));  // channel 2
    }
    return finish_output_file(std::move(file), out, name);
}

}  // namespace zeph
