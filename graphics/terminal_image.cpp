#include "graphics/terminal_image.hpp"
#include "console/terminal_input.hpp"

#include <csignal>

#include <chafa.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "base/utf8.hpp"
#include "console/output_capture.hpp"
#include "console/terminal.hpp"

namespace zeph {

namespace {

constexpr int kSymbolSamples = 8;   // libchafa's pixels across and down one cell
// Lines drawn this many samples wider on each side for symbols, so that they
// fill enough of a cell to be drawn in the line's colour.
constexpr int kSymbolLineSpread = 1;
constexpr float kWorkFactor = 0.2f;   // libchafa's default is 0.5
constexpr int kFallbackCellWidth = 8, kFallbackCellHeight = 16;
constexpr std::uint8_t kWhiteByte = 255;

// How much a pixel stands out from the white background: a coloured pixel
// (a curve) above a grey or black one (grid, frame, text), and among those
// the darker first.
int weight(const std::uint8_t* p) {
    const int saturation = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
    const int darkness = 8 * 255 - (2 * p[0] + 5 * p[1] + p[2]);
    return saturation > 48 ? (1 << 16) + saturation * 8 + darkness : darkness;
}

// The source pixels [first, last) covered by target pixel `i` of `count`
// across `span` source pixels: at least one.
std::pair<int, int> covered(int i, int count, int span) {
    const int first = static_cast<int>(static_cast<long long>(i) * span / count);
    const int last = static_cast<int>(static_cast<long long>(i + 1) * span / count);
    return {std::min(first, span - 1), std::max(last, first + 1)};
}

struct ChafaConfig {
    ChafaCanvasConfig* config = chafa_canvas_config_new();
    ChafaSymbolMap* symbols = nullptr;
    ~ChafaConfig() {
        if (symbols) chafa_symbol_map_unref(symbols);
        chafa_canvas_config_unref(config);
    }
};

ChafaPixelMode pixel_mode(PlotTarget target) {
    switch (target) {
        case PlotTarget::Sixel: return CHAFA_PIXEL_MODE_SIXELS;
        case PlotTarget::Kitty: return CHAFA_PIXEL_MODE_KITTY;
        case PlotTarget::Iterm: return CHAFA_PIXEL_MODE_ITERM2;
        default: return CHAFA_PIXEL_MODE_SYMBOLS;
    }
}

// The environment's terminal as libchafa knows it, with libchafa's fallback
// sequences for whatever it does not know.
ChafaTermInfo* detected_term_info() {
    ChafaTermDb* db = chafa_term_db_get_default();
    gchar** environment = g_get_environ();
    ChafaTermInfo* info = chafa_term_db_detect(db, environment);
    g_strfreev(environment);
    ChafaTermInfo* fallback = chafa_term_db_get_fallback_info(db);
    chafa_term_info_supplement(info, fallback);
    chafa_term_info_unref(fallback);
    return info;
}

bool is_terminal_target(PlotTarget target) {
    return target == PlotTarget::Sixel || target == PlotTarget::Kitty || target == PlotTarget::Iterm ||
           target == PlotTarget::Symbols;
}

// Widens what stands out in a picture by `spread` pixels on every side: each
// pixel takes the strongest of its neighbours, along rows and then columns.
void spread_lines(RgbPicture& picture, int spread) {
    const int w = picture.width, h = picture.height;
    std::vector<std::uint8_t> from;
    const auto pass = [&](int count, int lines, int step, int line_step) {
        from = picture.pixels;
        for (int line = 0; line < lines; ++line) {
            for (int i = 0; i < count; ++i) {
                const std::uint8_t* best = nullptr;
                int best_weight = -1;
                for (int k = std::max(i - spread, 0); k <= std::min(i + spread, count - 1); ++k) {
                    const std::uint8_t* p = &from[(static_cast<std::size_t>(line) * line_step + static_cast<std::size_t>(k) * step) * 3];
                    if (const int wk = weight(p); wk > best_weight) best_weight = wk, best = p;
                }
                std::copy(best, best + 3,
                          &picture.pixels[(static_cast<std::size_t>(line) * line_step + static_cast<std::size_t>(i) * step) * 3]);
            }
        }
    };
    pass(w, h, 1, w);   // along each row
    pass(h, w, w, 1);   // along each column
}

}  // namespace

namespace {
// Where fit_picture puts a source of source_width × source_height pixels in
// a width × height picture whose pixels are `pixel_aspect` times as wide as high.
PixelRect fitted_placement(int source_width, int source_height, int width, int height, double pixel_aspect) {
    // In square units: the target is width·aspect × height.
    const double scale = std::min(width * pixel_aspect / source_width, static_cast<double>(height) / source_height);
    const int w = std::clamp(static_cast<int>(std::lround(source_width * scale / pixel_aspect)), 1, width);
    const int h = std::clamp(static_cast<int>(std::lround(source_height * scale)), 1, height);
    return {(width - w) / 2, (height - h) / 2, w, h};
}
}  // namespace

RgbPicture fit_picture(const RgbPicture& source, int width, int height, double pixel_aspect, int spread) {
    RgbPicture out{std::max(width, 0), std::max(height, 0), {}};
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height * 3, kWhiteByte);
    if (source.width <= 0 || source.height <= 0 || out.width == 0 || out.height == 0 || !(pixel_aspect > 0) ||
        source.pixels.size() < static_cast<std::size_t>(source.width) * source.height * 3)
        return out;
    const PixelRect placed = fitted_placement(source.width, source.height, out.width, out.height, pixel_aspect);
    const int w = placed.width, h = placed.height, left = placed.x, top = placed.y;
    std::vector<std::pair<int, int>> columns(static_cast<std::size_t>(w));
    for (int x = 0; x < w; ++x) columns[x] = covered(x, w, source.width);
    for (int y = 0; y < h; ++y) {
        const auto [row_first, row_last] = covered(y, h, source.height);
        std::uint8_t* target = &out.pixels[(static_cast<std::size_t>(top + y) * out.width + left) * 3];
        for (int x = 0; x < w; ++x, target += 3) {
            const std::uint8_t* strongest = nullptr;
            int strongest_weight = -1;
            for (int sy = row_first; sy < row_last; ++sy) {
                const std::uint8_t* p =
                    &source.pixels[(static_cast<std::size_t>(sy) * source.width + columns[x].first) * 3];
                for (int sx = columns[x].first; sx < columns[x].second; ++sx, p += 3) {
                    const int wp = weight(p);
                    if (wp > strongest_weight) strongest_weight = wp, strongest = p;
                }
            }
            std::copy(strongest, strongest + 3, target);
        }
    }
    if (spread > 0) spread_lines(out, spread);
    return out;
}

