#pragma once
// Shared by the plot export tests: a painter recording into the ME writer
// (metafile, SVG or PDF by the name), and a pan fixture of a frame and views.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "plot/metafile.hpp"

namespace zeph::test {

// A painter recording into the ME writer; world units equal picture units
// (0..1800 by 0..1350, y upward).
struct RecordedPlot {
    GraphicsCanvas canvas{1, 1};
    Painter painter{canvas};
    MetafileWriter writer;
    explicit RecordedPlot(bool record = true) {
        if (record) painter.set_recorder(&writer);
    }
    Status start(const std::filesystem::path& file, int mode = 1) {
        const Status s = mode == -1 ? writer.continue_for_overlay(file.string()) : writer.open(file.string());
        EXPECT_TRUE(painter.graphics_open(180, 135, mode).ok);
        painter.set_world_window(0, 0, 1800, 1350);
        return s;
    }
    Status finish() {
        painter.graphics_close(0, "");
        return writer.close();
    }
};

// A frame of 14000 segments (70000 words, beyond any 16-bit position) in
// colour 1, then a view in colour 4: a label and a curve shifted by k.
inline void draw_frame(Painter& p) {
    p.set_colour(1);
    p.move_to(0, 0);
    for (int i = 1; i <= 14000; ++i) p.line_to(i % 1800, (i % 2) * 1350);
}
inline void draw_view(Painter& p, int k) {
    p.set_colour(4);
    p.select_font("Times New Roman", 0.03, 0.014, 0, false, false, false);
    p.draw_text(100 * k, 50, "view " + std::to_string(k), 6);
    p.move_to(0, 300 + 100 * k);
    for (int x = 100; x <= 1800; x += 100) p.line_to(x, 300 + 100 * k + x / 10);
}

}  // namespace zeph::test
