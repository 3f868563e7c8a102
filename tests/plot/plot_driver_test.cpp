// The plot driver off screen: layout, view limits, thinning, wrap, modulo,
// polar graphs, panning, overlays, the point file and every failure.
#include "plot/plot_driver.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/key_source.hpp"

namespace zeph {
namespace {

constexpr RgbColour kWhite{255, 255, 255};
constexpr RgbColour kBlue = rgb_from_hex(0x0000AA);
constexpr RgbColour kGreen = rgb_from_hex(0x00AA00);
constexpr RgbColour kRed = rgb_from_hex(0xAA0000);

struct Beep {
    int hz, ms;
    bool operator==(const Beep&) const = default;
};

// Remembers the moves and lines handed to the recorder, and its end.
struct PathRecorder : DrawingRecorder {
    std::vector<WorldPoint> moves, lines;
    std::vector<char> order;          // 'm' or 'l'
    std::vector<WorldPoint> path;     // the points of both, in order
    int ends = 0;
    void begin(int) override {}
    void world_window(const WorldRect&) override {}
    void clear(RgbColour) override {}
    void clip_rect(WorldPoint, WorldPoint) override {}
    void pen(const PenState&) override {}
    void move_to(WorldPoint p) override { moves.push_back(p), order.push_back('m'), path.push_back(p); }
    void line_to(WorldPoint p) override { lines.push_back(p), order.push_back('l'), path.push_back(p); }
    void filled_polygon(std::span<const WorldPoint>) override {}
    void text_align(HorizontalAlign, VerticalAlign) override {}
    void font(const FontChoice&) override {}
    void text(WorldPoint, std::string_view) override {}
    void end() override { ++ends; }
};

struct Point {
    double x, y;
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        dir_ = std::filesystem::temp_directory_path() /
               ("zplot" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
        call_.window_width = 320;
        call_.window_height = 240;
        memory_.screen_save.resize(screen_save_bytes(320, 240));
        settings_.line_colour = 1;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Evenly spaced points 0, 1, 2, ... with the given values.
    void set_curve(std::vector<double> y) {
        y_ = std::move(y);
        data_ = {};
        data_.y = y_;
    }
    void set_xy(std::vector<double> x, std::vector<double> y) {
        x_ = std::move(x);
        y_ = std::move(y);
        data_ = {};
        data_.y = y_;
        data_.x = x_;
        data_.evenly_spaced = false;
    }
    void set_range(double x_min, double x_max, double y_min, double y_max) {
        settings_.x_min = x_min, settings_.x_max = x_max, settings_.y_min = y_min, settings_.y_max = y_max;
    }
    void export_points() {
        settings_.data_export = 1;
        settings_.data_export_file = path("points.txt");
    }
    void press(std::initializer_list<int> keys) {
        for (int key : keys) input_.push_back({key, std::nullopt});
    }
    void press_extended(int code) { press({kKeyExtended, code}); }
    void gesture(const PointerGesture& g) { input_.push_back({-1, g}); }

    Status plot() {
        PlotIo io;
        io.read_input = [this] { return io_read_input_(); };
        io.read_key = [this] {
            const PlotInput next = io_read_input_();
            return next.pointer ? -1 : next.key;
        };
        io.show_readout = [this](const std::string& text) { readouts_.push_back(text); };
        io.picked = [this](const std::string& text) { picked_.push_back(text); };
        io.beep = [this](int hz, int ms) { beeps_.push_back({hz, ms}); };
        io.show = [this](const GraphicsCanvas& canvas) { shown_.push_back(canvas.rgb_pixels()); };
        return plot_driver(painter_, data_, settings_, call_, memory_, io);
    }

    std::vector<Point> exported() const {
        std::vector<Point> points;
        std::ifstream in(path("points.txt"));
        for (std::string line; std::getline(in, line);) {
            EXPECT_EQ(line.size(), 29u) << line;
            EXPECT_EQ(line[14], ',') << line;
            points.push_back({std::stod(line.substr(0, 14)), std::stod(line.substr(15))});
        }
        return points;
    }

    int count_colour(RgbColour colour) const {
        int n = 0;
        for (int y = 0; y < canvas_.height(); ++y)
            for (int x = 0; x < canvas_.width(); ++x) n += canvas_.pixel(x, y) == colour;
        return n;
    }

    std::filesystem::path dir_;
    GraphicsCanvas canvas_{1, 1};
    Painter painter_{canvas_};
    PlotSettings settings_;
    PlotCall call_;
    PlotMemory memory_;
    PlotData data_;
    std::vector<double> x_, y_;
    PlotInput io_read_input_() {
        ++reads_;
        if (input_.empty()) return PlotInput{kKeyEscape, std::nullopt};
        const PlotInput next = input_.front();
        input_.pop_front();
        return next;
    }

    std::deque<PlotInput> input_;
    std::vector<std::string> readouts_, picked_;
    int reads_ = 0;
    std::vector<Beep> beeps_;
    std::vector<std::vector<std::uint8_t>> shown_;
};

TEST(PointFile, EachValueKeepsFourteenCharactersAndSixDecimals) {
    EXPECT_EQ(point_file_line(0, -2000000000), "      0.000000, -2.000000E+09\n");
    const struct {
        double value;
        const char* field;
    } cases[] = {
        {9999999.999999, "9999999.999999"},   {-999999.999999, "-999999.999999"},   // the last plain ones
        {10000000, "  1.000000E+07"},          {-1000000, " -1.000000E+06"},
        {1.5, "      1.500000"},               {-1.7976931348623157e308, "-1.797693E+308"},
        {1e300, " 1.000000E+300"},             {9999999.9999996, "  1.000000E+07"},   // rounds past the width
    };
    for (const auto& c : cases) EXPECT_EQ(point_file_field(c.value), c.field) << c.value;
}

TEST(PlotLayout, FrameFollowsTheAspectRatio) {
    PlotSettings s;
    PlotLayout layout = plot_layout(s);
    EXPECT_DOUBLE_EQ(layout.frame.width, 13000);
    EXPECT_DOUBLE_EQ(layout.frame.height, 10000);
    EXPECT_DOUBLE_EQ(layout.window.x_min, -3500);
    EXPECT_NEAR(layout.window.x_max, 14166.67, 0.01);
    EXPECT_DOUBLE_EQ(layout.window.y_min, -2150);
    EXPECT_DOUBLE_EQ(layout.window.y_max, 11100);
    s.aspect_ratio = 2;
    layout = plot_layout(s);
    EXPECT_DOUBLE_EQ(layout.frame.width, 13000);
    EXPECT_DOUBLE_EQ(layout.frame.height, 6500);
    s.graph_type = 2;
    layout = plot_layout(s);
    EXPECT_DOUBLE_EQ(layout.frame.width, 10000);
    EXPECT_DOUBLE_EQ(layout.frame.height, 10000);
    s = {};
    s.aspect_ratio = -4;   // nonsense: the default
    EXPECT_DOUBLE_EQ(plot_layout(s).frame.width, 13000);
}

TEST(PlotView, LogarithmicAxesSpanWholeDecadesFromTheLowerLimit) {
    PlotSettings s;
    s.x_divisions = s.y_divisions = 0;
    s.x_min = 1, s.x_max = 95, s.y_min = 2, s.y_max = 5000;
    PlotView view;
    ASSERT_TRUE(plot_view(s, asked_limits(s), view).ok);
    EXPECT_EQ(view.x.divisions, 2);
    EXPECT_DOUBLE_EQ(view.x.lo, 0);
    EXPECT_DOUBLE_EQ(view.x.hi, 2);
    EXPECT_TRUE(view.x.logarithmic);
    EXPECT_EQ(view.y.divisions, 3);                       // 2 .. 2000
    EXPECT_NEAR(view.y.hi, std::log10(2000.0), 1e-12);
    s.x_max = 900;                                        // log10(900) + 0.1 truncates to 3
    ASSERT_TRUE(plot_view(s, asked_limits(s), view).ok);
    EXPECT_EQ(view.x.divisions, 3);
    s.x_max = 5;                                          // no whole decade
    EXPECT_EQ(plot_view(s, asked_limits(s), view).message, kSpanError);
}

TEST(PlotView, PolarViewIsASquareAroundTheRadius) {
    PlotSettings s;
    s.graph_type = 1;
    s.x_min = 0, s.x_max = 6.3, s.y_min = 0, s.y_max = 4;
    PlotView view;
    ASSERT_TRUE(plot_view(s, asked_limits(s), view).ok);
    EXPECT_EQ(view.x.lo, -4);
    EXPECT_EQ(view.x.hi, 4);
    EXPECT_EQ(view.y.lo, -4);
    EXPECT_EQ(view.y.hi, 4);
}

TEST_F(DriverTest, EveryFailureHasItsMessageAndClosesTheCanvas) {
    set_curve({1, 2, 3});
    PathRecorder recorder;
    painter_.set_recorder(&recorder);
    const auto failure_of = [&](auto change) {
        settings_ = {};
        set_range(1, 10, 1, 10);
        call_.window_width = 320;
        memory_.screen_save.resize(screen_save_bytes(320, 240));
        change();
        recorder.ends = 0;
        const Status s = plot();
        EXPECT_EQ(recorder.ends, s.ok ? 1 : (s.message == kGraphicsInitError ? 0 : 1)) << s.message;
        return s.message;
    };
    EXPECT_EQ(failure_of([] {}), "");
    EXPECT_EQ(failure_of([&] { call_.window_width = 1; }), kGraphicsInitError);
    EXPECT_EQ(failure_of([&] { settings_.graph_type = 1, settings_.x_divisions = 0; }), kPolarLogError);
    EXPECT_EQ(failure_of([&] { settings_.x_divisions = 0, settings_.x_min = 0; }), kLogXError);
    EXPECT_EQ(failure_of([&] { settings_.y_divisions = 0, settings_.y_min = -1; }), kLogYError);
    EXPECT_EQ(failure_of([&] { settings_.graph_type = 2, settings_.y_divisions = 0; }), "");
    EXPECT_EQ(failure_of([&] { settings_.y_max = settings_.y_min; }), kSpanError);
    EXPECT_EQ(failure_of([&] { memory_.screen_save.resize(1000); }), kScreenSaveTooSmall + "    230404");
}

TEST_F(DriverTest, PanningALogarithmicLimitBelowZeroEndsThePlot) {
    set_curve({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    set_range(1, 100, 1, 10);
    settings_.x_divisions = 0;
    press_extended(kKeyLeft);    // -23.75 .. 75.25
    EXPECT_EQ(plot().message, kLogXError);
    EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(DriverTest, DefaultFrameLiesOnTheExpectedPixels) {
    call_.window_width = 640;
    call_.window_height = 480;
    memory_.screen_save.resize(screen_save_bytes(640, 480));
    settings_.axes_colour = 4;
    set_curve({0.8, 0.8});
    set_range(0, 1, 0, 1);
    ASSERT_TRUE(plot().ok);
    // The world window is 17666.67 × 13250 units from (-3500, -2150) over 639 × 479 pixel steps.
    const auto column = [](double x) { return static_cast<int>(std::lround((x + 3500) * 639 / 17666.66666667)); };
    const auto row = [](double y) { return 479 - static_cast<int>(std::lround((y + 2150) * 479 / 13250.0)); };
    const int left = column(0), right = column(13000), bottom = row(0), top = row(10000);
    for (int y = top; y <= bottom; ++y) {
        if (y == row(8000)) continue;   // the curve starts on the frame
        EXPECT_EQ(canvas_.pixel(left, y), kRed) << y;
    }
    for (int x = left; x <= right; ++x) EXPECT_EQ(canvas_.pixel(x, bottom), kRed) << x;
    // One pixel wide, between the grid lines and ticks.
    EXPECT_NE(canvas_.pixel(left + 1, row(1550)), kRed);
    EXPECT_NE(canvas_.pixel(left - 1, row(1550)), kRed);
    EXPECT_NE(canvas_.pixel(column(650), bottom - 1), kRed);
    // The curve at 0.8 in blue, inside the frame only.
    EXPECT_EQ(canvas_.pixel(column(6500), row(8000)), kBlue);
    EXPECT_EQ(canvas_.pixel(column(13500), row(8000)), kWhite);
    EXPECT_EQ(beeps_, (std::vector<Beep>{{5000, 60}}));
}

TEST_F(DriverTest, ThinningDrawsEachGroupAsItsExtremesInAbscissaOrder) {
    std::mt19937 generator(7);
    std::uniform_real_distribution<double> noise(-1, 1);
    std::vector<double> y(100000);
    for (double& v : y) v = noise(generator);
    set_curve(y);
    set_range(0, 100000, -1, 1);
    export_points();
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    // About 2 × 256 points, whatever the number of points in view.
    EXPECT_GE(points.size(), 500u);
    EXPECT_LE(points.size(), 520u);
    // Groups of about 1/256 of the frame width; each pair of lines is the
    // smallest and largest value of one group, the earlier one first.
    const int g = thinning_group_size(data_, settings_, 0, 99999, 100000);
    EXPECT_NEAR(g, 390, 1);
    ASSERT_EQ(points.size(), 2 * ((y.size() + g - 1) / g));
    for (std::size_t k = 0; k < points.size(); k += 2) {
        const std::size_t begin = k / 2 * g, end = std::min(begin + g, y.size());
        const auto [low, high] = std::minmax_element(y.begin() + begin, y.begin() + end);
        ASSERT_LT(points[k].x, points[k + 1].x);
        EXPECT_NEAR(std::min(points[k].y, points[k + 1].y), *low, 1e-6);
        EXPECT_NEAR(std::max(points[k].y, points[k + 1].y), *high, 1e-6);
        EXPECT_GE(points[k].x, begin);
        EXPECT_LT(points[k + 1].x, end);
    }

    // HI draws every point in view; so do markers.
    settings_.low_resolution = 0;
    set_range(0, 25000, -1, 1);
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(exported().size(), 25002u);   // one point beyond each edge
    settings_.low_resolution = 1;
    ASSERT_TRUE(plot().ok);
    EXPECT_GE(exported().size(), 500u);     // a quarter of the data: still about 512
    EXPECT_LE(exported().size(), 520u);
    settings_.marker_type = 3;
    EXPECT_EQ(thinning_group_size(data_, settings_, 0, 99999, 100000), 1);
}

TEST_F(DriverTest, ThinningDrawsTheLastGroupAndTheHeldExtreme) {
    // 1000 points in groups of 4: the last group's second extreme is still
    // held when the data end.
    std::vector<double> y(1000);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i % 7);
    set_curve(y);
    set_range(0, 999, 0, 7);
    export_points();
    ASSERT_EQ(thinning_group_size(data_, settings_, 0, 999, 999), 4);
    ASSERT_TRUE(plot().ok);
    std::vector<Point> points = exported();
    ASSERT_EQ(points.size(), 500u);
    EXPECT_GE(points[498].x, 996);
    EXPECT_GE(points[499].x, 996);

    // One point more: an incomplete last group of one point.
    y.push_back(3.5);
    set_curve(y);
    set_range(0, 1000, 0, 7);
    ASSERT_TRUE(plot().ok);
    points = exported();
    EXPECT_EQ(points.back().x, 1000);
    EXPECT_EQ(points.back().y, 3.5);
}

TEST_F(DriverTest, SmoothedDenseCurvesAreThinnedToo) {
    std::vector<double> y(10000);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i);
    set_curve(y);
    set_range(0, 10000, 0, 10000);
    settings_.smooth = 1;
    export_points();
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    // Two points per data interval, thinned in groups of 39 to two each.
    EXPECT_GE(points.size(), 2 * 2 * 9999 / 39);
    EXPECT_LE(points.size(), 2 * 2 * 9999 / 39 + 4);
    for (std::size_t k = 0; k < points.size(); ++k) {
        EXPECT_EQ(points[k].y, points[k].x);
        if (k > 0) {
            EXPECT_GE(points[k].x, points[k - 1].x);
        }
    }
    EXPECT_EQ(points.back().x, 9999);
}

TEST_F(DriverTest, WrapRepeatsTheSignalWhereTheDataDoNotReachTheEdge) {
    std::vector<double> y(100);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = std::sin(static_cast<double>(i) / 7);
    set_curve(y);
    settings_.wrap = 1;
    export_points();
    set_range(-100, 200, -1, 1);
    ASSERT_TRUE(plot().ok);
    std::vector<Point> points = exported();
    ASSERT_EQ(points.size(), 300u);
    for (std::size_t k = 0; k < points.size(); ++k) {
        EXPECT_EQ(points[k].x, static_cast<double>(k) - 100);
        EXPECT_NEAR(points[k].y, y[k % 100], 1e-6);
    }
    set_range(0, 200, -1, 1);   // nothing missing on the left
    ASSERT_TRUE(plot().ok);
    points = exported();
    ASSERT_EQ(points.size(), 200u);
    EXPECT_EQ(points.front().x, 0);
}

TEST_F(DriverTest, ModuloFoldsWithoutJoiningFoldedPoints) {
    std::vector<double> y(300);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i) / 300;
    set_curve(y);
    set_range(0, 100, 0, 1);
    settings_.modulo = 1;
    settings_.axes_mode = 0;
    settings_.x_grid = settings_.y_grid = 0;
    export_points();
    PathRecorder recorder;
    painter_.set_recorder(&recorder);
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    ASSERT_EQ(points.size(), 300u);
    for (const Point& p : points) {
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 100);
    }
    EXPECT_EQ(points[101].x, 1);   // 101 folds back by one span
    EXPECT_EQ(recorder.moves.size(), 3u);   // the start and two folds lift the pen
    // Every line runs one step (130 world units) to the right.
    for (std::size_t k = 1; k < recorder.path.size(); ++k) {
        if (recorder.order[k] != 'l') continue;
        EXPECT_NEAR(recorder.path[k].x - recorder.path[k - 1].x, 130, 1e-6);
    }
}

TEST_F(DriverTest, NinetyDegreesPointsUp) {
    set_xy({90, 90}, {0, 1});
    set_range(0, 360, 0, 1);
    settings_.graph_type = 2;
    settings_.x_grid = settings_.y_grid = 0;
    export_points();
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_NEAR(points[1].x, 0, 1e-6);
    EXPECT_NEAR(points[1].y, 1, 1e-6);
    const PixelPoint centre = painter_.to_pixel(5000, 5000);
    EXPECT_EQ(canvas_.pixel(centre.x, centre.y - 20), kBlue);
    EXPECT_NE(canvas_.pixel(centre.x, centre.y + 20), kBlue);
}

TEST_F(DriverTest, LogarithmicAxisLiftsThePenOverValuesOfZeroOrLess) {
    set_curve({1, 10, 0, -5, 100, 10});
    set_range(0, 6, 1, 100);
    settings_.y_divisions = 0;
    settings_.low_resolution = 0;
    export_points();
    PathRecorder recorder;
    painter_.set_recorder(&recorder);
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[2].y, 2);   // log10(100)
    // The data pass: move, line, (gap) move, line.
    const std::string tail(recorder.order.end() - 4, recorder.order.end());
    EXPECT_EQ(tail, "mlml");
}

TEST_F(DriverTest, SmoothingInterpolatesACubicExactly) {
    set_curve({0, 1, 8, 27});
    set_range(0, 3, 0, 27);
    settings_.smooth = 1;
    export_points();
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    EXPECT_GT(points.size(), 200u);   // about 256 across the frame
    for (const Point& p : points) EXPECT_NEAR(p.y, p.x * p.x * p.x, 1e-4) << p.x;   // x is written to 6 decimals
    EXPECT_EQ(points.back().x, 3);
}

TEST_F(DriverTest, PanningRedrawsFromTheSavedBackgroundAndRewritesThePointFile) {
    std::vector<double> y(200);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = std::sin(static_cast<double>(i) / 9);
    set_curve(y);
    set_range(0, 100, -1, 1);
    export_points();
    ASSERT_TRUE(plot().ok);
    const std::vector<std::uint8_t> unpanned = canvas_.rgb_pixels();

    press_extended(kKeyRight);
    press_extended(kKeyHome);
    ASSERT_TRUE(plot().ok);
    ASSERT_EQ(shown_.size(), 4u);
    EXPECT_NE(shown_[2], unpanned);            // panned by a quarter
    EXPECT_EQ(canvas_.rgb_pixels(), unpanned);  // Home: exactly the first picture again

    press_extended(kKeyRight);
    ASSERT_TRUE(plot().ok);
    const std::vector<Point> points = exported();
    EXPECT_EQ(points.front().x, 25);   // view 25 .. 125 and the point after it
    EXPECT_EQ(points.back().x, 126);
    EXPECT_EQ(memory_.view.pan_x, 25);
}

TEST_F(DriverTest, OverlayStartsFromTheFinishedPlotAndRefusesToPan) {
    std::vector<double> y(100);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = static_cast<double>(i) / 100;
    set_curve(y);
    set_range(0, 100, 0, 1);
    press_extended(kKeyRight);   // the first plot ends panned
    ASSERT_TRUE(plot().ok);
    ASSERT_TRUE(memory_.holds_plot);
    const int blue = count_colour(kBlue);
    ASSERT_GT(blue, 50);

    // The same curve in green over it, in the panned view: it covers the blue one.
    settings_.line_colour = 2;
    call_.overlay = true;
    beeps_.clear();
    press_extended(kKeyLeft);
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(count_colour(kBlue), 0);
    EXPECT_EQ(count_colour(kGreen), blue);
    std::vector<Beep> expected{{5000, 60}};
    for (int i = 0; i < 4; ++i) expected.push_back({800, 60}), expected.push_back({200, 60});
    EXPECT_EQ(beeps_, expected);

    // A different curve: both stay, and the saved image holds both.
    for (double& v : y) v = 1 - v;
    set_curve(y);
    settings_.line_colour = 4;
    ASSERT_TRUE(plot().ok);
    GraphicsCanvas saved(320, 240);
    ASSERT_TRUE(saved.put_image({0, 0}, memory_.screen_save));
    EXPECT_EQ(saved.rgb_pixels(), canvas_.rgb_pixels());
    EXPECT_GT(count_colour(kGreen), 0);
    EXPECT_GT(count_colour(kRed), 0);
}

// The strings of the texts on the canvas, in drawing order.
std::vector<std::string> text_strings(const GraphicsCanvas& canvas) {
    std::vector<std::string> strings;
    for (const CanvasText& t : canvas.texts()) strings.push_back(t.text);
    return strings;
}

TEST_F(DriverTest, TheCanvasKeepsThePicturesTextsOnceThroughPansAndOverlays) {
    std::vector<double> y(200);
    for (std::size_t i = 0; i < y.size(); ++i) y[i] = std::sin(static_cast<double>(i) / 9);
    set_curve(y);
    set_range(0, 100, -1, 1);
    settings_.title = "Ringing";
    settings_.x_label = "Seconds";
    settings_.y_label = "Volts";
    settings_.label_colour = 4;   // AA0000
    ASSERT_TRUE(plot().ok);
    const std::vector<std::string> first = text_strings(canvas_);
    ASSERT_GE(first.size(), 3u + 2u);   // the title, the labels and numbers of both axes
    EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 3),
              (std::vector<std::string>{"Ringing", "Volts", "Seconds"}));
    EXPECT_EQ(canvas_.texts()[0].colour, kRed);
    EXPECT_EQ(std::count(first.begin(), first.end(), "100.000"), 1);   // the X axis ends at 100
    // The title's anchor is the top middle of the picture.
    EXPECT_NEAR(canvas_.texts()[0].placement.anchor.x, 160, 1);
    EXPECT_EQ(canvas_.texts()[0].placement.along, 0.5);
    EXPECT_EQ(canvas_.texts()[1].angle, 90);   // the Y label stands upright

    // A pan: the background's texts once, the numbers of the new view once.
    press_extended(kKeyRight);
    ASSERT_TRUE(plot().ok);
    const std::vector<std::string> panned = text_strings(canvas_);
    EXPECT_EQ(panned.size(), first.size());
    EXPECT_EQ(std::count(panned.begin(), panned.end(), "Ringing"), 1);
    EXPECT_EQ(std::count(panned.begin(), panned.end(), "100.000"), 0);   // now from 25 to 125
    EXPECT_EQ(std::count(panned.begin(), panned.end(), "125.000"), 1);

    // An overlay starts from the finished plot's picture and its texts.
    call_.overlay = true;
    settings_.title = "Other";
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(text_strings(canvas_), panned);
}