TerminalGeometry bounded_geometry(TerminalGeometry area) {
    constexpr int kLargestCellWidth = 64, kLargestCellHeight = 128, kLargestSide = 4096;
    area.columns = std::clamp(area.columns, 1, kLargestSide);
    area.rows = std::clamp(area.rows, 1, kLargestSide);
    if (area.cell_width <= 0 || area.cell_height <= 0 || area.cell_width > kLargestCellWidth ||
        area.cell_height > kLargestCellHeight)
        area.cell_width = kFallbackCellWidth, area.cell_height = kFallbackCellHeight;
    area.cell_width = std::max(1, std::min(area.cell_width, kLargestSide / area.columns));
    area.cell_height = std::max(1, std::min(area.cell_height, kLargestSide / area.rows));
    return area;
}

RgbPicture terminal_picture(const RgbPicture& canvas_picture, PlotTarget target, const TerminalGeometry& area) {
    if (target == PlotTarget::Symbols) {
        const double aspect = static_cast<double>(area.cell_width) / std::max(area.cell_height, 1);
        return fit_picture(canvas_picture, area.columns * kSymbolSamples, area.rows * kSymbolSamples, aspect,
                           kSymbolLineSpread);
    }
    return fit_picture(canvas_picture, area.columns * area.cell_width, area.rows * area.cell_height);
}

