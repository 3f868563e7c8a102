#pragma once
// Statistics of a display (options ST and SS): the physical figures of the
// current signal (RMS voltage, power, energy, grids, noise bandwidth), the
// statistics of the displayed ordinate values, the adjacent-channel power of
// a dB power spectrum, and the lines of the report. Everything here is pure:
// the shell writes the lines to the text window and appends them to
// STATS.TXT (or discards them when SS is off).
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/complex.hpp"
#include "base/signal_grid.hpp"

namespace zeph {

// Level shown for a power (10·log10) or an amplitude (20·log10) that is not positive [dB].
inline constexpr double kPowerFloorDb = -770.0;
inline constexpr double kAmplitudeFloorDb = -1540.0;

// TMIN, DT of signal A (the time signal) and FMIN, DF of signal B (the spectrum).
struct SignalGrids {
    double tmin = 0.0;   // s
    double dt = 1.0;     // s
    double fmin = 0.0;   // Hz
    double df = 1.0;     // Hz
};

// The figures of the current signal (`signal_metrics`). Units assume volts
// across one ohm.
struct SignalMetrics {
    int npts = 0;
    double energy = 0.0;            // joule-ohms: Σ|y|²·DT (time) or Σ|Y|²·DF (frequency)
    double power = 0.0;             // watt-ohms: Σ|y|²/N (time) or Σ|Y|²·DF² (frequency)
    double dc_power = 0.0;          // (mean real)² + (mean imaginary)²; time domain only
    double y0_squared = 0.0;        // |Y(0)|², spectrum magnitude at zero frequency squared
    int zero_frequency_index = 0;   // k0 (1-based) of the spectrum sample at 0 Hz; 0 when none (time domain, outside)
    double max_time = 0.0;          // TMIN + (N−1)·DT [s]
    double max_frequency = 0.0;     // FMIN + (N−1)·DF [Hz]
    double time_span = 0.0;         // N·DT [s]
    double frequency_span = 0.0;    // N·DF [Hz]
    double rms = 0.0;               // √POWER [V]
    double rms_dbv = kAmplitudeFloorDb;
    double power_dbw = kPowerFloorDb;
    double noise_bandwidth = 0.0;   // ENERGY/Y0² [Hz]; 0 means undefined
};

// The figures call: one pass over the samples. The domain says which formulas
// the figures use: time for the waveform (WA), frequency for the spectrum
// (SP). With no domain (no display selected) the energy figures are 0 and only the grid figures are filled. Never divides by zero:
// Y0² = 0 (zero mean, DF ≤ 0, zero frequency outside the spectrum) leaves the
// noise bandwidth undefined.
SignalMetrics compute_signal_metrics(std::span<const Complex> samples, std::optional<Domain> domain,
                                     const SignalGrids& grids);

// Statistics of the displayed ordinate values y_1 … y_n.
struct OrdinateStatistics {
    int count = 0;
    double minimum = 0.0, maximum = 0.0;
    double sum = 0.0;                  // Σy
    double sum_of_magnitudes = 0.0;    // Σ|y|
    double sum_of_squares = 0.0;       // Σy²
    double mean = 0.0;                 // Σy/n
    double mean_square = 0.0;          // Σy²/n
    double mean_magnitude = 0.0;       // Σ|y|/n
    double variance = 0.0;             // Σ(y − mean)²/(n − 1); 0 for a single value
    double standard_deviation = 0.0;   // √variance
    double root_sum_of_squares = 0.0;  // √Σy²
    double rms = 0.0;                  // √(Σy²/n)
};

// One pass, O(n). The variance is summed about the first value, so it does
// not lose its digits when the mean is large against the spread, and is never
// negative. No values: all zero.
OrdinateStatistics compute_ordinate_statistics(std::span<const double> values);

// Adjacent-channel power for 12.5 kHz and 25 kHz channel spacing. The
// receive filter attenuates 2 dB in its pass band, rises linearly to 6 dB,
// then 16 dB per kHz to 26 dB and on at 16 dB per kHz.
enum class ChannelSpacing { khz_12_5, khz_25 };

// Attenuation [dB] of the receive filter at `distance_khz` (≥ 0) from its centre.
double receive_filter_attenuation_db(ChannelSpacing spacing, double distance_khz);

struct AdjacentChannel {
    double centre_khz;
    ChannelSpacing spacing;
};

// The channels in the order of the report cells.
inline constexpr std::array<AdjacentChannel, 4> kAdjacentChannels{{
    {-12.5, ChannelSpacing::khz_12_5},
    {12.5, ChannelSpacing::khz_12_5},
    {-25.0, ChannelSpacing::khz_25},
    {25.0, ChannelSpacing::khz_25},
}};

// Each channel's power relative to the in-channel power [dB], in the order of
// kAdjacentChannels: 10·log10(P/P0) with
//   P0 = Σ 10^((y_k − 2)/10) over all values,
//   P  = Σ 10^((y_k − a(d_k))/10) over the values with a(d_k) ≤ 200 dB,
// y_k a level [dB] at f_k = (FMIN + (k−1)·DF)/1000 kHz, d_k = |f_k − centre|;
// kPowerFloorDb when the ratio is not positive.
struct AdjacentChannelPower {
    std::array<double, 4> relative_db{kPowerFloorDb, kPowerFloorDb, kPowerFloorDb, kPowerFloorDb};
};

// One exponential per value for P0; the channel sums visit only the values
// close enough to a channel to pass its 200 dB limit.
AdjacentChannelPower compute_adjacent_channel_power(std::span<const double> levels_db, double fmin_hz, double df_hz);

// The display options the report depends on.
struct ReportOptions {
    bool db = false;             // DB on (the ordinate is in decibels)
    bool averaging = false;      // AV
    bool distribution = false;   // DI
    bool cumulative = false;     // CU
    bool save = false;           // SS: the lines are appended to STATS.TXT
};

// The adjacent-channel cells belong to a dB power spectrum display without
// averaging, distribution or cumulative display.
bool adjacent_channels_apply(std::optional<Domain> domain, bool power_parameter, const ReportOptions& options);

// Everything the report shows.
struct StatisticsReport {
    std::string description;     // data description: the status line
    std::string ordinate_name;   // the parameter label
    std::optional<Domain> domain;   // none when no display is selected
    bool power_parameter = false;   // the parameter is PO
    ReportOptions options;
    int averaging_length = 1;       // L of the moving average; 1 without AV
    double reference_power = 0.0;   // linear
    double reference_level_db = kPowerFloorDb;
    SignalGrids grids;
    SignalMetrics metrics;
    OrdinateStatistics ordinate;
    std::optional<AdjacentChannelPower> channels;   // shown when present
};

// Fills report.ordinate from the displayed values and report.channels when
// adjacent_channels_apply (the values are then levels in dB on the spectrum grid).
void add_ordinate_figures(StatisticsReport& report, std::span<const double> values);

// The text window and STATS.TXT get slightly different lines: the window
// indents the two text lines by one blank, has one more blank line after the
// figures and ends with the "<Esc> to continue:" line; the file indents the
// units VOLTS, DBV, WATT-OHMS and DBW by one blank and ends with three blank
// lines.
enum class ReportDestination { text_window, statistics_file };

// The report lines for one destination, in order, numbers as format_number
// texts. The caller clears the window first; a write error on a file line
// ends the file early while the window still gets its closing line.
std::vector<std::string> format_statistics_report(const StatisticsReport& report, ReportDestination destination);

}  // namespace zeph
