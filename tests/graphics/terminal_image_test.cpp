// Plots inside the terminal: where plots go (ZEPH_PLOT and what the terminal
// says of itself), and the picture libchafa makes of the canvas, decoded back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/utf8.hpp"
#include "graphics/plot_target.hpp"
#include "graphics/plot_window.hpp"
#include "console/output_capture.hpp"
#include "graphics/terminal_image.hpp"

namespace zeph {
namespace {

// --- Where plots go ---------------------------------------------------------

TEST(PlotRequest, ReadsZephPlotInAnyCase) {
    EXPECT_TRUE(parse_plot_request(nullptr)->automatic);
    EXPECT_TRUE(parse_plot_request("")->automatic);
    EXPECT_TRUE(parse_plot_request("AUTO")->automatic);
    const std::map<std::string, PlotTarget> words{
        {"window", PlotTarget::Window}, {"Sixel", PlotTarget::Sixel},   {"kitty", PlotTarget::Kitty},
        {"iterm", PlotTarget::Iterm},   {"SYMBOLS", PlotTarget::Symbols}, {"none", PlotTarget::None}};
    for (const auto& [word, target] : words) {
        const auto request = parse_plot_request(word.c_str());
        ASSERT_TRUE(request) << word;
        EXPECT_FALSE(request->automatic) << word;
        EXPECT_EQ(request->target, target) << word;
    }
    EXPECT_FALSE(parse_plot_request("x11"));
    EXPECT_FALSE(parse_plot_request("sixels"));
}

TEST(PlotTargetChoice, FollowsTheTable) {
    const PlotRequest automatic{};
    const auto request = [](PlotTarget t) { return PlotRequest{false, t}; };
    const PlotSurroundings headless{};
    const PlotSurroundings plain{.terminal = true};
    const PlotSurroundings desktop{.terminal = true, .window_opens = true, .sixel = true};
    const PlotSurroundings vt340{.terminal = true, .sixel = true, .kitty = true};
    const PlotSurroundings wezterm{.terminal = true, .kitty = true, .iterm = true};
    const PlotSurroundings iterm2{.terminal = true, .iterm = true};
    const struct {
        PlotRequest request;
        PlotSurroundings around;
        PlotTarget expected;
    } cases[] = {
        {automatic, desktop, PlotTarget::Window},      // a window that opens comes first
        {automatic, vt340, PlotTarget::Sixel},         // then sixel
        {automatic, wezterm, PlotTarget::Kitty},       // then kitty
        {automatic, iterm2, PlotTarget::Iterm},        // then iTerm2
        {automatic, plain, PlotTarget::Symbols},       // any other terminal
        {automatic, headless, PlotTarget::None},       // no window and no terminal
        {{false, PlotTarget::Window}, headless, PlotTarget::Window},   // reports its own failure
        {request(PlotTarget::Symbols), desktop, PlotTarget::Symbols},  // asked for, even with a display
        {request(PlotTarget::Sixel), plain, PlotTarget::Sixel},        // the user knows the terminal
        {request(PlotTarget::Kitty), headless, PlotTarget::None},      // no terminal to draw on
        {request(PlotTarget::None), desktop, PlotTarget::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(choose_plot_target(c.request, c.around), c.expected)
            << plot_target_name(c.expected) << " expected";
}

TEST(PlotTargetNote, FitsTheMessageLine) {
    for (PlotTarget t : {PlotTarget::Window, PlotTarget::Sixel, PlotTarget::Kitty, PlotTarget::Iterm,
                         PlotTarget::Symbols, PlotTarget::None}) {
        EXPECT_LE(plot_target_note(t, true).size(), 79u) << plot_target_note(t, true);
    }
    EXPECT_EQ(plot_target_note(PlotTarget::Sixel, true),
              "Plots: in the terminal as sixel images (auto). Set ZEPH_PLOT to change.");
}

TEST(PlotTargetNote, NamesWhyTheWindowDidNotOpen) {
    EXPECT_EQ(plot_target_note(PlotTarget::Symbols, true, "No available video device"),
              "Plots: in the terminal as text symbols (no window: No available video device).");
    EXPECT_EQ(plot_target_note(PlotTarget::None, true, "x"),
              "Plots: off screen only (exports work) (no window: x). Set ZEPH_PLOT to change.");
    // A long reason is cut so the note still fits the message line.
    const std::string note = plot_target_note(PlotTarget::Iterm, true, std::string(200, 'r') + "\u00e9");
    EXPECT_EQ(character_count(note), kMessageLineWidth);
    EXPECT_EQ(note.substr(note.size() - 6), "r...).");
}

// Primary device attributes as terminals answer them.
// A terminal may report any size: the picture drawn for it stays bounded.
TEST(TerminalGeometryBound, AbsurdSizesGiveAPictureOfSaneSize) {
    const TerminalGeometry huge = bounded_geometry({.columns = 80, .rows = 50, .cell_width = 819, .cell_height = 1310});
    EXPECT_EQ(huge.cell_width, 8);
    EXPECT_EQ(huge.cell_height, 16);
    const TerminalGeometry wide = bounded_geometry({.columns = 65535, .rows = 65535, .cell_width = 8, .cell_height = 16});
    EXPECT_LE(static_cast<long long>(wide.columns) * wide.cell_width, 4096 * 8);
    EXPECT_LE(static_cast<long long>(wide.rows) * wide.cell_height, 4096 * 16);
    const TerminalGeometry usual = bounded_geometry({.columns = 80, .rows = 50, .cell_width = 10, .cell_height = 20});
    EXPECT_EQ(usual.cell_width, 10);
    EXPECT_EQ(usual.cell_height, 20);
    // The whole path: an image for a 65535 x 65535-pixel report is made, and small.
    RgbPicture canvas{64, 48, std::vector<std::uint8_t>(64 * 48 * 3, 255)};
    const std::string sixel = encode_terminal_picture(canvas, PlotTarget::Sixel,
                                                      {.columns = 80, .rows = 50, .cell_width = 819, .cell_height = 1310}, true);
    EXPECT_FALSE(sixel.empty());
    EXPECT_LT(sixel.size(), 4u << 20);
}

TEST(DeviceAttributes, SixelIsAttributeFourOfTheAnswer) {
    const struct {
        const char* terminal;
        const char* answer;
        bool sixel;
    } answers[] = {
        {"xterm -ti vt340", "\x1b[?63;1;2;3;4;6;9;15;16;22;28c", true},
        {"xterm (VT420)", "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c", false},
        {"mlterm", "\x1b[?63;1;2;3;4;7;29c", true},
        {"foot", "\x1b[?62;4;22c", true},
        {"WezTerm", "\x1b[?65;4;6;18;22c", true},
        {"konsole", "\x1b[?62;4;22c", true},
        {"contour", "\x1b[?65;1;4;6;7;21;22;28;29c", true},
        {"Windows Terminal", "\x1b[?61;4;6;7;14;21;22;23;24;28;32;42c", true},
        {"tmux", "\x1b[?1;2c", false},
        {"VTE", "\x1b[?65;1;9c", false},
        {"kitty", "\x1b[?62;c", false},
        {"Linux console", "\x1b[?6c", false},
        {"VT125 class 4?", "\x1b[?4;1c", false},   // a first parameter of 4 is the device class
    };
    for (const auto& a : answers) {
        const auto attributes = parse_device_attributes(a.answer);
        ASSERT_TRUE(attributes) << a.terminal;
        EXPECT_EQ(attributes_list_sixel(*attributes), a.sixel) << a.terminal;
    }
}

TEST(DeviceAttributes, FindsTheAnswerAmongOtherInputOnly) {
    // Keys typed before the answer, and the text area's size sent first.
    const std::string input = "ab\x1b[4;700;560t\x1b[?62;4;22c";
    ASSERT_TRUE(parse_device_attributes(input));
    EXPECT_EQ(*parse_device_attributes(input), (std::vector<int>{62, 4, 22}));
    const auto pixels = parse_text_area_pixels(input);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width, 560);
    EXPECT_EQ(pixels->height, 700);
    // An answer cut short, or none at all, is no answer.
    EXPECT_FALSE(parse_device_attributes("\x1b[?62;4;2"));
    EXPECT_FALSE(parse_device_attributes(""));
    EXPECT_FALSE(parse_device_attributes("\x1b[?c"));
    EXPECT_FALSE(parse_text_area_pixels("\x1b[4;0;560t"));
    EXPECT_FALSE(parse_text_area_pixels("\x1b[8;50;80t"));   // the size in cells is another answer
    // Absurdly long numbers do not overflow.
    EXPECT_TRUE(parse_device_attributes("\x1b[?99999999999999999999;4c"));
}

TEST(KnownGraphics, FromTheEnvironment) {
    struct Case {
        std::map<std::string, std::string> env;
        bool kitty, iterm;
    };
    const Case cases[] = {
        {{{"TERM", "xterm-kitty"}}, true, false},
        {{{"TERM", "xterm-256color"}, {"KITTY_WINDOW_ID", "1"}}, true, false},
        {{{"TERM_PROGRAM", "WezTerm"}}, true, true},
        {{{"TERM", "xterm-ghostty"}}, true, false},
        {{{"TERM_PROGRAM", "iTerm.app"}}, false, true},
        {{{"LC_TERMINAL", "iTerm2"}}, false, true},
        {{{"TERM", "xterm-256color"}}, false, false},
        // Inside tmux the images would reach tmux, not the terminal.
        {{{"TERM", "tmux-256color"}, {"TMUX", "/tmp/t,1,0"}, {"KITTY_WINDOW_ID", "1"}}, false, false},
    };
    for (const Case& c : cases) {
        static const std::map<std::string, std::string>* current = nullptr;
        current = &c.env;
        const KnownGraphics known = known_graphics([](const char* name) -> const char* {
            const auto found = current->find(name);
            return found == current->end() ? nullptr : found->second.c_str();
        });
        EXPECT_EQ(known.kitty, c.kitty) << c.env.begin()->second;
        EXPECT_EQ(known.iterm, c.iterm) << c.env.begin()->second;
    }
}

// --- The picture ----------------------------------------------------------------

constexpr std::uint8_t kBlue[3] = {0, 0, 170};

RgbPicture white_picture(int width, int height) {
    return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3, 255)};
}
void set_pixel(RgbPicture& p, int x, int y, const std::uint8_t* rgb) {
    std::copy(rgb, rgb + 3, &p.pixels[(static_cast<std::size_t>(y) * p.width + x) * 3]);
}
const std::uint8_t* pixel(const RgbPicture& p, int x, int y) {
    return &p.pixels[(static_cast<std::size_t>(y) * p.width + x) * 3];
}
bool is_white(const std::uint8_t* p) { return p[0] == 255 && p[1] == 255 && p[2] == 255; }

// A plot-like picture: a black frame, a blue one-pixel diagonal and a blue disc.
RgbPicture test_plot(int width, int height) {
    RgbPicture p = white_picture(width, height);
    const std::uint8_t black[3] = {0, 0, 0};
    for (int x = width / 8; x < width * 7 / 8; ++x) set_pixel(p, x, height / 8, black), set_pixel(p, x, height * 7 / 8, black);
    for (int y = height / 8; y < height * 7 / 8; ++y) set_pixel(p, width / 8, y, black), set_pixel(p, width * 7 / 8, y, black);
    for (int x = 0; x < height * 3 / 4; ++x) set_pixel(p, width / 8 + x, height * 7 / 8 - x, kBlue);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int dx = x - width * 5 / 8, dy = y - height / 2;
            if (dx * dx + dy * dy < (height / 10) * (height / 10)) set_pixel(p, x, y, kBlue);
        }
    return p;
}

