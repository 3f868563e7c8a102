#pragma once
// The default range of a new plot, from the derived values and the display's
// options: pure arithmetic, apart from the plot dialogue's questions.
#include <span>

namespace zeph {

inline constexpr double kDecibelFloorSpan = 100;   // [dB] shown below the top

struct PlotRange {
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
};

// What the default range depends on.
struct PlotRangeInput {
    std::span<const double> y;   // the values shown
    std::span<const double> x;   // XY: the abscissae; otherwise unused
    double xmin = 0, dx = 1;     // the abscissa of value k is xmin + k*dx
    bool xy = false;             // XY pairs: a square range over both coordinates
    bool wrap = false;           // WR: one width more on either side
    int decibels = 0;            // OptionSet::DB: 0, 1 (power), 2 (amplitude)
    bool power = false;          // the values are a power
    bool cumulative = false;     // CU: y ends at the cumulative total
    double cumulative_total = 0;
    bool linked_spectrum = false;   // the spectrum of a linked signal: y ends at the reference power
    double reference_power = 0, reference_level = 0;   // level [dB]
    bool scaled = false;         // SC: Y = Y*ym + yo
    double ym = 1, yo = 0;
};

// The range offered at the range question. The abscissa spans the values'
// grid (three widths with WR); the ordinate ends at the cumulative total or
// the reference power for power values (a 100 dB span below it in decibels),
// scaled with SC; a range that is still empty takes the finite values' limits
// (NaN and infinite values are skipped; for XY over both coordinates, which
// also set the abscissa).
PlotRange default_plot_range(const PlotRangeInput& in);

// A range of zero width or height is widened by 1 on either side.
PlotRange widened(PlotRange range);

}  // namespace zeph
