#pragma once
// The settings of one plot: view limits, texts, pen, markers, colours, axes,
// grids and export files. The plot dialogue fills them; the plot driver only
// reads them. Values outside the listed codes are passed on unchecked.
#include <string>

namespace zeph {

struct PlotSettings {
    // View limits in data units; a logarithmic axis is widened to whole decades.
    double x_min = 0, x_max = 0;
    double y_min = 0, y_max = 0;

    // Blank texts are not drawn.
    std::string title, x_label, y_label;

    int line_colour = 0;            // palette index 0..15, curve and markers
    double line_width = 0;          // fraction of the window height; <= 0.0001 one pixel
    int line_style = 0;             // -1 no line, <= 0 solid, 1..4 dash pattern, > 4 pen unchanged
    int marker_type = -1;           // < 0 none, 0 circle, 1 diamond, 2 star, n >= 3 polygon; +100 filled
    double marker_radius = 0.015;   // fraction of the window height

    int label_colour = 0;           // title, axis labels and numbers
    int axes_colour = 0;            // frame, ticks, grids and zero lines

    int x_divisions = 10, y_divisions = 10;   // 0 logarithmic, n > 0 linear divisions
    int x_grid = 1, y_grid = 1;     // 0 off, 1 partial dots, 2 full dots, 3 partial solid, 4 full solid/dots
    int axes_mode = 2;              // 0 none, 1 frame and ticks, 2 also numbers
    int zero_axes = 0;              // 0 neither, 1 horizontal, 2 vertical, 3 both

    int smooth = 0;                 // 1: smooth curve through the points
    int wrap = 0;                   // 1: repeat the signal across the view
    int modulo = 0;                 // 1: fold abscissae into the view
    int low_resolution = 1;         // 1: thin dense curves; 0 draws every point
    int graph_type = 0;             // 0 cartesian, 1 polar (radians), 2 polar (degrees)
    double aspect_ratio = 0;        // frame width/height; 0 means 1.3

    int data_export = 0;            // 1: write the drawn points to data_export_file
    std::string data_export_file;
    int bitmap_mode = 0;            // 0 none, 1 save on the B key, 2 save at close
    std::string bitmap_file;
    int metafile_mode = 0;          // > 0: record the picture in metafile_file
    std::string metafile_file;
};

}  // namespace zeph