TEST(FitPicture, KeepsTheShapeAndThinLines) {
    // 1280 × 864 into 160 × 160: 160 × 108 in the middle, white strips above and below.
    RgbPicture source = white_picture(1280, 864);
    for (int x = 0; x < 1280; ++x) set_pixel(source, x, 431, kBlue);   // a one-pixel line
    const RgbPicture fitted = fit_picture(source, 160, 160);
    ASSERT_EQ(fitted.width, 160);
    ASSERT_EQ(fitted.height, 160);
    int rows_with_line = 0;
    for (int y = 0; y < 160; ++y) {
        int blue = 0;
        for (int x = 0; x < 160; ++x) blue += pixel(fitted, x, y)[2] == 170 && pixel(fitted, x, y)[0] == 0;
        if (blue == 160) ++rows_with_line;
        else EXPECT_EQ(blue, 0) << "row " << y;
    }
    EXPECT_EQ(rows_with_line, 1);   // the line survives an eightfold reduction, whole
    EXPECT_TRUE(is_white(pixel(fitted, 80, 20)));   // the strip above the picture
    // Pixels twice as high as wide (symbols): the picture takes half as many rows.
    const RgbPicture tall = fit_picture(source, 160, 160, 2.0);
    int first = -1, last = -1;
    for (int y = 0; y < 160; ++y)
        if (!is_white(pixel(tall, 80, y))) (first < 0 ? first : last) = y, last = y;
    EXPECT_EQ(first, last);          // still one row of line
    EXPECT_NEAR(first, 80, 1);       // centred
    // Spread by one pixel: the line is three rows thick.
    const RgbPicture thick = fit_picture(source, 160, 160, 1.0, 1);
    int thick_rows = 0;
    for (int y = 0; y < 160; ++y) thick_rows += !is_white(pixel(thick, 80, y));
    EXPECT_EQ(thick_rows, 3);
    // Nothing to draw from: all white, and no crash.
    EXPECT_TRUE(is_white(pixel(fit_picture(RgbPicture{}, 4, 4), 0, 0)));
    EXPECT_EQ(fit_picture(source, 0, 10).pixels.size(), 0u);
}

