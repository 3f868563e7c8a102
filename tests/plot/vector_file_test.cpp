// SVG and PDF export through cairo, checked with real readers: rsvg-convert
// and pdftoppm render the files (without a word on standard error), pdffonts
// lists the fonts embedded, pdftotext reads the text back.
#include <gtest/gtest.h>
#include "tests/support/file_text.hpp"
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plot/metafile.hpp"
#include "tests/plot/recorded_plot.hpp"
#include "tests/support/run_command.hpp"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using test::RecordedPlot;
using test::draw_view;
using test::have_tool;
using test::run_command;

// A binary PPM (P6) image as RGB triples.
struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const { return &rgb[3 * (static_cast<std::size_t>(y) * width + x)]; }
    // Ink of a thin line may be spread over two pixels by antialiasing.
    bool dark(int x, int y) const { return at(x, y)[0] < 160 && at(x, y)[1] < 160 && at(x, y)[2] < 160; }
    bool red(int x, int y) const { return at(x, y)[0] > 150 && at(x, y)[1] < 120 && at(x, y)[2] < 120; }
};

Image parse_ppm(const std::string& data) {
    Image image;
    std::istringstream in(data);
    std::string magic;
    int max = 0;
    in >> magic >> image.width >> image.height >> max;
    in.get();
    if (magic != "P6" || max != 255 || image.width <= 0 || image.height <= 0) return {};
    image.rgb.resize(3 * static_cast<std::size_t>(image.width) * image.height);
    in.read(reinterpret_cast<char*>(image.rgb.data()), static_cast<std::streamsize>(image.rgb.size()));
    return image;
}

bool is_pdf(const fs::path& file) {
    std::string extension = file.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".pdf";
}

class VectorFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"rsvg-convert", "pdftoppm", "pdffonts", "pdftotext", "pdfinfo", "convert"}) {
            if (!have_tool(tool)) GTEST_SKIP() << tool << " is not installed (test.sh installs it)";
        }
        dir_ = fs::temp_directory_path() / ("zvec" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    // The file rendered at width × height pixels; standard error must stay empty.
    Image render(const fs::path& file, int width, int height) {
        const fs::path err = dir_ / "stderr.txt";
        int status = 0;
        std::string ppm;
        if (is_pdf(file)) {
            ppm = run_command("pdftoppm -scale-to-x " + std::to_string(width) +
                          " -scale-to-y " + std::to_string(height) + " '" + file.string() + "' 2>'" + err.string() + "'",
                      &status);
        } else {
            ppm = run_command("rsvg-convert -w " + std::to_string(width) + " -h " + std::to_string(height) + " '" +
                          file.string() + "' 2>'" + err.string() + "' | convert png:- ppm:-",
                      &status);
        }
        EXPECT_EQ(status, 0) << file;
        EXPECT_EQ(testing::file_text(err), "") << file;
        return parse_ppm(ppm);
    }

    fs::path dir_;
};

// A frame from (180, 135) to (1620, 1215) world units, a red diagonal inside
// it from its lower left to its upper right, a filled black triangle in the
// upper left corner (a flipped picture shows it elsewhere), and text.
void draw_picture(Painter& p) {
    p.set_colour(0);
    p.move_to(180, 135);
    for (const auto& [x, y] : {std::pair{1620, 135}, {1620, 1215}, {180, 1215}, {180, 135}}) p.line_to(x, y);
    const double xs[] = {0, 200, 0}, ys[] = {0, 0, -200};
    p.draw_polygon(xs, ys, 3, 0, 1350, true);
    p.select_font("Times New Roman", 0.04, 0, 0, false, false, false);
    p.set_text_align("C", "B");
    p.draw_text(900, 1250, "Title of the plot", 17);
    p.set_clip_rect(180, 135, 1620, 1215);
    p.set_colour(4);   // red
    p.set_line_style(0.004);
    p.move_to(0, 0);   // from outside the frame: clipped to it
    p.line_to(1800, 1350);
}

