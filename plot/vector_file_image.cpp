#include "plot/vector_file_image.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plot/metafile.hpp"

namespace zeph {

namespace {

// Longest side of an image, in pixels: a picture is 1800 units wide.
constexpr double kMaxImageSide = 4 * kMetafileWidth;

int image_side(double units) {
    if (!std::isfinite(units)) return 0;
    return static_cast<int>(std::clamp(std::ceil(std::abs(units) - 1e-6), 0.0, kMaxImageSide));
}

}  // namespace

void VectorFileWriter::image(const RasterImage& image) {
    if (!open_ || !image.render) return;
    const WorldRect& w = image.where;
    Image op;
    op.a = to_units({w.x_min, w.y_max});
    op.b = to_units({w.x_max, w.y_min});
    op.width = image_side(op.b.x - op.a.x);
    op.height = image_side(op.b.y - op.a.y);
    if (op.width == 0 || op.height == 0) return;
    const std::size_t pixels = static_cast<std::size_t>(op.width) * static_cast<std::size_t>(op.height);
    std::vector<std::uint8_t> rgb(3 * pixels), mask(pixels);
    image.render(w, op.width, op.height, rgb.data(), mask.data());
    op.argb.resize(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        op.argb[i] = mask[i] ? 0xFF000000u | std::uint32_t{rgb[3 * i]} << 16 | std::uint32_t{rgb[3 * i + 1]} << 8 |
                                   rgb[3 * i + 2]
                             : 0;
    }
    record(std::move(op));
}

void paint_image(cairo_t* cr, const VectorFileWriter::Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.argb.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return;
    // Opaque images go without an alpha channel (no soft mask in a PDF).
    const bool opaque = std::all_of(image.argb.begin(), image.argb.end(), [](std::uint32_t p) { return p >> 24 == 0xFF; });
    cairo_surface_t* surface =
        cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, image.width, image.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return;
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(data + static_cast<std::size_t>(y) * stride,
                    image.argb.data() + static_cast<std::size_t>(y) * image.width, 4 * static_cast<std::size_t>(image.width));
    }
    cairo_surface_mark_dirty(surface);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_translate(cr, image.a.x, image.a.y);
    cairo_scale(cr, (image.b.x - image.a.x) / image.width, (image.b.y - image.a.y) / image.height);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, image.width, image.height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(surface);
}

}  // namespace zeph