TEST(PicturePlacement, TellsWhereTheCanvasLiesInThePicture) {
    // 1280 × 864 in 120 × 39 cells of 8 × 16 pixels: as tall as the area
    // (624 pixels), 924 wide, centred.
    const TerminalGeometry area{120, 39, 8, 16};
    const PicturePlacement image = picture_placement(1280, 864, PlotTarget::Sixel, area);
    EXPECT_EQ(image.top, 0);
    EXPECT_EQ(image.height, 624);
    EXPECT_NEAR(image.width, 1280.0 * 624 / 864, 1);
    EXPECT_NEAR(image.left, (960 - image.width) / 2, 1);
    EXPECT_EQ(image.cell_width, 8);
    // Symbols: 8 × 8 samples a cell, each twice as high as wide.
    const PicturePlacement symbols = picture_placement(1280, 864, PlotTarget::Symbols, area);
    EXPECT_EQ(symbols.cell_height, 8);
    EXPECT_EQ(symbols.height, 39 * 8);
    EXPECT_NEAR(symbols.width, 1280.0 * 39 * 8 / 864 * 2, 2);
    // The drawn picture puts the canvas exactly there.
    RgbPicture source = white_picture(1280, 864);
    for (int y = 0; y < 864; ++y) set_pixel(source, 0, y, kBlue);   // the canvas's left edge
    const RgbPicture drawn = terminal_picture(source, PlotTarget::Sixel, area);
    EXPECT_FALSE(is_white(pixel(drawn, static_cast<int>(image.left), 300)));
    EXPECT_TRUE(is_white(pixel(drawn, static_cast<int>(image.left) - 1, 300)));
    EXPECT_EQ(picture_placement(0, 864, PlotTarget::Sixel, area).width, 0);
}