TEST_F(VectorFileTest, SvgAndPdfShowTheFrameCurveAndCornerWhereTheWorldPutsThem) {
    for (const std::string name : {"plot.svg", "plot.PDF"}) {
        RecordedPlot plot;
        ASSERT_TRUE(plot.start(dir_ / name).ok);
        draw_picture(plot.painter);
        ASSERT_TRUE(plot.finish().ok) << name;
        const Image image = render(dir_ / name, 720, 540);   // 0.4 pixels per unit
        ASSERT_EQ(image.width, 720) << name;
        // Frame: columns 72 and 648, rows 54 and 486 (y grows downward).
        for (const int y : {150, 270, 400}) {
            EXPECT_TRUE(image.dark(72, y) || image.dark(71, y) || image.dark(73, y)) << name << " left at " << y;
            EXPECT_TRUE(image.dark(648, y) || image.dark(647, y) || image.dark(649, y)) << name << " right at " << y;
        }
        for (const int x : {200, 360, 500}) {
            EXPECT_TRUE(image.dark(x, 54) || image.dark(x, 53) || image.dark(x, 55)) << name << " top at " << x;
            EXPECT_TRUE(image.dark(x, 486) || image.dark(x, 485) || image.dark(x, 487)) << name << " bottom at " << x;
        }
        // The triangle fills the upper left corner, not the lower left.
        EXPECT_TRUE(image.dark(10, 10)) << name;
        EXPECT_FALSE(image.dark(10, 530)) << name;
        // The red diagonal runs inside the frame only.
        EXPECT_TRUE(image.red(360, 270)) << name;
        EXPECT_TRUE(image.red(600, 90) || image.red(600, 89) || image.red(600, 91)) << name;
        EXPECT_FALSE(image.red(700, 15) || image.red(700, 16) || image.red(700, 14)) << name;
        EXPECT_FALSE(image.red(20, 525)) << name;
        // The title's ink lies above the frame, centred on column 360.
        int left = 720, right = 0;
        for (int x = 0; x < 720; ++x) {
            for (int y = 0; y < 50; ++y) {
                if (image.dark(x, y) && x > 90) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_NEAR((left + right) / 2.0, 360.0, 6.0) << name;
        EXPECT_GT(right - left, 100) << name;
    }
}

TEST_F(VectorFileTest, PdfEmbedsTheFontsAndCarriesTheText) {
    RecordedPlot plot;
    ASSERT_TRUE(plot.start(dir_ / "fonts.pdf").ok);
    draw_picture(plot.painter);
    plot.painter.set_clip_rect(0, 0, 1800, 1350);   // text outside the frame is clipped away otherwise
    plot.painter.select_font("Times New Roman", 0.03, 0.012, 90, false, false, false);
    plot.painter.draw_text(60, 675, "Amplitude", 9);
    ASSERT_TRUE(plot.finish().ok);
    const std::string fonts = run_command("pdffonts '" + (dir_ / "fonts.pdf").string() + "'");
    std::istringstream lines(fonts);
    std::string line;
    int listed = 0;
    std::getline(lines, line);
    std::getline(lines, line);   // the two heading lines
    while (std::getline(lines, line)) {
        ++listed;
        EXPECT_NE(line.find(" yes "), std::string::npos) << line;   // the "emb" column
        EXPECT_NE(line.find("Liberation"), std::string::npos) << line;
    }
    EXPECT_GE(listed, 1) << fonts;
    const std::string text = run_command("pdftotext '" + (dir_ / "fonts.pdf").string() + "' -");
    EXPECT_NE(text.find("Title of the plot"), std::string::npos) << text;
    EXPECT_NE(text.find("Amplitude"), std::string::npos) << text;
}

// A frame of few segments: renderers take seconds over the metafile test's 14000.
void draw_border(Painter& p) {
    p.set_colour(1);
    p.move_to(10, 10);
    for (const auto& [x, y] : {std::pair{1790, 10}, {1790, 1340}, {10, 1340}, {10, 10}}) p.line_to(x, y);
}

TEST_F(VectorFileTest, PanLeavesTheLastViewAndOverlayContinuesThePicture) {
    RecordedPlot panned;
    ASSERT_TRUE(panned.start(dir_ / "panned.pdf").ok);
    draw_border(panned.painter);
    panned.writer.mark_for_pan();
    draw_view(panned.painter, 0);
    for (int k = 1; k <= 3; ++k) {
        panned.writer.rewind_for_pan();
        draw_view(panned.painter, k);   // colour 4 is current: the painter records no pen
    }
    ASSERT_TRUE(panned.finish().ok);
    RecordedPlot direct;
    ASSERT_TRUE(direct.start(dir_ / "direct.pdf").ok);
    draw_border(direct.painter);
    draw_view(direct.painter, 3);
    ASSERT_TRUE(direct.finish().ok);

    const std::string text = run_command("pdftotext '" + (dir_ / "panned.pdf").string() + "' -");
    EXPECT_NE(text.find("view 3"), std::string::npos) << text;
    for (const char* gone : {"view 0", "view 1", "view 2"}) EXPECT_EQ(text.find(gone), std::string::npos) << text;
    EXPECT_EQ(render(dir_ / "panned.pdf", 360, 270).rgb, render(dir_ / "direct.pdf", 360, 270).rgb);

    // The next plot overlays the same file: both views, one picture.
    ASSERT_TRUE(panned.start(dir_ / "panned.pdf", -1).ok);
    draw_view(panned.painter, 5);
    ASSERT_TRUE(panned.finish().ok);
    const std::string both = run_command("pdftotext '" + (dir_ / "panned.pdf").string() + "' -");
    EXPECT_NE(both.find("view 3"), std::string::npos) << both;
    EXPECT_NE(both.find("view 5"), std::string::npos) << both;
    // A new plot into the file starts it afresh.
    ASSERT_TRUE(panned.start(dir_ / "panned.pdf").ok);
    draw_view(panned.painter, 6);
    ASSERT_TRUE(panned.finish().ok);
    const std::string fresh = run_command("pdftotext '" + (dir_ / "panned.pdf").string() + "' -");
    EXPECT_EQ(fresh.find("view 3"), std::string::npos) << fresh;
    EXPECT_NE(fresh.find("view 6"), std::string::npos) << fresh;
}

TEST_F(VectorFileTest, LineStylesMarkersAndHatchesRenderCleanly) {
    for (const std::string name : {"styles.svg", "styles.pdf"}) {
        RecordedPlot plot;
        ASSERT_TRUE(plot.start(dir_ / name).ok);
        for (int style = 0; style <= 4; ++style) {
            plot.painter.set_colour(style + 1);
            plot.painter.set_line_style(-style);
            plot.painter.move_to(100, 100 + 200 * style);
            plot.painter.line_to(900, 150 + 200 * style);
        }
        plot.painter.set_line_style(0.01);   // a wide line
        plot.painter.line_to(1700, 1300);
        plot.painter.set_line_style(0);
        for (int fill = 0; fill <= 6; ++fill) {
            plot.painter.set_fill_pattern(fill);
            plot.painter.draw_marker(1000 + 100 * fill, 400, fill % 4, 0.03, true);
            plot.painter.draw_marker(1000 + 100 * fill, 200, fill, 0.03, false);
        }
        ASSERT_TRUE(plot.finish().ok);
        const Image image = render(dir_ / name, 360, 270);
        EXPECT_EQ(image.width, 360);
    }
    // An SVG file is SVG, both 6 × 4.5 inches; a metafile name still gets the placeable metafile.
    EXPECT_NE(testing::file_text(dir_ / "styles.svg").find("<svg"), std::string::npos);
    EXPECT_NE(testing::file_text(dir_ / "styles.svg").find("width=\"432pt\" height=\"324pt\""), std::string::npos);
    EXPECT_EQ(testing::file_text(dir_ / "styles.pdf").substr(0, 5), "%PDF-");
    EXPECT_NE(run_command("pdfinfo '" + (dir_ / "styles.pdf").string() + "'").find("432 x 324 pts"), std::string::npos);
    RecordedPlot wmf;
    ASSERT_TRUE(wmf.start(dir_ / "plot.wmf").ok);
    ASSERT_TRUE(wmf.finish().ok);
    EXPECT_EQ(testing::file_text(dir_ / "plot.wmf").substr(0, 4), std::string("\xD7\xCD\xC6\x9A", 4));
}

TEST_F(VectorFileTest, WriteFailureNamesTheFileAndKeepsTheOldOne) {
    RecordedPlot plot;
    const fs::path missing = dir_ / "no" / "such.svg";
    ASSERT_TRUE(plot.start(missing).ok);   // the file is written at close
    draw_picture(plot.painter);
    const Status closed = plot.finish();
    EXPECT_FALSE(closed.ok);
    EXPECT_EQ(closed.message, "Error writing file: " + missing.string());
    EXPECT_EQ(plot.writer.close().message, closed.message);   // the same again

    // A file that cannot be replaced (its directory is read-only) keeps its content.
    if (::geteuid() == 0) return;   // root writes anyway
    fs::create_directories(dir_ / "ro");
    std::ofstream(dir_ / "ro" / "old.pdf") << "old";
    fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    ASSERT_TRUE(plot.start(dir_ / "ro" / "old.pdf").ok);
    EXPECT_FALSE(plot.finish().ok);
    fs::permissions(dir_ / "ro", fs::perms::owner_all);
    EXPECT_EQ(testing::file_text(dir_ / "ro" / "old.pdf"), "old");
}

TEST(VectorFileName, SvgOrPdfInAnyCaseAfterAName) {
    EXPECT_TRUE(is_vector_file_name("plot.svg"));
    EXPECT_TRUE(is_vector_file_name("PLOT.PDF"));
    EXPECT_TRUE(is_vector_file_name("dir/p.Svg  "));
    EXPECT_FALSE(is_vector_file_name(".svg"));
    EXPECT_FALSE(is_vector_file_name("plot.wmf"));
    EXPECT_FALSE(is_vector_file_name("plot.svgz"));
}

}  // namespace
}  // namespace zeph
