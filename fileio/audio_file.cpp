#include "fileio/audio_file.hpp"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "base/replace_file.hpp"
#include "fileio/audio_header.hpp"
#include "fileio/byte_io.hpp"

namespace zeph {

namespace {

constexpr std::size_t kSamplesPerBlock = 16384;   // values decoded or encoded at once
// Integer samples as libsndfile takes them: full scale 2^31, so a 16-bit
// value v is v·65536 and 24-bit files keep 8 more bits of it.
constexpr double kIntPerUnit = 65536.0;
constexpr double kMaxWriteRate = 1073741823.0;   // Hz
constexpr std::array kOpusRates{8000, 12000, 16000, 24000, 48000};   // Hz, the only rates Opus takes

SignalRead failed_read(ReadStatus code, std::string message) {
    SignalRead result;
    result.code = code;
    result.status = Status::failure(std::move(message));
    return result;
}

constexpr std::string_view kNotAudio = "format not recognised";   // reason for content of no audio container

// libsndfile's error numbers that have a text (1.2.0: 1 … 183). Beyond, and
// for −1 as its Ogg encoder leaves it, sf_error_number prints "Not a valid
// error number" on standard output: it is never asked for those.
constexpr int kLastLibraryError = 183;
// Words of libsndfile's texts about its own workings, which mean nothing to
// the user: such a reason is left out and the message is the plain one.
constexpr std::array<std::string_view, 8> kInternalWords{"nternal", "SF_", "SNDFILE", "pointer", "karma",
                                                         "cryptic", "misconfigured", "No Error"};

// libsndfile's reason for error number `error` as message text: "Error : "
// and the final point taken off, the first letter in lower case; empty for
// no error, an unknown number or an internal text.
std::string library_reason(int error) {
    if (error < 1 || error > kLastLibraryError) return {};
    std::string text = sf_error_number(error);
    for (const std::string_view word : kInternalWords) {
        if (text.find(word) != std::string::npos) return {};
    }
    for (const std::string_view prefix : {std::string_view("Error : "), std::string_view("Error: ")}) {
        if (text.starts_with(prefix)) text.erase(0, prefix.size());
    }
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z' && !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z')) {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

// text + name + ": " + the reason (when there is one), cut to the message width.
std::string library_message(std::string_view text, std::string_view name, const std::string& reason) {
    std::string named(trimmed_file_name(name));
    if (!reason.empty()) named += ": " + reason;
    return message_with_name(text, named);
}

// text + name + ": " + libsndfile's reason for the error of `file` (null: of the last open).
std::string library_error_message(std::string_view text, std::string_view name, SNDFILE* file) {
    return library_message(text, name, library_reason(sf_error(file)));
}

// "Error reading file: " + name + ": sample rate " + the rate the header gives.
std::string rate_message(std::string_view name, double rate) {
    char shown[32];
    if (std::isnan(rate)) std::snprintf(shown, sizeof shown, "nan");
    else std::snprintf(shown, sizeof shown, "%g", rate);
    return library_message(kErrorReadingFile, name, std::string("sample rate ") + shown);
}

// libsndfile reads the bytes of a ByteSource through its virtual I/O, so the
// same path serves a file and a buffer in memory, and the kind of the file is
// told by its content alone (libsndfile never sees a name).
struct VirtualInput {
    ByteSource& source;
    sf_count_t position = 0;
};

sf_count_t input_length(void* user) {
    return static_cast<sf_count_t>(static_cast<VirtualInput*>(user)->source.size());
}

// The position a seek by `offset` from `whence` asks for in `size` bytes,
// or −1 when it lies before the start or, `bounded`, beyond the end.
// Overflow-safe: bounded positions stay within 0 … size.
sf_count_t sought_position(sf_count_t position, sf_count_t size, sf_count_t offset, int whence, bool bounded) {
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = position;
    else if (whence == SEEK_END) base = size;
    else if (whence != SEEK_SET) return -1;
    if (offset < -base || (bounded && offset > size - base)) return -1;
    return base + offset;
}

sf_count_t input_seek(sf_count_t offset, int whence, void* user) {
    auto& in = *static_cast<VirtualInput*>(user);
    // Reads past the end would give nothing: such a seek is refused.
    const sf_count_t to = sought_position(in.position, static_cast<sf_count_t>(in.source.size()), offset, whence, true);
    if (to >= 0) in.position = to;
    return to;
}

sf_count_t input_read(void* destination, sf_count_t count, void* user) {
    auto& in = *static_cast<VirtualInput*>(user);
    const auto size = static_cast<sf_count_t>(in.source.size());
    if (count <= 0 || in.position >= size) return 0;
    const sf_count_t n = std::min(count, size - in.position);
    const auto bytes = in.source.bytes(static_cast<std::uint64_t>(in.position), static_cast<std::size_t>(n));
    if (bytes.empty()) return 0;
    std::memcpy(destination, bytes.data(), bytes.size());
    in.position += n;
    return n;
}

sf_count_t input_write(const void*, sf_count_t, void*) { return 0; }

sf_count_t input_tell(void* user) { return static_cast<VirtualInput*>(user)->position; }

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

std::string channels_notice(int channels, std::string_view name) {
    return message_with_name("Read channels 1 and 2 of " + std::to_string(channels) + " in file: ", name);
}

// The frame count libsndfile may trust as the header's claim: its own, for
// FLAC (STREAMINFO); for the other containers it cuts the claim to the file.
std::optional<std::uint64_t> declared_frames(const AudioHeaderFacts& facts, const SF_INFO& info) {
    if (facts.frames) return facts.frames;
    constexpr sf_count_t kPlausible = sf_count_t{1} << 48;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC && info.frames > 0 && info.frames < kPlausible) {
        return static_cast<std::uint64_t>(info.frames);
    }
    return std::nullopt;
}

SignalRead read_sndfile_source(ByteSource& source, std::string_view name, const ReadRange& range) {
    // Only the containers the program reads go to libsndfile: it would try
    // anything else as MPEG or raw data, and its decoders print as they fail.
    const auto head = source.bytes(0, static_cast<std::size_t>(std::min<std::uint64_t>(kAudioMagicBytes, source.size())));
    if (!is_audio_content(head)) {
        return failed_read(ReadStatus::Unsupported, library_message(kErrorReadingFile, name, std::string(kNotAudio)));
    }
    const AudioHeaderFacts facts = audio_header_facts(source);
    if (facts.sample_rate && !(std::isfinite(*facts.sample_rate) && *facts.sample_rate > 0.0)) {
        return failed_read(ReadStatus::Unsupported, rate_message(name, *facts.sample_rate));
    }
    SF_VIRTUAL_IO io{input_length, input_seek, input_read, input_write, input_tell};
    VirtualInput input{source};
    SF_INFO info{};
    SndfileHandle file(sf_open_virtual(&io, SFM_READ, &info, &input));
    if (!file) return failed_read(ReadStatus::Unsupported, library_error_message(kErrorReadingFile, name, nullptr));
    if (info.channels < 1) {
        return failed_read(ReadStatus::Unsupported, library_message(kErrorReadingFile, name, "no channels"));
    }
    if (info.samplerate < 1) {
        return failed_read(ReadStatus::Unsupported, rate_message(name, facts.sample_rate.value_or(info.samplerate)));
    }
    sf_command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);   // full scale ±1.0