// Runs a command and returns its standard output.
std::string command_output(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// A binary PPM (P6, maxval 255) as a picture.
RgbPicture read_ppm(const std::string& data) {
    RgbPicture p;
    int maxval = 0, consumed = 0;
    if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &p.width, &p.height, &maxval, &consumed) != 3 || maxval != 255)
        return {};
    const std::size_t bytes = static_cast<std::size_t>(p.width) * p.height * 3;
    if (data.size() < consumed + 1 + bytes) return {};
    p.pixels.assign(data.begin() + consumed + 1, data.begin() + consumed + 1 + static_cast<long>(bytes));
    return p;
}

// The decoded image is the picture for the terminal, colour for colour: the
// canvas scaled to the terminal's cells, the disc and line in blue.
void expect_same_picture(const RgbPicture& decoded, const RgbPicture& expected) {
    ASSERT_EQ(decoded.width, expected.width);
    ASSERT_EQ(decoded.height, expected.height);
    int different = 0, blue = 0;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            const std::uint8_t *a = pixel(decoded, x, y), *b = pixel(expected, x, y);
            different += std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 48;
            blue += b[2] == 170 && a[2] > 120 && a[0] < 60;
        }
    EXPECT_LT(different, expected.width * expected.height / 200) << "more than 0.5 % of the pixels differ";
    EXPECT_GT(blue, 1500);   // the disc (about 1460 pixels) and the line are there, in blue
}

