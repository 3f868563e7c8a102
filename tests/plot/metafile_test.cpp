// Metafile export: exact bytes of the head and the drawing records, pans,
// overlays, failures, and a real reader (wmf2svg).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "plot/metafile.hpp"
#include "plot/metafile_text.hpp"
#include "tests/plot/recorded_plot.hpp"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using test::RecordedPlot;
using test::draw_frame;
using test::draw_view;
using Bytes = std::vector<std::uint8_t>;

Bytes from_hex(const std::string& hex) {
    Bytes out;
    std::string digits;
    for (char c : hex)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return out;
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t u16_at(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t u32_at(const Bytes& b, std::size_t at) { return u16_at(b, at) | u16_at(b, at + 2) << 16; }

struct Record {
    std::uint32_t words = 0;
    std::uint16_t function = 0;
    std::vector<std::uint16_t> params;   // the record's words after the function code
};

// Walks the records after the 40 header bytes up to the end record, which
// must close the file exactly.
std::vector<Record> records_of(const Bytes& b) {
    std::vector<Record> out;
    std::size_t at = 40;
    while (at + 6 <= b.size()) {
        Record r;
        r.words = u32_at(b, at);
        r.function = static_cast<std::uint16_t>(u16_at(b, at + 4));
        if (r.words < 3 || at + 2 * std::size_t{r.words} > b.size()) break;
        for (std::size_t w = 3; w < r.words; ++w) r.params.push_back(static_cast<std::uint16_t>(u16_at(b, at + 2 * w)));
        out.push_back(r);
        at += 2 * std::size_t{r.words};
        if (r.function == 0) break;
    }
    EXPECT_EQ(at, b.size()) << "the end record must close the file";
    EXPECT_TRUE(!out.empty() && out.back().function == 0 && out.back().words == 3);
    return out;
}

std::size_t count_function(const std::vector<Record>& records, std::uint16_t function) {
    return std::count_if(records.begin(), records.end(), [&](const Record& r) { return r.function == function; });
}

// File size (standard metafile in words), object count and largest record
// agree with the records actually in the file.
void expect_header_describes(const Bytes& b) {
    ASSERT_GT(b.size(), 40u);
    const auto records = records_of(b);
    std::uint32_t largest = 0;
    for (const Record& r : records) largest = std::max(largest, r.words);
    EXPECT_EQ(u32_at(b, 28), (b.size() - 22) / 2);
    EXPECT_EQ(u16_at(b, 32), count_function(records, 0x02FA) + count_function(records, 0x02FC) +
                                 count_function(records, 0x02FB));
    EXPECT_EQ(u32_at(b, 34), largest);
}

class MetafileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("zeph_metafile_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(MetafileTest, OneLineInOneColourIsTheHeadThreeDefaultPensAndTheLine) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "line.wmf").ok);
    plot.painter.move_to(100, 1150);
    plot.painter.line_to(1700, 150);
    ASSERT_TRUE(plot.finish().ok);

    const auto pen_set = [](const std::string& pen, const std::string& brush) {
        return "08000000 FA02 0000 0300 0300 00000000"   // solid pen, width 3, black
               "07000000 FC02 0000 00000000 0000"        // solid brush, black
               "04000000 2D01 " + pen + "04000000 2D01 " + brush +
               "05000000 0902 00000000";                 // text colour black
    };
    const Bytes expected = from_hex(
        "D7CDC69A 0000 0000 0000 0807 4605 2C01 00000000 7354"   // placeable header
        "0100 0900 0003 84000000 0600 08000000 0000"             // 132 words, 6 objects, largest 8
        "04000000 0301 0800"                                     // map mode anisotropic
        "05000000 0B02 0000 0000"                                // window origin
        "05000000 0C02 4605 0807"                                // window extent 1350 × 1800
        "07000000 2606 0000 0000 0807 4605"                      // escape
        "05000000 0102 FFFFFF00" +                               // background white
        pen_set("0000", "0100") + pen_set("0200", "0300") + pen_set("0400", "0500") +
        "05000000 1402 C800 6400"                                // move to y 200, x 100
        "05000000 1302 B004 A406"                                // line to y 1200, x 1700
        "03000000 0000");                                        // end
    const Bytes file = read_file(dir_ / "line.wmf");
    EXPECT_EQ(file, expected);

    // The head is 46 words; the placeable checksum is the XOR of its first ten words.
    std::uint32_t checksum = 0;
    for (std::size_t at = 0; at < 20; at += 2) checksum ^= u16_at(file, at);
    EXPECT_EQ(checksum, 0x5473u);
    EXPECT_EQ(u16_at(file, 20), 0x5473u);
    EXPECT_EQ(u16_at(file, 2 * kMetafileHeadWords + 4), 0x02FAu);   // the first pen right after the head
}

TEST_F(MetafileTest, ClipAlignFontTextPolygonAndPensGiveTheirRecords) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "records.wmf").ok);
    const std::size_t head_and_pens = 2 * kMetafileHeadWords + 3 * 56;
    plot.painter.set_clip_rect(100, 1150, 1700, 150);
    plot.painter.set_text_align("r", "Bottom");
    plot.painter.select_font("Times New Roman", 0.04, 0.018, 90, false, true, false);
    plot.painter.draw_text(900, 675, "abcd", 3);
    const std::vector<double> xs{100, 300, 200}, ys{1150, 1150, 1250};
    plot.painter.draw_polygon(xs, ys, 3, 0, 0, true);
    plot.painter.set_colour(4);
    plot.painter.set_fill_pattern(5);
    plot.painter.set_line_style(-3);
    plot.painter.set_line_style(0.03);   // half width 20 units: a band of 6 steps per end
    plot.painter.move_to(100, 1150);
    plot.painter.line_to(900, 1150);
    plot.painter.set_line_style(0.01);   // half width 7: a line again, from the band's end
    plot.painter.line_to(900, 350);
    ASSERT_TRUE(plot.finish().ok);

    const Bytes file = read_file(dir_ / "records.wmf");
    const Bytes expected = from_hex(
        "04000000 2C01 0000"                           // clip: whole picture, then
        "07000000 1604 B004 A406 C800 6400"            // bottom 1200, right 1700, top 200, left 100
        "04000000 2E01 0A00"                           // right + bottom
        "1C000000 FB02 3600 1300 8403 8403 9001"       // 54 high, 19 wide, 90°, normal weight
        "01 00 00 00 00 10 00 00"                      // italic, clip precision 16
        "54696D6573204E657720526F6D616E 0000000000000000000000000000000000"   // face, 32 bytes
        "04000000 2D01 0600"                           // select the font, object 6
        "09000000 320A A302 8403 0300 0000 616263 00"  // text "abc" at y 675, x 900, padded
        "0A000000 2403 0300 6400 C800 2C01 C800 C800 6400");   // filled triangle
    ASSERT_GE(file.size(), head_and_pens + expected.size());
    EXPECT_EQ(Bytes(file.begin() + head_and_pens, file.begin() + head_and_pens + expected.size()), expected);

    const auto records = records_of(file);
    std::vector<std::vector<std::uint16_t>> pens, brushes;
    for (const Record& r : records) {
        if (r.function == 0x02FA) pens.push_back(r.params);
        if (r.function == 0x02FC) brushes.push_back(r.params);
    }
    ASSERT_EQ(pens.size(), 8u);
    EXPECT_EQ(pens[3], (std::vector<std::uint16_t>{0, 3, 3, 0x00AA, 0}));   // red: AA in the low byte
    EXPECT_EQ(brushes[4], (std::vector<std::uint16_t>{2, 0x00AA, 0, 4}));  // fill 5: hatch 4 (cross)
    EXPECT_EQ(pens[5], (std::vector<std::uint16_t>{3, 1, 1, 0x00AA, 0}));  // dash-dot keeps its pattern
    EXPECT_EQ(pens[6], (std::vector<std::uint16_t>{5, 1, 1, 0x00AA, 0}));  // band: no outline
    EXPECT_EQ(pens[7], (std::vector<std::uint16_t>{0, 15, 15, 0x00AA, 0}));

    // The band is the painter's outline in metafile units; the following
    // line starts from the band's end.
    const auto band = wide_line_outline({100, 200}, {900, 200}, 20, 6);
    const auto tail = std::vector<Record>(records.end() - 9, records.end());
    ASSERT_EQ(tail[0].function, 0x0324);
    std::vector<std::uint16_t> band_params{static_cast<std::uint16_t>(band.size())};
    for (const auto& p : band) band_params.insert(band_params.end(), {std::uint16_t(p.x), std::uint16_t(p.y)});
    EXPECT_EQ(tail[0].params, band_params);
    EXPECT_EQ(tail[6].function, 0x0214);
    EXPECT_EQ(tail[6].params, (std::vector<std::uint16_t>{200, 900}));
    EXPECT_EQ(tail[7].function, 0x0213);
    EXPECT_EQ(tail[7].params, (std::vector<std::uint16_t>{1000, 900}));
    expect_header_describes(file);
}

