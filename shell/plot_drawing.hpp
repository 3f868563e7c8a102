#pragma once
// The drawing step of a plot, after the plot dialogue's questions: the
// drawing objects made at the first plot, the surface the plot goes to,
// the metafile recording, the plot driver's key loop, and the notes of the
// files the plot wrote. It never asks which surface it draws on.
#include <optional>

#include "plot/plot_driver.hpp"
#include "plot/spectrogram_plot.hpp"
#include "shell/plot_state.hpp"
#include "shell/session.hpp"

namespace zeph {

// What one plot shows: a curve, or a spectrogram's cells in its place.
struct PlotPicture {
    PlotData curve;
    std::optional<SpectrogramCells> image;
    bool overlay = false;
};

// Draws the picture with the settings in `plot.settings` and waits for the
// plot's keys. The message line gets a failure, the choice of surface at
// the first plot, and the files written.
void draw_plot(Session& session, PlotState& plot, const PlotPicture& picture);

}  // namespace zeph
