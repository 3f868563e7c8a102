#include "dsp/statistics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "dsp/fft.hpp"

namespace zeph {
namespace {

constexpr SignalGrids kLinkedGrids{0.25, 0.01, -50.0, 1.5625};   // N = 64: DF = 1/(N·DT)

std::vector<Complex> sine(int n, double amplitude, int cycles) {
    std::vector<Complex> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = amplitude * std::sin(kTwoPi * cycles * i / n);
    return x;
}

TEST(SignalMetrics, SineHasHalfTheSquaredAmplitudeAsPowerAndNoNoiseBandwidth) {
    const SignalMetrics m = compute_signal_metrics(sine(64, 3.0, 4), Domain::time, kLinkedGrids);
    EXPECT_EQ(m.npts, 64);
    EXPECT_NEAR(m.power, 4.5, 1e-12);
    EXPECT_NEAR(m.energy, 4.5 * 64 * 0.01, 1e-12);
    EXPECT_NEAR(m.rms, 3.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(m.rms_dbv, 20 * std::log10(3.0 / std::sqrt(2.0)), 1e-9);
    EXPECT_NEAR(m.power_dbw, 10 * std::log10(4.5), 1e-9);
    EXPECT_NEAR(m.dc_power, 0.0, 1e-20);
    EXPECT_EQ(m.noise_bandwidth, 0.0);   // zero mean: undefined
    EXPECT_DOUBLE_EQ(m.max_time, 0.25 + 63 * 0.01);
    EXPECT_DOUBLE_EQ(m.time_span, 0.64);
    EXPECT_DOUBLE_EQ(m.max_frequency, -50.0 + 63 * 1.5625);
    EXPECT_DOUBLE_EQ(m.frequency_span, 100.0);
}

TEST(SignalMetrics, ConstantHasOneBinOfNoiseBandwidthAndImpulseTheWholeBand) {
    const std::vector<Complex> constant(64, Complex(2.0, 0.0));
    const SignalMetrics c = compute_signal_metrics(constant, Domain::time, kLinkedGrids);
    EXPECT_DOUBLE_EQ(c.dc_power, 4.0);
    EXPECT_NEAR(c.y0_squared, std::pow(2.0 * 64 * 0.01, 2), 1e-12);   // |Σy·DT|²
    EXPECT_NEAR(c.noise_bandwidth, kLinkedGrids.df, 1e-12);

    std::vector<Complex> impulse(64);
    impulse[0] = Complex(0.0, 5.0);
    const SignalMetrics i = compute_signal_metrics(impulse, Domain::time, kLinkedGrids);
    EXPECT_NEAR(i.energy, 25 * 0.01, 1e-15);
    EXPECT_NEAR(i.power, 25.0 / 64, 1e-15);
    EXPECT_NEAR(i.noise_bandwidth, 1 / 0.01, 1e-9);   // N·DF
}

// Parseval: the figures of a waveform and of the spectrum made from it agree.
TEST(SignalMetrics, SpectrumFiguresMatchTheWaveformFigures) {
    const int n = 64;
    std::mt19937 generator(5);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<Complex> waveform(n), spectrum(n);
    for (Complex& v : waveform) v = Complex(0.3 + uniform(generator), uniform(generator));
    BitReverseTable table;
    Grid frequency;
    ASSERT_TRUE(create_spectrum(waveform, Grid{n, 0.0, 0.01}, spectrum, frequency, table));
    const SignalGrids grids{0.0, 0.01, frequency.xmin, frequency.dx};

    const SignalMetrics t = compute_signal_metrics(waveform, Domain::time, grids);
    const SignalMetrics f = compute_signal_metrics(spectrum, Domain::frequency, grids);
    EXPECT_EQ(f.zero_frequency_index, n / 2 + 1);
    EXPECT_NEAR(f.energy, t.energy, 1e-12 * t.energy);
    EXPECT_NEAR(f.power, t.power, 1e-12 * t.power);
    EXPECT_NEAR(f.y0_squared, t.y0_squared, 1e-12 * t.y0_squared);
    EXPECT_GT(t.noise_bandwidth, 0.0);
    EXPECT_NEAR(f.noise_bandwidth, t.noise_bandwidth, 1e-9 * t.noise_bandwidth);
}

TEST(SignalMetrics, DegenerateInputsGiveFloorsAndUndefinedBandwidthWithoutNaN) {
    const std::vector<Complex> zeros(16);
    const SignalMetrics z = compute_signal_metrics(zeros, Domain::time, kLinkedGrids);
    EXPECT_EQ(z.rms, 0.0);
    EXPECT_EQ(z.rms_dbv, -1540.0);
    EXPECT_EQ(z.power_dbw, -770.0);
    EXPECT_EQ(z.noise_bandwidth, 0.0);

    const std::vector<Complex> ones(16, Complex(1, 0));
    // Zero frequency outside the samples: FMIN above 0.
    const SignalMetrics outside = compute_signal_metrics(ones, Domain::frequency, {0, 1, 10.0, 1.0});
    EXPECT_EQ(outside.y0_squared, 0.0);
    EXPECT_EQ(outside.zero_frequency_index, 0);
    EXPECT_EQ(outside.noise_bandwidth, 0.0);

    for (const SignalGrids& grids : {SignalGrids{0, 0.0, 0, 0.0}, SignalGrids{0, 1, -8, 0.0}, SignalGrids{0, 1, 1e300, 1e-300}}) {
        for (const Domain domain : kDomains) {
            const SignalMetrics m = compute_signal_metrics(ones, domain, grids);
            EXPECT_FALSE(std::isnan(m.noise_bandwidth));
            EXPECT_FALSE(std::isnan(m.y0_squared));
            EXPECT_FALSE(std::isnan(m.power));
        }
    }

    const SignalMetrics none = compute_signal_metrics(ones, std::nullopt, kLinkedGrids);
    EXPECT_EQ(none.energy, 0.0);
    EXPECT_EQ(none.power, 0.0);
    EXPECT_EQ(none.noise_bandwidth, 0.0);
    EXPECT_DOUBLE_EQ(none.time_span, 0.16);

    const SignalMetrics empty = compute_signal_metrics({}, Domain::time, kLinkedGrids);
    EXPECT_EQ(empty.power, 0.0);
    EXPECT_EQ(empty.dc_power, 0.0);
}

TEST(OrdinateStatistics, KnownValues) {
    const std::vector<double> y{1.0, -2.0, 3.0, 4.0};
    const OrdinateStatistics s = compute_ordinate_statistics(y);
    EXPECT_EQ(s.count, 4);
    EXPECT_EQ(s.minimum, -2.0);
    EXPECT_EQ(s.maximum, 4.0);
    EXPECT_DOUBLE_EQ(s.sum, 6.0);
    EXPECT_DOUBLE_EQ(s.sum_of_magnitudes, 10.0);
    EXPECT_DOUBLE_EQ(s.sum_of_squares, 30.0);
    EXPECT_DOUBLE_EQ(s.mean, 1.5);
    EXPECT_DOUBLE_EQ(s.mean_square, 7.5);
    EXPECT_DOUBLE_EQ(s.mean_magnitude, 2.5);
    EXPECT_DOUBLE_EQ(s.variance, (30.0 - 1.5 * 1.5 * 4) / 3);
    EXPECT_DOUBLE_EQ(s.standard_deviation, std::sqrt(s.variance));
    EXPECT_DOUBLE_EQ(s.root_sum_of_squares, std::sqrt(30.0));
    EXPECT_DOUBLE_EQ(s.rms, std::sqrt(7.5));
}

TEST(OrdinateStatistics, SingleValueConstantAndLargeOffsetGiveSoundVariance) {
    const OrdinateStatistics single = compute_ordinate_statistics(std::vector<double>{-770.0});
    EXPECT_EQ(single.variance, 0.0);
    EXPECT_EQ(single.standard_deviation, 0.0);
    EXPECT_EQ(single.mean, -770.0);
    EXPECT_EQ(single.minimum, -770.0);
    EXPECT_EQ(single.maximum, -770.0);

    // Σy² − n·mean² would cancel to rounding noise (possibly negative) here.
    const OrdinateStatistics constant = compute_ordinate_statistics(std::vector<double>(1000, 0.1));
    EXPECT_EQ(constant.variance, 0.0);
    EXPECT_EQ(constant.standard_deviation, 0.0);
    const OrdinateStatistics offset = compute_ordinate_statistics(std::vector<double>{1e9 + 1, 1e9 + 2, 1e9 + 3});
    EXPECT_DOUBLE_EQ(offset.variance, 1.0);

    const OrdinateStatistics none = compute_ordinate_statistics({});
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(none.rms, 0.0);
}

// A signal holding one NaN has no figure that is a number: none may pass for
// one (an RMS of 0 and -1540 dBV beside an average power of NaN).
TEST(SignalMetrics, ANaNSampleMakesEveryFigureNaN) {
    std::vector<Complex> samples(16, Complex(2, 0));
    samples[7] = Complex(std::nan(""), 0);
    const SignalMetrics m = compute_signal_metrics(samples, Domain::time, kLinkedGrids);
    for (double figure : {m.power, m.rms, m.rms_dbv, m.power_dbw, m.energy}) EXPECT_TRUE(std::isnan(figure)) << figure;
    std::vector<double> values(16, 2.0);
    values[7] = std::nan("");
    const OrdinateStatistics o = compute_ordinate_statistics(values);
    for (double figure : {o.mean, o.variance, o.standard_deviation, o.minimum, o.maximum, o.rms, o.mean_square})
        EXPECT_TRUE(std::isnan(figure)) << figure;
}

TEST(AdjacentChannels, ReceiveFilterMaskBreakpoints) {
    struct Point {
        ChannelSpacing spacing;
        double distance_khz, attenuation_db;
    };
    const Point points[] = {
        {ChannelSpacing::khz_12_5, 0.0, 2.0},   {ChannelSpacing::khz_12_5, 3.0, 2.0},
        {ChannelSpacing::khz_12_5, 3.5, 3.6},   {ChannelSpacing::khz_12_5, 4.25, 6.0},
        {ChannelSpacing::khz_12_5, 5.0, 18.0},  {ChannelSpacing::khz_12_5, 5.5, 26.0},
        {ChannelSpacing::khz_12_5, 6.5, 42.0},  {ChannelSpacing::khz_25, 5.0, 2.0},
        {ChannelSpacing::khz_25, 6.5, 4.0},     {ChannelSpacing::khz_25, 8.0, 6.0},
        {ChannelSpacing::khz_25, 9.25, 26.0},   {ChannelSpacing::khz_25, 20.125, 200.0},
    };
    for (const Point& p : points)
        EXPECT_NEAR(receive_filter_attenuation_db(p.spacing, p.distance_khz), p.attenuation_db, 1e-12)
            << p.distance_khz;
}

// The sums written out literally, one power of ten per term and channel.
AdjacentChannelPower literal_channel_power(const std::vector<double>& y, double fmin, double df) {
    double p0 = 0;
    for (double level : y) p0 += std::pow(10.0, (level - 2) / 10);
    AdjacentChannelPower result;
    for (std::size_t c = 0; c < 4; ++c) {
        double p = 0;
        for (std::size_t k = 0; k < y.size(); ++k) {
            const double f = (static_cast<double>(k) * df + fmin) / 1000;
            const double a = receive_filter_attenuation_db(kAdjacentChannels[c].spacing,
                                                           std::fabs(f - kAdjacentChannels[c].centre_khz));
            if (a <= 200) p += std::pow(10.0, (y[k] - a) / 10);
        }
        result.relative_db[c] = p / p0 > 0 ? 10 * std::log10(p / p0) : -770;
    }
    return result;
}

TEST(AdjacentChannels, MatchTheLiteralSumsOnARandomSpectrum) {
    std::mt19937 generator(9);
    std::uniform_real_distribution<double> level(-90.0, 10.0);
    // 100 Hz steps over ±60 kHz, and a coarse grid whose samples straddle the limits.
    for (const auto& [n, fmin, df] : {std::tuple{1200, -60000.0, 100.0}, std::tuple{37, -47000.0, 2450.0}}) {
        std::vector<double> y(static_cast<std::size_t>(n));
        for (double& v : y) v = level(generator);
        const AdjacentChannelPower fast = compute_adjacent_channel_power(y, fmin, df);
        const AdjacentChannelPower literal = literal_channel_power(y, fmin, df);
        for (std::size_t c = 0; c < 4; ++c) EXPECT_NEAR(fast.relative_db[c], literal.relative_db[c], 1e-9) << c;
    }
}

TEST(AdjacentChannels, ToneInOneChannelAndEmptyChannels) {
    // 0 dB at +12.5 kHz, the floor elsewhere, 500 Hz steps from −40 kHz.
    std::vector<double> y(161, -770.0);
    y[105] = 0.0;   // (105·500 − 40000) Hz = 12.5 kHz
    const AdjacentChannelPower p = compute_adjacent_channel_power(y, -40000.0, 500.0);
    EXPECT_NEAR(p.relative_db[1], 0.0, 1e-9);           // its own channel: 2 dB against 2 dB
    EXPECT_NEAR(p.relative_db[3], -(78.0 - 2.0), 1e-9);  // 12.5 kHz off +25: a = 26 + 16·3.25
    EXPECT_LT(p.relative_db[0], -700.0);                 // 25 kHz off: beyond the 200 dB limit

    // A spectrum from 100 to 101 kHz lies beyond the reach of every channel.
    const AdjacentChannelPower none = compute_adjacent_channel_power(std::vector<double>(11, -3.0), 100000.0, 100.0);
    for (double level : none.relative_db) EXPECT_EQ(level, -770.0);
}

TEST(AdjacentChannels, ApplyOnlyToADbPowerSpectrumWithoutAveragingDistributionOrCumulative) {
    ReportOptions db;
    db.db = true;
    EXPECT_TRUE(adjacent_channels_apply(Domain::frequency, true, db));
    EXPECT_FALSE(adjacent_channels_apply(Domain::time, true, db));
    EXPECT_FALSE(adjacent_channels_apply(Domain::frequency, false, db));
    EXPECT_FALSE(adjacent_channels_apply(Domain::frequency, true, ReportOptions{}));
    for (bool ReportOptions::*option : {&ReportOptions::averaging, &ReportOptions::distribution, &ReportOptions::cumulative}) {
        ReportOptions with = db;
        with.*option = true;
        EXPECT_FALSE(adjacent_channels_apply(Domain::frequency, true, with));
    }
}

// A 19-character number field holding `text`.
std::string field(const std::string& text) { return text + std::string(19 - text.size(), ' '); }

// A dB power spectrum report with hand-picked figures (the layout only).
StatisticsReport power_spectrum_report() {
    StatisticsReport r;
    r.description = "Spectrum of  TEST.DAT     ";
    r.ordinate_name = "Power               ";
    r.domain = Domain::frequency;
    r.power_parameter = true;
    r.options.db = true;
    r.reference_power = 0.125;
    r.reference_level_db = -12.0;
    r.grids = {0.0, 0.5, -1.0, 0.5};
    r.metrics = {.npts = 4, .energy = 8, .power = 4, .max_time = 1.5, .max_frequency = 0.5, .time_span = 2,
                 .frequency_span = 2, .rms = 2, .rms_dbv = 6, .power_dbw = -3, .noise_bandwidth = 0};
    r.ordinate = {.count = 4, .minimum = 1, .maximum = 4, .sum_of_magnitudes = 10, .sum_of_squares = 30,
                  .mean = 2.5, .mean_square = 7.5, .mean_magnitude = 2.5, .variance = 1.25,
                  .standard_deviation = 0.5, .root_sum_of_squares = 5, .rms = 2.5};
    r.channels = AdjacentChannelPower{{-40.0, -12.0, -50.5, 0.25}};
    return r;
}

TEST(StatisticsReport, WindowLayoutOfADbPowerSpectrum) {
    const std::vector<std::string> expected{
        " Spectrum of  TEST.DAT",
        "    RMS VOLTAGE = " + field(" 2.") + " VOLTS     ",
        "    RMS VOLTAGE = " + field(" 6.") + " DBV       ",
        "  AVERAGE POWER = " + field(" 4.") + " WATT-OHMS ",
        "  AVERAGE POWER = " + field("-3.") + " DBW       ",
        "   TOTAL ENERGY = " + field(" 8.") + " JOULE-OHMS",
        " SAMP POINTS, N =     4",
        "   MINIMUM TIME = " + field(" .0") + " SECONDS   ",
        "   MAXIMUM TIME = " + field(" 1.5") + " SECONDS   ",
        "  TIME INT., DT = " + field(" .5") + " SECONDS   ",
        "TIME SPAN, DT*N = " + field(" 2.") + " SECONDS   ",
        "   MINIMUM FREQ = " + field("-1.") + " HERTZ     ",
        "   MAXIMUM FREQ = " + field(" .5") + " HERTZ     ",
        "  FREQ INT., DF = " + field(" .5") + " HERTZ     ",
        "FREQ SPAN, DF*N = " + field(" 2.") + " HERTZ     ",
        "NOISE BANDWIDTH = " + field("(Undefined)") + " HERTZ     ",
        "  ",
        "  ",
        " Power",
        std::string(40, ' ') + "        VARIANCE = " + field(" 1.25"),
        "       SUM(Y**2) = " + field(" 30.") + "  " + "STAND. DEVIATION = " + field(" .5"),
        " SQRT{SUM(Y**2)} = " + field(" 5.") + "  " + "            MEAN = " + field(" 2.5"),
        "SUM{ (Y**2)*DF } = " + field(" 15.") + "  " + "         MINIMUM = " + field(" 1."),
        "TOTAL PWR DB REF = " + field("-12.") + "  " + "         MAXIMUM = " + field(" 4."),
        " SUM{ (Y**2)/N } = " + field(" 7.5") + "  " + " CEPT: -12.5 KHZ = " + field("-40."),
        "        SUM{|Y|} = " + field(" 10.") + "  " + " CEPT: +12.5 KHZ = " + field("-12."),
        "             RMS = " + field(" 2.5") + "  " + " CEPT: -25.0 KHZ = " + field("-50.5"),
        "       MEAN{|Y|} = " + field(" 2.5") + "  " + " CEPT: +25.0 KHZ = " + field(" .25"),
        " <Esc> to continue:",
    };
    const std::vector<std::string> lines = format_statistics_report(power_spectrum_report(), ReportDestination::text_window);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(StatisticsReport, FileLayoutIndentsFourUnitsAndEndsWithBlankLines) {
    StatisticsReport report = power_spectrum_report();
    report.options.save = true;
    const std::vector<std::string> window = format_statistics_report(report, ReportDestination::text_window);
    const std::vector<std::string> file = format_statistics_report(report, ReportDestination::statistics_file);
    ASSERT_EQ(file.size(), 30u);
    EXPECT_EQ(file[0], "Spectrum of  TEST.DAT");
    EXPECT_EQ(file[1], "    RMS VOLTAGE = " + field(" 2.") + "  VOLTS    ");
    EXPECT_EQ(file[2], "    RMS VOLTAGE = " + field(" 6.") + "  DBV      ");
    EXPECT_EQ(file[3], "  AVERAGE POWER = " + field(" 4.") + "  WATT-OHMS");
    EXPECT_EQ(file[4], "  AVERAGE POWER = " + field("-3.") + "  DBW      ");
    for (std::size_t i = 5; i <= 15; ++i) EXPECT_EQ(file[i], window[i]) << i;   // other units as in the window
    EXPECT_EQ(file[16], "  ");   // one blank line, not two
    EXPECT_EQ(file[17], "Power");
    for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(file[18 + i], window[19 + i]);
    for (std::size_t i = 27; i < 30; ++i) EXPECT_EQ(file[i], "  ");
    EXPECT_EQ(window.back(), " Data appended to file 'STATS.TXT'. <Esc> to continue:");
}

// Lines of the report that hold `label`.
int count_lines_with(const std::vector<std::string>& lines, const std::string& label) {
    int count = 0;
    for (const std::string& line : lines) count += line.find(label) != std::string::npos;
    return count;
}

TEST(StatisticsReport, SingleWaveformValueShowsZeroVarianceAndOnlyItsCells) {
    const std::vector<Complex> one{Complex(3, 4)};
    StatisticsReport report;
    report.description = "Time domain function: ONE";
    report.ordinate_name = "Amplitude";
    report.domain = Domain::time;
    report.grids = {0.0, 0.5, 0.0, 2.0};
    report.metrics = compute_signal_metrics(one, Domain::time, report.grids);
    add_ordinate_figures(report, std::vector<double>{5.0});
    const std::vector<std::string> lines = format_statistics_report(report, ReportDestination::text_window);

    EXPECT_EQ(lines[19], std::string(40, ' ') + "        VARIANCE = " + field(" .0"));
    EXPECT_EQ(lines[20].substr(40), "STAND. DEVIATION = " + field(" .0"));
    EXPECT_EQ(lines[22].substr(0, 40), "SUM{ (Y**2)*DT } = " + field(" 12.5") + "  ");
    EXPECT_EQ(lines[6], " SAMP POINTS, N =     1");
    EXPECT_EQ(count_lines_with(lines, "AVERAGING POINTS"), 0);   // L = 1
    EXPECT_EQ(count_lines_with(lines, "TOTAL P"), 0);            // not a power spectrum
    EXPECT_EQ(count_lines_with(lines, "CEPT"), 0);
    EXPECT_FALSE(report.channels.has_value());
}

TEST(StatisticsReport, AveragedLinearPowerSpectrumShowsLengthAndLinearReference) {
    StatisticsReport report = power_spectrum_report();
    report.options.db = false;
    report.options.averaging = true;
    report.averaging_length = 5;
    add_ordinate_figures(report, std::vector<double>{1, 2, 3});
    EXPECT_FALSE(report.channels.has_value());
    const std::vector<std::string> lines = format_statistics_report(report, ReportDestination::text_window);
    EXPECT_EQ(lines[19].substr(0, 40), "AVERAGING POINTS =     5" + std::string(16, ' '));
    EXPECT_EQ(lines[23].substr(0, 40), " TOTAL POWER REF = " + field(" .125") + "  ");
    EXPECT_EQ(count_lines_with(lines, "CEPT"), 0);
    EXPECT_EQ(count_lines_with(lines, "TOTAL PWR DB REF"), 0);

    // A count wider than five digits is shown whole.
    report.metrics.npts = 4194304;
    EXPECT_EQ(format_statistics_report(report, ReportDestination::text_window)[6], " SAMP POINTS, N = 4194304");
}

}  // namespace
}  // namespace zeph
