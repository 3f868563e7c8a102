#include "input/message_report.hpp"

#include <array>
#include <string>

#include "base/text.hpp"

namespace zeph {

namespace {
// The beginnings of the notices; each is written where its message is made.
constexpr std::array<std::string_view, 7> kNoticeBeginnings{
    "Wrote ",                                    // a file written
    "Read ",                                     // channels taken, a read stopped at the maximum
    "Plots: ",                                   // where plots are shown
    "ZEPH32.TMP is in use by another run",       // this run's own log
    "Playing ",                                  // sound being played
    "Clipped ",                                  // values beyond full scale written or played at full scale
    "Point ",                                    // the data point clicked in a plot
};
constexpr std::array<std::string_view, 4> kNoticeEndings{
    " NaN or infinite left out",                 // values a display could not use
    " clipped",                                  // values beyond full scale written at full scale
    kNonfiniteSegmentsEnding,                    // segments of WP or SG holding NaN or infinite samples
    " played as silence",                        // NaN and infinite values played
};
}  // namespace

bool is_notice(std::string_view message) {
    const std::string text = trim_right(message);
    for (std::string_view beginning : kNoticeBeginnings)
        if (text.starts_with(beginning)) return true;
    for (std::string_view ending : kNoticeEndings)
        if (text.ends_with(ending)) return true;
    return false;
}

bool MessageReport::shown(std::string_view message) {
    if (trim_right(message).empty() || is_notice(message)) return false;
    ++errors_;
    if (errors_out_) {
        const std::string line = "zeph: " + trim_right(message) + "\n";
        std::fwrite(line.data(), 1, line.size(), errors_out_);
        std::fflush(errors_out_);
    }
    return fail_fast_;
}

}  // namespace zeph