// A scratch file holding `data`, removed with the object.
struct ScratchFile {
    explicit ScratchFile(const std::string& data, const std::string& suffix)
        : path(std::filesystem::temp_directory_path() / ("zeph-" + std::to_string(::getpid()) + suffix)) {
        std::ofstream(path, std::ios::binary) << data;
    }
    ~ScratchFile() { std::filesystem::remove(path); }
    std::string path;
};

const TerminalGeometry kImageArea{.columns = 40, .rows = 18, .cell_width = 8, .cell_height = 16};

// libsixel decodes the sixel image (ImageMagick 6.9.11 reads every sixel as
// black); ImageMagick turns the PNG into a PPM.
TEST(TerminalPicture, SixelDecodesBackToTheCanvasPicture) {
    ASSERT_FALSE(command_output("command -v sixel2png").empty()) << "libsixel-bin is missing";
    ASSERT_FALSE(command_output("command -v convert").empty()) << "ImageMagick is missing";
    const RgbPicture canvas = test_plot(640, 432);
    const std::string sixel = encode_terminal_picture(canvas, PlotTarget::Sixel, kImageArea, true);
    ASSERT_FALSE(sixel.empty());
    EXPECT_EQ(sixel.rfind("\x1bP", 0), 0u) << "a device control string";
    const ScratchFile file(sixel, ".six");
    const RgbPicture decoded = read_ppm(command_output("sixel2png <" + file.path + " | convert png:- -depth 8 ppm:- 2>/dev/null"));
    expect_same_picture(decoded, terminal_picture(canvas, PlotTarget::Sixel, kImageArea));
}

// Kitty graphics: APC commands ESC _ G keys ; base64 ESC \, the first with
// the format (f=32, RGBA) and size, the payload split over chunks (m=1
// while more follow).
TEST(TerminalPicture, KittyImageDecodesBackToTheCanvasPicture) {
    const RgbPicture canvas = test_plot(640, 432);
    const std::string printed = encode_terminal_picture(canvas, PlotTarget::Kitty, kImageArea, true);
    std::string keys, payload;
    bool last_chunk_seen = false;
    for (std::size_t at = printed.find("\x1b_G"); at != std::string::npos; at = printed.find("\x1b_G", at)) {
        const std::size_t end = printed.find("\x1b\\", at);
        ASSERT_NE(end, std::string::npos) << "an unterminated command";
        const std::string command = printed.substr(at + 3, end - at - 3);
        const std::size_t semicolon = command.find(';');
        if (keys.empty()) keys = command.substr(0, semicolon);
        if (semicolon != std::string::npos) payload += command.substr(semicolon + 1);
        last_chunk_seen = command.starts_with("m=0");
        at = end;
    }
    EXPECT_TRUE(last_chunk_seen);
    int width = 0, height = 0;
    ASSERT_EQ(std::sscanf(keys.c_str(), "a=T,f=32,s=%d,v=%d", &width, &height), 2) << keys;
    const std::string rgba = command_output("base64 -d <" + ScratchFile(payload, ".b64").path);
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(width) * height * 4);
    RgbPicture decoded{width, height, {}};
    for (std::size_t i = 0; i < rgba.size(); i += 4) decoded.pixels.insert(decoded.pixels.end(), &rgba[i], &rgba[i + 3]);
    expect_same_picture(decoded, terminal_picture(canvas, PlotTarget::Kitty, kImageArea));
}

