#include "shell/plot_drawing.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "input/message_report.hpp"
#include "plot/metafile.hpp"
#include "graphics/plot_surface.hpp"

namespace zeph {

namespace {

// The lines of a text file: the points a data export wrote.
std::size_t count_lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// The picture's size: 8/10 of the desktop at the first plot, then the size
// the user gave the window (an overlay is drawn at the size of its plot).
void choose_picture_size(PlotState& plot, const PlotSurface* surface, bool overlay) {
    if (plot.window_width <= 0 || plot.window_height <= 0) {
        const ScreenSize size = plot_window_size(desktop_size());
        plot.window_width = size.width;
        plot.window_height = size.height;
    }
    if (surface == nullptr || overlay) return;
    if (const std::optional<ScreenSize> chosen = surface->chosen_size()) {
        plot.window_width = chosen->width;
        plot.window_height = chosen->height;
    }
}

// The canvas, painter and metafile writer for the picture's size.
void prepare_drawing(PlotState& plot) {
    const std::size_t bytes = screen_save_bytes(plot.window_width, plot.window_height);
    if (plot.memory.screen_save.size() != bytes) {
        plot.memory.screen_save.assign(bytes, 0);
        plot.memory.holds_plot = false;
    }
    if (!plot.canvas || plot.canvas->width() != plot.window_width || plot.canvas->height() != plot.window_height) {
        plot.canvas = std::make_unique<GraphicsCanvas>(plot.window_width, plot.window_height);
        plot.painter = std::make_unique<Painter>(*plot.canvas);
    }
    if (!plot.metafile) plot.metafile = std::make_unique<MetafileWriter>();
}

// A note on the message line: beside a notice already there (values a
// display left out), in place of anything else.
void add_note(std::string& line, const std::string& note) {
    const auto end = line.find_last_not_of(' ');
    if (end != std::string::npos && is_notice(line)) line = line.substr(0, end + 1) + "; " + note;
    else line = note;
}

// The surface of the run, chosen at its first plot; the choice is noted once.
PlotSurface& surface_of_run(Session& session, PlotState& plot) {
    if (!plot.surface) {
        ChosenSurface chosen = choose_plot_surface({plot.window_allowed, plot.terminal_screen}, session.console,
                                                   plot.window_width, plot.window_height);
        plot.target = chosen.target;
        plot.surface = std::move(chosen.surface);
        if (!chosen.note.empty()) add_note(session.workspace.message_line, chosen.note);
    }
    return *plot.surface;
}

// Says which export files the plot wrote: the points of EX, the picture of ME and BI.
void note_files_written(Session& session, const PlotState& plot, bool points_written, bool metafile_written,
                        bool bitmap_written) {
    const PlotSettings& s = plot.settings;
    const std::string size = std::to_string(plot.window_width) + " x " + std::to_string(plot.window_height);
    if (points_written) {
        const std::size_t points = count_lines(s.data_export_file);
        note_written(session.console, session.help, s.data_export_file,
                     std::to_string(points) + (points == 1 ? " point" : " points"));
    }
    if (metafile_written) note_written(session.console, session.help, s.metafile_file, size);
    if (bitmap_written) note_written(session.console, session.help, s.bitmap_file, size);
}

}  // namespace

void draw_plot(Session& session, PlotState& plot, const PlotPicture& picture) {
    choose_picture_size(plot, plot.surface.get(), picture.overlay);
    PlotSurface& surface = surface_of_run(session, plot);
    prepare_drawing(plot);
    Workspace& w = session.workspace;
    PlotSettings& s = plot.settings;
    Painter& painter = *plot.painter;

    if (!surface.begin(session.prompter.keys(), plot.window_width, plot.window_height)) {
        w.message_line = kGraphicsInitError;
        return;
    }
    PlotIo io;
    io.read_key = [&surface] { return surface.read_key(); };
    io.read_input = [&surface] { return surface.read_input(); };
    io.show_readout = [&surface](const std::string& readout) { surface.show_readout(readout); };
    std::string picked;
    io.picked = [&picked](const std::string& point) { picked = point; };
    io.show = [&surface](const GraphicsCanvas& canvas) { surface.show(canvas); };
    io.beep = [&session](int hz, int ms) { session.console.beep(hz, ms); };

    MetafileWriter& metafile = *plot.metafile;
    const bool recording = s.metafile_mode > 0;
    Status metafile_status;
    if (recording) {
        metafile_status = picture.overlay && plot.previous_wrote_metafile ? metafile.continue_for_overlay(s.metafile_file)
                                                                          : metafile.open(s.metafile_file);
        painter.set_recorder(&metafile);
        io.mark_metafile = [&metafile] { metafile.mark_for_pan(); };
        io.rewind_metafile = [&metafile] { metafile.rewind_for_pan(); };
    }
    bool bitmap_written = false;
    io.bitmap_saved = [&bitmap_written] { bitmap_written = true; };

    const PlotCall call{.overlay = picture.overlay, .window_width = plot.window_width,
                        .window_height = plot.window_height, .pause_after_plot = !session.nopause && surface.seen()};
    SpectrogramReport image_report;
    const Status plotted = picture.image ? spectrogram_driver(painter, *picture.image, plot.dynamic_range_db, s, call,
                                                              plot.memory, io, image_report)
                                         : plot_driver(painter, picture.curve, s, call, plot.memory, io);

    if (recording) {
        const Status closed = metafile.close();
        if (metafile_status.ok && !closed.ok) metafile_status = closed;
        painter.set_recorder(nullptr);
    }
    surface.end();
    plot.previous_wrote_metafile = recording;
    w.options.ME = 0;
    w.options.BI = 0;
    if (!plotted) w.message_line = plotted.message;
    else if (!metafile_status) w.message_line = metafile_status.message;
    else if (!picked.empty()) w.message_line = picked;   // the last point clicked
    // A failed plot may have stopped before its files were complete; the bitmap says for itself.
    note_files_written(session, plot, plotted && s.data_export == 1, plotted && recording && metafile_status.ok,
                       bitmap_written);
}

}  // namespace zeph