TEST_F(MetafileTest, Utf8LabelsAreWrittenInTheAnsiCharacterSet) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "label.wmf").ok);
    plot.painter.select_font("Times New Roman", 0.04, 0.018, 0, false, false, false);
    plot.painter.draw_text(900, 675, "Real ± Imag (µV)", 16);   // 16 characters, 18 bytes
    plot.painter.draw_text(900, 675, "2πft", 2);                 // cut after π, not inside it
    ASSERT_TRUE(plot.finish().ok);
    std::vector<std::string> texts;
    for (const Record& r : records_of(read_file(dir_ / "label.wmf"))) {
        if (r.function != 0x0A32) continue;
        std::string text;
        for (std::size_t k = 0; k < r.params[2]; ++k) text.push_back(static_cast<char>(r.params[4 + k / 2] >> (8 * (k % 2))));
        texts.push_back(text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Real \xB1 Imag (\xB5V)", "2pi"}));
}

TEST(MetafileText, Windows1252WhereItHasTheCharacterAPlainSubstituteOtherwise) {
    EXPECT_EQ(metafile_text("Real ± Imag"), "Real \xB1 Imag");
    EXPECT_EQ(metafile_text("µs, 90°, m²"), "\xB5s, 90\xB0, m\xB2");
    EXPECT_EQ(metafile_text("»é€–…"), "\xBB\xE9\x80\x96\x85");   // 0x80..0x9F are 1252's own
    EXPECT_EQ(metafile_text("μ"), "\xB5");                          // Greek mu as the micro sign
    EXPECT_EQ(metafile_text("2πft+Θ"), "2pift+Theta");
    EXPECT_EQ(metafile_text("√(Fu*Fl) ≤ x ≥ −1"), "sqrt(Fu*Fl) <= x >= -1");
    EXPECT_EQ(metafile_text("漢 😀"), "? ?");
    EXPECT_EQ(metafile_text("a\xC3"), "a?");   // no valid UTF-8
    EXPECT_EQ(metafile_text(""), "");
}

TEST_F(MetafileTest, FarPointsAreLimitedToThe16BitFields) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "far.wmf").ok);
    plot.painter.move_to(1e12, -1e12);   // y = 1350 + 32000 does not fit: limited
    plot.painter.line_to(-1e12, 1e12);   // y = 1350 − 32000
    ASSERT_TRUE(plot.finish().ok);
    const auto records = records_of(read_file(dir_ / "far.wmf"));
    const auto& move = records[records.size() - 3];
    const auto& line = records[records.size() - 2];
    EXPECT_EQ(move.params, (std::vector<std::uint16_t>{32767, 32000}));
    EXPECT_EQ(line.params, (std::vector<std::uint16_t>{std::uint16_t(-30650), std::uint16_t(-32000)}));
}

