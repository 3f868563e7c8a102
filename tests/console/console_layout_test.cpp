#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/utf8.hpp"
#include "tests/support/script_keys.hpp"
#include "console/console_layout.hpp"
#include "console/text_console.hpp"

namespace zeph {
namespace {

std::vector<int> run(int first, int last) {
    std::vector<int> rows;
    for (int row = first; row <= last; ++row) rows.push_back(row);
    return rows;
}

std::vector<int> joined(std::vector<std::vector<int>> parts) {
    std::vector<int> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(ConsoleLayout, SizesTheConsoleIsShownOn) {
    EXPECT_TRUE(console_fits(80, 24));
    EXPECT_TRUE(console_fits(200, 60));
    EXPECT_FALSE(console_fits(79, 50));
    EXPECT_FALSE(console_fits(80, 23));
    EXPECT_FALSE(console_fits(60, 20));
    EXPECT_EQ(console_rows(10), 24);
    EXPECT_EQ(console_rows(37), 37);
    EXPECT_EQ(console_rows(120), 50);
}

TEST(ConsoleLayout, HelpWindowRowsLeaveTheHeaderAndTheWholeBlock) {
    EXPECT_EQ(help_window_rows(24), 17);
    EXPECT_EQ(help_window_rows(30), 23);
    EXPECT_EQ(help_window_rows(40), 33);
    EXPECT_EQ(help_window_rows(49), 42);
    EXPECT_EQ(help_window_rows(50), 0);   // the whole grid shows
    EXPECT_EQ(help_window_rows(60), 0);
}

TEST(ConsoleLayout, AtFiftyRowsOrMoreEveryGridRowShowsInOrder) {
    for (const ScreenUse use : {ScreenUse::prompt, ScreenUse::page})
        for (const int rows : {50, 60, 200}) EXPECT_EQ(shown_grid_rows(rows, use, 30, 12), run(1, 50)) << rows;
}

TEST(ConsoleLayout, AShortPromptScreenIsHeaderHelpWindowAndTheWholeBlock) {
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::prompt, 2, 49), joined({{kHeaderRow}, run(2, 18), run(45, 50)}));
    EXPECT_EQ(shown_grid_rows(30, ScreenUse::prompt, 10, 49), joined({{kHeaderRow}, run(10, 32), run(45, 50)}));
    // A window past the help's last row or before row 2 is brought back inside.
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::prompt, 99, 49), joined({{kHeaderRow}, run(28, 44), run(45, 50)}));
    EXPECT_EQ(shown_grid_rows(40, ScreenUse::prompt, -5, 49), joined({{kHeaderRow}, run(2, 34), run(45, 50)}));
    for (int rows = 24; rows < 50; ++rows)
        EXPECT_EQ(shown_grid_rows(rows, ScreenUse::prompt, 7, 49).size(), static_cast<std::size_t>(rows));
}

TEST(ConsoleLayout, PagingTheHelpReachesItsLastRowAndComesBack) {
    for (const int rows : {24, 30, 40, 49}) {
        std::set<int> seen;
        int top = 2;
        std::vector<int> tops{top};
        for (int i = 0; i < 10; ++i) tops.push_back(top = scrolled_help_top(top, rows, 1));
        for (const int t : tops)
            for (int row = t; row < t + help_window_rows(rows); ++row) seen.insert(row);
        EXPECT_EQ(*seen.begin(), 2) << rows;
        EXPECT_EQ(*seen.rbegin(), 44) << rows;
        EXPECT_EQ(seen.size(), 43u) << rows;   // no row skipped
        EXPECT_EQ(top + help_window_rows(rows) - 1, 44) << rows;
        for (int i = 0; i < 10; ++i) top = scrolled_help_top(top, rows, -1);
        EXPECT_EQ(top, 2) << rows;
    }
    // Consecutive windows share a row: 2-18, 18-34, then the last 28-44.
    EXPECT_EQ(scrolled_help_top(2, 24, 1), 18);
    EXPECT_EQ(scrolled_help_top(18, 24, 1), 28);
    EXPECT_EQ(scrolled_help_top(28, 24, -1), 12);
    EXPECT_EQ(scrolled_help_top(2, 60, 1), 2);   // nothing to scroll at full height
}

