#pragma once
// Which signal, and on what abscissa. A, the waveform, lives in the time
// domain; B, the spectrum, in the frequency domain; the domain indexes the
// workspace's slots. The mode says whether B is the transform of A (linked)
// or a signal of its own (independent).
#include <array>

namespace zeph {

enum class Domain { time = 0, frequency = 1 };
inline constexpr std::array kDomains{Domain::time, Domain::frequency};
inline constexpr Domain other_domain(Domain domain) {
    return domain == Domain::time ? Domain::frequency : Domain::time;
}

enum class SignalMode { linked = 0, independent = 1 };

// Point count, first abscissa and step of one signal. The abscissa of sample
// i (0-based) is xmin + i·dx: seconds for A, hertz for B.
struct Grid {
    int npts = 0;
    double xmin = 0.0;
    double dx = 1.0;
};

}  // namespace zeph
