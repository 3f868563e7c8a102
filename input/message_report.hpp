#pragma once
// What the run's messages tell a script: how many errors were shown, each
// also on standard error when the run is headless, and the end of the run at
// the first one when the user asked for --fail-fast.
#include <cstdio>
#include <string_view>

namespace zeph {

// The end of the notice "k of n segments NaN or infinite" of WP and SG.
inline constexpr std::string_view kNonfiniteSegmentsEnding = " segments NaN or infinite";

// Notices report what was done or how it will be done ("Wrote ...", "Read
// channels 1 and 2 of 4 ...", "Plots: ..."); every other message refuses
// what the user asked, an invalid entry that is asked again included.
bool is_notice(std::string_view message);

class MessageReport {
public:
    // Headless runs also write each error on `errors_out` as "zeph: " and the message.
    void set_error_stream(std::FILE* errors_out) { errors_out_ = errors_out; }
    void set_fail_fast(bool fail_fast) { fail_fast_ = fail_fast; }

    // Counts a message as it is shown; true when the run must end now (--fail-fast).
    bool shown(std::string_view message);
    int errors() const { return errors_; }

private:
    std::FILE* errors_out_ = nullptr;
    bool fail_fast_ = false;
    int errors_ = 0;
};

}  // namespace zeph