PicturePlacement picture_placement(int width, int height, PlotTarget target, const TerminalGeometry& requested) {
    const TerminalGeometry area = bounded_geometry(requested);
    const bool symbols = target == PlotTarget::Symbols;
    const int cell_w = symbols ? kSymbolSamples : area.cell_width, cell_h = symbols ? kSymbolSamples : area.cell_height;
    const double aspect = symbols ? static_cast<double>(area.cell_width) / std::max(area.cell_height, 1) : 1.0;
    if (width <= 0 || height <= 0) return {};
    const PixelRect placed = fitted_placement(width, height, area.columns * cell_w, area.rows * cell_h, aspect);
    return {double(placed.x), double(placed.y), double(placed.width), double(placed.height), double(cell_w),
            double(cell_h)};
}

PixelRect content_bounds(const RgbPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < static_cast<std::size_t>(picture.width) * picture.height * 3)
        return {};
    int left = picture.width, right = -1, top = picture.height, bottom = -1;
    const std::uint8_t* p = picture.pixels.data();
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x, p += 3) {
            if (p[0] == kWhiteByte && p[1] == kWhiteByte && p[2] == kWhiteByte) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return {};
    return {left, top, right - left + 1, bottom - top + 1};
}

RgbPicture cropped_picture(const RgbPicture& picture, const PixelRect& rect) {
    if (picture.pixels.size() < static_cast<std::size_t>(std::max(picture.width, 0)) * std::max(picture.height, 0) * 3)
        return {};
    const PixelRect r = rect.intersected({0, 0, picture.width, picture.height});
    if (r.empty()) return {};
    RgbPicture out{r.width, r.height, std::vector<std::uint8_t>(static_cast<std::size_t>(r.width) * r.height * 3)};
    for (int y = 0; y < r.height; ++y) {
        const auto from = picture.pixels.begin() +
                          static_cast<std::ptrdiff_t>((static_cast<std::size_t>(r.y + y) * picture.width + r.x) * 3);
        std::copy_n(from, static_cast<std::size_t>(r.width) * 3,
                    out.pixels.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(y) * r.width * 3));
    }
    return out;
}

namespace {

// The nearest colour of the 256-colour palette's 6 × 6 × 6 cube and grey
// ramp (16..255; the 16 system colours differ between terminals).
int palette_index(RgbColour c) {
    constexpr int kLevels[6] = {0, 95, 135, 175, 215, 255};
    const auto level = [&](int v) {
        int best = 0;
        for (int i = 1; i < 6; ++i)
            if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) best = i;
        return best;
    };
    const int r = level(c.red), g = level(c.green), b = level(c.blue);
    const auto distance = [&](int rr, int gg, int bb) {
        return (rr - c.red) * (rr - c.red) + (gg - c.green) * (gg - c.green) + (bb - c.blue) * (bb - c.blue);
    };
    const int cube = 16 + 36 * r + 6 * g + b;
    // The ramp's greys are 8 + 10·step for steps 0..23: the nearest step of the mean.
    const int grey_step = std::clamp((c.red + c.green + c.blue) / 3 - 8 + 5, 0, 239) / 10;
    const int grey = 8 + 10 * grey_step;
    return distance(grey, grey, grey) < distance(kLevels[r], kLevels[g], kLevels[b]) ? 232 + grey_step : cube;
}

std::string colour_sequence(RgbColour c, bool truecolour) {
    if (truecolour)
        return "\x1b[38;2;" + std::to_string(c.red) + ';' + std::to_string(c.green) + ';' + std::to_string(c.blue) +
               ";48;2;255;255;255m";
    return "\x1b[38;5;" + std::to_string(palette_index(c)) + ";48;5;231m";
}

