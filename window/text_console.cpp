#include "window/text_console.hpp"

#include <algorithm>

namespace zeph {

namespace {
bool inside(int row, int column) {
    return row >= 1 && row <= TextConsole::kRows && column >= 1 && column <= TextConsole::kColumns;
}
}  // namespace

void TextConsole::write(int row, int column, std::string_view bytes, std::uint8_t attribute) {
    if (row < 1 || row > kRows) return;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int c = column + static_cast<int>(i);
        if (c > kColumns) break;
        if (c < 1) continue;
        cells_[row - 1][c - 1] = Cell{static_cast<unsigned char>(bytes[i]), attribute};
    }
}

void TextConsole::clear_row(int row, std::uint8_t attribute) {
    if (row < 1 || row > kRows) return;
    cells_[row - 1].fill(Cell{' ', attribute});
}

void TextConsole::clear(std::uint8_t attribute) {
    for (auto& row : cells_) row.fill(Cell{' ', attribute});
    cursor_row_ = 1;
    cursor_column_ = 1;
}

void TextConsole::set_cursor(int row, int column) {
    cursor_row_ = std::clamp(row, 1, kRows);
    cursor_column_ = std::clamp(column, 1, kColumns);
}

void TextConsole::print_line(std::string_view bytes, std::uint8_t attribute) {
    if (cursor_row_ > kRows) {
        std::rotate(cells_.begin(), cells_.begin() + 1, cells_.end());
        cells_[kRows - 1].fill(Cell{' ', attribute});
        cursor_row_ = kRows;
    }
    clear_row(cursor_row_, attribute);
    write(cursor_row_, 1, bytes, attribute);
    ++cursor_row_;
    cursor_column_ = 1;
    const auto end = bytes.find_last_not_of(' ');
    transcript(end == std::string_view::npos ? std::string_view{} : bytes.substr(0, end + 1));
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
    for (const Cell& c : cells_[row - 1]) text.push_back(static_cast<char>(c.byte));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace zeph
