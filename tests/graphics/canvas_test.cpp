// Pixel tests of the off-screen canvas, its bitmap files and the plot
// window's key translation.
#include <SDL.h>
#include <gtest/gtest.h>

#include "tests/support/canvas_pixels.hpp"
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "graphics/bitmap_file.hpp"
#include "graphics/fonts.hpp"
#include "graphics/graphics_canvas.hpp"
#include "graphics/plot_window.hpp"

namespace zeph {
namespace {

using testing::kWhite;
using testing::painted;
using testing::painted_box;

constexpr int kRed = 4;   // palette index of AA0000

int painted_count(const GraphicsCanvas& c) {
    int n = 0;
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) n += painted(c, x, y);
    return n;
}

std::vector<std::uint8_t> read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/zeph_canvas_XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

TEST(CanvasLine, DrawsBothEndpointsAndNothingOutsideTheSegment) {
    GraphicsCanvas c(30, 20);
    c.set_colour(kRed);
    c.move_to({2, 3});
    c.line_to({12, 7});
    EXPECT_EQ(c.pixel(2, 3), rgb_from_hex(0xAA0000));
    EXPECT_EQ(c.pixel(12, 7), rgb_from_hex(0xAA0000));
    EXPECT_EQ(painted_count(c), 11);   // one pixel per step of the longer axis
    EXPECT_EQ(painted_box(c), (PixelRect{2, 3, 11, 5}));
    EXPECT_EQ(c.current_point(), (PixelPoint{12, 7}));

    GraphicsCanvas up(30, 20);
    up.move_to({5, 18});
    up.line_to({5, 1});   // drawn upward
    EXPECT_EQ(painted_count(up), 18);
    EXPECT_TRUE(painted(up, 5, 1) && painted(up, 5, 18));
}

TEST(CanvasLine, DashMaskStartsAtBit15AndRunsOnAcrossLines) {
    GraphicsCanvas c(40, 10);
    c.set_line_style(0xC0C0);   // dot pattern: 2 on, 6 off
    c.move_to({0, 2});
    c.line_to({31, 2});
    for (int x = 0; x < 32; ++x) EXPECT_EQ(painted(c, x, 2), x % 8 < 2) << "x=" << x;

    c.set_line_style(0xFF00);   // 8 on, 8 off, phase restarts
    c.move_to({0, 5});
    c.line_to({7, 5});          // bits 15..8: all on
    c.move_to({0, 7});
    c.line_to({7, 7});          // continues with bits 7..0: all off
    for (int x = 0; x < 8; ++x) {
        EXPECT_TRUE(painted(c, x, 5));
        EXPECT_FALSE(painted(c, x, 7));
    }
}

TEST(CanvasClip, HalfOpenRectangleLimitsLinesAndFills) {
    GraphicsCanvas c(30, 30);
    c.set_clip({10, 10, 5, 5});
    c.move_to({0, 0});
    c.line_to({29, 29});
    EXPECT_EQ(painted_count(c), 5);   // (10,10) .. (14,14)
    EXPECT_TRUE(painted(c, 14, 14));
    EXPECT_FALSE(painted(c, 15, 15));

    const std::vector<PixelPoint> everything{{-5, -5}, {40, -5}, {40, 40}, {-5, 40}};
    c.polygon(everything, true);
    EXPECT_EQ(painted_box(c), (PixelRect{10, 10, 5, 5}));
    EXPECT_EQ(painted_count(c), 25);

    c.reset_clip();
    EXPECT_EQ(c.clip(), c.bounds());
}

TEST(CanvasClip, FarAwayCoordinatesLandNowhere) {
    GraphicsCanvas c(20, 20);
    c.move_to({-1000, -1000});
    c.line_to({1000, 1000});            // the diagonal crosses the canvas
    EXPECT_EQ(painted_count(c), 20);
    c.move_to({INT_MIN, 5});
    c.line_to({INT_MAX, 5});            // limited to 16-bit coordinates
    EXPECT_TRUE(painted(c, 0, 5) && painted(c, 19, 5));
    const std::vector<PixelPoint> huge{{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {0, INT_MAX}};
    c.polygon(huge, true);
    c.polygon(huge, false);
    GraphicsCanvas empty(0, 0);
    empty.move_to({0, 0});
    empty.line_to({5, 5});
    empty.polygon(huge, true);
    EXPECT_EQ(empty.rgb_pixels().size(), 0u);
}

TEST(CanvasPolygon, FillsAnAsymmetricShapeByPixelCentres) {
    // An "L": tall stem on the left, foot to the right at the bottom.
    GraphicsCanvas c(20, 20);
    c.set_colour(kRed);
    const std::vector<PixelPoint> l_shape{{1, 1}, {5, 1}, {5, 7}, {11, 7}, {11, 9}, {1, 9}};
    c.polygon(l_shape, true);
    EXPECT_EQ(painted_count(c), 4 * 6 + 10 * 2);
    EXPECT_TRUE(painted(c, 1, 1));     // left and top edges belong to it
    EXPECT_TRUE(painted(c, 4, 6));
    EXPECT_FALSE(painted(c, 5, 6));    // right edge of the stem does not
    EXPECT_TRUE(painted(c, 10, 8));
    EXPECT_FALSE(painted(c, 10, 9));   // bottom edge does not
    EXPECT_FALSE(painted(c, 11, 8));

    GraphicsCanvas border(20, 20);
    border.polygon(l_shape, false);
    EXPECT_TRUE(painted(border, 11, 9));   // the outline includes all its corners
    EXPECT_TRUE(painted(border, 1, 9));
    EXPECT_FALSE(painted(border, 3, 4));   // but not the inside
}

TEST(CanvasPolygon, EvenOddLeavesThePentagramCentreOpenNonZeroFillsIt) {
    std::vector<PixelPoint> star;
    for (int k = 0; k < 5; ++k) {
        const double a = -std::numbers::pi / 2 + (2 * k % 5) * 2 * std::numbers::pi / 5;
        star.push_back({static_cast<int>(std::lround(30 + 25 * std::cos(a))),
                        static_cast<int>(std::lround(30 + 25 * std::sin(a)))});
    }
    GraphicsCanvas even_odd(60, 60);
    even_odd.polygon(star, true);
    GraphicsCanvas non_zero(60, 60);
    non_zero.set_fill_rule(FillRule::NonZero);
    non_zero.polygon(star, true);
    EXPECT_FALSE(painted(even_odd, 30, 32));
    EXPECT_TRUE(painted(non_zero, 30, 32));
    EXPECT_TRUE(painted(even_odd, 30, 10));   // a point of the star
    EXPECT_TRUE(painted(non_zero, 30, 10));
}

TEST(CanvasPolygon, UsesAtMost399PointsAndAFillPattern) {
    // The first 399 points describe a 10 × 10 square; later ones would pull it to x = 40.
    std::vector<PixelPoint> points{{0, 0}, {10, 0}, {10, 10}};
    while (points.size() < GraphicsCanvas::kMaxPolygonPoints) points.push_back({0, 10});
    for (int i = 0; i < 100; ++i) points.push_back({40, 10});
    GraphicsCanvas c(50, 20);
    c.polygon(points, true);
    EXPECT_EQ(painted_box(c), (PixelRect{0, 0, 10, 10}));

    GraphicsCanvas hatched(16, 16);
    hatched.set_fill_pattern({0xF0, 0, 0, 0, 0, 0, 0, 0});   // left half of every 8th row
    hatched.polygon(std::vector<PixelPoint>{{0, 0}, {16, 0}, {16, 16}, {0, 16}}, true);
    EXPECT_EQ(painted_count(hatched), 2 * 8);
    EXPECT_TRUE(painted(hatched, 3, 0) && painted(hatched, 11, 8));
    EXPECT_FALSE(painted(hatched, 4, 0) || painted(hatched, 3, 1));
}

TEST(CanvasImage, GetAndPutRoundTripAnAsymmetricPatch) {
    GraphicsCanvas c(40, 30);
    c.set_colour(kRed);
    c.move_to({3, 2});
    c.line_to({7, 2});
    c.set_colour(1);
    c.move_to({3, 2});
    c.line_to({3, 5});
    const PixelRect patch{3, 2, 5, 4};
    std::vector<std::uint8_t> buffer(c.image_size(patch));
    ASSERT_EQ(buffer.size(), GraphicsCanvas::kImageHeaderBytes + 5 * 4 * 3);
    EXPECT_EQ(c.get_image(patch, buffer), buffer.size());

    GraphicsCanvas other(40, 30);
    ASSERT_TRUE(other.put_image({20, 21}, buffer));
    for (int y = 0; y < patch.height; ++y)
        for (int x = 0; x < patch.width; ++x)
            EXPECT_EQ(other.pixel(20 + x, 21 + y), c.pixel(3 + x, 2 + y)) << x << "," << y;
    EXPECT_EQ(painted_count(other), 5 + 3);

    std::vector<std::uint8_t> short_buffer(buffer.size() - 1);
    EXPECT_EQ(c.get_image(patch, short_buffer), 0u);
    EXPECT_FALSE(other.put_image({0, 0}, std::span(buffer).first(buffer.size() - 1)));

    // Partly off the canvas: the blue stem (column 0 of the patch) falls off the left edge.
    GraphicsCanvas corner(40, 30);
    ASSERT_TRUE(corner.put_image({-1, 0}, buffer));
    EXPECT_EQ(painted_count(corner), 4);
    EXPECT_EQ(corner.pixel(0, 0), rgb_from_hex(0xAA0000));
    EXPECT_EQ(corner.pixel(3, 0), rgb_from_hex(0xAA0000));
    ASSERT_TRUE(corner.put_image({38, 28}, buffer));   // only a 2 × 2 corner fits
    EXPECT_EQ(corner.pixel(38, 28), rgb_from_hex(0x0000AA));
    EXPECT_EQ(corner.pixel(39, 28), rgb_from_hex(0xAA0000));
    EXPECT_EQ(painted_count(corner), 4 + 3);
}

// A tall "F" in red, 3 × 5: the stem on the left, bars at rows 0 and 2.
void draw_tall_f(GraphicsCanvas& c) {
    c.set_colour(kRed);
    c.move_to({0, 0});
    c.line_to({0, 4});
    c.move_to({0, 0});
    c.line_to({2, 0});
    c.move_to({0, 2});
    c.line_to({1, 2});
}

TEST(CanvasBitmap, BmpIsBottomUpBgrWithPaddedRows) {
    TempDir dir;
    const std::string name = dir.file("f.bmp");
    GraphicsCanvas f(3, 5);
    draw_tall_f(f);
    ASSERT_TRUE(f.save_bitmap({0, 0, 3, 5}, name).ok);
    const auto b = read_file(name);
    const std::size_t row = 12;   // 9 bytes padded to 4
    ASSERT_EQ(b.size(), 54 + 5 * row);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size());
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(le32(b, 18), 3u);
    EXPECT_EQ(le32(b, 22), 5u);    // positive height: bottom-up rows
    EXPECT_EQ(b[28], 24);
    EXPECT_EQ(le32(b, 34), 5 * row);

    const std::vector<std::uint8_t> red{0x00, 0x00, 0xAA}, white{0xFF, 0xFF, 0xFF};
    const auto pixel_at = [&](int stored_row, int x) {
        const std::size_t at = 54 + stored_row * row + x * 3;
        return std::vector<std::uint8_t>(b.begin() + at, b.begin() + at + 3);
    };
    // Stored row 0 is the picture's bottom row: only the stem.
    EXPECT_EQ(pixel_at(0, 0), red);
    EXPECT_EQ(pixel_at(0, 1), white);
    EXPECT_EQ(pixel_at(0, 2), white);
    // Stored row 2 is the middle bar, row 4 the top bar.
    EXPECT_EQ(pixel_at(2, 1), red);
    EXPECT_EQ(pixel_at(2, 2), white);
    EXPECT_EQ(pixel_at(4, 2), red);
    EXPECT_EQ(pixel_at(3, 1), white);
    for (int r = 0; r < 5; ++r)
        for (int pad = 9; pad < 12; ++pad) EXPECT_EQ(b[54 + r * row + pad], 0);
}

TEST(CanvasBitmap, PngNameInAnyCaseWritesAPng) {
    TempDir dir;
    const std::string name = dir.file("f.PnG");
    GraphicsCanvas f(3, 5);
    draw_tall_f(f);
    ASSERT_TRUE(f.save_bitmap({0, 0, 3, 5}, name).ok);
    const auto b = read_file(name);
    ASSERT_GE(b.size(), 8u);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 4), "PNG");

    if (std::system("command -v identify >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick identify missing";
    const std::string command = "identify -format '%m %w %h' '" + name + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(line), "PNG 3 5");
}