// The smallest rectangle holding both (an empty one holds nothing).
PixelRect united(const PixelRect& a, const PixelRect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    return {left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top};
}

std::string cursor_to(int row, int column) {   // 0-based cell
    return "\x1b[" + std::to_string(row + 1) + ';' + std::to_string(column + 1) + 'H';
}

}  // namespace

std::string symbol_texts(std::span<const CellText> texts, bool truecolour) {
    std::string out;
    for (const CellText& t : texts) {
        out += colour_sequence(t.colour, truecolour);
        if (!t.vertical) out += cursor_to(t.row, t.column);
        for (std::size_t i = 0; i < t.characters.size(); ++i) {
            if (t.vertical) out += cursor_to(t.row + static_cast<int>(i), t.column);
            append_utf8(out, t.characters[i]);
        }
    }
    if (!out.empty()) out += "\x1b[0m";
    return out;
}

std::string encode_terminal_picture(const RgbPicture& canvas_picture, PlotTarget target,
                                    const TerminalGeometry& requested, bool truecolour) {
    if (!is_terminal_target(target) || requested.columns <= 0 || requested.rows <= 0) return {};
    const TerminalGeometry area = bounded_geometry(requested);
    const RgbPicture picture = terminal_picture(canvas_picture, target, area);
    if (picture.width <= 0 || picture.height <= 0) return {};

    ChafaConfig c;
    chafa_canvas_config_set_geometry(c.config, area.columns, area.rows);
    chafa_canvas_config_set_cell_geometry(c.config, area.cell_width, area.cell_height);
    chafa_canvas_config_set_pixel_mode(c.config, pixel_mode(target));
    chafa_canvas_config_set_preprocessing_enabled(c.config, FALSE);   // keep the plot's colours
    chafa_canvas_config_set_dither_mode(c.config, CHAFA_DITHER_MODE_NONE);
    // Less search for the best symbol: a pan must redraw quickly, and plots are lines on white.
    chafa_canvas_config_set_work_factor(c.config, kWorkFactor);
    if (target == PlotTarget::Symbols) {
        chafa_canvas_config_set_canvas_mode(
            c.config, truecolour ? CHAFA_CANVAS_MODE_TRUECOLOR : CHAFA_CANVAS_MODE_INDEXED_240);
        // Blocks and braille: a one-pixel line still covers part of a cell.
        c.symbols = chafa_symbol_map_new();
        chafa_symbol_map_add_by_tags(c.symbols, static_cast<ChafaSymbolTags>(
                                                    CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE |
                                                    CHAFA_SYMBOL_TAG_BRAILLE));
        chafa_symbol_map_remove_by_range(c.symbols, 0x2800, 0x2800);   // the empty braille cell: a space instead
        chafa_canvas_config_set_symbol_map(c.config, c.symbols);
    } else {
        chafa_canvas_config_set_canvas_mode(c.config, CHAFA_CANVAS_MODE_TRUECOLOR);
    }
    ChafaCanvas* canvas = chafa_canvas_new(c.config);
    if (!canvas) return {};
    chafa_canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGB8, picture.pixels.data(), picture.width, picture.height,
                                 picture.width * 3);
    ChafaTermInfo* info = detected_term_info();
    GString* printed = chafa_canvas_print(canvas, info);
    std::string bytes = printed ? std::string(printed->str, printed->len) : std::string{};
    if (printed) g_string_free(printed, TRUE);
    chafa_term_info_unref(info);
    chafa_canvas_unref(canvas);
    return bytes;
}

// --- The screen ---------------------------------------------------------------

namespace {
// A plot has switched mouse reporting on (read by the crash path).
volatile std::sig_atomic_t g_mouse_reporting = false;
}  // namespace

TerminalPlotScreen::TerminalPlotScreen(TerminalPresenter& console) : console_(console) {
    const char* colour_term = std::getenv("COLORTERM");
    truecolour_ = colour_term && (std::string_view(colour_term) == "truecolor" ||
                                  std::string_view(colour_term) == "24bit");
}