// iTerm2 inline images: OSC 1337 ; File=inline=1;... : base64 of an image
// file, ended by BEL. ImageMagick reads the file.
TEST(TerminalPicture, ItermImageDecodesBackToTheCanvasPicture) {
    ASSERT_FALSE(command_output("command -v convert").empty()) << "ImageMagick is missing";
    const RgbPicture canvas = test_plot(640, 432);
    const std::string printed = encode_terminal_picture(canvas, PlotTarget::Iterm, kImageArea, true);
    const std::size_t start = printed.find("\x1b]1337;File=");
    ASSERT_NE(start, std::string::npos);
    const std::size_t colon = printed.find(':', start);
    const std::size_t bell = printed.find('\a', colon);
    ASSERT_NE(bell, std::string::npos);
    EXPECT_NE(printed.substr(start, colon - start).find("inline=1"), std::string::npos);
    const ScratchFile file(printed.substr(colon + 1, bell - colon - 1), ".b64");
    const RgbPicture decoded = read_ppm(command_output("base64 -d <" + file.path + " | convert - -depth 8 ppm:- 2>/dev/null"));
    expect_same_picture(decoded, terminal_picture(canvas, PlotTarget::Iterm, kImageArea));
}

TEST(TerminalPicture, NothingWithoutATerminalTargetOrRoom) {
    const RgbPicture canvas = test_plot(320, 216);
    EXPECT_EQ(encode_terminal_picture(canvas, PlotTarget::Window, kImageArea, true), "");
    EXPECT_EQ(encode_terminal_picture(canvas, PlotTarget::None, kImageArea, true), "");
    EXPECT_EQ(encode_terminal_picture(canvas, PlotTarget::Sixel, {.columns = 0}, true), "");
}

// Each terminal row once, as the characters a terminal shows (escape sequences dropped).
std::vector<std::u32string> shown_rows(const std::string& printed) {
    std::vector<std::u32string> rows(1);
    for (std::size_t i = 0; i < printed.size();) {
        const auto b = static_cast<unsigned char>(printed[i]);
        if (b == 0x1b) {   // CSI ... final byte
            i += 2;
            while (i < printed.size() && !(printed[i] >= 0x40 && printed[i] <= 0x7e)) ++i;
            ++i;
        } else if (b == '\n') {
            rows.emplace_back();
            ++i;
        } else {
            const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t c = length == 1 ? b : b & (0xFF >> (length + 1));
            for (int k = 1; k < length && i + k < printed.size(); ++k) c = (c << 6) | (printed[i + k] & 0x3F);
            rows.back().push_back(c);
            i += static_cast<std::size_t>(length);
        }
    }
    return rows;
}

TEST(TerminalPicture, SymbolsFillTheTerminalAndShowTheFrame) {
    const RgbPicture canvas = test_plot(1280, 864);
    const TerminalGeometry area{.columns = 80, .rows = 50, .cell_width = 8, .cell_height = 16};
    const std::vector<std::u32string> rows = shown_rows(encode_terminal_picture(canvas, PlotTarget::Symbols, area, false));
    ASSERT_EQ(rows.size(), 50u);
    int marked = 0;
    for (const std::u32string& row : rows) {
        EXPECT_EQ(row.size(), 80u);
        for (char32_t c : row) {
            EXPECT_NE(c, U'\u2800') << "an empty cell is a space";
            marked += c != U' ';
        }
    }
    // The picture is 80 × 27 cells in the middle; its frame's top and bottom rows are marked across.
    EXPECT_EQ(std::u32string(rows[0]).find_first_not_of(U' '), std::u32string::npos);
    EXPECT_GT(marked, 2 * 60);
}

