#pragma once
// The plot path of a display (PL): scale factors (SC), new plot or overlay
// (OV), the default range, the question groups LA, LO, MA, SM, PG, AX, GO,
// ZE, CO, AR and HI, the range prompt, the logarithmic checks, the export
// file names (EX, ME, BI); then shell/plot_drawing draws the plot on the
// surface of the run.
#include <string_view>

#include "shell/plot_state.hpp"
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kXScalePrompt = "X = X*Xm + Xo. Enter Xm, Xo:";
inline constexpr std::string_view kYScalePrompt = "Y = Y*Ym + Yo. Enter Ym, Yo:";
inline constexpr std::string_view kTitlePrompt = "Enter Title for graph. !=blank";
inline constexpr std::string_view kXLabelPrompt = "Enter X axis label for graph. !=blank";
inline constexpr std::string_view kYLabelPrompt = "Enter Y axis label for graph. !=blank";
inline constexpr std::string_view kLineColourPrompt =
    "Line and marker color: 0:blk 1:blu 2:grn 3:cya 4:red 5:mag 6:yel 7:wht +8:light";
inline constexpr std::string_view kLineWidthPrompt = "Line Width: fraction of screen height, 0.=hairline";
inline constexpr std::string_view kLineStylePrompt = "Line Style. -1:none 0:solid 2:dot 3:dash-dot 4:dash-dot-dot";
inline constexpr std::string_view kMarkerPrompt = "Marker: 0:circle 1:diamond 2:star >2:polygon +100:filled";
inline constexpr std::string_view kMarkerRadiusPrompt = "Marker radius in % of screen height";
inline constexpr std::string_view kGraphTypePrompt = "Graph type: 1:polar-radians  2:polar-degrees";
inline constexpr std::string_view kAxesModePrompt = "0:no axes, 1:axes drawn, 2:axes drawn & labeled";
inline constexpr std::string_view kXDivisionsPrompt = "X axis. 0:Logarithmic  >0:# divisions on linear axis";
inline constexpr std::string_view kYDivisionsPrompt = "Y axis. 0:Logarithmic  >0:# divisions on linear axis";
inline constexpr std::string_view kXGridPrompt =
    "X grid. 0:off, 1:partial dots, 2:full dots, 3:partial solid, 4:full solid/dots";
inline constexpr std::string_view kYGridPrompt =
    "Y grid. 0:off, 1:partial dots, 2:full dots, 3:partial solid, 4:full solid/dots";
inline constexpr std::string_view kZeroAxesPrompt = "Zero point axes: 0: neither, 1: horiz, 2: vert, 3: both";
inline constexpr std::string_view kLabelColourPrompt =
    "Axis labels and title: 0:blk 1:blu 2:grn 3:cya 4:red 5:mag 6:yel 7:wht +8:light";
inline constexpr std::string_view kAxesColourPrompt = "Axes: 0:blk 1:blu 2:grn 3:cya 4:red 5:mag 6:yel 7:wht +8:light";
inline constexpr std::string_view kAspectPrompt = "X/Y Aspect ratio. 0.=default";
inline constexpr std::string_view kRangePrompt = "Xmin, Xmax, Ymin, Ymax for plot:";
inline constexpr std::string_view kDataExportPrompt = "Enter file name for graphics DATA export (blank for none):";
inline constexpr std::string_view kMetafilePrompt = "Enter file name for graphics METAfile (blank for none):";
inline constexpr std::string_view kBitmapPrompt = "Enter file name for graphics BITMAP file (blank for none):";

inline constexpr std::string_view kLogXLimitError = "ERROR. Xmin or Xmax cannot be <= 0 on logarithmic axis";
inline constexpr std::string_view kLogYLimitError = "ERROR. Ymin or Ymax cannot be <= 0 on logarithmic axis";

// The export names keep this many characters of a reply.
inline constexpr std::size_t kExportNameLength = 64;

// The plot of the display in the workspace (work_y, and work_x for XY, with
// display_count values). A failure or the driver's message goes to the
// message line; Esc at a prompt returns without plotting.
void plot_dialogue(Session& session, PlotState& plot);

}  // namespace zeph
