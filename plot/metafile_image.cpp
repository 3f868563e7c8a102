// PlaceableMetafile::image: a StretchDIB record, which metafile readers
// (libwmf among them) draw scaled into its rectangle.
#include <algorithm>
#include <cmath>
#include <vector>

#include "plot/metafile.hpp"

namespace zeph {

namespace {

constexpr std::uint16_t kStretchDib = 0x0F43;
constexpr std::uint32_t kSourceCopy = 0x00CC0020;
constexpr std::uint16_t kRgbColours = 0;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// Largest side, in pixels: a picture is 1800 units wide.
constexpr int kMaxImageSide = kMetafileWidth;

}  // namespace

void PlaceableMetafile::image(const RasterImage& image) {
    if (!recording() || !image.render) return;
    const PixelPoint a = to_units({image.where.x_min, image.where.y_max});
    const PixelPoint b = to_units({image.where.x_max, image.where.y_min});
    const int width = std::clamp(std::abs(b.x - a.x), 0, kMaxImageSide);
    const int height = std::clamp(std::abs(b.y - a.y), 0, kMaxImageSide);
    if (width == 0 || height == 0) return;
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::vector<std::uint8_t> rgb(3 * w * h), mask(w * h);
    image.render(image.where, width, height, rgb.data(), mask.data());
    const std::size_t row_bytes = (3 * w + 3) / 4 * 4;

    begin_record(kStretchDib);
    put_u32(kSourceCopy);
    put_u16(kRgbColours);
    put_i16(height);                 // source rectangle: the whole bitmap
    put_i16(width);
    put_i16(0);
    put_i16(0);
    put_i16(b.y - a.y);              // destination
    put_i16(b.x - a.x);
    put_i16(a.y);
    put_i16(a.x);
    put_u32(kInfoHeaderBytes);
    put_u32(static_cast<std::uint32_t>(width));
    put_u32(static_cast<std::uint32_t>(height));   // positive: rows bottom-up
    put_u16(1);                      // planes
    put_u16(24);                     // bits a pixel
    put_u32(0);                      // no compression
    put_u32(static_cast<std::uint32_t>(row_bytes * h));
    put_u32(0);
    put_u32(0);
    put_u32(0);
    put_u32(0);
    for (std::size_t r = h; r-- > 0;) {
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t i = r * w + x;
            const bool drawn = mask[i] != 0;
            put_u8(drawn ? rgb[3 * i + 2] : 255);
            put_u8(drawn ? rgb[3 * i + 1] : 255);
            put_u8(drawn ? rgb[3 * i] : 255);
        }
        for (std::size_t k = 3 * w; k < row_bytes; ++k) put_u8(0);
    }
    end_record();
}

}  // namespace zeph
