#pragma once
// Which signal, and on what abscissa. A, the waveform, lives in the time
// domain; B, the spectrum, in the frequency domain; the domain names the
// signal everywhere (it indexes the workspace's slots). The mode says whether
// B is the transform of A (linked) or a signal of its own (independent).
#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "base/complex.hpp"

namespace zeph {

enum class Domain { time = 0, frequency = 1 };
inline constexpr std::array kDomains{Domain::time, Domain::frequency};
inline constexpr Domain other_domain(Domain domain) {
    return domain == Domain::time ? Domain::frequency : Domain::time;
}

// The signal's name as the prompts and messages write it: A or B.
inline constexpr char signal_letter(Domain domain) { return domain == Domain::frequency ? 'B' : 'A'; }

enum class SignalMode { linked = 0, independent = 1 };

// Point count, first abscissa and step of one signal. The abscissa of sample
// i (0-based) is xmin + i·dx: seconds for A, hertz for B.
struct Grid {
    int npts = 0;
    double xmin = 0.0;
    double dx = 1.0;
};

// One signal: its domain, its grid and all of its storage. storage.size() is
// the capacity an operation may fill; samples() are the npts in use.
struct SignalRef : Grid {
    std::span<Complex> storage;
    Domain domain = Domain::time;

    bool spectrum() const { return domain == Domain::frequency; }
    std::span<Complex> samples() const {
        return storage.first(std::min(static_cast<std::size_t>(std::max(npts, 0)), storage.size()));
    }
};

}  // namespace zeph
