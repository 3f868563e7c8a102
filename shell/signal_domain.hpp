#pragma once
// Which signal: A, the waveform, lives in the time domain; B, the spectrum,
// in the frequency domain. The value indexes Workspace::slots. The mode says
// whether B is the transform of A (linked) or a signal of its own.
#include <array>

namespace zeph {

enum class Domain { time = 0, frequency = 1 };
inline constexpr std::array kDomains{Domain::time, Domain::frequency};
inline constexpr Domain other_domain(Domain domain) {
    return domain == Domain::time ? Domain::frequency : Domain::time;
}

enum class SignalMode { linked = 0, independent = 1 };

}  // namespace zeph