TEST_F(DriverTest, KeysEndOrBeep) {
    set_curve({0, 1});
    set_range(0, 1, 0, 1);
    settings_.bitmap_mode = 1;
    press({'x', kKeyExtended, 'O', 'B', kKeyEnter});   // End is no pan key; B without a name
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(beeps_, (std::vector<Beep>{{5000, 60}, {200, 180}, {200, 180}, {200, 180}}));
    EXPECT_TRUE(input_.empty());

    settings_.bitmap_file = path("shot.bmp");
    press({'b', kKeyEnter});
    ASSERT_TRUE(plot().ok);
    EXPECT_TRUE(std::filesystem::exists(path("shot.bmp")));
    EXPECT_EQ(input_.size(), 1u);   // B ended the plot
    input_.clear();

    call_.pause_after_plot = false;
    reads_ = 0;
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(reads_, 0);
}

TEST_F(DriverTest, AnUnwritablePointFileIsReportedAfterThePlot) {
    set_curve({0, 1});
    set_range(0, 1, 0, 1);
    settings_.data_export = 1;
    settings_.data_export_file = path("missing/points.txt");
    const Status s = plot();
    EXPECT_EQ(s.message, std::string(kErrorWritingFile) + path("missing/points.txt"));
    EXPECT_TRUE(memory_.holds_plot);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// The 24-bit BMP the driver saves, read back: width, height, and whether each
// pixel (top row first) has `colour`.
struct BitmapMask {
    int width = 0, height = 0;
    std::vector<bool> has;
};
BitmapMask read_bmp_mask(const std::string& file, RgbColour colour) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    BitmapMask mask;
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return mask;
    const auto u32 = [&](std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24; };
    const std::size_t offset = u32(10);
    const int width = static_cast<int>(u32(18)), height = static_cast<int>(u32(22));
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (width <= 0 || height <= 0 || offset + row * height > b.size()) return mask;
    mask = {width, height, std::vector<bool>(static_cast<std::size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = offset + row * (height - 1 - y) + 3 * x;   // bottom-up rows, BGR
            mask.has[static_cast<std::size_t>(y) * width + x] =
                RgbColour{b[at + 2], b[at + 1], b[at]} == colour;
        }
    return mask;
}

// An XY plot of the unit circle with aspect ratio 1 in a window of the
// desktop's shape (not 4:3) is round in the saved bitmap.
TEST_F(DriverTest, ACircleWithAspectOneIsRoundInTheSavedBitmap) {
    call_.window_width = 1280;
    call_.window_height = 864;
    memory_.screen_save.resize(screen_save_bytes(1280, 864));
    std::vector<double> x, y;
    for (int i = 0; i <= 720; ++i) {
        x.push_back(std::cos(i * std::numbers::pi / 360));
        y.push_back(std::sin(i * std::numbers::pi / 360));
    }
    set_xy(x, y);
    set_range(-1.5, 1.5, -1.5, 1.5);
    settings_.aspect_ratio = 1;
    settings_.x_grid = settings_.y_grid = 0;
    settings_.bitmap_mode = 2;
    settings_.bitmap_file = path("circle.bmp");
    ASSERT_TRUE(plot().ok);
    const BitmapMask mask = read_bmp_mask(path("circle.bmp"), kBlue);
    ASSERT_EQ(mask.width, 1280);
    ASSERT_EQ(mask.height, 864);
    int left = mask.width, right = -1, top = mask.height, bottom = -1;
    for (int py = 0; py < mask.height; ++py)
        for (int px = 0; px < mask.width; ++px)
            if (mask.has[static_cast<std::size_t>(py) * mask.width + px]) {
                left = std::min(left, px), right = std::max(right, px);
                top = std::min(top, py), bottom = std::max(bottom, py);
            }
    ASSERT_GT(right, left);
    const double width = right - left + 1, height = bottom - top + 1;
    EXPECT_NEAR(width / height, 1.0, 0.01) << width << " x " << height;
    // The circle spans two thirds of the square frame's height of 863 × 10000/13250 pixels.
    EXPECT_NEAR(height, 863 * 10000 / 13250.0 * 2 / 3, 4);
}

}  // namespace
}  // namespace zeph