TEST_F(MetafileTest, PanRewoundThreeTimesEndsWithTheLastViewOnly) {
    RecordedPlot panned;
    ASSERT_TRUE(panned.start(dir_ / "panned.wmf").ok);
    draw_frame(panned.painter);
    panned.writer.mark_for_pan();
    draw_view(panned.painter, 0);
    for (int k = 1; k <= 3; ++k) {
        panned.writer.rewind_for_pan();
        draw_view(panned.painter, k);   // colour 4 is current: the painter records no pen
    }
    ASSERT_TRUE(panned.finish().ok);

    RecordedPlot direct;
    ASSERT_TRUE(direct.start(dir_ / "direct.wmf").ok);
    draw_frame(direct.painter);
    draw_view(direct.painter, 3);
    ASSERT_TRUE(direct.finish().ok);

    const Bytes file = read_file(dir_ / "panned.wmf");
    EXPECT_EQ(file, read_file(dir_ / "direct.wmf"));
    const auto records = records_of(file);
    EXPECT_EQ(count_function(records, 0x0213), 14000u + 18u);
    ASSERT_EQ(count_function(records, 0x0A32), 1u);
    EXPECT_GT(u32_at(file, 28), 70000u);
    expect_header_describes(file);
}

TEST_F(MetafileTest, OverlayContinuesTheFirstPictureAndTheHeaderDescribesBoth) {
    const fs::path path = dir_ / "overlay.wmf";
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(path).ok);
    draw_frame(plot.painter);
    draw_view(plot.painter, 0);
    ASSERT_TRUE(plot.finish().ok);
    const Bytes first = read_file(path);
    const std::uint32_t first_objects = u16_at(first, 32);

    ASSERT_TRUE(plot.start(path, -1).ok);
    plot.painter.set_colour(2);
    plot.painter.move_to(0, 1000);
    plot.painter.line_to(1800, 1234);
    ASSERT_TRUE(plot.finish().ok);
    const Bytes both = read_file(path);

    ASSERT_GT(both.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 28, both.begin()));
    EXPECT_TRUE(std::equal(first.begin() + 40, first.end() - 6, both.begin() + 40));
    const auto records = records_of(both);
    const auto added = std::vector<Record>(records.begin() + (records_of(first).size() - 1), records.end());
    ASSERT_GE(added.size(), 4u);
    EXPECT_EQ(added[0].function, 0x02FA);   // the overlay's pen, at the next object index
    EXPECT_EQ(added[2].params, (std::vector<std::uint16_t>{static_cast<std::uint16_t>(first_objects)}));
    EXPECT_EQ(added[added.size() - 2].params, (std::vector<std::uint16_t>{1350 - 1234, 1800}));
    EXPECT_EQ(count_function(records, 0x0213), 14000u + 18u + 1u);
    expect_header_describes(both);
}

