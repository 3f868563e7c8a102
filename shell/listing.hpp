#pragma once
// LI: the displayed values listed page by page in the text window.
#include <functional>

#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kListRangePrompt = "Xmin, Xmax for list:";
inline constexpr int kListingLinesPerPage = 40;

// The 1-based index range [first, last] of the values between x1 and x2.
struct ListRange {
    long long first, last;
};
ListRange list_range(double x1, double x2, double xmin, double dx, int count);

// The page starting at index `first`: heading rows, value lines and the footer.
std::vector<std::string> listing_page(const Workspace& workspace, ListRange range, long long first);

void list_display(Session& session);

// Shows page(first) for the pages of `range` and moves between them with
// PgDn, PgUp, Home, End (Space, q and Esc as in other pagers). A page is
// three heading rows, at most kListingLinesPerPage value lines and a footer;
// on a terminal of fewer than 50 rows it is cut to the rows there are.
void show_pages(Session& session, ListRange range, const std::function<std::vector<std::string>(long long)>& page);

// Value lines on a listing page on a screen of `screen_rows` rows (40 at 50 rows).
int listing_lines(int screen_rows);
// A page as show_pages takes it, keeping its first `lines` value lines; a
// cut page ends with the footer that says more follows.
std::vector<std::string> cut_page(std::vector<std::string> rows, int lines);

// Shows a text (a report, a table) that ends by asking for a key, and waits
// for it. A text longer than the screen's rows (below 50) comes in pages, a
// key after each.
void show_text_screen(Session& session, const std::vector<std::string>& lines);

inline constexpr std::string_view kListingMoreFooter = "<PgDn>, <PgUp>, <Home>, <End>, <Esc>";
inline constexpr std::string_view kListingEndFooter = "** END OF LISTING ** <PgUp>, <Home>, <Esc>";

}  // namespace zeph
