#pragma once
// The answers the signal operations remember from one run of a command to the
// next and offer again as the current values and defaults of their prompts.
// One small struct per command; the session owns one OperationSettings.
#include <string>

#include "dsp/linear_transform.hpp"
#include "dsp/windows.hpp"

namespace zeph {

// WI. The range replies are kept as typed, one per length mode: every field is
// an expression of the grid variables, so the first window spans the whole
// signal without a flat region.
struct WindowSettings {
    char type = 'C';   // first letter of the type answer, as typed
    WindowLengthMode length_mode = WindowLengthMode::sample_numbers;
    std::string sample_range_reply = "1, NPTS+1, 0";
    std::string abscissa_range_reply = "XMIN, XMAX, 0.";
    double kaiser_beta = kDefaultKaiserBeta;
    double symbol_length = 1.0;   // Tc as typed: samples in SA mode, abscissa units in XV mode
    double rolloff = 0.5;         // α
};

// FF.
struct FilterSettings {
    std::string type_answer = "BUTTERWORTH";   // upper case; its first four letters decide
    std::string band_answer = "LPF";           // upper case; "BPF" selects a band-pass
    int order = 2;
    double cutoff_hz = 1.0;    // cut-off (low-pass) or full bandwidth (band-pass) [Hz]
    double mid_hz = 0.0;       // band-pass centre [Hz]
    double ripple_db = 1.0;    // peak-to-peak [dB], Chebyshev only
    double carrier_hz = 0.0;   // band-pass: moved to the zero-frequency sample [Hz]
    std::string transfer_function;   // H(s) as typed
};

// CS.
struct SampleRateSettings {
    char direction = 'I';   // 'I' increase, 'D' decrease
    int first_point = 1;
    int ratio = 2;
};

// CH.
struct PointCountSettings {
    char choice = 'A';   // 'A' number of points, 'B' Xmin and dX
};

// RC: the replies as typed.
struct RecordSettings {
    std::string length_reply = "5, 48000";   // seconds, rate in Hz
    double channels = 1;
};

struct OperationSettings {
    WindowSettings window;
    FilterSettings filter;
    LinearTransformSettings linear_transform;
    SampleRateSettings sample_rate;
    PointCountSettings point_count;
    RecordSettings record;
};

}  // namespace zeph