namespace zeph {
namespace {

// The mouse over a plot: the pointer's place in the picture for a data point.
class MouseTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        std::vector<double> y(101);
        for (std::size_t i = 0; i < y.size(); ++i) y[i] = std::sin(static_cast<double>(i) / 9);
        set_curve(y);
        set_range(0, 100, -1, 1);
    }
    // The canvas place of a data point in the view the plot shows now.
    WorldPoint at(double x, double y) const {
        PlotView view;
        EXPECT_TRUE(plot_view(settings_, memory_.view, view).ok);
        return pixel_of_data(painter_, plot_layout(settings_), view, {x, y});
    }
    PointerGesture wheel(WorldPoint p, int steps, bool shift = false, bool ctrl = false) const {
        return {PointerGesture::Kind::wheel, p.x, p.y, 0, 0, steps, shift, ctrl};
    }
    PointerGesture drag(WorldPoint from, WorldPoint to) const {
        return {PointerGesture::Kind::drag, to.x, to.y, from.x, from.y};
    }
    PointerGesture click(WorldPoint p) const { return {PointerGesture::Kind::click, p.x, p.y}; }
    PointerGesture move(WorldPoint p) const { return {PointerGesture::Kind::move, p.x, p.y}; }
};

TEST_F(MouseTest, AWheelStepZoomsAboutThePointerLikeTheSameRangeAsked) {
    ASSERT_TRUE(plot().ok);   // the first picture fixes where 40, 0.5 lies
    gesture(wheel(at(40, 0.5), 1));
    ASSERT_TRUE(plot().ok);
    const ViewLimits zoomed = memory_.view;
    EXPECT_NEAR(zoomed.shown_x_lo(), 40 - 40 * kWheelZoomFactor, 1e-9);
    EXPECT_NEAR(zoomed.shown_x_hi(), 40 + 60 * kWheelZoomFactor, 1e-9);
    EXPECT_EQ(zoomed.shown_y_lo(), -1);   // the plain wheel zooms x alone
    EXPECT_EQ(zoomed.shown_y_hi(), 1);
    const std::vector<std::uint8_t> by_wheel = canvas_.rgb_pixels();

    // The same limits given as the range: the same picture, pixel for pixel.
    set_range(zoomed.shown_x_lo(), zoomed.shown_x_hi(), -1, 1);
    memory_.view = asked_limits(settings_);
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(canvas_.rgb_pixels(), by_wheel);
}

