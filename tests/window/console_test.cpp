#include <gtest/gtest.h>

#include <string>

#include "window/script_keys.hpp"
#include "window/text_console.hpp"

namespace zeph {
namespace {

TEST(TextConsole, WritesAreClippedAtTheEdgesOfTheGrid) {
    TextConsole console;
    console.write(3, 78, "ABCDE", 0x71);      // only ABC fit
    console.write(4, -1, "xyzW", 0x7E);       // x and y fall left of column 1
    console.write(0, 1, "lost", 0x71);
    console.write(51, 1, "lost", 0x71);

    EXPECT_EQ(console.row_text(3), std::string(77, ' ') + "ABC");
    EXPECT_EQ(console.row_text(4), "zW");
    EXPECT_EQ(console.cell(4, 2).attribute, 0x7E);
    EXPECT_EQ(console.cell(4, 3).attribute, 0x70);   // untouched cells keep the default
    EXPECT_EQ(console.cell(3, 80).byte, 'C');
    EXPECT_EQ(console.cell(3, 80).attribute, 0x71);
    for (int row : {1, 2, 5, 50}) EXPECT_EQ(console.row_text(row), "") << row;
}

TEST(TextConsole, RowTextKeepsInnerBlanksAndBytesAndDropsTrailingOnes) {
    TextConsole console;
    console.write(7, 3, "a  \xB1 b   ", 0x70);
    EXPECT_EQ(console.row_text(7), "  a  \xB1 b");
    EXPECT_EQ(console.row_text(0), "");
    EXPECT_EQ(console.row_text(51), "");
    EXPECT_EQ(console.cell(0, 0).byte, ' ');   // outside: a blank default cell
}

TEST(TextConsole, PrintLineReplacesTheCursorRowAndMovesDown) {
    TextConsole console;
    RecordingPresenter presenter;
    console.set_presenter(&presenter);
    console.write(10, 1, "an old and much longer row", 0x78);
    console.set_cursor(10, 40);

    console.print_line("short   ", 0x71);

    EXPECT_EQ(console.row_text(10), "short");
    EXPECT_EQ(console.cell(10, 20).attribute, 0x71);   // the whole row takes the attribute
    EXPECT_EQ(console.cursor_row(), 11);
    EXPECT_EQ(console.cursor_column(), 1);
    ASSERT_EQ(presenter.lines.size(), 1u);
    EXPECT_EQ(presenter.lines[0], "short");   // trailing blanks stay out of the transcript
}

TEST(TextConsole, PrintLinePastTheLastRowScrollsTheGridUp) {
    TextConsole console;
    for (int i = 1; i <= TextConsole::kRows + 2; ++i) console.print_line("line " + std::to_string(i));

    EXPECT_EQ(console.row_text(1), "line 3");
    EXPECT_EQ(console.row_text(49), "line 51");
    EXPECT_EQ(console.row_text(50), "line 52");
    EXPECT_EQ(console.cursor_row(), TextConsole::kRows + 1);   // the next line scrolls again
}

TEST(TextConsole, ClearBlanksWithTheAttributeAndHomesTheCursor) {
    TextConsole console;
    console.write(20, 5, "text", 0x7E);
    console.set_cursor(20, 9);
    console.clear(0x17);
    EXPECT_EQ(console.row_text(20), "");
    EXPECT_EQ(console.cell(50, 80).attribute, 0x17);
    EXPECT_EQ(console.cursor_row(), 1);
    EXPECT_EQ(console.cursor_column(), 1);

    console.set_cursor(99, -4);   // clamped into the grid
    EXPECT_EQ(console.cursor_row(), 50);
    EXPECT_EQ(console.cursor_column(), 1);
}

TEST(TextConsole, ForwardsBeepsTranscriptAndRefreshesToThePresenter) {
    TextConsole console;
    console.beep(800, 60);   // no presenter yet: nothing happens
    RecordingPresenter presenter;
    console.set_presenter(&presenter);
    console.beep(800, 60);
    console.beep(200, 60);
    console.transcript("Enter command...");
    console.present();
    EXPECT_EQ(presenter.beeps, (std::vector<BeepRecord>{{800, 60}, {200, 60}}));
    EXPECT_EQ(presenter.lines, std::vector<std::string>{"Enter command..."});
    EXPECT_EQ(presenter.refreshes, 1);
    EXPECT_EQ(console.row_text(1), "");   // the transcript alone does not touch the grid
}

}  // namespace
}  // namespace zeph
