#pragma once
// Bitmap files of an RGB image: 24-bit BMP, or PNG when the file name ends in
// ".png" (any case).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/status.hpp"

namespace zeph {

// Rows top-down, 3 bytes per pixel (red, green, blue), no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// True when the name ends in ".png", in any case.
bool names_png_file(const std::string& name);

// The bytes of a 24-bit BMP file: 14-byte file header, 40-byte info header,
// rows bottom-up in blue-green-red order, each padded to a multiple of 4 bytes.
std::vector<std::uint8_t> encode_bmp(const RgbImage& image);

// Writes the image as PNG or BMP by the name. Every write is checked; a
// failure returns "Error writing file: " + name.
Status write_bitmap_file(const std::string& name, const RgbImage& image);

}  // namespace zeph
