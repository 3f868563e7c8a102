#include <gtest/gtest.h>

#include <string>

#include "base/utf8.hpp"
#include "tests/support/script_keys.hpp"
#include "console/text_console.hpp"

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
    EXPECT_EQ(console.cell(3, 80).character, U'C');
    EXPECT_EQ(console.cell(3, 80).attribute, 0x71);
    for (int row : {1, 2, 5, 50}) EXPECT_EQ(console.row_text(row), "") << row;
}

TEST(TextConsole, RowTextKeepsInnerBlanksAndCharactersAndDropsTrailingOnes) {
    TextConsole console;
    console.write(7, 3, "a  ± b   ", 0x70);
    EXPECT_EQ(console.row_text(7), "  a  ± b");
    EXPECT_EQ(console.row_text(0), "");
    EXPECT_EQ(console.row_text(51), "");
    EXPECT_EQ(console.cell(0, 0).character, U' ');   // outside: a blank default cell
}

TEST(TextConsole, ACellHoldsOneCharacterWhateverItsUtf8Length) {
    TextConsole console;
    const std::string prompt = "Type: A=+(A+jB), M=*(A+jB), E=*(A+jB)*EXP(j2πft), S=*(A+jB)*COS(2πft+Θ), C=conj.";
    console.write(46, 1, prompt, 0x7E);
    EXPECT_EQ(console.row_text(46), prompt);   // 80 characters fill the row exactly
    EXPECT_EQ(console.cell(46, 80).character, U'.');
    EXPECT_EQ(console.cell(46, 45).character, U'π');
    EXPECT_EQ(console.cell(46, 66).character, U'π');
    EXPECT_EQ(console.cell(46, 70).character, U'Θ');

    console.write(1, 1, "√µ€😀x", 0x70);   // two, two, three and four bytes
    EXPECT_EQ(console.cell(1, 1).character, U'√');
    EXPECT_EQ(console.cell(1, 4).character, U'😀');
    EXPECT_EQ(console.cell(1, 5).character, U'x');
    EXPECT_EQ(console.row_text(1), "√µ€😀x");

    // Clipping counts characters too: 78 + 3 characters leaves "ab".
    console.write(2, 79, "ab≤c", 0x70);
    EXPECT_EQ(console.row_text(2), std::string(78, ' ') + "ab");
    console.write(3, -1, "≥≤ok", 0x70);
    EXPECT_EQ(console.row_text(3), "ok");
}

TEST(TextConsole, BytesThatAreNoUtf8LandAsReplacementCharacters) {
    TextConsole console;
    console.write(5, 1, "a\xB1" "b\xE2\x88" "c\xC3", 0x70);   // Latin-1, a cut sequence, a lone lead
    EXPECT_EQ(console.cell(5, 1).character, U'a');
    EXPECT_EQ(console.cell(5, 2).character, kReplacementCharacter);
    EXPECT_EQ(console.cell(5, 3).character, U'b');
    EXPECT_EQ(console.cell(5, 4).character, kReplacementCharacter);
    EXPECT_EQ(console.cell(5, 5).character, kReplacementCharacter);
    EXPECT_EQ(console.cell(5, 6).character, U'c');
    EXPECT_EQ(console.row_text(5), "a\uFFFDb\uFFFD\uFFFDc\uFFFD");
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