TEST_F(MouseTest, ShiftZoomsYAndCtrlBothAndHomeUndoesEveryZoom) {
    ASSERT_TRUE(plot().ok);
    const std::vector<std::uint8_t> asked = canvas_.rgb_pixels();
    gesture(wheel(at(50, 0), -1, true));   // away: out, on y
    ASSERT_TRUE(plot().ok);
    EXPECT_NEAR(memory_.view.shown_y_hi() - memory_.view.shown_y_lo(), 2 / kWheelZoomFactor, 1e-9);
    EXPECT_EQ(memory_.view.shown_x_hi() - memory_.view.shown_x_lo(), 100);

    memory_.view = asked_limits(settings_);
    gesture(wheel(at(50, 0), 2, false, true));
    press_extended(kKeyRight);   // a key pan moves the zoomed view by a quarter of it
    ASSERT_TRUE(plot().ok);
    const double span = 100 * kWheelZoomFactor * kWheelZoomFactor;
    EXPECT_NEAR(memory_.view.shown_x_hi() - memory_.view.shown_x_lo(), span, 1e-9);
    EXPECT_NEAR(memory_.view.shown_x_lo(), 50 - span / 2 + span / 4, 1e-9);
    EXPECT_NEAR(memory_.view.shown_y_hi() - memory_.view.shown_y_lo(), 2 * kWheelZoomFactor * kWheelZoomFactor, 1e-9);

    memory_.view = asked_limits(settings_);
    gesture(wheel(at(20, 0.5), 3));
    press_extended(kKeyHome);
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(memory_.view, asked_limits(settings_));
    EXPECT_EQ(canvas_.rgb_pixels(), asked);
}

