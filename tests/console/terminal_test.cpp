#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console/output_capture.hpp"
#include "console/terminal.hpp"
#include "console/text_console.hpp"

namespace zeph {
namespace {

TEST(ColourMode, PrefersTheCubeThenRedefinedColoursThenTheRichestFixedSet) {
    EXPECT_EQ(choose_colour_mode(true, true, 256), ColourMode::Cube256);
    EXPECT_EQ(choose_colour_mode(true, true, 88), ColourMode::Palette);
    EXPECT_EQ(choose_colour_mode(true, true, 16), ColourMode::Palette);
    EXPECT_EQ(choose_colour_mode(true, true, 8), ColourMode::Standard8);   // 8 slots cannot hold 16
    EXPECT_EQ(choose_colour_mode(true, false, 256), ColourMode::Cube256);
    EXPECT_EQ(choose_colour_mode(true, false, 16), ColourMode::Standard16);
    EXPECT_EQ(choose_colour_mode(true, false, 8), ColourMode::Standard8);
    EXPECT_EQ(choose_colour_mode(false, false, 0), ColourMode::None);
    EXPECT_EQ(palette_base_colour(256), 16);
    EXPECT_EQ(palette_base_colour(16), 0);
}

TEST(TerminalColours, PaletteModeUsesTheRedefinedSlots) {
    EXPECT_EQ(terminal_colours(0x70, ColourMode::Palette, 16), (TerminalColours{16, 23, false}));
    EXPECT_EQ(terminal_colours(0x8F, ColourMode::Palette, 0), (TerminalColours{15, 0, false}));
}

TEST(TerminalColours, StandardColoursFollowTheTerminalsOrder) {
    // Blue title, red message (bit 7 is no background bit), yellow prompt, all on light grey.
    EXPECT_EQ(terminal_colours(0x71, ColourMode::Standard16), (TerminalColours{4, 7, false}));
    EXPECT_EQ(terminal_colours(0xF4, ColourMode::Standard16), (TerminalColours{1, 7, false}));
    EXPECT_EQ(terminal_colours(0x7E, ColourMode::Standard16), (TerminalColours{11, 7, false}));
    EXPECT_EQ(terminal_colours(0x78, ColourMode::Standard16), (TerminalColours{8, 7, false}));
    // With eight colours the bright ones are their dark twins in bold.
    EXPECT_EQ(terminal_colours(0x7E, ColourMode::Standard8), (TerminalColours{3, 7, true}));
    EXPECT_EQ(terminal_colours(0x78, ColourMode::Standard8), (TerminalColours{0, 7, true}));
    EXPECT_EQ(terminal_colours(0xFA, ColourMode::Standard8), (TerminalColours{2, 7, true}));
    EXPECT_EQ(terminal_colours(0x70, ColourMode::Standard8), (TerminalColours{0, 7, false}));
    EXPECT_EQ(terminal_colours(0x7F, ColourMode::None), (TerminalColours{-1, -1, true}));
}

TEST(TerminalColours, CubeColoursAreCloseToThePalette) {
    for (int index = 0; index < 16; ++index) {
        const Rgb wanted = text_palette()[index];
        const TerminalColours c = terminal_colours(static_cast<std::uint8_t>(index), ColourMode::Cube256);
        ASSERT_GE(c.foreground, 16);
        ASSERT_LE(c.foreground, 255);
        const Rgb shown = xterm256_rgb(c.foreground);
        EXPECT_LE(std::abs(shown.red - wanted.red), 20) << index;
        EXPECT_LE(std::abs(shown.green - wanted.green), 20) << index;
        EXPECT_LE(std::abs(shown.blue - wanted.blue), 20) << index;
    }
    EXPECT_EQ(nearest_xterm256_colour({255, 255, 0}), 226);   // exactly in the cube
    EXPECT_EQ(nearest_xterm256_colour({0, 0, 0}), 16);
    const Rgb grey = xterm256_rgb(nearest_xterm256_colour({160, 160, 160}));
    EXPECT_EQ(grey.red, grey.blue);   // light grey stays grey, not a tinted cube colour
}

TEST(DisplayedCharacter, ShowsEveryCharacterAsOneHarmlessCell) {
    for (char32_t c = 0; c < 0x100; ++c) {
        const wchar_t utf8 = displayed_character(c, true);
        const wchar_t ascii = displayed_character(c, false);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            EXPECT_EQ(utf8, L' ') << static_cast<int>(c);   // C0, DEL and C1 controls never reach the terminal
        } else {
            EXPECT_EQ(utf8, static_cast<wchar_t>(c)) << static_cast<int>(c);
        }
        EXPECT_LT(ascii, 0x7F) << static_cast<int>(c);
        EXPECT_GE(ascii, 0x20) << static_cast<int>(c);
    }
    EXPECT_EQ(displayed_character(U'π', true), L'π');
    EXPECT_EQ(displayed_character(U'√', true, 1), L'√');
    EXPECT_EQ(displayed_character(U'漢', true, 2), L'\uFFFD');   // would take two cells
    EXPECT_EQ(displayed_character(U'\u0301', true, 0), L'\uFFFD');   // combining: no cell of its own
    EXPECT_EQ(displayed_character(U'±', false), L'+');
    EXPECT_EQ(displayed_character(U'µ', false), L'u');
    EXPECT_EQ(displayed_character(U'»', false), L'>');
    EXPECT_EQ(displayed_character(U'Θ', false), L'?');
}

TEST(TerminalText, IsTheGridsRenderingOfALine) {
    EXPECT_EQ(terminal_text("SUm real ± imag µ »", true), "SUm real ± imag µ »");
    EXPECT_EQ(terminal_text("SUm real ± imag µ »", false), "SUm real + imag u >");
    EXPECT_EQ(terminal_text("bell\a esc\x1B[2J", true), "bell  esc [2J");   // no control byte reaches the terminal
    EXPECT_EQ(terminal_text("a\u00F1o", false), "a?o");
    EXPECT_EQ(terminal_text("\u009B2J", true), " 2J");   // C1 control in UTF-8 form
    EXPECT_EQ(terminal_text("x\xB1y", true), "x\uFFFDy");   // no valid UTF-8
}

TEST(GridOrigin, CentresTheGridInALargerTerminal) {
    EXPECT_EQ(grid_origin(80, 50), (GridOrigin{0, 0}));
    EXPECT_EQ(grid_origin(120, 60), (GridOrigin{5, 20}));
    EXPECT_EQ(grid_origin(81, 51), (GridOrigin{0, 0}));   // odd spare cell goes right and below
    EXPECT_EQ(grid_origin(83, 53), (GridOrigin{1, 1}));
    EXPECT_EQ(grid_origin(200, 50), (GridOrigin{0, 60}));
    EXPECT_EQ(grid_origin(60, 40), (GridOrigin{0, 0}));   // smaller: the size request shows instead
    EXPECT_EQ(grid_origin(100, 40), (GridOrigin{0, 10}));   // short: from the top, centred across
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
    return text;
}

TEST(SizeRequest, NamesBothSizesAndFitsTheTerminal) {
    const std::vector<std::string> lines = size_request_lines(72, 20);
    EXPECT_EQ(joined(lines),
              "zeph needs a terminal of at least 80 x 24 - this one is 72 x 20. Please enlarge it.");
    EXPECT_GT(lines.size(), 1u);
    for (const std::string& line : lines) EXPECT_LE(line.size(), 72u);

    EXPECT_EQ(size_request_lines(120, 40).size(), 1u);
    EXPECT_NE(size_request_lines(120, 40)[0].find("this one is 120 x 40."), std::string::npos);
}

TEST(SizeRequest, TinyTerminalsGetWhatFits) {
    for (const std::string& line : size_request_lines(4, 100)) EXPECT_LE(line.size(), 4u);
    EXPECT_EQ(size_request_lines(30, 2).size(), 2u);
    EXPECT_TRUE(size_request_lines(0, 10).empty());
    EXPECT_TRUE(size_request_lines(10, 0).empty());
}

TEST(BellPacer, RingsAtMostOncePerGap) {
    using namespace std::chrono_literals;
    BellPacer pacer(100ms);
    const BellPacer::Clock::time_point t0{};
    EXPECT_TRUE(pacer.should_ring(t0 + 1s));
    EXPECT_FALSE(pacer.should_ring(t0 + 1s + 60ms));
    EXPECT_TRUE(pacer.should_ring(t0 + 1s + 120ms));
    EXPECT_FALSE(pacer.should_ring(t0 + 1s + 180ms));   // measured from the last ring, not the last try
    EXPECT_TRUE(pacer.should_ring(t0 + 1s + 240ms));
}

// In a child on a pseudo-terminal of 80 x 50: the console draws a grid, then
// "libraries" print on standard output and standard error. Returns everything
// the terminal received; the child adds "captured" when the presenter handed
// both texts over as library messages.
std::string console_run_with_library_output() {
    winsize size{};
    size.ws_row = 50;
    size.ws_col = 80;
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) return "forkpty failed";
    if (child == 0) {
        ::setenv("TERM", "xterm", 1);
        auto presenter = TerminalPresenter::open();
        if (!presenter) ::_exit(2);
        TextConsole console;
        console.write(3, 5, "CONSOLE-SHOWN", 0x70);
        presenter->refresh(console);
        std::printf("Not a valid error number (-1).\n");
        std::fprintf(stderr, "LIBRARY-ERROR\n");
        [[maybe_unused]] const ssize_t n = ::write(STDOUT_FILENO, "RAW-WRITE\n", 10);
        presenter->refresh(console);
        const std::string taken = presenter->library_messages();
        const bool captured = taken.find("Not a valid error number") != std::string::npos &&
                              taken.find("LIBRARY-ERROR") != std::string::npos &&
                              taken.find("RAW-WRITE") != std::string::npos;
        const bool own_descriptor = terminal_output_fd() != STDOUT_FILENO;
        presenter.reset();
        std::printf("%s%s\n", captured ? "captured" : "lost", own_descriptor ? "+own" : "");
        std::fflush(stdout);
        ::_exit(0);
    }
    std::string received;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;   // EIO once the child has gone
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(master);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) received += "[child failed]";
    return received;
}

TEST(TerminalPresenter, WhatLibrariesPrintNeverReachesTheConsole) {
    const std::string received = console_run_with_library_output();
    EXPECT_NE(received.find("CONSOLE-SHOWN"), std::string::npos) << received;
    EXPECT_EQ(received.find("Not a valid error number"), std::string::npos) << received;
    EXPECT_EQ(received.find("LIBRARY-ERROR"), std::string::npos) << received;
    EXPECT_EQ(received.find("RAW-WRITE"), std::string::npos) << received;
    // After the console has given the terminal back, standard output reaches it again.
    EXPECT_NE(received.find("captured+own"), std::string::npos) << received;
}

}  // namespace
}  // namespace zeph
