#include "fileio/binary_records.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fileio/byte_io.hpp"

namespace zeph {

namespace {

constexpr std::uint64_t kShortHeaderBytes = 6;    // "IN", XMIN int16, DX int16
constexpr std::uint64_t kTaggedHeaderBytes = 24;  // tag, XMIN float64, DX float64
constexpr std::uint64_t kChunkBytes = 64 * 1024;  // bytes fetched from the file at once

// A tag matches when its first bytes equal `head` and, if `tail` is not
// empty, bytes 7–8 equal `tail`; bytes 5–6 of REAL, NTGR and CMPL tags are free.
struct TagRule {
    std::string_view head;
    std::string_view tail;
    BinaryFormat format;
};

constexpr std::array kTagRules{
    TagRule{"REAL", " 8", BinaryFormat::R8},
    TagRule{"COMPACT", "", BinaryFormat::R8},
    TagRule{"REAL", " 4", BinaryFormat::R4},
    TagRule{"NTGR", " 2", BinaryFormat::I2},
    TagRule{"CMPL", " 4", BinaryFormat::C4},
};

struct OutputTag {
    BinaryFormat format;
    std::string_view code;
    std::string_view tag;   // 8 bytes
};

constexpr std::array kOutputTags{
    OutputTag{BinaryFormat::R8, "R8", "REAL   8"},
    OutputTag{BinaryFormat::R4, "R4", "REAL   4"},
    OutputTag{BinaryFormat::I2, "I2", "NTGR   2"},
};

// The float32 nearest to v. Beyond the float32 range the result is ±infinity,
// as IEEE rounding gives; the plain cast would be undefined there.
float nearest_float(double v) {
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;   // largest float32 + half a step
    if (std::abs(v) >= kRoundsToInfinity) {
        return v > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
}

std::size_t element_bytes(BinaryFormat format) {
    switch (format) {
        case BinaryFormat::R8: return 8;
        case BinaryFormat::R4: return 4;
        case BinaryFormat::I2: return 2;
        case BinaryFormat::C4: return 4;
        case BinaryFormat::Unknown: break;
    }
    return 0;
}

// Where the samples start and how they are stored, from the file's header.
struct Layout {
    ReadStatus code = ReadStatus::OtherFormat;
    BinaryFormat format = BinaryFormat::Unknown;
    std::uint64_t header_bytes = 0;
    double xmin = 0.0;
    double dx = 1.0;
};

BinaryFormat format_of_tag(const std::byte* tag) {
    for (const TagRule& rule : kTagRules) {
        if (bytes_equal(tag, rule.head) && (rule.tail.empty() || bytes_equal(tag + 6, rule.tail))) {
            return rule.format;
        }
    }
    return BinaryFormat::Unknown;
}

// A file shorter than its header is not a binary signal file, so the caller
// reads it as ASCII rather than reporting a read of no samples.
Layout read_layout(ByteSource& source) {
    Layout layout;
    if (source.size() >= kShortHeaderBytes) {
        const auto head = source.bytes(0, kShortHeaderBytes);
        if (head.empty()) return {ReadStatus::Unsupported};
        if (bytes_equal(head.data(), "IN")) {
            layout.code = ReadStatus::Ok;
            layout.format = BinaryFormat::I2;
            layout.header_bytes = kShortHeaderBytes;
            layout.xmin = le_i16(head.data() + 2);
            layout.dx = le_i16(head.data() + 4);
            return layout;
        }
    }
    if (source.size() < kTaggedHeaderBytes) return layout;
    const auto head = source.bytes(0, kTaggedHeaderBytes);
    if (head.empty()) return {ReadStatus::Unsupported};
    layout.format = format_of_tag(head.data());
    if (layout.format == BinaryFormat::Unknown) return layout;
    layout.code = ReadStatus::Ok;
    layout.header_bytes = kTaggedHeaderBytes;
    layout.xmin = le_f64(head.data() + 8);
    layout.dx = le_f64(head.data() + 16);
    return layout;
}

// One stored element as (real, imaginary) parts.
Complex decode_element(const std::byte* p, BinaryFormat format) {
    switch (format) {
        case BinaryFormat::R8: return {le_f64(p), 0.0};
        case BinaryFormat::R4: return {le_f32(p), 0.0};
        case BinaryFormat::I2: return {static_cast<double>(le_i16(p)), 0.0};
        case BinaryFormat::C4: return {static_cast<double>(le_i16(p)), static_cast<double>(le_i16(p + 2))};
        case BinaryFormat::Unknown: break;
    }
    return {};
}

// Reads the selected elements in chunks of about kChunkBytes that span
// several of them (or one element per chunk for wide intervals).
// `available` is the count the file holds for the range.
bool read_elements(ByteSource& source, const Layout& layout, Component component,
                   const ReadRange& range, std::vector<Complex>& samples, std::size_t& available) {
    const std::size_t size = element_bytes(layout.format);
    const std::uint64_t total = (source.size() - layout.header_bytes) / size;
    available = samples_in_range(total, range);
    const std::uint64_t count = std::min<std::uint64_t>(available, static_cast<std::uint64_t>(std::max(range.max_count, 0)));
    const auto start = static_cast<std::uint64_t>(range.first - 1);
    const std::uint64_t stride = static_cast<std::uint64_t>(range.interval) * size;   // bytes
    const std::uint64_t per_chunk = std::max<std::uint64_t>(1, kChunkBytes / stride);
    reserve_samples(samples, static_cast<std::size_t>(count));
    for (std::uint64_t done = 0; done < count;) {
        const std::uint64_t k = std::min(per_chunk, count - done);
        const std::uint64_t offset = layout.header_bytes + (start + done * range.interval) * size;
        const auto chunk = source.bytes(offset, static_cast<std::size_t>((k - 1) * stride + size));
        if (chunk.empty()) return false;
        for (std::uint64_t j = 0; j < k; ++j) {
            const Complex value = decode_element(chunk.data() + j * stride, layout.format);
            samples.push_back(component == Component::Real ? value : Complex{0.0, value.real()});
        }
        done += k;
    }
    return true;
}

BinaryRead failed_binary_read(ReadStatus code, std::string_view text, std::string_view file_name) {
    BinaryRead result;
    result.code = code;
    result.status = Status::failure(message_with_name(text, file_name));
    return result;
}

BinaryRead read_binary_signal(ByteSource& source, Component component, const ReadRange& range,
                              std::string_view file_name) {
    if (range.first < 1 || range.interval < 1) {
        return failed_binary_read(ReadStatus::Unsupported, kErrorReadingBinary, file_name);
    }
    const Layout layout = read_layout(source);
    if (layout.code == ReadStatus::Unsupported) {
        return failed_binary_read(ReadStatus::Unsupported, kErrorReadingBinary, file_name);
    }
    BinaryRead result;
    result.format = layout.format;
    if (layout.code == ReadStatus::OtherFormat) {
        result.code = ReadStatus::OtherFormat;
        result.status = Status::failure(message_with_name(kErrorReadingBinary, file_name));
        return result;
    }
    const bool complex_as_imaginary = layout.format == BinaryFormat::C4 && component == Component::Imag;
    if (!complex_as_imaginary && !read_elements(source, layout, component, range, result.samples, result.available)) {
        return failed_binary_read(ReadStatus::Unsupported, kErrorReadingBinary, file_name);
    }
    result.xmin = layout.xmin + static_cast<double>(range.first - 1) * layout.dx;
    result.dx = static_cast<double>(range.interval) * layout.dx;
    return result;
}

}  // namespace

std::string_view format_code(BinaryFormat format) {
    switch (format) {
        case BinaryFormat::R8: return "R8";
        case BinaryFormat::R4: return "R4";
        case BinaryFormat::I2: return "I2";
        case BinaryFormat::C4: return "C4";
        case BinaryFormat::Unknown: break;
    }
    return "XX";
}

BinaryRead read_binary_signal_file(const std::string& file_name, Component component,
                                   const ReadRange& range) {
    OpenedFile opened = open_for_reading(std::string(trimmed_file_name(file_name)));
    if (opened.outcome == OpenOutcome::NotFound) {
        return failed_binary_read(ReadStatus::NothingRead, kCannotFindFile, file_name);
    }
    if (opened.outcome == OpenOutcome::Unreadable) {
        return failed_binary_read(ReadStatus::Unsupported, kErrorReadingBinary, file_name);
    }
    ByteSource source(opened.file.get(), opened.size);
    return read_binary_signal(source, component, range, file_name);
}

BinaryRead read_binary_signal_bytes(std::span<const std::byte> bytes, Component component,
                                    const ReadRange& range, std::string_view file_name) {
    ByteSource source(bytes);
    return read_binary_signal(source, component, range, file_name);
}

std::optional<BinaryFormat> binary_output_format(std::string_view code) {
    if (code.size() != 2) return std::nullopt;
    std::string upper(code);
    if (upper[0] == 'r') upper[0] = 'R';
    if (upper[0] == 'i') upper[0] = 'I';
    for (const OutputTag& t : kOutputTags) {
        if (upper == t.code) return t.format;
    }
    return std::nullopt;
}

Status write_signal_file(std::span<const double> values, std::string_view code,
                         const std::string& file_name, double xmin, double dx) {
    const std::optional<BinaryFormat> format = binary_output_format(code);
    if (!format) return Status::failure(message_with_name(kUnknownFormat, code));
    const auto tag = std::find_if(kOutputTags.begin(), kOutputTags.end(),
                                  [&](const OutputTag& t) { return t.format == *format; });
    const std::string name(trimmed_file_name(file_name));
    ReplacementFile file = create_output_file(name);
    if (!file) return Status::failure(message_with_name(kCannotOpenFile, name));

    LittleEndianWriter out(file.get());
    out.text(tag->tag);   // type tag, 8 bytes
    out.f64(xmin);        // XMIN
    out.f64(dx);          // DX
    if constexpr (std::endian::native == std::endian::little) {
        // The numbers' bytes in memory are the file's: converted a block at a time and written whole.
        const auto write_as = [&]<class T>(T (*convert)(double)) {
            constexpr std::size_t kBlock = 4096;
            T block[kBlock];
            for (std::size_t begin = 0; begin < values.size(); begin += kBlock) {
                const std::size_t count = std::min(kBlock, values.size() - begin);
                for (std::size_t k = 0; k < count; ++k) block[k] = convert(values[begin + k]);
                out.text({reinterpret_cast<const char*>(block), count * sizeof(T)});
            }
        };
        switch (*format) {
            case BinaryFormat::R8: write_as(+[](double v) { return v; }); break;
            case BinaryFormat::R4: write_as(+[](double v) { return nearest_float(v); }); break;
            case BinaryFormat::I2: write_as(+[](double v) { return nearest_int16(v); }); break;
            default: break;
        }
    } else {
        for (const double v : values) {
            switch (*format) {
                case BinaryFormat::R8: out.f64(v); break;
                case BinaryFormat::R4: out.f32(nearest_float(v)); break;
                case BinaryFormat::I2: out.i16(nearest_int16(v)); break;
                default: break;
            }
        }
    }
    return finish_output_file(std::move(file), out, name);
}

}  // namespace zeph
