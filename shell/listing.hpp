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
// PgDn, PgUp, Home, End (Space, q and Esc as in other pagers).
void show_pages(Session& session, ListRange range, const std::function<std::vector<std::string>(long long)>& page);

inline constexpr std::string_view kListingMoreFooter = "<PgDn>, <PgUp>, <Home>, <End>, <Esc>";
inline constexpr std::string_view kListingEndFooter = "** END OF LISTING ** <PgUp>, <Home>, <Esc>";

}  // namespace zeph
