// Pixel tests of the world-coordinate drawing layer and its recording hook.
#include <gtest/gtest.h>

#include "tests/support/canvas_pixels.hpp"
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "plot/markers.hpp"
#include "plot/painter.hpp"

namespace zeph {
namespace {

using testing::kWhite;
using testing::painted;
using testing::painted_box;


int painted_in_column(const GraphicsCanvas& c, int x) {
    int n = 0;
    for (int y = 0; y < c.height(); ++y) n += painted(c, x, y);
    return n;
}

int painted_in_row(const GraphicsCanvas& c, int y) {
    int n = 0;
    for (int x = 0; x < c.width(); ++x) n += painted(c, x, y);
    return n;
}

// A painter whose world units are pixels: x 0..width-1, y 0..height-1 upward.
struct PixelWorld {
    GraphicsCanvas canvas{1, 1};
    Painter painter{canvas};
    PixelWorld(int width, int height) {
        EXPECT_TRUE(painter.graphics_open(width, height, 1).ok);
        painter.set_world_window(0, 0, width - 1, height - 1);
    }
};

// Remembers what the painter hands to the recorder.
struct SpyRecorder : DrawingRecorder {
    std::vector<std::string> calls;
    std::vector<PenState> pens;
    std::vector<std::vector<WorldPoint>> polygons;
    std::vector<std::string> texts;
    int line_tos = 0;

