// The arithmetic of symbol plots: the cells a picture takes in a pane and
// the cells its texts are written at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/symbol_layout.hpp"

namespace zeph {
namespace {

constexpr double kTallCells = 0.5;   // 8 × 16 pixel cells

TEST(PictureCells, LargestAtThePicturesShapeCentredInThePane) {
    const struct {
        int width, height, columns, rows;
        double aspect;
        CellRect expected;
    } cases[] = {
        // 4:3 in a portrait 80 × 50 pane: the width limits, 30 rows of cells twice as high as wide.
        {1200, 900, 80, 50, kTallCells, {0, 10, 80, 30}},
        // The same picture in a wide pane: the height limits.
        {1200, 900, 200, 50, kTallCells, {33, 0, 133, 50}},
        // Square cells: a square picture is as many columns as rows.
        {500, 500, 100, 40, 1.0, {30, 0, 40, 40}},
        // A tall picture in a small pane.
        {100, 400, 80, 24, kTallCells, {34, 0, 12, 24}},
        // A thin picture still takes one cell across.
        {1, 1000, 80, 24, kTallCells, {39, 0, 1, 24}},
    };
    for (const auto& c : cases) {
        const CellRect r = picture_cells(c.width, c.height, c.columns, c.rows, c.aspect);
        EXPECT_EQ(r, c.expected) << c.width << "x" << c.height << " in " << c.columns << "x" << c.rows << ": " << r.column
                                 << "," << r.row << " " << r.columns << "x" << r.rows;
        EXPECT_LE(r.column + r.columns, c.columns);
        EXPECT_LE(r.row + r.rows, c.rows);
    }
    // The equal scales hold: cells across over cells down is the shape over the cells' shape.
    const CellRect wide = picture_cells(1600, 900, 300, 200, kTallCells);
    EXPECT_NEAR(wide.columns * kTallCells / wide.rows, 1600.0 / 900, 0.02);
    EXPECT_EQ(picture_cells(0, 900, 80, 50, kTallCells), CellRect{});
    EXPECT_EQ(picture_cells(100, 100, 0, 50, kTallCells), CellRect{});
    EXPECT_EQ(picture_cells(100, 100, 80, 50, 0), CellRect{});
}

CanvasText text_at(std::string text, PixelPoint anchor, double along, double across, int width, int height,
                   double angle = 0) {
    CanvasText t;
    t.text = std::move(text);
    t.colour = RgbColour{0, 0, 170};
    t.placement = {anchor, along, across};
    t.width = width;
    t.height = height;
    t.angle = angle;
    return t;
}

// A canvas of 800 × 400 pixels shown on 80 × 20 cells of an 80 × 24 pane from row 2: 10 × 20 pixels a cell.
const PixelRect kShown{0, 0, 800, 400};
const CellRect kCells{0, 2, 80, 20};

TEST(PlacedTexts, KeepTheirAlignmentAtTheAnchorsCell) {
    const std::vector<CanvasText> texts{
        // A number right-aligned at x 355 (cell 35.5), its bottom at y 99: it ends in cell 35, on row 2 + 4.
        text_at("-1.5", {355, 99}, 1.0, 1.0, 30, 20),
        // A title centred at x 400, its top at 0: centred on cell 40, on the picture's first row.
        text_at("Signal A", {400, 0}, 0.5, 0.0, 70, 30),
        // Left-aligned from x 100, its middle at y 215: from cell 10, row 2 + 10.
        text_at("x", {100, 215}, 0.0, 0.5, 8, 20),
    };
    const std::vector<CellText> placed = place_texts(texts, kShown, kCells, 80, 24);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[0], (CellText{6, 32, U"-1.5", RgbColour{0, 0, 170}, false}));
    EXPECT_EQ(placed[1].row, 2);
    EXPECT_EQ(placed[1].column, 36);
    EXPECT_EQ(placed[1].characters, U"Signal A");
    EXPECT_EQ(placed[2].row, 12);
    EXPECT_EQ(placed[2].column, 10);
}

TEST(PlacedTexts, UprightTextsRunDownTheirColumn) {
    // Turned by 90°, centred on its anchor at x 20 (its box 20..40 across), y 200: column 3, rows centred on row 12.
    const std::vector<CanvasText> texts{text_at("Amplitude", {20, 200}, 0.5, 0.0, 120, 20, 90)};
    const std::vector<CellText> placed = place_texts(texts, kShown, kCells, 80, 24);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_TRUE(placed[0].vertical);
    EXPECT_EQ(placed[0].column, 3);
    EXPECT_EQ(placed[0].row, 12 - 4);   // 9 characters: rows 8..16
    EXPECT_EQ(placed[0].characters, U"Amplitude");
}

TEST(PlacedTexts, StayInsideThePaneAndShowNoControls) {
    const std::vector<CanvasText> texts{
        // Right-aligned at the left edge: moved right to start in the first column.
        text_at("-1000.0", {5, 100}, 1.0, 0.0, 50, 20),
        // Left-aligned at the right edge: moved left to end in the last column.
        text_at("1024.00", {795, 390}, 0.0, 0.0, 50, 20),
        // Longer than the pane is wide: cut to it.
        text_at(std::string(100, 'T'), {400, 0}, 0.5, 0.0, 900, 20),
        // An escape sequence in a title from a file is not sent to the terminal.
        text_at("a\x1b[2Jb\tc", {400, 200}, 0.5, 0.0, 60, 20),
        // Upright and longer than the pane is high.
        text_at(std::string(30, 'V'), {0, 200}, 0.5, 0.0, 400, 20, 90),
        // Nothing to write.
        text_at("", {400, 200}, 0.5, 0.0, 0, 20),
    };
    const std::vector<CellText> placed = place_texts(texts, kShown, kCells, 80, 24);
    ASSERT_EQ(placed.size(), 5u);
    EXPECT_EQ(placed[0].column, 0);
    EXPECT_EQ(placed[1].column, 80 - 7);
    EXPECT_EQ(placed[1].row, 22);
    EXPECT_EQ(placed[2].characters.size(), 80u);
    EXPECT_EQ(placed[2].column, 0);
    EXPECT_EQ(placed[3].characters, U"a [2Jb c");
    EXPECT_EQ(placed[4].characters.size(), 24u);
    EXPECT_EQ(placed[4].row, 0);
    EXPECT_TRUE(place_texts(texts, {}, kCells, 80, 24).empty());
}

TEST(PlacedTexts, FollowTheShownPartOfTheCanvas) {
    // Only the canvas part 100..500 × 50..250 is shown, on 40 × 10 cells from column 20: 10 × 20 pixels a cell.
    const PixelRect shown{100, 50, 400, 200};
    const CellRect cells{20, 7, 40, 10};
    const std::vector<CellText> placed =
        place_texts(std::vector<CanvasText>{text_at("0.", {300, 150}, 0.5, 0.5, 20, 20)}, shown, cells, 80, 24);
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed[0].column, 20 + 20 - 1);   // centred on cell 40: "0." in cells 39 and 40
    EXPECT_EQ(placed[0].row, 7 + 5);
}

}  // namespace
}  // namespace zeph