    const auto channels = static_cast<std::size_t>(info.channels);
    const std::size_t wanted = static_cast<std::size_t>(std::max(range.max_count, 0));
    const auto skipped = static_cast<std::uint64_t>(std::max(range.first, 1) - 1);
    const auto stride = static_cast<std::uint64_t>(std::max(range.interval, 1));
    const std::optional<std::uint64_t> declared = declared_frames(facts, info);
    const std::size_t block_frames = std::max<std::size_t>(1, kSamplesPerBlock / channels);
    std::vector<double> block(block_frames * channels);
    SignalRead result;
    // The header's claim bounds the reservation, never the loop.
    if (info.frames > 0) {
        const std::size_t claimed = samples_in_range(static_cast<std::uint64_t>(info.frames), range);
        reserve_samples(result.samples, std::min(claimed, wanted));
    }
    // Frames are decoded in order from the first; those the range takes are kept.
    std::uint64_t position = 0;   // frames decoded
    bool at_end = false;
    while (result.samples.size() < wanted) {
        const sf_count_t got = sf_readf_double(file.get(), block.data(), static_cast<sf_count_t>(block_frames));
        if (got <= 0) {
            at_end = true;
            break;
        }
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) && result.samples.size() < wanted; ++i) {
            const std::uint64_t p = position + i;
            if (p < skipped || (p - skipped) % stride != 0) continue;
            const double* frame = &block[i * channels];
            result.samples.emplace_back(frame[0] * kAudioFullScale, channels >= 2 ? frame[1] * kAudioFullScale : 0.0);
        }
        position += static_cast<std::uint64_t>(got);
    }
    if (sf_error(file.get()) != SF_ERR_NO_ERROR) {
        return failed_read(ReadStatus::Unsupported, library_error_message(kErrorReadingFile, name, file.get()));
    }
    if (at_end && declared && position < *declared) {
        return failed_read(ReadStatus::NothingRead, ends_early_message(name, position, *declared));
    }
    if (result.samples.empty()) return failed_read(ReadStatus::NothingRead, message_with_name(kNoSamples, name));
    // The header's rate as written where the program reads it (AIFF's may have a fraction).
    const double rate = facts.sample_rate ? *facts.sample_rate : static_cast<double>(info.samplerate);
    result.xmin = static_cast<double>(skipped) / rate;
    result.dx = static_cast<double>(stride) / rate;
    // A rate too small for its reciprocal (a subnormal one) gives no grid.
    if (!std::isfinite(result.xmin) || !std::isfinite(result.dx)) {
        return failed_read(ReadStatus::Unsupported, rate_message(name, rate));
    }
    // The frames the file holds: all decoded when the end was reached, else the
    // header's claim (libsndfile's own count for a file that does not say), and
    // never fewer than were decoded (libsndfile may read beyond a claim).
    std::uint64_t total = position;
    if (!at_end) total = std::max(total, declared ? *declared : static_cast<std::uint64_t>(std::max<sf_count_t>(info.frames, 0)));
    result.available = samples_in_range(total, range);
    result.channels = info.channels;
    if (channels > 2) result.status = Status{true, channels_notice(info.channels, name)};
    return result;
}

