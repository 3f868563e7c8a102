#include "shell/spectral_display.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/format_number.hpp"
#include "base/text.hpp"
#include "base/utf8.hpp"
#include "dsp/ordinate.hpp"
#include "fileio/matrix_text.hpp"
#include "input/message_report.hpp"
#include "shell/file_output_dialogue.hpp"
#include "shell/listing.hpp"
#include "shell/plot_dialogue.hpp"
#include "shell/window_dialogue.hpp"

namespace zeph {

namespace {
bool whole(double v) { return std::isfinite(v) && v == std::trunc(v); }

bool ask_lengths(Session& session, long long npts, SegmentParameters& p) {
    for (;;) {
        std::array<double, 4> v{static_cast<double>(p.length), static_cast<double>(p.overlap), 0, 0};
        if (!session.ask_numbers(kSegmentPointsPrompt, kSegmentPointsDefault, v, 2)) return false;
        if (whole(v[0]) && whole(v[1]) && v[0] >= 2 && v[0] <= static_cast<double>(npts) && v[1] >= 0 &&
            v[1] < v[0]) {
            p.length = static_cast<long long>(v[0]);
            p.overlap = static_cast<long long>(v[1]);
            return true;
        }
        session.workspace.message_line = kInvalidEntryMessage;
    }
}

bool ask_window(Session& session, SegmentAnswers& answers) {
    for (;;) {
        std::string reply = answers.window_letter;
        if (!session.ask_text(kSegmentWindowPrompt, kSegmentWindowDefault, reply)) return false;
        const char letter = reply.empty() ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(reply[0])));
        if (letter == 'S' || letter == 'R' || letter == 'K') {
            answers.window_letter = std::string(1, letter);
            answers.parameters.window.kind = letter == 'S'   ? SegmentWindowKind::hann
                                             : letter == 'R' ? SegmentWindowKind::rectangular
                                                             : SegmentWindowKind::kaiser;
            return true;
        }
        session.workspace.message_line = kInvalidEntryMessage;
    }
}

bool ask_kaiser_beta(Session& session, double& beta) {
    for (;;) {
        std::array<double, 4> v{beta, 0, 0, 0};
        if (!session.ask_numbers(kKaiserShapePrompt, kKaiserShapeDefault, v, 1)) return false;
        if (std::isfinite(v[0]) && v[0] >= 0 && v[0] <= kMaxKaiserBeta) {
            beta = v[0];
            return true;
        }
        session.workspace.message_line = kInvalidEntryMessage;
    }
}

// The questions and the time signal's samples, or why there is no result.
Derivation segments_asked(DeriveInput& in) {
    if (!ask_segment_parameters(in.session, static_cast<long long>(in.z.size()))) return Derivation::escaped;
    return Derivation::done;
}

void refuse(Workspace& w, const Status& status) { w.message_line = status.message; }

// The cells as the file and listing show them: dB (10·log10) with DB on.
std::vector<double> shown_values(const Workspace& w) {
    const Spectrogram& sg = w.spectrogram;
    std::vector<double> values(sg.density.begin(), sg.density.end());
    if (w.options.DB) to_decibels(values, static_cast<int>(DbForm::power));
    return values;
}

void write_spectrogram_file(Session& session) {
    Workspace& w = session.workspace;
    if (!session.ask_text(kOutputNamePrompt, "", w.files.output_file_name)) return;
    std::string path = w.files.output_file_name;
    std::replace(path.begin(), path.end(), '\\', '/');
    const Spectrogram& sg = w.spectrogram;
    const Status written = write_matrix_text(sg.time, sg.frequency, shown_values(w), path);
    if (!written) {
        refuse(w, written);
        return;
    }
    const std::size_t cells = sg.density.size();
    note_written(session.console, session.help, trim_right(w.files.output_file_name),
                 std::to_string(cells) + (cells == 1 ? " value" : " values"));
}

std::vector<std::string> spectrogram_page(const Workspace& w, const std::vector<double>& values, ListRange range,
                                          long long first) {
    const Spectrogram& sg = w.spectrogram;
    std::vector<std::string> rows;
    rows.push_back(padded_characters(w.display.listing_heading, 80));
    rows.emplace_back();
    rows.push_back("    N   " + padded_characters("Time", 20) + " " + padded_characters("Frequency", 20) + " " +
                   padded_characters(w.options.DB ? "Density (dB)" : "Density", 20));
    long long k = first;
    for (int line = 0; line < kListingLinesPerPage && k <= range.last; ++line, ++k) {
        const long long cell = k - 1;
        char number[16];
        std::snprintf(number, sizeof number, "%5lld", k);
        rows.push_back(std::string(number) + "  " +
                       format_number(sg.time[static_cast<std::size_t>(cell / sg.bins)]) + "  " +
                       format_number(sg.frequency[static_cast<std::size_t>(cell % sg.bins)]) + "  " +
                       format_number(values[static_cast<std::size_t>(cell)]));
    }
    rows.emplace_back(k > range.last ? kListingEndFooter : kListingMoreFooter);
    return rows;
}

