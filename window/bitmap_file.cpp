#include "window/bitmap_file.hpp"

#include "base/replace_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <png.h>
#include <unistd.h>

#include <cctype>
#include <csetjmp>
#include <cstdio>

namespace zeph {

namespace {

Status write_error(const std::string& name) { return Status::failure("Error writing file: " + name); }

// Little-endian byte sink for the BMP headers.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }

private:
    std::vector<std::uint8_t>& out_;
};

std::uint32_t padded_row_bytes(int width) { return (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u; }

// Writes all bytes and closes the file; both steps are checked.
Status write_whole_file(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    ReplacementFile file(name);
    if (!file) return write_error(name);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return write_error(name);
    return file.commit() ? Status::success() : write_error(name);
}

// libpng output: a short fwrite ends the encoding through png_error.
struct PngSink {
    std::FILE* file = nullptr;
};

void png_write_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, sink->file) != length) png_error(png, "short write");
}

void png_flush_bytes(png_structp png) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (std::fflush(sink->file) != 0) png_error(png, "flush failed");
}

// Kept free of objects with destructors: png_error leaves it by longjmp.
bool encode_png(PngSink& sink, const RgbImage& image, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, png_write_bytes, png_flush_bytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

Status write_png(const std::string& name, const RgbImage& image) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 3;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        // libpng only reads the rows; its prototype lacks the const.
        rows[y] = const_cast<png_bytep>(image.pixels.data() + y * row_bytes);
    }
    ReplacementFile file(name);
    if (!file) return write_error(name);
    PngSink sink{file.get()};
    if (!encode_png(sink, image, rows.data())) return write_error(name);   // the old file is kept
    return file.commit() ? Status::success() : write_error(name);
}

bool image_is_consistent(const RgbImage& image) {
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<std::size_t>(image.width) * image.height * 3;
}

}  // namespace

std::FILE* open_file_without_waiting(const std::string& name, const char* mode) {
    const bool update = std::string_view(mode).find('+') != std::string_view::npos;
    std::FILE* file = open_without_waiting(name, update ? O_RDWR : O_WRONLY | O_CREAT | O_TRUNC, mode);
    // Updating reads back what was written: only a regular file can do that;
    // a pipe would wait for data forever.
    struct stat info {};
    if (file && update && (::fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool names_png_file(const std::string& name) {
    static constexpr std::string_view kSuffix = ".png";
    if (name.size() < kSuffix.size()) return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - kSuffix.size());
    for (std::size_t i = 0; i < kSuffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != kSuffix[i]) return false;
    }
    return true;
}

std::vector<std::uint8_t> encode_bmp(const RgbImage& image) {
    constexpr std::uint32_t kHeadersBytes = 14 + 40;
    const std::uint32_t row_bytes = padded_row_bytes(image.width);
    const std::uint32_t data_bytes = row_bytes * static_cast<std::uint32_t>(image.height);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(kHeadersBytes + data_bytes);
    ByteWriter out(bytes);
    out.u8('B');                                          // signature "BM"
    out.u8('M');
    out.u32(kHeadersBytes + data_bytes);                  // file size in bytes
    out.u16(0);                                           // reserved
    out.u16(0);                                           // reserved
    out.u32(kHeadersBytes);                               // offset of the pixel rows
    out.u32(40);                                          // info header size
    out.u32(static_cast<std::uint32_t>(image.width));     // width in pixels
    out.u32(static_cast<std::uint32_t>(image.height));    // height; positive: rows bottom-up
    out.u16(1);                                           // colour planes
    out.u16(24);                                          // bits per pixel
    out.u32(0);                                           // no compression
    out.u32(data_bytes);                                  // size of the pixel rows
    out.u32(2835);                                        // horizontal pixels per metre (72 dpi)
    out.u32(2835);                                        // vertical pixels per metre
    out.u32(0);                                           // palette colours: none
    out.u32(0);                                           // important colours: all

    const std::size_t source_row = static_cast<std::size_t>(image.width) * 3;
    for (int y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* row = image.pixels.data() + static_cast<std::size_t>(y) * source_row;
        for (int x = 0; x < image.width; ++x) {
            out.u8(row[3 * x + 2]);   // blue
            out.u8(row[3 * x + 1]);   // green
            out.u8(row[3 * x]);       // red
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(source_row); pad < row_bytes; ++pad) out.u8(0);
    }
    return bytes;
}

Status write_bitmap_file(const std::string& name, const RgbImage& image) {
    if (!image_is_consistent(image)) return write_error(name);
    if (names_png_file(name)) return write_png(name, image);
    return write_whole_file(name, encode_bmp(image));
}

}  // namespace zeph
