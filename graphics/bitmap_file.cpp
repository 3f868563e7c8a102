#include "graphics/bitmap_file.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdio>

#include "base/byte_order.hpp"
#include "base/replace_file.hpp"
#include "base/text.hpp"

namespace zeph {

namespace {

Status write_error(const std::string& name) { return Status::failure(std::string(kErrorWritingFile) + name); }

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

bool names_png_file(const std::string& name) {
    return ends_with_any_case(name, ".png");
}

std::vector<std::uint8_t> encode_bmp(const RgbImage& image) {
    constexpr std::uint32_t kHeadersBytes = 14 + 40;
    const std::uint32_t row_bytes = padded_row_bytes(image.width);
    const std::uint32_t data_bytes = row_bytes * static_cast<std::uint32_t>(image.height);

    std::vector<std::uint8_t> bytes;
    bytes.reserve(kHeadersBytes + data_bytes);
    LittleEndianBytes out(bytes);
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