TEST(CanvasBitmap, FailedWritesAreReported) {
    GraphicsCanvas c(3, 5);
    draw_tall_f(c);
    const Status missing_dir = c.save_bitmap({0, 0, 3, 5}, "/nonexistent/dir/f.bmp");
    EXPECT_FALSE(missing_dir.ok);
    EXPECT_EQ(missing_dir.message, "Error writing file: /nonexistent/dir/f.bmp");

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const Status full_bmp = c.save_bitmap({0, 0, 3, 5}, "/dev/full");
    EXPECT_FALSE(full_bmp.ok);
    EXPECT_EQ(full_bmp.message, "Error writing file: /dev/full");
    TempDir dir;
    const std::string png = dir.file("full.png");
    std::filesystem::create_symlink("/dev/full", png);
    EXPECT_FALSE(c.save_bitmap({0, 0, 3, 5}, png).ok);
    EXPECT_FALSE(c.save_bitmap({5, 5, 3, 3}, dir.file("empty.bmp")).ok);   // nothing of the canvas inside
}

TEST(CanvasText, DrawsInTheCurrentColourAndTurnsWithTheEscapement) {
    GraphicsCanvas c(200, 200);
    FontRequest font;
    font.face = "Times New Roman";
    font.height = 40;
    if (!c.select_font(font)) GTEST_SKIP() << "no font found";
    EXPECT_EQ(c.text_height(), 40);
    const int width = c.text_width("Hello");
    EXPECT_GT(width, 40);
    EXPECT_LT(width, 200);
    EXPECT_EQ(c.text_width(""), 0);
    // UTF-8 text: one glyph per character, not one per byte ("Ï€" is π's bytes read as Latin-1).
    const int pi = c.text_width("π");
    EXPECT_GT(pi, 5);
    EXPECT_NE(pi, c.text_width("\u00CF\u20AC"));
    EXPECT_NEAR(c.text_width("2πΘ"), c.text_width("2") + pi + c.text_width("Θ"), 1);

    c.set_colour(kRed);
    c.move_to({20, 30});
    c.draw_text("Hello");
    const PixelRect box = painted_box(c);
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.x, 20);
    EXPECT_GE(box.y, 30);                    // the cell's top is at the current point
    EXPECT_LE(box.bottom(), 30 + 40);
    EXPECT_GT(box.width, box.height);
    EXPECT_NEAR(box.right(), 20 + width, 4);
    bool any_full_red = false;
    for (int y = box.y; y < box.bottom(); ++y)
        for (int x = box.x; x < box.right(); ++x) any_full_red |= c.pixel(x, y) == rgb_from_hex(0xAA0000);
    EXPECT_TRUE(any_full_red);

    // Wider average characters give a wider string.
    FontRequest wide = font;
    wide.width = 30;
    ASSERT_TRUE(c.select_font(wide));
    EXPECT_GT(c.text_width("Hello"), width);

    // Escapement 900: the text runs upward from the current point, its cell to the right.
    GraphicsCanvas turned(200, 200);
    font.escapement = 900;
    ASSERT_TRUE(turned.select_font(font));
    turned.move_to({50, 150});
    turned.draw_text("Hello");
    const PixelRect up = painted_box(turned);
    ASSERT_FALSE(up.empty());
    EXPECT_GT(up.height, up.width);
    EXPECT_GE(up.x, 50);
    EXPECT_LE(up.right(), 50 + 40);
    EXPECT_LE(up.bottom(), 151);
    EXPECT_NEAR(up.y, 150 - width, 4);
}