// The plot says where it was shown on the message line; the derivation's
// notice stays beside that note (an error of the plot replaces both).
void keep_derivation_notice(Workspace& w) {
    const std::string& notice = w.display.derivation_notice;
    if (notice.empty()) return;
    std::string& line = w.message_line;
    const auto end = line.find_last_not_of(' ');
    if (end == std::string::npos) line = notice;
    else if (is_notice(line) && line.find(notice) == std::string::npos) line = line.substr(0, end + 1) + "; " + notice;
}

void list_spectrogram(Session& session) {
    const Workspace& w = session.workspace;
    const std::vector<double> values = shown_values(w);
    const ListRange range{1, static_cast<long long>(values.size())};
    show_pages(session, range, [&](long long first) { return spectrogram_page(w, values, range, first); });
}
}  // namespace

void plot_keeping_notice(Session& session) {
    plot_dialogue(session, session.plot);
    keep_derivation_notice(session.workspace);
}

bool ask_segment_parameters(Session& session, long long npts) {
    SegmentAnswers& answers = session.workspace.segments;
    SegmentParameters asked = answers.parameters;
    if (!ask_lengths(session, npts, asked)) return false;
    answers.parameters.length = asked.length;
    answers.parameters.overlap = asked.overlap;
    if (!ask_window(session, answers)) return false;
    if (answers.parameters.window.kind == SegmentWindowKind::kaiser)
        return ask_kaiser_beta(session, answers.parameters.window.kaiser_beta);
    return true;
}

std::string nonfinite_segments_notice(long long nonfinite, long long segments) {
    return std::to_string(nonfinite) + " of " + std::to_string(segments) + std::string(kNonfiniteSegmentsEnding);
}

Derivation derive_welch_power(DeriveInput& in) {
    if (const Derivation asked = segments_asked(in); asked != Derivation::done) return asked;
    Workspace& w = in.session.workspace;
    const SegmentParameters& p = w.segments.parameters;
    WelchSpectrum welch;
    if (const Status status = compute_welch(in.z, in.signal.dx, p, welch); !status) {
        refuse(w, status);
        return Derivation::escaped;
    }
    // At most L ≤ N bins: they fit the work arrays. A curve keeps a copy in x.
    const std::size_t bins = std::min(welch.density.size(), in.y.size());
    std::copy_n(welch.density.begin(), bins, in.y.begin());
    std::copy_n(welch.density.begin(), bins, in.x.begin());
    w.display.display_count = static_cast<int>(bins);
    w.display.xmin = welch.frequency.empty() ? 0.0 : welch.frequency.front();
    w.display.dx = 1.0 / (static_cast<double>(p.length) * in.signal.dx);
    if (welch.nonfinite_segments > 0)
        w.message_line = w.display.derivation_notice =
            nonfinite_segments_notice(welch.nonfinite_segments, welch.segments);
    return Derivation::done;
}

Derivation derive_spectrogram(DeriveInput& in) {
    if (const Derivation asked = segments_asked(in); asked != Derivation::done) return asked;
    Workspace& w = in.session.workspace;
    Spectrogram result;
    const Status status = compute_spectrogram(in.z, in.signal.xmin, in.signal.dx, w.segments.parameters, result);
    if (!status) {
        refuse(w, status);
        return Derivation::escaped;
    }
    w.spectrogram = std::move(result);
    w.display.display_count = 0;
    if (w.spectrogram.nonfinite_segments > 0)
        w.message_line = w.display.derivation_notice =
            nonfinite_segments_notice(w.spectrogram.nonfinite_segments, w.spectrogram.segments);
    return Derivation::done;
}

void show_spectrogram(Session& session) {
    Workspace& w = session.workspace;
    const OptionSet& o = w.options;
    if (o.PL) plot_keeping_notice(session);
    else if (o.FI) write_spectrogram_file(session);
    else if (o.LI) list_spectrogram(session);
}

}  // namespace zeph
