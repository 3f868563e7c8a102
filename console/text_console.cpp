#include "console/text_console.hpp"

#include <algorithm>
#include <utility>

#include "base/utf8.hpp"

namespace zeph {

namespace {
bool inside(int row, int column) {
    return row >= 1 && row <= TextConsole::kRows && column >= 1 && column <= TextConsole::kColumns;
}
}  // namespace

void TextConsole::write(int row, int column, std::string_view text, std::uint8_t attribute) {
    if (row < 1 || row > kRows) return;
    int c = column;
    for (std::size_t i = 0; i < text.size() && c <= kColumns; ++c) {
        const Utf8Char character = next_character(text, i);
        i += character.length;
        if (c >= 1) cells_[row - 1][c - 1] = Cell{character.code_point, attribute};
    }
}

void TextConsole::put(int row, int column, char32_t character, std::uint8_t attribute) {
    if (inside(row, column)) cells_[row - 1][column - 1] = Cell{character, attribute};
}

void TextConsole::clear_row(int row, std::uint8_t attribute) {
    if (row < 1 || row > kRows) return;
    cells_[row - 1].fill(Cell{' ', attribute});
}

void TextConsole::clear(std::uint8_t attribute) {
    for (auto& row : cells_) row.fill(Cell{' ', attribute});
    cursor_row_ = 1;
    cursor_column_ = 1;
    use_ = ScreenUse::page;
}

int TextConsole::screen_rows() const { return presenter_ ? console_rows(presenter_->rows()) : kRows; }

void TextConsole::scroll_help(int pages) { help_top_ = scrolled_help_top(help_top_, screen_rows(), pages); }

void TextConsole::reveal(int row) { help_top_ = help_top_showing(row, help_top_, screen_rows()); }

void TextConsole::set_cursor(int row, int column) {
    cursor_row_ = std::clamp(row, 1, kRows);
    cursor_column_ = std::clamp(column, 1, kColumns);
}

void TextConsole::print_line(std::string_view text, std::uint8_t attribute) {
    if (cursor_row_ > kRows) {
        std::rotate(cells_.begin(), cells_.begin() + 1, cells_.end());
        cells_[kRows - 1].fill(Cell{' ', attribute});
        cursor_row_ = kRows;
    }
    clear_row(cursor_row_, attribute);
    write(cursor_row_, 1, text, attribute);
    if (use_ == ScreenUse::prompt) reveal(cursor_row_);
    ++cursor_row_;
    cursor_column_ = 1;
    const auto end = text.find_last_not_of(' ');
    transcript(end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1));
}

void TextConsole::transcript(std::string_view line) {
    if (presenter_) presenter_->transcript(line);
}

void TextConsole::beep(int hz, int ms) {
    if (presenter_) presenter_->beep(hz, ms);
}

void TextConsole::present() {
    if (presenter_) presenter_->refresh(*this);
}

Cell TextConsole::cell(int row, int column) const {
    if (!inside(row, column)) return Cell{};
    return cells_[row - 1][column - 1];
}

std::string TextConsole::row_text(int row) const {
    if (row < 1 || row > kRows) return {};
    std::string text;
    for (const Cell& c : cells_[row - 1]) append_utf8(text, c.character);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace zeph
