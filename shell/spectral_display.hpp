#pragma once
// WP and SG: the power density of the time signal cut into overlapping
// windowed segments — Welch's spectrum as a curve over frequency, and the
// spectrogram as an image with its own outputs (plot, matrix file, listing).
#include <string>
#include <string_view>

#include "shell/derivations.hpp"

namespace zeph {

inline constexpr std::string_view kSegmentPointsPrompt = "Segment points, overlap points:";
inline constexpr std::string_view kSegmentPointsDefault = "1024, 512";
inline constexpr std::string_view kSegmentWindowPrompt = "Segment window: Squared cosine, Rectangular, Kaiser";
inline constexpr std::string_view kSegmentWindowDefault = "S";

// Asks the segment length and overlap, the window and (for K) the Kaiser β,
// offering the kept answers; an answer out of range is the invalid-entry
// message and the question again. False on Esc.
bool ask_segment_parameters(Session& session, long long npts);

// The notice of segments holding NaN or infinite samples.
std::string nonfinite_segments_notice(long long nonfinite, long long segments);

Derivation derive_welch_power(DeriveInput& in);   // WP: density over frequency
Derivation derive_spectrogram(DeriveInput& in);   // SG: Workspace::spectrogram

// The plot of a display; a notice of its derivation (segments holding NaN)
// then stands beside the plot's note on the message line.
void plot_keeping_notice(Session& session);

// The output of an SG display: PL draws the image, FI writes the matrix as
// text, LI lists it.
void show_spectrogram(Session& session);

}  // namespace zeph