TEST_F(MetafileTest, OverlayWithoutAPreviousMetafileStartsANewOne) {
    std::ofstream(dir_ / "text.wmf") << "not a metafile\n";
    for (const char* name : {"missing.wmf", "text.wmf"}) {
        RecordedPlot plot;
        ASSERT_TRUE(plot.start(dir_ / name, -1).ok) << name;
        plot.painter.move_to(0, 0);
        plot.painter.line_to(10, 10);
        ASSERT_TRUE(plot.finish().ok);
        const Bytes file = read_file(dir_ / name);
        ASSERT_GE(file.size(), 2 * kMetafileHeadWords);
        EXPECT_EQ(u32_at(file, 0), 0x9AC6CDD7u) << name;
        expect_header_describes(file);
    }
}

TEST_F(MetafileTest, AbandonedPlotIsCompletedAndTheNextPlotWithoutMetafileAddsNothing) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "abandoned.wmf").ok);
    plot.painter.move_to(0, 0);
    plot.painter.line_to(10, 10);   // the plot fails here: no close
    const Bytes abandoned = read_file(dir_ / "abandoned.wmf");
    EXPECT_TRUE(abandoned.empty());

    ASSERT_TRUE(plot.painter.graphics_open(180, 135, 0).ok);
    plot.painter.move_to(0, 0);
    plot.painter.line_to(20, 20);
    plot.painter.graphics_close(0, "");
    const auto records = records_of(read_file(dir_ / "abandoned.wmf"));
    ASSERT_EQ(count_function(records, 0x0213), 1u);
    EXPECT_EQ(records[records.size() - 2].params, (std::vector<std::uint16_t>{1340, 10}));
    expect_header_describes(read_file(dir_ / "abandoned.wmf"));
}

