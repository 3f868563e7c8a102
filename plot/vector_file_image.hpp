#pragma once
// Images in the SVG and PDF export: made at one pixel a picture unit and
// drawn with cairo as embedded images, never smoothed between pixels.
#include <cairo.h>

#include "plot/vector_file.hpp"

namespace zeph {

// Draws the image over its rectangle on the context (picture units).
void paint_image(cairo_t* cr, const VectorFileWriter::Image& image);

}  // namespace zeph
