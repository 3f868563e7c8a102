#pragma once
// The text window: an 80 x 50 grid of (character, attribute) cells and a cursor.
// Every write goes to the grid; a Presenter shows it on a terminal or turns the
// program's text output into the headless transcript. Tests read the grid.
//
// Rows and columns are 1-based as the program counts them. A write outside the
// grid lands nowhere. Text comes and goes as UTF-8; a cell holds one character
// (a code point), so widths count characters, and a byte that is no valid
// UTF-8 lands as U+FFFD. Attributes: low four bits foreground palette index,
// bits 4..6 background palette index (0x70 = black on light grey).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console_layout.hpp"

namespace zeph {

struct Cell {
    char32_t character = U' ';
    std::uint8_t attribute = 0x70;
};

class TextConsole;

// Shows the console. The terminal presenter draws the grid; the headless one
// prints transcript lines and ignores the grid.
class Presenter {
public:
    virtual ~Presenter() = default;
    virtual void refresh(const TextConsole&) {}
    virtual void transcript(std::string_view /*line*/) {}
    virtual void beep(int /*hz*/, int /*ms*/) {}
    // Leaves and re-enters the screen around an operating-system command.
    virtual void suspend() {}
    virtual void resume() {}
    // What libraries wrote on standard error since the last call, when the
    // presenter keeps it off the screen; empty otherwise.
    virtual std::string library_messages() { return {}; }
    // The rows the console is shown on (a terminal may have fewer than 50).
    virtual int rows() const { return kFullRows; }
};

class TextConsole {
public:
    static constexpr int kRows = 50;
    static constexpr int kColumns = 80;

    void write(int row, int column, std::string_view text, std::uint8_t attribute);
    // One cell.
    void put(int row, int column, char32_t character, std::uint8_t attribute);
    void clear_row(int row, std::uint8_t attribute = 0x70);
    void clear(std::uint8_t attribute = 0x70);
    void set_cursor(int row, int column);
    int cursor_row() const { return cursor_row_; }
    int cursor_column() const { return cursor_column_; }

    // Text written to the text window at the cursor, one line (listing pages,
    // reports, notices): it lands in the grid from the cursor row, column 1,
    // the cursor moves to the next row (rows past 50 scroll the grid up), and
    // the line goes to the transcript. Above a prompt block the help window
    // moves to show it.
    void print_line(std::string_view text, std::uint8_t attribute = 0x70);
    // A line for the headless transcript only (the prompt block's texts).
    void transcript(std::string_view line);

    // How the grid is shown on a terminal of fewer than 50 rows (see
    // console/console_layout.hpp): a prompt block under the help window, or a
    // page written from the top. clear() makes it a page.
    void set_use(ScreenUse use) { use_ = use; }
    ScreenUse use() const { return use_; }
    // The rows the console is shown on, 24..50; 50 headless.
    int screen_rows() const;
    // The help window: its first row, moved a number of windows (PgUp, PgDn)
    // or as little as shows a row; and the words the help marks, for the
    // header line.
    int help_top() const { return help_top_; }
    void scroll_help(int pages);
    void reveal(int row);
    void set_marked_words(std::string words) { marked_words_ = std::move(words); }
    const std::string& marked_words() const { return marked_words_; }

    void beep(int hz, int ms);
    std::string library_messages() { return presenter_ ? presenter_->library_messages() : std::string(); }
    // Pushes the grid to the presenter (the terminal redraws).
    void present();

    Cell cell(int row, int column) const;
    std::string row_text(int row) const;   // the row's 80 characters as UTF-8, trailing blanks removed

    void set_presenter(Presenter* presenter) { presenter_ = presenter; }

private:
    std::array<std::array<Cell, kColumns>, kRows> cells_{};
    int cursor_row_ = 1;
    int cursor_column_ = 1;
    ScreenUse use_ = ScreenUse::page;
    int help_top_ = kHelpFirstScrolledRow;
    std::string marked_words_;
    Presenter* presenter_ = nullptr;
};

}  // namespace zeph