// ---- Writing ----------------------------------------------------------------

struct OutputKind {
    std::string_view extension;   // lower case, with the point
    int format;                   // libsndfile major | subtype
};

constexpr std::array kOutputKinds{
    OutputKind{".flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
    OutputKind{".aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
    OutputKind{".aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
    OutputKind{".ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    OutputKind{".oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    OutputKind{".opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
};

std::optional<OutputKind> output_kind(std::string_view file_name) {
    const std::string_view name = trimmed_file_name(file_name);
    for (const OutputKind& kind : kOutputKinds) {
        if (has_extension(name, kind.extension)) return kind;
    }
    return std::nullopt;
}

// The values a writer limits: beyond ±32768 (full scale) or NaN.
std::size_t values_beyond_full_scale(std::span<const Complex> samples, WavChannels channels) {
    const auto beyond = [](double v) { return !(std::abs(v) <= kAudioFullScale); };   // also NaN
    std::size_t count = 0;
    for (const Complex& s : samples) {
        count += beyond(s.real()) + (channels == WavChannels::Stereo && beyond(s.imag()));
    }
    return count;
}

// Interleaved frames on libsndfile's integer scale, each value limited to
// the 16-bit full scale, NaN as 0.
std::vector<int> interleaved_frames(std::span<const Complex> samples, int channels) {
    std::vector<int> frames;
    frames.reserve(samples.size() * static_cast<std::size_t>(channels));
    const auto put = [&](double v) {
        constexpr double kTop = std::numeric_limits<int>::max() / kIntPerUnit;
        v = std::isnan(v) ? 0.0 : std::clamp(v, -kAudioFullScale, kTop);
        frames.push_back(static_cast<int>(std::lround(v * kIntPerUnit)));
    };
    for (const Complex& s : samples) {
        put(s.real());
        if (channels == 2) put(s.imag());
    }
    return frames;
}

// libsndfile writes into memory through its virtual I/O: it may seek back to
// fill in sizes (FLAC's STREAMINFO, AIFF's and WAV's chunk sizes), which a
// named pipe cannot, and a write into memory cannot fail half way. The
// finished bytes then go to the file or pipe in one checked pass.
struct MemoryOutput {
    std::vector<unsigned char> bytes;
    sf_count_t position = 0;
};

sf_count_t output_length(void* user) { return static_cast<sf_count_t>(static_cast<MemoryOutput*>(user)->bytes.size()); }

sf_count_t output_seek(sf_count_t offset, int whence, void* user) {
    auto& out = *static_cast<MemoryOutput*>(user);
    // Beyond the end is allowed: a write there extends the bytes.
    const sf_count_t to = sought_position(out.position, static_cast<sf_count_t>(out.bytes.size()), offset, whence, false);
    if (to >= 0) out.position = to;
    return to;
}

sf_count_t output_read(void* destination, sf_count_t count, void* user) {
    auto& out = *static_cast<MemoryOutput*>(user);
    const auto size = static_cast<sf_count_t>(out.bytes.size());
    if (count <= 0 || out.position >= size) return 0;
    const sf_count_t n = std::min(count, size - out.position);
    std::memcpy(destination, out.bytes.data() + out.position, static_cast<std::size_t>(n));
    out.position += n;
    return n;
}

sf_count_t output_write(const void* source, sf_count_t count, void* user) {
    auto& out = *static_cast<MemoryOutput*>(user);
    if (count <= 0) return 0;
    const auto end = static_cast<std::size_t>(out.position + count);
    if (end > out.bytes.size()) out.bytes.resize(end);
    std::memcpy(out.bytes.data() + out.position, source, static_cast<std::size_t>(count));
    out.position += count;
    return count;
}

sf_count_t output_tell(void* user) { return static_cast<MemoryOutput*>(user)->position; }

// The lowest Opus rate at or above `rate`, 48 kHz at most.
int opus_rate_for(int rate) {
    for (const int r : kOpusRates) {
        if (r >= rate) return r;
    }
    return kOpusRates.back();
}

// Frames resampled from rate `from` to rate `to` (libsamplerate); empty on failure.
std::vector<int> resampled(const std::vector<int>& frames, int channels, int from, int to) {
    std::vector<float> in(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) in[i] = static_cast<float>(frames[i] / 2147483648.0);
    const double ratio = static_cast<double>(to) / from;
    const std::size_t in_frames = frames.size() / static_cast<std::size_t>(channels);
    const auto out_frames = static_cast<std::size_t>(std::ceil(static_cast<double>(in_frames) * ratio)) + 1;
    std::vector<float> out(out_frames * static_cast<std::size_t>(channels));
    SRC_DATA data{};
    data.data_in = in.data();
    data.data_out = out.data();
    data.input_frames = static_cast<long>(in_frames);
    data.output_frames = static_cast<long>(out_frames);
    data.src_ratio = ratio;
    data.end_of_input = 1;
    if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, channels) != 0) return {};
    std::vector<int> result(static_cast<std::size_t>(data.output_frames_gen) * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < result.size(); ++i) {
        // The filter may overshoot full scale a little near a clipped value.
        const double v = std::clamp(static_cast<double>(out[i]) * 2147483648.0, -2147483648.0, 2147483647.0);
        result[i] = static_cast<int>(std::lround(v));
    }
    return result;
}

std::string join_notices(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return (a + "; " + b).substr(0, kMessageWidth);
}

Status write_sndfile(std::span<const Complex> samples, const std::string& name, const OutputKind& kind,
                     WavChannels channels, double dx) {
    const double rate = std::round(1.0 / dx);   // halves away from zero
    if (!(dx > 0.0) || !(rate >= 1.0 && rate <= kMaxWriteRate)) {
        return Status::failure(message_with_name(kAudioRateOutOfRange, name));
    }
    const int channel_count = channels == WavChannels::Mono ? 1 : 2;
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = channel_count;
    info.format = kind.format;

    std::vector<int> frames = interleaved_frames(samples, channel_count);
    std::string resample_notice;
    if ((kind.format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS && opus_rate_for(info.samplerate) != info.samplerate) {
        const int to = opus_rate_for(info.samplerate);
        frames = resampled(frames, channel_count, info.samplerate, to);
        if (frames.empty() && !samples.empty()) return Status::failure(message_with_name(kErrorWritingFile, name));
        resample_notice = "Resampled to " + std::to_string(to) + " Hz for Opus";
        info.samplerate = to;
    }
    if (!sf_format_check(&info)) return Status::failure(message_with_name(kAudioRateOutOfRange, name));

    SF_VIRTUAL_IO io{output_length, output_seek, output_read, output_write, output_tell};
    MemoryOutput encoded;
    SndfileHandle file(sf_open_virtual(&io, SFM_WRITE, &info, &encoded));
    if (!file) return Status::failure(library_error_message(kErrorWritingFile, name, nullptr));
    const auto frame_count = static_cast<sf_count_t>(frames.size() / static_cast<std::size_t>(channel_count));
    const std::size_t block_frames = kSamplesPerBlock / static_cast<std::size_t>(channel_count);
    for (sf_count_t done = 0; done < frame_count;) {
        const sf_count_t k = std::min(static_cast<sf_count_t>(block_frames), frame_count - done);
        if (sf_writef_int(file.get(), frames.data() + done * channel_count, k) != k) {
            return Status::failure(library_error_message(kErrorWritingFile, name, file.get()));
        }
        done += k;
    }
    // Closing encodes the last pages and fills in the header sizes.
    if (sf_close(file.release()) != 0) return Status::failure(message_with_name(kErrorWritingFile, name));

    ReplacementFile replacement(name);
    if (!replacement) return Status::failure(message_with_name(kCannotOpenFile, name));
    const bool written = std::fwrite(encoded.bytes.data(), 1, encoded.bytes.size(), replacement.get()) ==
                         encoded.bytes.size();
    if (!written || !replacement.commit()) return Status::failure(message_with_name(kErrorWritingFile, name));
    return Status{true, resample_notice};
}

}  // namespace

}  // namespace zeph

// libsndfile 1.2.0 leaves its Vorbis decoder state behind when a damaged Ogg
// file fails to open: not ours to free, so leak checks of the programs that
// read audio (tests, fuzz target) leave it out.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libvorbis.so\nleak:libsndfile.so\n";
}

namespace zeph {

bool is_audio_content(std::span<const std::byte> head) {
    const bool wave_form = text_at(head, 8, "WAVE");
    if ((text_at(head, 0, "RIFF") || text_at(head, 0, "RIFX") || text_at(head, 0, "RF64") ||
         text_at(head, 0, "BW64")) && wave_form) {
        return true;
    }
    if (starts_with_w64_magic(head)) return true;
    if (text_at(head, 0, "FORM") && (text_at(head, 8, "AIFF") || text_at(head, 8, "AIFC"))) return true;
    return text_at(head, 0, "fLaC") || text_at(head, 0, "OggS") || text_at(head, 0, "caff") ||
           text_at(head, 0, ".snd") || text_at(head, 0, "dns.");
}

bool is_audio_file_content(const std::string& file_name) {
    OpenedFile opened = open_for_reading(file_name);
    if (opened.outcome != OpenOutcome::Opened) return false;
    ByteSource source(opened.file.get(), opened.size);
    const auto head = source.bytes(0, static_cast<std::size_t>(std::min<std::uint64_t>(kAudioMagicBytes, opened.size)));
    return is_audio_content(head);
}

SignalRead read_audio_signal(const std::string& file_name, const ReadRange& range) {
    SignalRead wav = read_wav(file_name, range);
    if (wav.code != ReadStatus::Unsupported) return wav;
    SignalRead other = read_sndfile(file_name, range);
    if (other.status.ok) return other;
    // Neither reader takes it: a file that is no audio at all keeps the WAV reader's word.
    if (wav.status.message.starts_with(kFormatNotRecognized) && !is_audio_file_content(file_name)) return wav;
    return other;
}

SignalRead read_sndfile(const std::string& file_name, const ReadRange& range) {
    return read_named_file(file_name, [&](ByteSource& source, std::string_view name) {
        return read_sndfile_source(source, name, range);
    });
}

SignalRead read_sndfile_bytes(std::span<const std::byte> bytes, std::string_view file_name, const ReadRange& range) {
    ByteSource source(bytes);
    return read_sndfile_source(source, file_name, range);
}

bool is_audio_output_name(std::string_view file_name) {
    return is_wav_file_name(file_name) || output_kind(file_name).has_value();
}

Status write_audio_signal(std::span<const Complex> samples, const std::string& file_name, WavChannels channels,
                          double dx) {
    const std::string name(trimmed_file_name(file_name));
    const std::optional<OutputKind> kind = output_kind(name);
    Status written = kind ? write_sndfile(samples, name, *kind, channels, dx) : write_wav(samples, name, channels, dx);
    if (const std::size_t clipped = values_beyond_full_scale(samples, channels); written.ok && clipped > 0) {
        written.message = join_notices(written.message, "Clipped " + std::to_string(clipped) + " values beyond full scale");
    }
    return written;
}

}  // namespace zeph
