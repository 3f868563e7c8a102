#pragma once
// FF: multiplies the current signal by the response of an analogue filter, a
// Hilbert transformer or a transfer function H(s) typed by the user.
#include <string>
#include <string_view>

#include "dsp/filters.hpp"
#include "input/expr/transfer_function.hpp"

namespace zeph {

struct Session;
struct SignalRef;

inline const std::string kFilterWaveformWarning = "Warning. Filter functions intended for use with SP function only";

inline constexpr std::string_view kFilterTypePrompt =
    "Filter type: CHEByshev, BUTTerworth, TRANsitional, BESSel, HILBert, H(s)";
inline constexpr std::string_view kTransferFunctionPrompt =
    "Enter transfer function, H(s), s=j*2*pi*f. Ex: s/(s+w0)";
inline constexpr std::string_view kPassBandPrompt = "LPF or BPF ?:";
inline constexpr std::string_view kFilterOrderPrompt = "Order of filter:";
inline constexpr std::string_view kCutoffPrompt = "Cutoff frequency (Hz):";
inline constexpr std::string_view kBandwidthPrompt = "Full bandwidth (Hz):";
inline constexpr std::string_view kMidFrequencyPrompt = "Mid frequency (Hz) [=√(Fu*Fl)]:";
inline constexpr std::string_view kRipplePrompt = "Peak-peak ripple (dB):";
inline constexpr std::string_view kCarrierPrompt = "Carrier frequency (Hz) [transformed to zero Hz]:";

// Asks the filter and applies it. On the waveform the warning
// kFilterWaveformWarning is shown with the first prompt and the filter is
// applied all the same. Returns true when the signal was changed; a refusal
// leaves its message and the signal as it was.
bool filter_dialogue(Session& session, SignalRef& signal);

}  // namespace zeph
