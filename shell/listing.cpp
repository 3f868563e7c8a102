#include "shell/listing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/format_number.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"

namespace zeph {

namespace {
constexpr std::string_view kMoreFooter = kListingMoreFooter;
constexpr std::string_view kEndFooter = kListingEndFooter;

long long truncated(double value) {
    if (std::isnan(value)) return 0;
    return static_cast<long long>(std::clamp(std::trunc(value), -9.0e15, 9.0e15));
}
}  // namespace

ListRange list_range(double x1, double x2, double xmin, double dx, int count) {
    if (dx == 0.0) return {1, count};
    const long long first = std::max(1LL, truncated((x1 - xmin + dx) / dx));
    const long long last = std::min<long long>(count, truncated((x2 - xmin + dx) / dx + 1.0));
    return {first, last};
}

std::vector<std::string> listing_page(const Workspace& workspace, ListRange range, long long first) {
    const DisplayState& d = workspace.display;
    const bool xy = is_xy(workspace.selection);
    std::vector<std::string> rows;
    rows.push_back(padded_characters(d.listing_heading, 80));
    rows.emplace_back();
    rows.push_back("    N   " + padded_characters(xy ? "X value (real)" : d.list_x_heading, 20) + " " +
                   padded_characters(xy ? "Y value (imag)" : d.list_y_heading, 20));
    long long k = first;
    for (int line = 0; line < kListingLinesPerPage && k <= range.last; ++line, ++k) {
        const auto i = static_cast<std::size_t>(k - 1);
        const double x = xy ? workspace.work_x[i] : d.xmin + static_cast<double>(k - 1) * d.dx;
        char number[16];
        std::snprintf(number, sizeof number, "%5lld", k);
        rows.push_back(std::string(number) + "  " + format_number(x) + "  " + format_number(workspace.work_y[i]));
    }
    rows.emplace_back(k > range.last ? kEndFooter : kMoreFooter);
    return rows;
}

namespace {
constexpr int kHeadingRows = 3;                  // a page's heading, a blank row, the column headings
constexpr int kFixedRows = kHeadingRows + 1;     // and the footer

// Waits for a key that moves the listing and sets the index of the next page;
// false for Esc. Other keys are ignored.
bool next_page_key(Session& session, bool at_end, ListRange range, int lines, long long& current) {
    KeySource& keys = session.prompter.keys();
    for (;;) {
        const int key = keys.read_key();
        // q and Space act as in other pagers: Esc and PgDn.
        if (key == kKeyEscape || key == 'q' || key == 'Q') return false;
        if (key != kKeyExtended && key != ' ') continue;
        switch (key == ' ' ? kKeyPageDown : keys.read_key()) {
        case kKeyPageDown:
            if (at_end) continue;   // nothing after the last page
            return true;            // the next page starts at the current index
        case kKeyPageUp:
            current -= 2 * lines;
            return true;
        case kKeyHome:
            current = range.first;
            return true;
        case kKeyEnd:
            current = range.last - (lines - 1);
            return true;
        default:
            continue;
        }
    }
}

// The footer of a page of a text too long for the screen.
std::string more_footer(std::size_t first, std::size_t last, std::size_t count) {
    return " -- any key: more (lines " + std::to_string(first) + "-" + std::to_string(last) + " of " +
           std::to_string(count) + ") --";
}
}  // namespace

std::vector<std::string> cut_page(std::vector<std::string> rows, int lines) {
    const auto kept = static_cast<std::size_t>(kHeadingRows + std::max(lines, 1));
    if (rows.size() <= kept + 1) return rows;
    rows.resize(kept);
    rows.emplace_back(kMoreFooter);
    return rows;
}

int listing_lines(int screen_rows) { return page_lines(screen_rows, kFixedRows, kListingLinesPerPage); }

void list_display(Session& session) {
    Workspace& w = session.workspace;
    DisplayState& d = w.display;
    session.define_variable("XMIN", d.xmin);
    session.define_variable("XMAX", d.xmin + (d.display_count - 1) * d.dx);
    ListRange range{1, d.display_count};
    if (!is_xy(w.selection)) {
        std::array<double, 4> limits{};
        if (!session.ask_values_text(kListRangePrompt, "XMIN, XMAX", w.display_answers.list_range, limits, 2)) return;
        range = list_range(limits[0], limits[1], d.xmin, d.dx, d.display_count);
    }
    range.last = std::min<long long>(range.last, d.display_count);
    show_pages(session, range, [&w, range](long long first) { return listing_page(w, range, first); });
}

void show_pages(Session& session, ListRange range, const std::function<std::vector<std::string>(long long)>& page) {
    TextConsole& console = session.console;
    // The current index: after a full page the index after its last line,
    // after the last page the last index itself (so PgUp there goes back two pages).
    long long current = range.first;
    for (;;) {
        // Measured for every page: the terminal may have been resized.
        const int lines = listing_lines(console.screen_rows());
        const long long first = std::clamp(current, range.first, std::max(range.first, range.last));
        console.clear();
        for (const std::string& row : cut_page(page(first), lines)) console.print_line(row);
        console.present();
        const bool at_end = first + lines > range.last;
        current = at_end ? range.last : first + lines;
        if (session.nopause) return;
        if (!next_page_key(session, at_end, range, lines, current)) {
            console.clear();
            return;
        }
    }
}

void show_text_screen(Session& session, const std::vector<std::string>& lines) {
    TextConsole& console = session.console;
    const std::vector<int> starts = text_page_starts(static_cast<int>(lines.size()), console.screen_rows());
    for (std::size_t p = 0; p < starts.size(); ++p) {
        const bool last = p + 1 == starts.size();
        const auto first = static_cast<std::size_t>(starts[p]);
        const std::size_t end = last ? lines.size() : static_cast<std::size_t>(starts[p + 1]);
        console.clear();
        for (std::size_t i = first; i < end; ++i) console.print_line(lines[i]);
        if (!last) console.print_line(more_footer(first + 1, end, lines.size()));
        console.present();
        session.wait_for_key();
    }
}

}  // namespace zeph