// A line across the canvas at row y in palette colour `colour`.
void line_across(GraphicsCanvas& c, int y, int colour) {
    c.set_colour(colour);
    c.move_to({0, y});
    c.line_to({c.width() - 1, y});
}

TEST(CanvasText, KeepsEachTextAndThePictureWithoutIt) {
    GraphicsCanvas c(200, 100);
    line_across(c, 30, kRed);   // a line the text will cross
    const std::vector<std::uint8_t> before = c.rgb_pixels();
    FontRequest font;
    font.height = 40;
    const bool has_font = c.select_font(font);
    c.set_colour(1);
    c.move_to({10, 10});
    c.draw_text("Hello");
    c.move_to({60, 50});
    c.draw_text("Ring", TextPlacement{{120, 90}, 1.0, 1.0});
    ASSERT_EQ(c.texts().size(), 2u);
    const CanvasText& hello = c.texts()[0];
    EXPECT_EQ(hello.text, "Hello");
    EXPECT_EQ(hello.colour, c.palette_entry(1));
    EXPECT_EQ(hello.placement.anchor, (PixelPoint{10, 10}));   // by default its start and top
    EXPECT_EQ(hello.placement.along, 0);
    EXPECT_EQ(c.texts()[1].placement.anchor, (PixelPoint{120, 90}));
    EXPECT_EQ(c.texts()[1].placement.along, 1.0);
    if (has_font) {
        EXPECT_NE(c.rgb_pixels(), before);
        EXPECT_EQ(hello.width, c.text_width("Hello"));
        EXPECT_EQ(hello.height, 40);
        EXPECT_FALSE(hello.covered.empty());
    }
    // Without its texts the picture is the line alone, crossed nowhere.
    EXPECT_EQ(c.pixels_without_texts(), before);

    // What is drawn over a text after it stays in the picture without texts.
    line_across(c, 20, 2);
    GraphicsCanvas lines_only(200, 100);
    line_across(lines_only, 30, kRed);
    line_across(lines_only, 20, 2);
    EXPECT_EQ(c.pixels_without_texts(), lines_only.rgb_pixels());

    // Texts given back with a picture replace those kept; clearing drops them.
    std::vector<CanvasText> saved = c.texts();
    c.set_texts({saved[1]});
    ASSERT_EQ(c.texts().size(), 1u);
    EXPECT_EQ(c.texts()[0].text, "Ring");
    c.clear();
    EXPECT_TRUE(c.texts().empty());
    c.set_texts(saved);
    c.clear_to(kWhite);
    EXPECT_TRUE(c.texts().empty());
}

