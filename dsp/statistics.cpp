#include "dsp/statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "base/format_number.hpp"
#include "base/text.hpp"

namespace zeph {

namespace {

// A NaN figure stays NaN: the floor is for a zero, not for a value that is no number.
double power_level_db(double power) {
    if (std::isnan(power)) return power;
    return power > 0 ? 10.0 * std::log10(power) : kPowerFloorDb;
}
double amplitude_level_db(double amplitude) {
    if (std::isnan(amplitude)) return amplitude;
    return amplitude > 0 ? 20.0 * std::log10(amplitude) : kAmplitudeFloorDb;
}

// Nearest integer, halves away from zero, or nothing when |value| >= 10^15.
std::optional<long long> nearest_integer(double value) {
    if (!(std::fabs(value) < 1e15)) return std::nullopt;
    return std::llround(value);
}

struct SampleSums {
    double squares = 0.0;   // Σ|x|²
    double real = 0.0;      // Σ re
    double imag = 0.0;      // Σ im
};

SampleSums sum_samples(std::span<const Complex> samples) {
    SampleSums sums;
    for (const Complex& v : samples) {
        sums.squares += v.real() * v.real() + v.imag() * v.imag();
        sums.real += v.real();
        sums.imag += v.imag();
    }
    return sums;
}

void fill_time_domain(SignalMetrics& m, std::span<const Complex> samples, const SignalGrids& g) {
    const SampleSums sums = sum_samples(samples);
    const double n = static_cast<double>(samples.size());
    m.energy = sums.squares * g.dt;
    m.power = n > 0 ? sums.squares / n : 0.0;   // ENERGY/N/DT without dividing by DT
    const double mean_real = n > 0 ? sums.real / n : 0.0, mean_imag = n > 0 ? sums.imag / n : 0.0;
    m.dc_power = mean_real * mean_real + mean_imag * mean_imag;
    m.y0_squared = g.df > 0 ? m.dc_power * g.dt * n / g.df : 0.0;
}

void fill_frequency_domain(SignalMetrics& m, std::span<const Complex> samples, const SignalGrids& g) {
    const SampleSums sums = sum_samples(samples);
    m.energy = sums.squares * g.df;
    m.power = sums.squares * g.df * g.df;
    m.y0_squared = 0.0;
    if (g.df == 0) return;   // no zero-frequency sample on a degenerate grid
    const std::optional<long long> k0 = nearest_integer(-g.fmin / g.df);
    if (!k0) return;
    const long long index = *k0 + 1;
    if (index >= 1 && index <= static_cast<long long>(samples.size())) {
        m.zero_frequency_index = static_cast<int>(index);
        const Complex y0 = samples[static_cast<std::size_t>(index - 1)];
        m.y0_squared = y0.real() * y0.real() + y0.imag() * y0.imag();
    }
}

}  // namespace

SignalMetrics compute_signal_metrics(std::span<const Complex> samples, std::optional<Domain> domain,
                                     const SignalGrids& grids) {
    SignalMetrics m;
    m.npts = static_cast<int>(samples.size());
    if (domain == Domain::time) fill_time_domain(m, samples, grids);
    if (domain == Domain::frequency) fill_frequency_domain(m, samples, grids);

    const double n = static_cast<double>(samples.size());
    m.max_time = grids.tmin + (n - 1) * grids.dt;
    m.max_frequency = grids.fmin + (n - 1) * grids.df;
    m.time_span = n * grids.dt;
    m.frequency_span = n * grids.df;
    m.rms = std::isnan(m.power) ? m.power : m.power > 0 ? std::sqrt(m.power) : 0.0;
    m.rms_dbv = amplitude_level_db(m.rms);
    m.power_dbw = power_level_db(m.power);
    // Defined only when the zero-frequency power is not negligible against
    // the energy spread over the whole band.
    if (m.y0_squared > 0 && m.y0_squared * m.frequency_span * 1000.0 > m.energy)
        m.noise_bandwidth = m.energy / m.y0_squared;
    return m;
}

OrdinateStatistics compute_ordinate_statistics(std::span<const double> values) {
    OrdinateStatistics s;
    if (values.empty()) return s;
    const double shift = values[0];
    double minimum = shift, maximum = shift;
    double sum = 0, sum_abs = 0, sum_squares = 0;
    double shifted_sum = 0, shifted_squares = 0;   // Σ(y − y_1), Σ(y − y_1)²
    for (double y : values) {
        minimum = std::min(minimum, y);
        maximum = std::max(maximum, y);
        sum += y;
        sum_abs += std::fabs(y);
        sum_squares += y * y;
        const double d = y - shift;
        shifted_sum += d;
        shifted_squares += d * d;
    }
    const double n = static_cast<double>(values.size());
    s.count = static_cast<int>(values.size());
    // One NaN makes every figure NaN, the extremes too (min and max would pass it by).
    const bool any_nan = std::isnan(sum);
    s.minimum = any_nan ? sum : minimum;
    s.maximum = any_nan ? sum : maximum;
    s.sum = sum;
    s.sum_of_magnitudes = sum_abs;
    s.sum_of_squares = sum_squares;
    s.mean = sum / n;
    s.mean_square = sum_squares / n;
    s.mean_magnitude = sum_abs / n;
    if (values.size() > 1) {
        // Rounding may leave a tiny negative variance; a NaN one (a NaN value) stays NaN.
        const double variance = (shifted_squares - shifted_sum * shifted_sum / n) / (n - 1);
        s.variance = std::isnan(variance) ? variance : std::max(0.0, variance);
    }
    s.standard_deviation = std::sqrt(s.variance);
    s.root_sum_of_squares = std::sqrt(sum_squares);
    s.rms = std::sqrt(sum_squares / n);
    return s;
}

namespace {

// The receive filter's mask: 2 dB up to flat_end, linear to 6 dB at
// ramp_end, then 16 dB/kHz to 26 dB at steep_end and on [kHz, dB].
struct AttenuationMask {
    double flat_end;
    double ramp_end;
    double steep_end;
    double ramp_slope;   // dB/kHz
};

constexpr AttenuationMask kMask12_5{3.0, 4.25, 5.5, 3.2};
constexpr AttenuationMask kMask25{5.0, 8.0, 9.25, 4.0 / 3.0};
constexpr double kSteepSlope = 16.0;          // dB/kHz
constexpr double kLargestAttenuationDb = 200.0;   // values attenuated more are left out

const AttenuationMask& mask_of(ChannelSpacing spacing) { return spacing == ChannelSpacing::khz_25 ? kMask25 : kMask12_5; }

double attenuation_db(const AttenuationMask& mask, double d) {
    if (d <= mask.flat_end) return 2.0;
    if (d <= mask.ramp_end) return 2.0 + mask.ramp_slope * (d - mask.flat_end);
    if (d <= mask.steep_end) return 6.0 + kSteepSlope * (d - mask.ramp_end);
    return 26.0 + kSteepSlope * (d - mask.steep_end);
}

// Largest distance [kHz] at which the attenuation stays within the limit.
double reach_khz(const AttenuationMask& mask) {
    return mask.steep_end + (kLargestAttenuationDb - 26.0) / kSteepSlope;
}

// 10^(level/10) = e^(level·ln10/10)
constexpr double kDbToNaturalLog = 0.23025850929940458;

// 0-based indices [first, last] whose frequency may lie within `reach` kHz of
// `centre`, one sample wider on each side than exact arithmetic needs; the
// per-value attenuation test decides. Without a usable step, every index.
std::pair<std::size_t, std::size_t> candidate_range(std::size_t n, double fmin_hz, double df_hz, double centre_khz,
                                                    double reach) {
    if (!(df_hz > 0) || !std::isfinite(df_hz) || !std::isfinite(fmin_hz)) return {0, n - 1};
    const double low = ((centre_khz - reach) * 1000.0 - fmin_hz) / df_hz - 1.0;
    const double high = ((centre_khz + reach) * 1000.0 - fmin_hz) / df_hz + 1.0;
    const double last = static_cast<double>(n - 1);
    if (high < 0 || low > last) return {1, 0};   // empty
    return {static_cast<std::size_t>(std::max(0.0, std::floor(low))),
            static_cast<std::size_t>(std::min(last, std::ceil(high)))};
}

}  // namespace

double receive_filter_attenuation_db(ChannelSpacing spacing, double distance_khz) {
    return attenuation_db(mask_of(spacing), distance_khz);
}

AdjacentChannelPower compute_adjacent_channel_power(std::span<const double> levels_db, double fmin_hz, double df_hz) {
    AdjacentChannelPower result;
    if (levels_db.empty()) return result;

    double in_channel = 0;   // Σ 10^(y/10); the in-channel filter's 2 dB is applied once below
    for (double y : levels_db) in_channel += std::exp(y * kDbToNaturalLog);
    in_channel *= std::exp(-2.0 * kDbToNaturalLog);

    for (std::size_t c = 0; c < kAdjacentChannels.size(); ++c) {
        const double centre = kAdjacentChannels[c].centre_khz;
        const AttenuationMask& mask = mask_of(kAdjacentChannels[c].spacing);
        const auto [first, last] = candidate_range(levels_db.size(), fmin_hz, df_hz, centre, reach_khz(mask));
        double channel = 0;
        for (std::size_t i = first; i <= last && i < levels_db.size(); ++i) {
            const double f_khz = (static_cast<double>(i) * df_hz + fmin_hz) / 1000.0;
            const double a = attenuation_db(mask, std::fabs(f_khz - centre));
            if (a <= kLargestAttenuationDb) channel += std::exp((levels_db[i] - a) * kDbToNaturalLog);
        }
        if (in_channel > 0 && channel > 0) result.relative_db[c] = 10.0 * std::log10(channel / in_channel);
    }
    return result;
}

bool adjacent_channels_apply(std::optional<Domain> domain, bool power_parameter, const ReportOptions& options) {
    return domain == Domain::frequency && power_parameter && options.db && !options.averaging &&
           !options.distribution && !options.cumulative;
}

void add_ordinate_figures(StatisticsReport& report, std::span<const double> values) {
    report.ordinate = compute_ordinate_statistics(values);
    report.channels.reset();
    if (adjacent_channels_apply(report.domain, report.power_parameter, report.options))
        report.channels = compute_adjacent_channel_power(values, report.grids.fmin, report.grids.df);
}

namespace {

constexpr std::size_t kCellWidth = 40;
constexpr std::size_t kSecondCellShown = 38;
constexpr std::size_t kUnitWidth = 10;
constexpr std::string_view kBlankLine = "  ";
constexpr std::string_view kUndefined = "(Undefined)";

// A count right-aligned in 5 columns; a larger count widens the field rather
// than being lost.
std::string count_text(long long count) {
    char text[24];
    std::snprintf(text, sizeof text, "%5lld", count);
    return text;
}

std::string number_text(double value) { return padded_at_least(format_number(value), kNumberTextLength); }

// A figure line: label (17), blank, value (19), blank, unit field (10). In
// the file the units of the first four lines are indented by one blank.
std::string figure_line(std::string_view label, const std::string& value, std::string_view unit,
                        bool unit_indented_in_file, ReportDestination destination) {
    std::string line(label);
    line += ' ';
    line += value;
    if (unit.empty()) return line;
    line += ' ';
    const bool indented = unit_indented_in_file && destination == ReportDestination::statistics_file;
    if (indented) line += ' ';
    line += padded_at_least(unit, indented ? kUnitWidth - 1 : kUnitWidth);
    return line;
}

std::vector<std::string> figure_lines(const StatisticsReport& r, ReportDestination destination) {
    const SignalMetrics& m = r.metrics;
    const SignalGrids& g = r.grids;
    struct Figure {
        std::string_view label;
        std::string value;
        std::string_view unit;
        bool unit_indented_in_file;
    };
    const std::string bandwidth = m.noise_bandwidth == 0 ? padded_at_least(kUndefined, kNumberTextLength)
                                                         : number_text(m.noise_bandwidth);
    const Figure figures[] = {
        {"    RMS VOLTAGE =", number_text(m.rms), "VOLTS", true},
        {"    RMS VOLTAGE =", number_text(m.rms_dbv), "DBV", true},
        {"  AVERAGE POWER =", number_text(m.power), "WATT-OHMS", true},
        {"  AVERAGE POWER =", number_text(m.power_dbw), "DBW", true},
        {"   TOTAL ENERGY =", number_text(m.energy), "JOULE-OHMS", false},
        {" SAMP POINTS, N =", count_text(m.npts), "", false},
        {"   MINIMUM TIME =", number_text(g.tmin), "SECONDS", false},
        {"   MAXIMUM TIME =", number_text(m.max_time), "SECONDS", false},
        {"  TIME INT., DT =", number_text(g.dt), "SECONDS", false},
        {"TIME SPAN, DT*N =", number_text(m.time_span), "SECONDS", false},
        {"   MINIMUM FREQ =", number_text(g.fmin), "HERTZ", false},
        {"   MAXIMUM FREQ =", number_text(m.max_frequency), "HERTZ", false},
        {"  FREQ INT., DF =", number_text(g.df), "HERTZ", false},
        {"FREQ SPAN, DF*N =", number_text(m.frequency_span), "HERTZ", false},
        {"NOISE BANDWIDTH =", bandwidth, "HERTZ", false},
    };
    std::vector<std::string> lines;
    for (const Figure& f : figures)
        lines.push_back(figure_line(f.label, f.value, f.unit, f.unit_indented_in_file, destination));
    return lines;
}

// The 18 cells of the ordinate statistics (blank when not present), 40
// characters each: label (18), blank, value, blanks.
std::array<std::string, 18> statistics_cells(const StatisticsReport& r) {
    std::array<std::string, 18> cells;
    cells.fill(std::string(kCellWidth, ' '));
    auto set = [&](int number, std::string_view label, const std::string& value) {
        cells[static_cast<std::size_t>(number - 1)] = padded_at_least(std::string(label) + " " + value, kCellWidth);
    };
    const OrdinateStatistics& s = r.ordinate;
    if (r.averaging_length > 1) set(1, "AVERAGING POINTS =", count_text(r.averaging_length));
    set(2, "       SUM(Y**2) =", number_text(s.sum_of_squares));
    set(3, " SQRT{SUM(Y**2)} =", number_text(s.root_sum_of_squares));
    if (r.domain == Domain::time) set(4, "SUM{ (Y**2)*DT } =", number_text(s.sum_of_squares * r.grids.dt));
    if (r.domain == Domain::frequency)
        set(4, "SUM{ (Y**2)*DF } =", number_text(s.sum_of_squares * r.grids.df));
    if (r.domain == Domain::frequency && r.power_parameter) {
        if (r.options.db)
            set(5, "TOTAL PWR DB REF =", number_text(r.reference_level_db));
        else
            set(5, " TOTAL POWER REF =", number_text(r.reference_power));
    }
    set(6, " SUM{ (Y**2)/N } =", number_text(s.mean_square));
    set(7, "        SUM{|Y|} =", number_text(s.sum_of_magnitudes));
    set(8, "             RMS =", number_text(s.rms));
    set(9, "       MEAN{|Y|} =", number_text(s.mean_magnitude));
    set(10, "        VARIANCE =", number_text(s.variance));
    set(11, "STAND. DEVIATION =", number_text(s.standard_deviation));
    set(12, "            MEAN =", number_text(s.mean));
    set(13, "         MINIMUM =", number_text(s.minimum));
    set(14, "         MAXIMUM =", number_text(s.maximum));
    if (r.channels) {
        constexpr std::string_view labels[] = {" CEPT: -12.5 KHZ =", " CEPT: +12.5 KHZ =", " CEPT: -25.0 KHZ =",
                                               " CEPT: +25.0 KHZ ="};
        for (int c = 0; c < 4; ++c)
            set(15 + c, labels[c], number_text(r.channels->relative_db[static_cast<std::size_t>(c)]));
    }
    return cells;
}

}  // namespace

std::vector<std::string> format_statistics_report(const StatisticsReport& report, ReportDestination destination) {
    const bool window = destination == ReportDestination::text_window;
    const std::string indent = window ? " " : "";
    std::vector<std::string> lines;

    lines.push_back(indent + trim_right(report.description));
    for (std::string& line : figure_lines(report, destination)) lines.push_back(std::move(line));
    lines.emplace_back(kBlankLine);
    if (window) lines.emplace_back(kBlankLine);
    lines.push_back(indent + trim_right(report.ordinate_name));

    const std::array<std::string, 18> cells = statistics_cells(report);
    for (std::size_t row = 0; row < 9; ++row) lines.push_back(cells[row] + cells[row + 9].substr(0, kSecondCellShown));

    if (window) {
        lines.push_back(report.options.save ? " Data appended to file 'STATS.TXT'. <Esc> to continue:"
                                            : " <Esc> to continue:");
    } else {
        for (int i = 0; i < 3; ++i) lines.emplace_back(kBlankLine);
    }
    return lines;
}

}  // namespace zeph