TEST_F(MetafileTest, UnwritableFilesAreNamedInTheStatusAndThePlotIsUnaffected) {
    const auto draw = [](Painter& p) {
        p.set_colour(4);
        p.move_to(0, 0);
        p.line_to(1800, 1350);
        p.draw_text(900, 675, "x", 1);
    };
    const std::string missing = (dir_ / "no_such_directory" / "plot.wmf").string();
    for (int mode : {1, -1}) {
        RecordedPlot plot;
        const Status opened = plot.start(missing, mode);
        EXPECT_FALSE(opened.ok);
        EXPECT_EQ(opened.message, "Error writing file: " + missing);
        draw(plot.painter);
        const Status closed = plot.finish();
        EXPECT_EQ(closed.message, opened.message);
        EXPECT_FALSE(fs::exists(missing));

        RecordedPlot bare(false);
        bare.start(dir_ / "unused.wmf", mode);
        draw(bare.painter);
        for (int y = 0; y < 135; ++y)
            for (int x = 0; x < 180; ++x) ASSERT_EQ(plot.canvas.pixel(x, y), bare.canvas.pixel(x, y));
    }

    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
    for (int mode : {1, -1}) {
        RecordedPlot plot;
        EXPECT_TRUE(plot.start("/dev/full", mode).ok);   // opening works, writing does not
        draw(plot.painter);
        plot.painter.graphics_close(0, "");             // end(): the file is written here
        EXPECT_FALSE(plot.writer.is_open());
        EXPECT_EQ(plot.writer.close().message, "Error writing file: /dev/full");
    }
}

TEST_F(MetafileTest, Wmf2svgReadsAPlotWithoutWarnings) {
    if (std::system("command -v wmf2svg >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "wmf2svg (libwmf-bin) is not installed";
    }
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "plot.wmf").ok);
    plot.painter.set_world_window(-3500, -2150, 14166.66666667, 11100);
    plot.painter.move_to(0, 0);
    for (const auto& [x, y] : {std::pair{13000, 0}, {13000, 10000}, {0, 10000}, {0, 0}}) plot.painter.line_to(x, y);
    plot.painter.set_text_align("C", "T");
    plot.painter.select_font("Times New Roman", 0.045, 0.0203, 0, false, false, false);
    plot.painter.draw_text(5000, 11100, "Signal A", 8);
    plot.painter.set_clip_rect(0, 0, 13000, 10000);
    plot.painter.set_colour(4);
    plot.painter.move_to(0, 5000);
    for (int i = 1; i <= 20; ++i) plot.painter.line_to(i * 650, 5000 + (i % 2 ? 2000 : -2000));
    const std::vector<double> xs{0, 1000, 500}, ys{0, 0, 800};
    plot.painter.draw_polygon(xs, ys, 3, 8000, 1000, true);
    plot.painter.set_clip_rect(-3500, -2150, 14166.66666667, 11100);
    ASSERT_TRUE(plot.finish().ok);

    const fs::path svg = dir_ / "plot.svg", err = dir_ / "stderr.txt";
    const std::string command = "wmf2svg -o '" + svg.string() + "' '" + (dir_ / "plot.wmf").string() + "' 2>'" +
                                err.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes complaints = read_file(err);
    EXPECT_TRUE(complaints.empty()) << std::string(complaints.begin(), complaints.end());
    const Bytes content = read_file(svg);
    const std::string text(content.begin(), content.end());
    std::size_t lines = 0;
    for (auto at = text.find("<line"); at != std::string::npos; at = text.find("<line", at + 1)) ++lines;
    EXPECT_EQ(lines, 4u + 20u);   // the frame and the curve, segment by segment
    EXPECT_NE(text.find("<polygon"), std::string::npos);
    EXPECT_NE(text.find(">Signal A</text>"), std::string::npos);
}

}  // namespace
}  // namespace zeph
