// Data holding NaN and ±Inf through every display parameter and option: no
// crash, no hang, finite plot ranges; DI and CU leave those values out and
// say so, listings and files show them as they are.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "dsp/ordinate.hpp"
#include "session_fixture.hpp"
#include "tests/support/file_text.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// 16 points: finite values around NaN, +Inf and −Inf in both parts.
std::vector<Complex> hostile_signal() {
    return {{1, 0},    {kNan, 0}, {3, 1},    {kInf, 0},  {-2, 0.5}, {-kInf, 0}, {0.5, kNan}, {2, kInf},
            {4, -1},   {0, 0},    {1, -kInf}, {kNan, kNan}, {5, 2},  {-1, 1},    {2, 0},     {3, 3}};
}

// A session on the hostile signal in both domains, with file names in its
// scratch folder already offered, so that every reply may be a plain Enter.
struct HostileSession : ScriptedSession {
    HostileSession() : ScriptedSession(std::vector<std::string>(12, "")) {
        set_a(hostile_signal());
        set_b(hostile_signal());
        session.plot.window_allowed = false;
        const std::string folder = directory.string() + "/";
        session.workspace.files.output_file_name = folder + "values.txt";
        session.plot.data_export_name = folder + "export.txt";
        session.plot.metafile_name = folder + "plot.wmf";
        session.plot.bitmap_name = folder + "plot.bmp";
    }
};

// The replies of one display line: Enter at every question, except that FI
// is given a file name and a format after the questions that come before it.
std::vector<std::string> replies_for(const std::string& parameter, const std::string& options, const std::string& output,
                                     const std::filesystem::path& folder, int run) {
    std::vector<std::string> replies(12, "");
    if (output != "FI") return replies;
    std::size_t before = parameter == "SU" || parameter == "DD" || parameter == "RD" ? 1 : 0;
    for (const char* asking : {"AV", "DI", "CU"})
        if (options.find(asking) != std::string::npos) ++before;
    const char* formats[] = {"R8", "R4", "I2", "1C", "2C"};
    replies[before] = (folder / "values.dat").string();
    replies[before + 1] = formats[run % 5];
    return replies;
}

TEST(NonFiniteData, EveryParameterAndOptionEnds) {
    const char* signals[] = {"AS", "BS"};
    const char* parameters[] = {"RE", "IM", "PR", "AM", "PO", "RP", "DP", "SU",
                                "XY", "IN", "GR", "DD", "RD", "RX", "RR"};
    const char* modifiers[] = {"",      "AV",    "DI",    "CU",    "ST",    "DB",   "SS ST",
                               "AV DI", "AV CU", "DI CU", "DB AV", "DB CU", "AV DI CU ST DB"};
    const char* plot_options[] = {"EX", "MO", "WR", "SC", "ME", "BI", "LA", "LO", "MA",
                                  "SM", "PG", "AX", "GO", "ZE", "CO", "AR", "HI"};
    std::vector<std::pair<std::string, std::string>> lines;   // options, output
    for (const char* modifier : modifiers)
        for (const char* output : {"PL", "LI", "FI"}) lines.emplace_back(modifier, output);
    for (const char* option : plot_options) lines.emplace_back(option, "PL");
    int run = 0;
    for (const char* signal : signals)
        for (const char* parameter : parameters)
            for (const auto& [options, output] : lines) {
                const std::string line = std::string(signal) + " " + parameter + " " + options + " " + output;
                SCOPED_TRACE(line);
                HostileSession s;
                s.keys = ScriptKeySource::from_lines(replies_for(parameter, options, output, s.directory, run++));
                s.line(line);
                const PlotSettings& plot = s.session.plot.settings;
                if (output == "PL") {   // the axis ranges leave NaN and ±Inf out
                    EXPECT_TRUE(std::isfinite(plot.y_min) && std::isfinite(plot.y_max))
                        << plot.y_min << " " << plot.y_max;
                    EXPECT_TRUE(std::isfinite(plot.x_min) && std::isfinite(plot.x_max))
                        << plot.x_min << " " << plot.x_max;
                }
            }
}

TEST(NonFiniteData, DistributionLeavesThemOutAndSaysHowMany) {
    // The values 0, NaN, 2 of X+REAL((X−1)/(X−1)) on 0, 1, 2.
    ScriptedSession s({"2"});
    s.set_a({{0, 0}, {kNan, 0}, {2, 0}});
    s.line("AS RE DI NOPL");
    EXPECT_EQ(s.shown(), (std::vector<double>{0.5, 0.5}));
    EXPECT_EQ(s.session.workspace.message_line, left_out_message(1));
    EXPECT_EQ(left_out_message(1), "1 value that is NaN or infinite left out");

    HostileSession h;
    h.line("AS RE DI NOPL");
    const auto density = h.shown();
    double area = 0;
    for (double v : density) {
        EXPECT_TRUE(std::isfinite(v));
        area += v * h.session.workspace.display.dx;
    }
    EXPECT_NEAR(area, 1.0, 1e-12);
    EXPECT_EQ(h.session.workspace.message_line, left_out_message(4));
}

TEST(NonFiniteData, CumulativeCarriesOnPastThem) {
    ScriptedSession s({""});
    s.set_a({{1, 0}, {kNan, 0}, {2, 0}, {kInf, 0}, {3, 0}});
    s.line("AS RE CU NOPL");
    EXPECT_EQ(s.shown(), (std::vector<double>{1, 1, 3, 3, 6}));
    EXPECT_EQ(s.session.workspace.message_line, left_out_message(2));
    EXPECT_DOUBLE_EQ(s.session.cumulative_total, 6.0);
}

TEST(NonFiniteData, ListingAndFileShowThemAsTheyAre) {
    HostileSession s;
    s.line("AS RE LI");
    EXPECT_TRUE(s.transcript_has(" NAN"));
    EXPECT_TRUE(s.transcript_has(" INF"));
    EXPECT_TRUE(s.transcript_has("-INF"));

    HostileSession f;
    f.keys = ScriptKeySource::from_lines({(f.directory / "values.txt").string(), "1C"});
    f.line("AS RE FI");
    const std::string text = testing::file_text(f.directory / "values.txt");
    EXPECT_EQ(f.session.workspace.message_line, "");
    EXPECT_NE(text.find("NAN"), std::string::npos) << text;
    EXPECT_NE(text.find("-INF"), std::string::npos) << text;
}

}  // namespace
}  // namespace zeph