TEST_F(MouseTest, ADragCarriesTheDataPointUnderThePointer) {
    export_points();
    ASSERT_TRUE(plot().ok);
    gesture(drag(at(50, 0), at(60, 0.5)));
    ASSERT_TRUE(plot().ok);
    EXPECT_NEAR(memory_.view.shown_x_lo(), -10, 1e-9);
    EXPECT_NEAR(memory_.view.shown_y_lo(), -1.5, 1e-9);
    // The point file holds the last view, as after a key pan.
    const std::vector<Point> points = exported();
    ASSERT_FALSE(points.empty());
    EXPECT_EQ(points.front().x, 0);
    EXPECT_GE(points.back().x, 90);   // view -10 .. 90 (to a rounding) and the point after it
    EXPECT_LE(points.back().x, 91);
    // No done tone for the views the mouse makes: only the first picture's.
    EXPECT_EQ(std::count(beeps_.begin(), beeps_.end(), Beep{5000, 60}), 2);
}

TEST_F(MouseTest, TheReadoutFollowsThePointerOnTheFrameOnly) {
    settings_.x_label = "Frequency (Hz)";
    settings_.y_label = "Magnitude (dB)";
    ASSERT_TRUE(plot().ok);
    gesture(move(at(40, 0.5)));
    gesture(move({2, 2}));   // the corner of the picture, off the frame
    ASSERT_TRUE(plot().ok);
    ASSERT_EQ(readouts_.size(), 2u);
    // 100 units over about 200 pixels: one decimal tells the pixels apart.
    EXPECT_EQ(readouts_[0], "x 40.0 Hz, y 0.50 dB");
    EXPECT_EQ(readouts_[1], "");
}