TEST(ConsoleLayout, RevealingARowMovesTheWindowTheLeast) {
    EXPECT_EQ(help_top_showing(43, 2, 24), 27);    // row 43 becomes the last row shown
    EXPECT_EQ(help_top_showing(5, 27, 24), 5);     // row 5 the first
    EXPECT_EQ(help_top_showing(10, 2, 24), 2);     // already shown
    EXPECT_EQ(help_top_showing(49, 12, 24), 12);   // the block is always shown
    EXPECT_EQ(help_top_showing(1, 12, 24), 12);    // the title row gives way to the header
}

TEST(ConsoleLayout, AShortPageShowsItsFirstRowsOrItsLastUpToTheCursor) {
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::page, 2, 12), run(1, 24));
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::page, 2, 25), run(1, 24));
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::page, 2, 44), run(20, 43));   // 43 lines written
    EXPECT_EQ(shown_grid_rows(24, ScreenUse::page, 2, 51), run(27, 50));   // the grid is full
    EXPECT_EQ(shown_grid_rows(30, ScreenUse::page, 2, 50), run(20, 49));
}

TEST(ConsoleLayout, TheHeaderSaysWhereTheWindowIsTheKeysAndTheMarkedWords) {
    EXPECT_EQ(help_header(2, 24, "SP PO DB PL"), " Help rows 2-18 of 44, PgUp PgDn scroll  \u00BB SP PO DB PL");
    EXPECT_EQ(help_header(50, 30, ""), " Help rows 22-44 of 44, PgUp PgDn scroll");
    std::string many;
    for (int i = 0; i < 30; ++i) many += "AB ";
    const std::string header = help_header(2, 24, many);
    EXPECT_EQ(decode_text(header).size(), 80u);   // one row of the terminal, » counted once
    EXPECT_EQ(header.substr(header.size() - 3), "...");
}

TEST(ConsoleLayout, ListingPagesAndLongTextsAreCutToTheRows) {
    EXPECT_EQ(page_lines(50, 4, 40), 40);   // the page as it always was
    EXPECT_EQ(page_lines(60, 4, 40), 40);
    EXPECT_EQ(page_lines(24, 4, 40), 20);
    EXPECT_EQ(page_lines(30, 4, 40), 26);
    EXPECT_EQ(page_lines(12, 4, 40), 20);   // never below the least terminal's
    EXPECT_EQ(text_page_starts(43, 50), std::vector<int>{0});
    EXPECT_EQ(text_page_starts(70, 50), std::vector<int>{0});   // scrolls at full height, as it did
    EXPECT_EQ(text_page_starts(24, 24), std::vector<int>{0});
    EXPECT_EQ(text_page_starts(25, 24), (std::vector<int>{0, 23}));
    EXPECT_EQ(text_page_starts(46, 24), (std::vector<int>{0, 23}));
    EXPECT_EQ(text_page_starts(47, 24), (std::vector<int>{0, 23, 46}));
    EXPECT_EQ(text_page_starts(43, 40), (std::vector<int>{0, 39}));
}

TEST(TextConsole, ScreenRowsComeFromThePresenterWithinTheConsolesLimits) {
    TextConsole console;
    EXPECT_EQ(console.screen_rows(), 50);   // no presenter: headless
    RecordingPresenter presenter;
    console.set_presenter(&presenter);
    for (const auto& [terminal, shown] : std::vector<std::pair<int, int>>{{30, 30}, {10, 24}, {80, 50}}) {
        presenter.terminal_rows = terminal;
        EXPECT_EQ(console.screen_rows(), shown) << terminal;
    }
}

TEST(TextConsole, TextWrittenAbovePromptBlockIsRevealedOnAShortTerminal) {
    TextConsole console;
    RecordingPresenter presenter;
    presenter.terminal_rows = 24;
    console.set_presenter(&presenter);
    EXPECT_EQ(console.use(), ScreenUse::page);
    console.set_use(ScreenUse::prompt);
    console.set_cursor(40, 1);
    console.print_line("REGRESSION LINE");
    console.print_line("* * * <>: CONTINUE:");
    EXPECT_EQ(console.help_top(), 25);   // rows 25..41: both lines show
    console.scroll_help(-1);
    EXPECT_EQ(console.help_top(), 9);
    console.clear();
    EXPECT_EQ(console.use(), ScreenUse::page);
    console.print_line("a page line moves no window");
    EXPECT_EQ(console.help_top(), 9);
}

}  // namespace
}  // namespace zeph
