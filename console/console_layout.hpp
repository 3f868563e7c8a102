#pragma once
// How the 80 x 50 grid of the text console is shown on a terminal of another
// height. Pure arithmetic: the presenter draws what it says, the pagers cut
// their pages by it, tests check it.
//
// At 50 rows or more the whole grid shows. From 24 to 49 rows the grid is
// shown one of two ways, by what it holds:
// - prompt: the prompt block (grid rows 45..50) stays whole at the bottom; the
//   terminal's first row is a header line (the help's place, the keys that
//   scroll it, the marked words); the rows between show a window onto grid
//   rows 2..44 that PgUp and PgDn move at a prompt.
// - page: text written from the top (a listing page, a report, a command's
//   output); the pagers cut their pages to the rows there are, and a longer
//   text shows its last rows, those up to the cursor.
// Below 80 x 24 the console is not shown and no key is acted on.
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

inline constexpr int kLeastColumns = 80;   // the least terminal the console is shown on
inline constexpr int kLeastRows = 24;
inline constexpr int kFullRows = 50;       // the grid's height: all of it shows
inline constexpr int kBlockFirstRow = 45;  // the six-row prompt block: grid rows 45..50
inline constexpr int kBlockRows = 6;
inline constexpr int kHelpFirstScrolledRow = 2;   // row 1 (the title) gives way to the header
inline constexpr int kHelpLastRow = kBlockFirstRow - 1;
inline constexpr int kHeaderRow = 0;       // in shown_grid_rows: the header line, not a grid row

enum class ScreenUse { prompt, page };

bool console_fits(int columns, int rows);

// The terminal's rows as the console uses them: at most the grid's 50, at least 24.
int console_rows(int terminal_rows);

// Grid rows of the help shown between the header and the prompt block on a
// terminal of `rows` rows (below 50); 0 when the whole grid shows.
int help_window_rows(int rows);

// `top` (the first help row shown) kept where the window stays inside rows 2..44.
int clamped_help_top(int top, int rows);

// The first help row shown after a move of `pages` windows (negative: up);
// consecutive windows share one row, so the reader keeps the thread.
int scrolled_help_top(int top, int rows, int pages);

// The least move of the window from `top` that shows grid row `row`.
int help_top_showing(int row, int top, int rows);

// For each terminal row from the top of the shown console, the grid row it
// shows (1..50), or kHeaderRow for the header line. `cursor_row` is where the
// next line of a page would go (one past its last line).
std::vector<int> shown_grid_rows(int rows, ScreenUse use, int help_top, int cursor_row);

// The header line of a short screen at a prompt: where the help window
// stands, the keys that move it and the words the help marks ("SP PO DB PL").
// At most 80 characters.
std::string help_header(int help_top, int rows, std::string_view marked_words);

// Value lines on one page of a listing whose page has `fixed_rows` heading
// and footer rows and at most `most` value lines.
int page_lines(int rows, int fixed_rows, int most);

// A text of `line_count` lines shown on `rows` rows: the first line of each
// page. One page when it fits, and always at 50 rows (a longer text scrolls
// there as it always did); otherwise pages of rows - 1 lines, the last row
// telling that more follows.
std::vector<int> text_page_starts(int line_count, int rows);

}  // namespace zeph