TEST(CanvasText, WithoutAFontTextIsSkipped) {
    FontRenderer renderer;
    EXPECT_FALSE(renderer.select_file({"/nonexistent/font.ttf", 0, false, false}, FontRequest{}));
    EXPECT_FALSE(renderer.ready());
    EXPECT_EQ(renderer.text_width("Hello"), 0);
    EXPECT_EQ(renderer.cell_height(), 0);
    int plotted = 0;
    renderer.render("Hello", 0, 0, [&](int, int, std::uint8_t) { ++plotted; });
    EXPECT_EQ(plotted, 0);

    GraphicsCanvas c(50, 50);   // no font selected yet
    c.move_to({5, 5});
    c.draw_text("Hello");
    EXPECT_EQ(painted_count(c), 0);
    EXPECT_EQ(c.text_width("Hello"), 0);
    // It is still kept, for a terminal to write in characters.
    ASSERT_EQ(c.texts().size(), 1u);
    EXPECT_EQ(c.texts()[0].text, "Hello");
    EXPECT_EQ(c.texts()[0].width, 0);
}

TEST(PlotWindowKeys, KeysArriveAsConsoleCodes) {
    struct Case {
        int keycode;
        bool ctrl;
        std::vector<int> expected;
    };
    const std::vector<Case> cases{
        {SDLK_LEFT, false, {0xE0, 'K'}},  {SDLK_RIGHT, false, {0xE0, 'M'}}, {SDLK_UP, false, {0xE0, 'H'}},
        {SDLK_DOWN, false, {0xE0, 'P'}},  {SDLK_PAGEUP, false, {0xE0, 'I'}}, {SDLK_PAGEDOWN, false, {0xE0, 'Q'}},
        {SDLK_HOME, false, {0xE0, 'G'}},  {SDLK_END, false, {0xE0, 'O'}},   {SDLK_LEFT, true, {0xE0, 's'}},
        {SDLK_RIGHT, true, {0xE0, 't'}},  {SDLK_ESCAPE, false, {27}},       {SDLK_RETURN, false, {13}},
        {SDLK_KP_ENTER, false, {13}},     {SDLK_v, true, {22}},             {SDLK_b, false, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(console_keys_for_key(c.keycode, c.ctrl), c.expected) << c.keycode;

    EXPECT_EQ(console_keys_for_text("Bb"), (std::vector<int>{'B', 'b'}));
    EXPECT_EQ(console_keys_for_text("\xC2\xB5"), (std::vector<int>{0xC2, 0xB5}));   // µ as its UTF-8 bytes
    EXPECT_EQ(console_keys_for_text("\xE2\x82\xAC" "a"), (std::vector<int>{0xE2, 0x82, 0xAC, 'a'}));
    EXPECT_EQ(console_keys_for_text("a\xB5"), (std::vector<int>{'a'}));      // stray continuation byte
    EXPECT_EQ(console_keys_for_text("\xC2"), (std::vector<int>{}));           // cut-off sequence
}

// Runs the body with DISPLAY and WAYLAND_DISPLAY unset, restoring them after.
class WithoutDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
            const char* value = std::getenv(name);
            saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    void TearDown() override {
        const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY"};
        for (std::size_t i = 0; i < saved_.size(); ++i)
            if (saved_[i]) setenv(names[i], saved_[i]->c_str(), 1);
    }

private:
    std::vector<std::optional<std::string>> saved_;
};

TEST_F(WithoutDisplay, OpenReportsNoDisplayAndKeysEndAtOnce) {
    PlotWindow window;
    const Status opened = window.open("Tavola", 320, 200);
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.message, kNoDisplayMessage);
    EXPECT_FALSE(window.is_open());
    GraphicsCanvas canvas(320, 200);
    window.present(canvas);          // harmless off screen
    EXPECT_EQ(window.poll_key(), -1);
    EXPECT_EQ(window.read_key(), kKeyEscape);

    std::vector<int> terminal{kKeyExtended, kKeyLeft};
    window.set_other_source([&]() {
        if (terminal.empty()) return -1;
        const int key = terminal.front();
        terminal.erase(terminal.begin());
        return key;
    });
    EXPECT_EQ(window.read_key(), kKeyExtended);
    EXPECT_EQ(window.read_key(), kKeyLeft);

    const ScreenSize screen = desktop_size();
    EXPECT_EQ(screen.width, 1920);
    EXPECT_EQ(screen.height, 1080);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// Runs only where a display is reachable (for instance under Xvfb).
TEST(PlotWindowOnDisplay, OpensPresentsAndClosesCleanly) {
    if (!display_variables_set()) GTEST_SKIP() << "no display";
    PlotWindow window;
    const Status opened = window.open("Tavola", 320, 200);
    if (!opened.ok) GTEST_SKIP() << opened.message;
    EXPECT_TRUE(window.is_open());
    GraphicsCanvas canvas(320, 200);
    canvas.move_to({0, 0});
    canvas.line_to({319, 199});
    window.present(canvas);
    EXPECT_EQ(window.poll_key(), -1);
    int polls = 0;
    window.set_other_source([&]() { return ++polls >= 3 ? 'x' : -1; });
    EXPECT_EQ(window.read_key(), 'x');   // the other source is polled while waiting
    window.close();
    EXPECT_FALSE(window.is_open());
    window.close();
    EXPECT_EQ(window.open("Tavola", 100, 80).ok, true);   // opens again after a close
}

// The display connection outlives each window: an X server that resets when
// its last client leaves is never caught mid-reset by the next plot.
TEST(PlotWindowOnDisplay, KeepsTheDisplayBetweenWindowsUntilReleased) {
    if (!display_variables_set()) GTEST_SKIP() << "no display";
    {
        PlotWindow window;
        if (!window.open("Tavola", 320, 200).ok) GTEST_SKIP() << "no window";
    }
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);   // still connected with no window open
    EXPECT_GT(desktop_size().width, 0);
    EXPECT_NE(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    PlotWindow again;
    EXPECT_TRUE(again.open("Tavola", 100, 80).ok);
    again.close();
    release_display();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    release_display();   // harmless twice
}

// The user resizes the window: it takes the new size and keys still arrive.
TEST(PlotWindowOnDisplay, KeepsWorkingWhenResized) {
    if (!display_variables_set()) GTEST_SKIP() << "no display";
    PlotWindow window;
    if (!window.open("Tavola", 320, 240).ok) GTEST_SKIP() << "no window";
    GraphicsCanvas canvas(320, 240);
    window.present(canvas);
    SDL_SetWindowSize(window.sdl_window(), 640, 300);
    EXPECT_EQ(window.poll_key(), -1);   // the size change is handled on the way
    int width = 0, height = 0;
    SDL_GetWindowSize(window.sdl_window(), &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 300);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(window.sdl_window());
    key.key.keysym.sym = SDLK_PAGEUP;
    SDL_PushEvent(&key);
    EXPECT_EQ(window.poll_key(), kKeyExtended);
    EXPECT_EQ(window.poll_key(), kKeyPageUp);
}

// DISPLAY names a display that does not exist: SDL would fall back to its
// offscreen driver, where a window shows nothing and waits for keys for ever.
TEST(PlotWindow, DoesNotOpenWhereNoDisplayAnswers) {
    const std::string old_display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    const std::string old_wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    release_display();   // a connection kept from an earlier test would answer
    ::setenv("DISPLAY", ":93", 1);
    ::unsetenv("WAYLAND_DISPLAY");
    PlotWindow window;
    const Status opened = window.open("Tavola", 320, 240);
    EXPECT_FALSE(opened.ok);
    EXPECT_FALSE(window.is_open());
    if (!window.is_open()) {
        EXPECT_EQ(window.read_key(), kKeyEscape);   // nothing could deliver a key
    }
    EXPECT_EQ(desktop_size().width, 1920);
    if (old_display.empty()) {
        ::unsetenv("DISPLAY");
    } else {
        ::setenv("DISPLAY", old_display.c_str(), 1);
    }
    if (!old_wayland.empty()) ::setenv("WAYLAND_DISPLAY", old_wayland.c_str(), 1);
}

TEST(FittedRect, KeepsThePictureShapeCentred) {
    // 4:3 picture in a wide window: strips left and right.
    EXPECT_EQ(fitted_rect(400, 300, 1280, 864).x, 64);
    EXPECT_EQ(fitted_rect(400, 300, 1280, 864).width, 1152);
    EXPECT_EQ(fitted_rect(400, 300, 1280, 864).height, 864);
    // In a tall area: strips above and below.
    const PixelRect tall = fitted_rect(400, 300, 400, 1000);
    EXPECT_EQ(tall.y, 350);
    EXPECT_EQ(tall.height, 300);
    EXPECT_TRUE(fitted_rect(0, 300, 400, 300).empty());
    EXPECT_TRUE(fitted_rect(400, 300, 0, 300).empty());
}

}  // namespace
}  // namespace zeph