TEST(SymbolPicture, ContentBoundsAndCropFindWhatWasDrawn) {
    RgbPicture picture{10, 6, std::vector<std::uint8_t>(10 * 6 * 3, 255)};
    EXPECT_TRUE(content_bounds(picture).empty());
    const auto paint = [&](int x, int y, std::uint8_t grey) { std::fill_n(&picture.pixels[(y * 10 + x) * 3], 3, grey); };
    paint(2, 1, 0);
    paint(7, 4, 200);
    EXPECT_EQ(content_bounds(picture), (PixelRect{2, 1, 6, 4}));
    const RgbPicture part = cropped_picture(picture, content_bounds(picture));
    ASSERT_EQ(part.width, 6);
    ASSERT_EQ(part.height, 4);
    EXPECT_EQ(part.pixels[0], 0);                        // the top-left corner is the black pixel
    EXPECT_EQ(part.pixels[(3 * 6 + 5) * 3], 200);        // the bottom-right one the grey
    EXPECT_EQ(std::count(part.pixels.begin(), part.pixels.end(), 255), 6 * 4 * 3 - 6);
    // Limited to the picture; nothing outside it or from a short picture.
    EXPECT_EQ(cropped_picture(picture, {8, 4, 10, 10}).width, 2);
    EXPECT_TRUE(cropped_picture(picture, {20, 20, 5, 5}).pixels.empty());
    EXPECT_TRUE(cropped_picture(RgbPicture{10, 6, {}}, {0, 0, 5, 5}).pixels.empty());
    EXPECT_TRUE(content_bounds(RgbPicture{10, 6, {}}).empty());
}

TEST(SymbolPicture, TextsAreWrittenAtTheirCellsInTheirColours) {
    const std::vector<CellText> texts{
        {0, 36, U"Signal A", RgbColour{0, 0, 170}, false},
        {8, 3, U"Vµ", RgbColour{0, 0, 0}, true},
    };
    EXPECT_EQ(symbol_texts(texts, true),
              "\x1b[38;2;0;0;170;48;2;255;255;255m\x1b[1;37HSignal A"
              "\x1b[38;2;0;0;0;48;2;255;255;255m\x1b[9;4HV\x1b[10;4H\xc2\xb5\x1b[0m");
    // 256 colours: the nearest of the cube (0, 0, 175 for 0, 0, 170) or of the grey ramp, on the cube's white.
    const std::string indexed = symbol_texts(texts, false);
    EXPECT_NE(indexed.find("\x1b[38;5;19;48;5;231m\x1b[1;37HSignal A"), std::string::npos) << indexed;
    EXPECT_NE(indexed.find("\x1b[38;5;16;48;5;231m"), std::string::npos) << indexed;
    const std::vector<CellText> grey{{0, 0, U"g", RgbColour{85, 85, 85}, false}};
    EXPECT_NE(symbol_texts(grey, false).find("38;5;240;"), std::string::npos) << symbol_texts(grey, false);
    EXPECT_EQ(symbol_texts({}, false), "");
}

TEST(OutputCapture, KeepsLibraryTextOffTheTerminal) {
    OutputCapture capture;
    ASSERT_TRUE(capture.start());
    std::fprintf(stderr, "error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n");
    std::printf("Not a valid error number (-1).\n");   // buffered: taken only after a flush
    EXPECT_TRUE(capture.capturing());
    EXPECT_EQ(capture.take(),
              "error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n"
              "Not a valid error number (-1).\n");
    EXPECT_EQ(capture.take(), "");   // taken once
    capture.stop();
    EXPECT_FALSE(capture.capturing());
    EXPECT_EQ(terminal_output_fd(), 1);   // no console: the terminal is standard output
}

TEST(DisplayComplaint, IsTheFirstLineThatGivesAReason) {
    EXPECT_EQ(display_complaint("\nAuthorization required, but no authorization protocol specified\n\n"
                                "error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n"),
              "Authorization required, but no authorization protocol specified");
    // The wayland probe's notice alone is no reason.
    EXPECT_EQ(display_complaint("error: XDG_RUNTIME_DIR is invalid or not set in the environment.\n"), "");
    EXPECT_EQ(display_complaint("bad\x07 \t\nsecond"), "bad");
    EXPECT_EQ(display_complaint("a\tb"), "a b");
    EXPECT_EQ(display_complaint(""), "");
}

}  // namespace
}  // namespace zeph