    void begin(int mode) override { calls.push_back("begin " + std::to_string(mode)); }
    void world_window(const WorldRect&) override { calls.push_back("window"); }
    void clear(RgbColour c) override { calls.push_back(c == kWhite ? "clear white" : "clear"); }
    void clip_rect(WorldPoint, WorldPoint) override { calls.push_back("clip"); }
    void pen(const PenState& p) override {
        calls.push_back("pen");
        pens.push_back(p);
    }
    void move_to(WorldPoint) override { calls.push_back("move"); }
    void line_to(WorldPoint) override {
        calls.push_back("line");
        ++line_tos;
    }
    void filled_polygon(std::span<const WorldPoint> points) override {
        calls.push_back("polygon");
        polygons.emplace_back(points.begin(), points.end());
    }
    void text_align(HorizontalAlign, VerticalAlign) override { calls.push_back("align"); }
    void font(const FontChoice&) override { calls.push_back("font"); }
    void text(WorldPoint, std::string_view t) override { texts.emplace_back(t); }
    void end() override { calls.push_back("end"); }
};

TEST(PainterWorld, MapsWorldToPixelsAndLimitsFarPointsTo32000) {
    GraphicsCanvas canvas(101, 51);
    Painter painter(canvas);
    // Before any world window: -2/3 .. 2/3 by -0.5 .. 0.5, which fills the
    // height; equal scales leave strips of 16.7 pixels left and right.
    EXPECT_EQ(painter.to_pixel(0, 0), (PixelPoint{50, 25}));
    EXPECT_EQ(painter.to_pixel(-0.6666666666666666, 0.5), (PixelPoint{17, 0}));
    EXPECT_EQ(painter.to_pixel(0.6666666666666666, -0.5), (PixelPoint{83, 50}));

    painter.set_world_window(0, 0, 200, 100);
    EXPECT_EQ(painter.to_pixel(0, 0), (PixelPoint{0, 50}));
    EXPECT_EQ(painter.to_pixel(200, 100), (PixelPoint{100, 0}));
    EXPECT_EQ(painter.to_pixel(3, 3), (PixelPoint{2, 48}));    // 1.5 rounds away from zero
    EXPECT_EQ(painter.to_pixel(-3, -3), (PixelPoint{-2, 52}));
    EXPECT_EQ(painter.to_pixel(1e300, -1e300), (PixelPoint{32000, 50 + 32000}));
    EXPECT_EQ(painter.to_pixel(-1e300, 1e300), (PixelPoint{-32000, 50 - 32000}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(painter.to_pixel(nan, nan).x, -32000);

    painter.set_world_window(5, 5, 5, 10);   // no width: ignored
    EXPECT_EQ(painter.to_pixel(200, 100), (PixelPoint{100, 0}));
}

TEST(PainterWorld, AWorldWiderThanTheCanvasIsCentredWithEqualScales) {
    GraphicsCanvas canvas(101, 101);
    Painter painter(canvas);
    painter.set_world_window(0, 0, 200, 100);
    EXPECT_EQ(painter.to_pixel(0, 0), (PixelPoint{0, 75}));
    EXPECT_EQ(painter.to_pixel(200, 100), (PixelPoint{100, 25}));
    // A square in the world is a square on the canvas.
    const PixelPoint a = painter.to_pixel(50, 20), b = painter.to_pixel(110, 80);
    EXPECT_EQ(b.x - a.x, a.y - b.y);
    // A wide pen and text are sized by the world's height in pixels (50), not the canvas's.
    painter.set_line_style(0.2);
    EXPECT_EQ(painter.half_width(), 5);
}

TEST(PainterLines, SegmentsBetweenFarPointsStillCrossTheFrame) {
    PixelWorld w(101, 101);
    w.painter.set_clip_rect(20, 20, 80, 80);
    w.painter.move_to(-1e9, 50);                       // both ends far outside
    w.painter.line_to(1e9, 50);
    EXPECT_EQ(painted_in_row(w.canvas, 50), 61);       // x 20..80, clipped to the frame
    w.painter.move_to(-1e4, -1e4 + 10);                // a diagonal y = x + 10, far beyond the frame
    w.painter.line_to(1e4, 1e4 + 10);
    EXPECT_TRUE(painted(w.canvas, 30, 100 - 40));
    EXPECT_TRUE(painted(w.canvas, 70, 100 - 80));
    EXPECT_FALSE(painted(w.canvas, 10, 100 - 20));     // outside the clip
    EXPECT_EQ(painted_box(w.canvas), (PixelRect{20, 20, 61, 51}));   // the diagonal leaves at the top edge
}

TEST(PainterLines, LineStylesSelectMasksAndWidths) {
    GraphicsCanvas canvas(1024, 768);
    Painter painter(canvas);
    painter.set_line_style(-1);    // the very first call applies, whatever its value
    EXPECT_EQ(canvas.line_style(), 0xFFFC);
    ASSERT_TRUE(painter.graphics_open(1024, 768, 1).ok);
    EXPECT_EQ(canvas.line_style(), 0xFFFF);
    painter.set_line_style(-3);
    EXPECT_EQ(canvas.line_style(), 0xFFCC);
    EXPECT_EQ(painter.style_index(), 3);
    painter.set_line_style(-7);
    EXPECT_EQ(canvas.line_style(), 0xFCCC);
    painter.set_line_style(0);
    EXPECT_EQ(canvas.line_style(), 0xFFFF);
    painter.set_line_style(0.003);   // 0.003 · 0.5 · 768 = 1.15
    EXPECT_EQ(painter.half_width(), 1);
    painter.set_line_style(0.01);    // 3.84 → 4
    EXPECT_EQ(painter.half_width(), 4);
    EXPECT_EQ(painter.style_index(), kWideLineStyle);
    EXPECT_EQ(wide_line_steps(4), 16);
    EXPECT_EQ(wide_line_steps(0), 4);
    EXPECT_EQ(wide_line_steps(40), 100);
}

TEST(PainterLines, WideLineIsABandWithRoundEnds) {
    PixelWorld w(1024, 768);
    w.painter.set_line_style(0.01);
    w.painter.move_to(100, 400);
    w.painter.line_to(300, 400);
    EXPECT_EQ(painted_in_column(w.canvas, 200), 8);
    // Round ends reach half_width beyond the end points, thinner at the tip.
    const PixelRect box = painted_box(w.canvas);
    EXPECT_EQ(box.x, 96);
    EXPECT_EQ(box.right(), 304);
    EXPECT_LT(painted_in_column(w.canvas, 97), 8);
    EXPECT_GT(painted_in_column(w.canvas, 97), 0);

    PixelWorld thin(1024, 768);
    thin.painter.set_line_style(0.003);
    thin.painter.move_to(100, 400);
    thin.painter.line_to(300, 400);
    EXPECT_EQ(painted_in_column(thin.canvas, 200), 1);
    EXPECT_EQ(painted_box(thin.canvas), (PixelRect{100, 767 - 400, 201, 1}));
}

TEST(PainterLines, WideLineOutlineHasTwoRoundEndsOfNSteps) {
    // Large enough that no two rounded points coincide: 2 · (100 + 1) points.
    const auto outline = wide_line_outline({0, 0}, {1000, 0}, 100, wide_line_steps(100));
    ASSERT_EQ(outline.size(), 202u);
    EXPECT_EQ(outline.front(), (PixelPoint{1000, -100}));  // along one side to the far end
    EXPECT_EQ(outline[50], (PixelPoint{1100, 0}));         // tip of the far end
    EXPECT_EQ(outline[100], (PixelPoint{1000, 100}));
    EXPECT_EQ(outline[101], (PixelPoint{0, 100}));         // back along the other side
    EXPECT_EQ(outline[151], (PixelPoint{-100, 0}));
    // Coinciding points give a round dot, duplicates dropped.
    const auto dot = wide_line_outline({5, 5}, {5, 5}, 4, 16);
    for (std::size_t i = 1; i < dot.size(); ++i) EXPECT_FALSE(dot[i] == dot[i - 1]);
    EXPECT_FALSE(dot.back() == dot.front());
}

TEST(PainterColour, SameColourAgainDoesNothing) {
    GraphicsCanvas canvas(50, 50);
    Painter painter(canvas);
    SpyRecorder spy;
    painter.set_recorder(&spy);
    ASSERT_TRUE(painter.graphics_open(50, 50, 1).ok);
    EXPECT_EQ(painter.colour(), 0);
    spy.calls.clear();
    spy.pens.clear();
    painter.set_colour(0);
    EXPECT_TRUE(spy.calls.empty());
    painter.set_colour(12);
    ASSERT_EQ(spy.pens.size(), 1u);
    EXPECT_EQ(spy.pens[0].colour, 12);
    EXPECT_EQ(spy.pens[0].rgb, rgb_from_hex(0xFF5555));
    painter.set_colour(12);
    painter.set_colour(99);      // not a palette index
    EXPECT_EQ(spy.pens.size(), 1u);
    EXPECT_EQ(canvas.colour(), 12);
}

TEST(PainterOpen, FreshPictureResetsThePenOverlayKeepsIt) {
    GraphicsCanvas canvas(10, 10);
    Painter painter(canvas);
    SpyRecorder spy;
    painter.set_recorder(&spy);
    ASSERT_TRUE(painter.graphics_open(64, 48, 1).ok);
    EXPECT_EQ(canvas.width(), 64);
    EXPECT_EQ(painter.py_max(), 47);
    EXPECT_EQ(spy.calls, (std::vector<std::string>{"begin 1", "window", "clear white", "pen", "pen", "pen"}));

    painter.set_colour(4);
    painter.set_line_style(-2);
    canvas.set_colour(0);               // a new canvas state, as after a new window
    canvas.set_line_style(0xFFFF);
    spy.calls.clear();
    ASSERT_TRUE(painter.graphics_open(64, 48, -1).ok);
    EXPECT_EQ(canvas.colour(), 4);
    EXPECT_EQ(canvas.line_style(), 0xC0C0);
    EXPECT_EQ(spy.calls, (std::vector<std::string>{"begin -1", "window", "pen"}));

    ASSERT_TRUE(painter.graphics_open(64, 48, 0).ok);
    EXPECT_EQ(canvas.colour(), 0);
    EXPECT_EQ(canvas.line_style(), 0xFFFF);
    EXPECT_FALSE(painter.graphics_open(1, 48, 1).ok);
    EXPECT_FALSE(painter.graphics_open(64, 40000, 1).ok);
}

TEST(PainterMarkers, RegularPolygonsStandOnAHorizontalEdge) {
    for (int sides : {3, 4, 5, 7, 12}) {
        const auto p = regular_polygon_offsets(sides, 1.0);
        ASSERT_EQ(p.size(), static_cast<std::size_t>(sides) + 1);
        EXPECT_DOUBLE_EQ(p.front().x, p.back().x);
        EXPECT_DOUBLE_EQ(p.front().y, p.back().y);
        // The first and the last vertex are the two lowest, at equal height.
        double lowest = 1;
        for (const auto& q : p) lowest = std::min(lowest, q.y);
        EXPECT_NEAR(p[0].y, lowest, 1e-12) << sides;
        EXPECT_NEAR(p[static_cast<std::size_t>(sides) - 1].y, lowest, 1e-12) << sides;
        EXPECT_NEAR(p[0].x, -p[static_cast<std::size_t>(sides) - 1].x, 1e-12) << sides;
    }
    const auto triangle = regular_polygon_offsets(3, 2.0);
    EXPECT_NEAR(triangle[1].x, 0, 1e-12);   // apex straight up
    EXPECT_NEAR(triangle[1].y, 2, 1e-12);

    // On the canvas a filled 7-gon's bottom row is a long run (a whole edge).
    PixelWorld w(201, 201);
    w.painter.draw_marker(100, 100, 7, 0.3, true);   // radius 60 pixels
    const PixelRect box = painted_box(w.canvas);
    ASSERT_FALSE(box.empty());
    const int side = static_cast<int>(2 * 60 * std::sin(std::numbers::pi / 7));
    EXPECT_GE(painted_in_row(w.canvas, box.bottom() - 1), side - 2);
    EXPECT_LT(painted_in_row(w.canvas, box.y), side / 4);   // the top is a vertex
}

TEST(PainterMarkers, StarDiamondAndCircleShapes) {
    const auto star = star_offsets(1.0);
    ASSERT_EQ(star.size(), 11u);
    EXPECT_DOUBLE_EQ(star.front().y, 1.0);
    EXPECT_DOUBLE_EQ(star.back().y, 1.0);
    EXPECT_DOUBLE_EQ(star[5].y, -0.375);
    for (std::size_t i = 1; i < 5; ++i) {   // left half mirrors the right half
        EXPECT_NEAR(star[i].x, -star[10 - i].x, 1e-12);
        EXPECT_NEAR(star[i].y, star[10 - i].y, 1e-12);
    }
    const auto diamond = diamond_offsets(2.0);
    ASSERT_EQ(diamond.size(), 5u);
    EXPECT_NEAR(diamond[0].x, 0, 1e-8);   // corners on the axes at distance d
    EXPECT_NEAR(diamond[0].y, 2, 1e-8);
    EXPECT_NEAR(diamond[1].x, -2, 1e-8);
    EXPECT_NEAR(diamond[2].y, -2, 1e-8);

    EXPECT_EQ(arc_vertex_count(10, 100), 120);     // 4 · 10 · 300 / 100
    EXPECT_EQ(arc_vertex_count(-10, 100), 120);
    EXPECT_EQ(arc_vertex_count(1000, 1), 360);
    EXPECT_EQ(arc_vertex_count(0, 1), 1);
    const auto circle = arc_offsets(2, 1, 0, 0, 360, 8);
    ASSERT_EQ(circle.size(), 9u);
    EXPECT_NEAR(circle[2].x, 0, 1e-12);            // 90 degrees: (0, ry)
    EXPECT_NEAR(circle[2].y, 1, 1e-12);
    EXPECT_NEAR(circle[8].x, 2, 1e-12);            // closed exactly on a2
    const auto quarter = arc_offsets(2, 1, 90, 0, 100, 8);   // 0, 45, 90, then 100 exactly
    ASSERT_EQ(quarter.size(), 4u);
    EXPECT_NEAR(quarter[0].x, 0, 1e-12);           // (2, 0) turned by 90 degrees
    EXPECT_NEAR(quarter[0].y, 2, 1e-12);
    EXPECT_NEAR(quarter[3].x, -std::sin(100 * std::numbers::pi / 180), 1e-12);
}

TEST(PainterMarkers, EveryOutlineStaysWithin399Points) {
    GraphicsCanvas canvas(100, 100);
    Painter painter(canvas);
    SpyRecorder spy;
    painter.set_recorder(&spy);
    ASSERT_TRUE(painter.graphics_open(100, 100, 1).ok);
    painter.draw_marker(0, 0, 1000, 0.2, true);
    ASSERT_EQ(spy.polygons.size(), 1u);
    ASSERT_EQ(spy.polygons[0].size(), 399u);       // a closed 398-gon
    EXPECT_DOUBLE_EQ(spy.polygons[0].front().x, spy.polygons[0].back().x);
    EXPECT_DOUBLE_EQ(spy.polygons[0].front().y, spy.polygons[0].back().y);

    painter.draw_marker(0, 0, 1000, 0.2, false);
    EXPECT_EQ(spy.line_tos, 398);

    spy.polygons.clear();
    painter.draw_arc_polygon(0, 0, 1, 1, 0, 0, 100000, true);   // many turns
    ASSERT_EQ(spy.polygons.size(), 1u);
    EXPECT_LE(spy.polygons[0].size(), 399u);

    // A count larger than the arrays reads only what they hold.
    const std::vector<double> xs{0, 0.2, 0.2}, ys{0, 0, 0.2};
    spy.polygons.clear();
    painter.draw_polygon(xs, ys, 1000, 0, 0, true);
    ASSERT_EQ(spy.polygons.size(), 1u);
    EXPECT_EQ(spy.polygons[0].size(), 3u);
    painter.draw_polygon(xs, ys, -5, 0, 0, true);
    EXPECT_EQ(spy.polygons.size(), 1u);
}

TEST(PainterMarkers, OutlineMarkersUseTheWidePen) {
    PixelWorld thin(201, 201);
    thin.painter.draw_marker(100, 100, 4, 0.2, false);
    PixelWorld wide(201, 201);
    wide.painter.set_line_style(0.04);   // half width 4 pixels
    wide.painter.draw_marker(100, 100, 4, 0.2, false);
    EXPECT_EQ(painted_in_row(thin.canvas, 100), 2);
    EXPECT_GE(painted_in_row(wide.canvas, 100), 2 * 7);
}

TEST(PainterText, AlignmentPutsTheAnchorOnTheWorldPoint) {
    PixelWorld w(400, 200);
    w.painter.select_font("Times New Roman", 0.2, 0, 0, false, false, false);   // 40 pixels
    if (w.canvas.text_height() == 0) GTEST_SKIP() << "no font found";
    EXPECT_EQ(w.canvas.text_height(), 40);
    const int width = w.canvas.text_width("Ring");

    w.painter.set_text_align("r", "B");
    w.painter.draw_text(300, 100, "Ringing", 4);    // only "Ring"
    const PixelRect box = painted_box(w.canvas);
    ASSERT_FALSE(box.empty());
    EXPECT_LE(box.right(), 301);
    EXPECT_GE(box.x, 300 - width - 1);
    EXPECT_LE(box.bottom(), 200 - 1 - 100 + 1);     // above the anchor row (y upward)
    EXPECT_GE(box.y, 99 - 40);

    PixelWorld centred(400, 200);
    centred.painter.select_font("Times New Roman", 0.2, 0, 0, false, false, false);
    centred.painter.set_text_align("C", "c");
    centred.painter.draw_text(200, 100, "HH", 2);   // symmetric glyphs
    const PixelRect c = painted_box(centred.canvas);
    EXPECT_NEAR(c.x + c.width / 2.0, 200, 3);

    // Turned by 90 degrees with the top-left anchor the text runs up from the point.
    PixelWorld turned(400, 200);
    turned.painter.select_font("Times New Roman", 0.2, 0, 90, false, false, false);
    turned.painter.set_text_align("L", "T");
    turned.painter.draw_text(100, 20, "Ring", 4);
    const PixelRect t = painted_box(turned.canvas);
    EXPECT_GT(t.height, t.width);
    EXPECT_GE(t.x, 100);
    EXPECT_LE(t.bottom(), 199 - 20 + 1);
}

TEST(PainterClose, SavesTheWholePictureOnlyInMode2) {
    char pattern[] = "/tmp/zeph_painter_XXXXXX";
    const std::string dir = mkdtemp(pattern);
    GraphicsCanvas canvas(10, 10);
    Painter painter(canvas);
    ASSERT_TRUE(painter.graphics_open(30, 20, 1).ok);
    EXPECT_TRUE(painter.graphics_close(1, dir + "/one.bmp").ok);
    EXPECT_FALSE(std::filesystem::exists(dir + "/one.bmp"));
    ASSERT_TRUE(painter.graphics_close(2, dir + "/two.bmp").ok);
    EXPECT_EQ(std::filesystem::file_size(dir + "/two.bmp"), 54u + 20 * 92);   // 90 bytes padded to 92
    const Status failed = painter.graphics_close(2, dir + "/missing/three.png");
    EXPECT_EQ(failed.message, "Error writing file: " + dir + "/missing/three.png");
    std::filesystem::remove_all(dir);
}

TEST(PainterImage, WorldRectanglesSaveAndRestorePixels) {
    PixelWorld w(50, 50);
    w.painter.set_colour(2);
    w.painter.move_to(10, 10);
    w.painter.line_to(20, 10);
    std::vector<std::uint8_t> saved(w.painter.image_size(0, 0, 49, 49));
    ASSERT_EQ(saved.size(), GraphicsCanvas::kImageHeaderBytes + 50 * 50 * 3);
    ASSERT_EQ(w.painter.get_image(0, 0, 49, 49, saved), saved.size());
    w.painter.move_to(0, 0);
    w.painter.line_to(49, 49);
    ASSERT_TRUE(w.painter.put_image(0, 49, saved));   // top-left corner of the window
    EXPECT_EQ(painted_in_row(w.canvas, 39), 11);
    EXPECT_FALSE(painted(w.canvas, 0, 49));
}

}  // namespace
}  // namespace zeph