TerminalPlotScreen::~TerminalPlotScreen() { end(); }

void TerminalPlotScreen::probe(int timeout_ms) {
    // The text area's size first; the device attributes answer, which every
    // terminal gives, marks the end of what is coming.
    write_out("\x1b[14t\x1b[c");
    std::string input;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (const auto attributes = parse_device_attributes(input)) {
            sixel_ = attributes_list_sixel(*attributes);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                               std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd request{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&request, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) break;
        input.append(buffer, static_cast<std::size_t>(n));
    }
    if (const auto pixels = parse_text_area_pixels(input)) probed_pixels_ = *pixels;
}

TerminalGeometry TerminalPlotScreen::geometry() const {
    TerminalGeometry g;
    winsize size{};
    if (::ioctl(terminal_output_fd(), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        g.columns = size.ws_col;
        g.rows = size.ws_row;
    }
    int width = size.ws_xpixel, height = size.ws_ypixel;
    if (width <= 0 || height <= 0) width = probed_pixels_.width, height = probed_pixels_.height;
    g.cell_width = width > 0 ? width / g.columns : 0;
    g.cell_height = height > 0 ? height / g.rows : 0;
    return bounded_geometry(g);
}

void TerminalPlotScreen::begin(PlotTarget target) {
    if (!is_terminal_target(target)) return;
    target_ = target;
    active_ = true;
    waiting_ = false;
    picture_ = {};
    shown_ = {};
    write_out(std::string("\x1b[0m\x1b[?25l\x1b[2J") + kMouseReportingOn);
    g_mouse_reporting = true;
    // A new terminal size: the picture again, at that size.
    console_.set_resize_hook([this] {
        write_out("\x1b[0m\x1b[2J");
        waiting_ = !picture_.pixels.empty();
        present_now();
    });
}

void TerminalPlotScreen::show(const GraphicsCanvas& canvas) {
    if (!active_) return;
    picture_.width = canvas.width();
    picture_.height = canvas.height();
    picture_.pixels = canvas.rgb_pixels();
    if (target_ == PlotTarget::Symbols) {
        // The part shown only grows while the plot is up: a pan never rescales it.
        shown_ = united(shown_, content_bounds(picture_));
        picture_.pixels = canvas.pixels_without_texts();
        texts_.clear();
        for (const CanvasText& t : canvas.texts())
            texts_.push_back({t.text, t.colour, t.placement, t.angle, t.width, t.height, {}});
    }
    waiting_ = true;
}

// The whole pane: each row cleared, the picture's rows at their cells, then the texts.
std::string TerminalPlotScreen::symbol_screen(const TerminalGeometry& area) const {
    const PixelRect shown = shown_part();
    const CellRect cells = symbol_cells(area);
    TerminalGeometry picture_area = area;
    picture_area.columns = cells.columns;
    picture_area.rows = cells.rows;
    const std::string encoded =
        encode_terminal_picture(cropped_picture(picture_, shown), PlotTarget::Symbols, picture_area, truecolour_);
    std::string out;
    out.reserve(encoded.size() + 16 * static_cast<std::size_t>(area.rows) + 64 * texts_.size());
    std::size_t start = 0;
    for (int row = 0; row < area.rows; ++row) {
        out += "\x1b[0m" + cursor_to(row, 0) + "\x1b[2K";
        if (row < cells.row || row >= cells.row + cells.rows || start > encoded.size()) continue;
        const std::size_t end = std::min(encoded.find('\n', start), encoded.size());
        out += cursor_to(row, cells.column);
        out.append(encoded, start, end - start);
        start = end + 1;
    }
    out += "\x1b[0m";
    out += symbol_texts(place_texts(texts_, shown, cells, area.columns, area.rows), truecolour_);
    return out;
}

void TerminalPlotScreen::present_now() {
    if (!active_ || !waiting_) return;
    waiting_ = false;
    const TerminalGeometry area = picture_area();
    status_shown_ = false;
    if (target_ == PlotTarget::Symbols) {
        write_out(symbol_screen(area));
        return;
    }
    const std::string encoded = encode_terminal_picture(picture_, target_, area, truecolour_);
    std::string out;
    if (target_ == PlotTarget::Kitty) out += "\x1b_Ga=d\x1b\\";   // the previous image goes
    out += "\x1b[H";
    out += encoded;
    write_out(out);
}

void TerminalPlotScreen::end() {
    if (!active_) return;
    active_ = false;
    waiting_ = false;
    std::string out = "\x1b[0m";
    if (target_ == PlotTarget::Kitty) out += "\x1b_Ga=d\x1b\\";
    out += "\x1b[2J\x1b[?25h";
    out += kMouseReportingOff;
    write_out(out);
    g_mouse_reporting = false;
    status_shown_ = false;
    console_.set_resize_hook(nullptr);
    console_.repaint();
}

// The area the picture is drawn in: the terminal less its bottom row, which
// holds the pointer's coordinates (and where an image reaching it would
// scroll the screen when the cursor moves below it).
TerminalGeometry TerminalPlotScreen::picture_area() const {
    TerminalGeometry area = geometry();
    area.rows = std::max(1, area.rows - 1);
    return area;
}

// The part of the canvas shown: for symbols the part the plot drew on, else all of it.
PixelRect TerminalPlotScreen::shown_part() const {
    if (target_ == PlotTarget::Symbols && !shown_.empty()) return shown_;
    return {0, 0, picture_.width, picture_.height};
}

// The cells the symbol picture takes in `area`.
CellRect TerminalPlotScreen::symbol_cells(const TerminalGeometry& area) const {
    const PixelRect shown = shown_part();
    const double aspect = static_cast<double>(area.cell_width) / std::max(area.cell_height, 1);
    return picture_cells(shown.width, shown.height, area.columns, area.rows, aspect);
}

std::optional<std::pair<double, double>> TerminalPlotScreen::canvas_point(double column, double row) const {
    if (!active_ || picture_.width <= 0 || picture_.height <= 0) return std::nullopt;
    TerminalGeometry area = picture_area();
    const PixelRect part = shown_part();
    if (target_ == PlotTarget::Symbols) {   // the picture's own cells, somewhere in the pane
        const CellRect cells = symbol_cells(area);
        column -= cells.column, row -= cells.row;
        area.columns = cells.columns, area.rows = cells.rows;
    }
    const PicturePlacement placed = picture_placement(part.width, part.height, target_, area);
    if (placed.width <= 0 || placed.height <= 0) return std::nullopt;
    const double x = (column * placed.cell_width - placed.left) * part.width / placed.width;
    const double y = (row * placed.cell_height - placed.top) * part.height / placed.height;
    if (x < 0 || y < 0 || x > part.width || y > part.height) return std::nullopt;
    return std::pair<double, double>{part.x + x, part.y + y};
}

void TerminalPlotScreen::show_status_row(const std::string& text) {
    if (!active_ || (text.empty() && !status_shown_)) return;
    const TerminalGeometry area = geometry();
    std::string row = text.substr(0, static_cast<std::size_t>(std::max(area.columns - 1, 0)));
    write_out("\x1b[" + std::to_string(area.rows) + ";1H\x1b[0m\x1b[2K" + row);
    status_shown_ = !text.empty();
}

void switch_mouse_reporting_off_now() {
    if (!g_mouse_reporting) return;
    const std::string_view off = kMouseReportingOff;
    [[maybe_unused]] const ssize_t written = ::write(terminal_output_fd(), off.data(), off.size());
}

void TerminalPlotScreen::write_out(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(terminal_output_fd(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (errno == EAGAIN) {
                pollfd request{terminal_output_fd(), POLLOUT, 0};
                ::poll(&request, 1, 100);
                continue;
            }
            return;   // the terminal has gone away
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace zeph
