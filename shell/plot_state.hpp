#pragma once
// What the plot path keeps from one plot to the next: the answers of the plot
// dialogue's groups, the overlay colour counter, the scale factors, the
// previous replies of the scale and range prompts, the export names, the
// screen save buffer with the previous picture, and the drawing objects,
// which live as long as the program.
#include <memory>
#include <optional>
#include <string>

#include "plot/painter.hpp"
#include "plot/plot_driver.hpp"
#include "plot/plot_settings.hpp"
#include "graphics/graphics_canvas.hpp"
#include "graphics/plot_surface.hpp"

namespace zeph {

class MetafileWriter;   // plot/metafile.hpp, kept out of the shell's common headers
class TerminalPlotScreen;   // graphics/terminal_image.hpp

struct PlotState {
    PlotState();
    ~PlotState();   // where MetafileWriter is complete
    PlotState(PlotState&&) noexcept;
    PlotState& operator=(PlotState&&) noexcept;

    // The settings of the last plot; a group's answers stay here while its
    // flag is 2, and the range stays for an overlay.
    PlotSettings settings;

    // The LA answers as typed ("!" stands for a blank text).
    std::string title_answer, x_label_answer, y_label_answer;
    int overlay_colour_count = 0;   // colours of successive overlays without LO

    // X = X*Xm + Xo and Y = Y*Ym + Yo (SC), with the replies offered again.
    double xm = 1, xo = 0, ym = 1, yo = 0;
    std::string x_scale_reply = "1., 0.", y_scale_reply = "1., 0.";
    std::string range_reply = "XMIN, XMAX, YMIN, YMAX";
    double dynamic_range_db = 100;   // SG: the colours' range below the largest density

    // Export names (EX, ME, BI) offered again; the EX name is blanked while EX is off.
    std::string data_export_name, metafile_name, bitmap_name;
    bool previous_wrote_metafile = false;   // an overlay continues that metafile

    // The plot window's size in pixels, fixed at the first plot (0: not yet).
    int window_width = 0, window_height = 0;
    // false: never open a window, always draw off screen.
    bool window_allowed = true;
    // The terminal the console is on (none when headless): plots can be shown on it.
    TerminalPlotScreen* terminal_screen = nullptr;
    // Where plots go, chosen at the first plot of the run.
    std::optional<PlotTarget> target;
    std::unique_ptr<PlotSurface> surface;

    PlotMemory memory;   // screen save buffer and the previous picture's view
    std::unique_ptr<GraphicsCanvas> canvas;
    std::unique_ptr<Painter> painter;
    std::unique_ptr<MetafileWriter> metafile;
};

// Resetting the selection brings the scale factors back to 1 and 0.
inline void reset_scale_factors(PlotState& plot) {
    plot.xm = 1;
    plot.xo = 0;
    plot.ym = 1;
    plot.yo = 0;
}

// Every display starts with the abscissa unscaled.
inline void reset_abscissa_scale(PlotState& plot) {
    plot.xm = 1;
    plot.xo = 0;
}

}  // namespace zeph