TEST_F(MouseTest, AClickPicksTheNearestDrawnPoint) {
    ASSERT_TRUE(plot().ok);
    gesture(click(at(40.3, std::sin(40.0 / 9))));
    gesture(click({2, 2}));   // off the frame: nothing
    ASSERT_TRUE(plot().ok);
    ASSERT_EQ(picked_.size(), 1u);
    char expected[80];
    std::snprintf(expected, sizeof expected, "Point 41: x 40, y %.7G", std::sin(40.0 / 9));
    EXPECT_EQ(picked_[0], expected);
}

TEST_F(MouseTest, OverlaysPolarPlotsAndViewsTooSmallRefuseToMove) {
    const auto refusal = [] {
        std::vector<Beep> beeps;
        for (int i = 0; i < 4; ++i) beeps.push_back({800, 60}), beeps.push_back({200, 60});
        return beeps;
    };
    ASSERT_TRUE(plot().ok);
    call_.overlay = true;
    beeps_.clear();
    gesture(wheel(at(50, 0), 1));
    ASSERT_TRUE(plot().ok);
    std::vector<Beep> expected{{5000, 60}};
    for (const Beep& b : refusal()) expected.push_back(b);
    EXPECT_EQ(beeps_, expected);
    EXPECT_EQ(memory_.view, asked_limits(settings_));

    call_.overlay = false;
    settings_.graph_type = 2;
    beeps_.clear();
    gesture(drag(at(0, 0), {100, 100}));
    ASSERT_TRUE(plot().ok);
    EXPECT_EQ(beeps_.size(), 9u);

    // Zooming in without end stops where the view can still be drawn.
    settings_.graph_type = 0;
    ASSERT_TRUE(plot().ok);
    for (int i = 0; i < 300; ++i) gesture(wheel(at(50, 0), 1));
    beeps_.clear();
    ASSERT_TRUE(plot().ok);
    EXPECT_FALSE(beeps_.empty());
    const double span = memory_.view.shown_x_hi() - memory_.view.shown_x_lo();
    EXPECT_GT(span, 0);
    EXPECT_LT(span, 1e-6);
}

TEST_F(MouseTest, ALogarithmicAxisZoomsByWholeDecades) {
    set_curve(std::vector<double>(101, 5.0));
    set_range(1, 1000, 0.1, 100);
    settings_.x_divisions = 0;   // logarithmic x
    ASSERT_TRUE(plot().ok);
    gesture(wheel(at(10, 1), 1));
    ASSERT_TRUE(plot().ok);
    PlotView view;
    ASSERT_TRUE(plot_view(settings_, memory_.view, view).ok);
    EXPECT_EQ(view.x.divisions, 2);   // three decades less one
    // The pointer's value keeps its place: a third of the way along before and after.
    EXPECT_NEAR((1 - view.x.lo) / (view.x.hi - view.x.lo), 1.0 / 3, 1e-9);
}

}  // namespace
}  // namespace zeph
