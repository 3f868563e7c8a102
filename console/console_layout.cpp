#include "console/console_layout.hpp"

#include <algorithm>

namespace zeph {

namespace {
constexpr std::size_t kHeaderWidth = 80;
constexpr std::string_view kCut = "...";
}  // namespace

bool console_fits(int columns, int rows) { return columns >= kLeastColumns && rows >= kLeastRows; }

int console_rows(int terminal_rows) { return std::clamp(terminal_rows, kLeastRows, kFullRows); }

int help_window_rows(int rows) {
    if (rows >= kFullRows) return 0;
    return console_rows(rows) - 1 - kBlockRows;
}

int clamped_help_top(int top, int rows) {
    const int shown = help_window_rows(rows);
    if (shown == 0) return kHelpFirstScrolledRow;
    return std::clamp(top, kHelpFirstScrolledRow, kHelpLastRow - shown + 1);
}

int scrolled_help_top(int top, int rows, int pages) {
    const int step = std::max(help_window_rows(rows) - 1, 1);
    return clamped_help_top(clamped_help_top(top, rows) + pages * step, rows);
}

int help_top_showing(int row, int top, int rows) {
    const int shown = help_window_rows(rows);
    top = clamped_help_top(top, rows);
    if (shown == 0 || row < kHelpFirstScrolledRow || row > kHelpLastRow) return top;
    if (row < top) return clamped_help_top(row, rows);
    if (row >= top + shown) return clamped_help_top(row - shown + 1, rows);
    return top;
}

std::vector<int> shown_grid_rows(int rows, ScreenUse use, int help_top, int cursor_row) {
    std::vector<int> shown;
    if (rows >= kFullRows) {
        for (int row = 1; row <= kFullRows; ++row) shown.push_back(row);
        return shown;
    }
    rows = console_rows(rows);
    if (use == ScreenUse::prompt) {
        shown.push_back(kHeaderRow);
        const int top = clamped_help_top(help_top, rows);
        for (int row = top; row < top + help_window_rows(rows); ++row) shown.push_back(row);
        for (int row = kBlockFirstRow; row <= kFullRows; ++row) shown.push_back(row);
        return shown;
    }
    // A page: its first rows, or its last ones up to the line before the cursor.
    const int last = std::clamp(cursor_row - 1, rows, kFullRows);
    for (int row = last - rows + 1; row <= last; ++row) shown.push_back(row);
    return shown;
}

std::string help_header(int help_top, int rows, std::string_view marked_words) {
    const int top = clamped_help_top(help_top, rows);
    const int bottom = top + help_window_rows(rows) - 1;
    std::string header = " Help rows " + std::to_string(top) + "-" + std::to_string(bottom) + " of " +
                         std::to_string(kHelpLastRow) + ", PgUp PgDn scroll";
    if (!marked_words.empty()) header += "  \u00BB " + std::string(marked_words);
    // Counted in characters: » is two bytes.
    const std::size_t limit = kHeaderWidth + (marked_words.empty() ? 0 : 1);
    if (header.size() > limit) header = header.substr(0, limit - kCut.size()) + std::string(kCut);
    return header;
}

int page_lines(int rows, int fixed_rows, int most) {
    return std::clamp(console_rows(rows) - fixed_rows, 1, std::max(most, 1));
}

std::vector<int> text_page_starts(int line_count, int rows) {
    rows = console_rows(rows);
    if (line_count <= rows || rows >= kFullRows) return {0};
    std::vector<int> starts;
    for (int start = 0; start < line_count; start += rows - 1) starts.push_back(start);
    return starts;
}

}  // namespace zeph
