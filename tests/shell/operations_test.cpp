// The operation dialogues, driven by scripted replies: WI, FF (with the typed
// H(s)), LT, CS, CH, DX, IX, AC, CV, XC, SW, A= and B=.
#include "shell/operations.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/filters.hpp"
#include "dsp/resample.hpp"
#include "dsp/two_signal.hpp"
#include "dsp/windows.hpp"
#include "shell/command_words.hpp"
#include "shell/equations_dialogue.hpp"
#include "shell/filter_dialogue.hpp"
#include "shell/linear_transform_dialogue.hpp"
#include "shell/resample_dialogue.hpp"
#include "shell/two_signal_dialogue.hpp"
#include "shell/window_dialogue.hpp"
#include "session_fixture.hpp"

namespace zeph {
namespace {

using testing::ScriptedSession;
using SignalOperation = bool (*)(Session&, SignalRef&);

std::vector<Complex> constant(int n, Complex value = {1.0, 0.5}) { return std::vector<Complex>(n, value); }

std::vector<Complex> ramp(int n) {
    std::vector<Complex> x(n);
    for (int k = 0; k < n; ++k) x[k] = {k + 1.0, -(k + 1.0)};
    return x;
}

// The current signal of function WA (signal A) or SP (signal B), with the
// grid variables defined as the command loop defines them.
SignalRef select(ScriptedSession& s, bool spectrum) {
    Workspace& w = s.session.workspace;
    w.selection.function = find_word(spectrum ? "SP" : "WA", WordKind::function);
    const SignalRef signal = current_signal(w);
    std::string ignored;
    s.interpreter.define("DT", w.slot(Domain::time).dx, ignored);
    s.interpreter.define("DF", w.slot(Domain::frequency).dx, ignored);
    s.interpreter.define("DX", signal.dx, ignored);
    s.interpreter.define("XMIN", signal.xmin, ignored);
    s.interpreter.define("XMAX", signal.xmin + signal.npts * signal.dx, ignored);
    s.interpreter.define_integer("NPTS", signal.npts, ignored);
    return signal;
}

std::vector<Complex> samples(const SignalRef& signal) {
    return {signal.storage.begin(), signal.storage.begin() + signal.npts};
}

// A refused or cancelled operation: false, the message, and nothing changed.
void expect_unchanged(ScriptedSession& s, SignalOperation operation, SignalRef& signal, std::string_view message) {
    const std::vector<Complex> before = samples(signal);
    const SignalRef grid = signal;
    EXPECT_FALSE(operation(s.session, signal));
    EXPECT_EQ(s.session.workspace.message_line, message);
    EXPECT_EQ(samples(signal), before);
    EXPECT_EQ(signal.npts, grid.npts);
    EXPECT_EQ(signal.xmin, grid.xmin);
    EXPECT_EQ(signal.dx, grid.dx);
}

// --- WI -------------------------------------------------------------------

TEST(WindowDialogue, CosineAndSquaredCosineInAbscissaValues) {
    for (const char* type : {"cosine", "S"}) {
        ScriptedSession s({type, "xv", "0, 1, 0.5"});
        s.set_a(constant(48), 0.0, 0.025);
        SignalRef signal = select(s, false);
        ASSERT_TRUE(window_dialogue(s.session, signal)) << s.session.workspace.message_line;
        const bool squared = type[0] == 'S';
        const double at_eighth = squared ? 0.5 : std::sqrt(0.5);   // x = 0.125, halfway up the taper
        const Complex* a = s.session.workspace.signal_a();
        EXPECT_NEAR(a[5].real(), at_eighth, 1e-12) << type;
        EXPECT_NEAR(a[5].imag(), 0.5 * at_eighth, 1e-12) << type;   // both parts weighted
        EXPECT_NEAR(a[0].real(), 0.0, 1e-12) << type;
        for (int k = 11; k <= 29; ++k) EXPECT_NEAR(a[k].real(), 1.0, 1e-12) << type << k;
        for (int k = 41; k < 48; ++k) EXPECT_EQ(a[k], Complex{}) << type << k;
    }
}

TEST(WindowDialogue, FirstWindowInSampleNumbersSpansTheWholeSignal) {
    ScriptedSession s({"C", "", "/"});   // default length mode SA, kept range "1, NPTS+1, 0"
    s.set_a(constant(16, 1.0), 3.0, 0.5);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(window_dialogue(s.session, signal)) << s.session.workspace.message_line;
    const Complex* a = s.session.workspace.signal_a();
    // Min = XMIN, Max = XMAX, no flat region: a cosine hump centred on sample 8.
    EXPECT_NEAR(a[8].real(), 1.0, 1e-12);
    EXPECT_NEAR(a[4].real(), std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(a[0].real(), 0.0, 1e-12);
    // The kept reply is still the expression, for the next signal's grid.
    EXPECT_NE(s.session.operation_settings.window.sample_range_reply.find("NPTS+1"), std::string::npos);
}

TEST(WindowDialogue, KaiserOffersThirteenAndKeepsTheShapeParameter) {
    ScriptedSession s({"K", "XV", "0, 1, 0.5", "", "k", "XV", "/", "0"});
    s.set_a(constant(48, 1.0), 0.0, 0.025);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(window_dialogue(s.session, signal));
    EXPECT_EQ(s.session.operation_settings.window.kaiser_beta, 13.0);
    const double tapered = s.session.workspace.signal_a()[5].real();
    EXPECT_GT(tapered, 0.0);
    EXPECT_LT(tapered, 1.0);

    // β = 0 makes the taper flat: the window becomes 1 over [Min, Max].
    s.set_a(constant(48, 1.0), 0.0, 0.025);
    ASSERT_TRUE(window_dialogue(s.session, signal));
    EXPECT_EQ(s.session.operation_settings.window.kaiser_beta, 0.0);
    for (int k = 1; k <= 39; ++k) EXPECT_NEAR(s.session.workspace.signal_a()[k].real(), 1.0, 1e-12) << k;
    EXPECT_EQ(s.session.workspace.signal_a()[41], Complex{});
}

TEST(WindowDialogue, NotchThenRectangularOnTheKeptRange) {
    ScriptedSession s({"N", "XV", "0.26, 0.49, 0", "R", "XV", "/"});
    const std::vector<Complex> ones = constant(48);
    s.set_a(ones, 0.0, 0.025);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(window_dialogue(s.session, signal));
    const Complex* a = s.session.workspace.signal_a();
    for (int k = 0; k < 48; ++k) EXPECT_EQ(a[k], (k >= 11 && k <= 19) ? Complex{} : ones[k]) << k;
    // The rectangle over the same band keeps only the notched samples: all zero.
    ASSERT_TRUE(window_dialogue(s.session, signal));
    for (int k = 0; k < 48; ++k) EXPECT_EQ(a[k], Complex{}) << k;
}

TEST(WindowDialogue, RefusalsChangeNothing) {
    struct Case {
        std::vector<std::string> replies;
        const std::string& message;
    };
    for (const Case& c : {Case{{"X", "XV", "0, 1, 0.5"}, kWindowTypeInvalid},
                          Case{{"C", "Sa"}, kWindowLengthModeInvalid},
                          Case{{"C", "XV", "0, 1, 1"}, kWindowLengthZero},
                          Case{{"O", "XV", "0, 1, 0.5", "0, 0.5"}, kWindowPulseInvalid}}) {
        ScriptedSession s(c.replies);
        s.set_a(ramp(48), 0.0, 0.025);
        SignalRef signal = select(s, false);
        expect_unchanged(s, window_dialogue, signal, c.message);
    }
}

TEST(OperationDialogues, EscapeAtTheSecondQuestionCancelsWithoutAMessage) {
    struct Case {
        SignalOperation operation;
        const char* first_answer;
    };
    for (const Case& c : {Case{window_dialogue, "C"}, Case{linear_transform_dialogue, "M"}, Case{sample_rate_dialogue, "D"},
                          Case{point_count_dialogue, "A"}, Case{filter_dialogue, "BUTT"}, Case{filter_dialogue, "H(S)"}}) {
        ScriptedSession s({});
        ScriptKeySource keys;
        keys.text(c.first_answer).enter().escape();
        s.session.prompter.set_keys(keys);
        s.set_b(ramp(16), -8.0, 1.0);
        SignalRef signal = select(s, true);
        expect_unchanged(s, c.operation, signal, "");
        EXPECT_TRUE(keys.exhausted()) << c.first_answer;
    }
}

// --- FF -------------------------------------------------------------------

// A spectrum of N ones laid out around zero frequency: sample N/2 is 0 Hz.
SignalRef ones_spectrum(ScriptedSession& s, int n, double df) {
    s.set_b(constant(n, 1.0), -(n / 2) * df, df);
    return select(s, true);
}

TEST(FilterDialogue, ButterworthLowPassIsThreeDecibelsDownAtItsCutoff) {
    ScriptedSession s({"butt", "lpf", "2", "100"});
    SignalRef signal = ones_spectrum(s, 512, 1.0);
    ASSERT_TRUE(filter_dialogue(s.session, signal)) << s.session.workspace.message_line;
    const Complex* b = s.session.workspace.signal_b();
    EXPECT_NEAR(std::abs(b[256 + 100]), std::sqrt(0.5), 1e-12);   // +100 Hz
    EXPECT_NEAR(std::abs(b[256 - 100]), std::sqrt(0.5), 1e-12);   // −100 Hz
    // |H(f)|² = 1/(1 + (f/fc)^4) everywhere, 0 Hz (sample 256) included.
    for (int k = 0; k < 512; k += 31) {
        const double f = k - 256.0;
        EXPECT_NEAR(std::abs(b[k]), 1.0 / std::sqrt(1.0 + std::pow(f / 100.0, 4)), 1e-12) << f;
    }
    EXPECT_TRUE(s.session.workspace.message_line.empty());
}

TEST(FilterDialogue, BandPassCarrierDefaultsToTheMidFrequency) {
    // Mid 1000 Hz, width 100 Hz; Enter at the carrier prompt moves 1000 Hz to the zero-frequency sample.
    ScriptedSession s({"BUTT", "BPF", "2", "100", "1000", ""});
    SignalRef signal = ones_spectrum(s, 256, 2.0);
    ASSERT_TRUE(filter_dialogue(s.session, signal)) << s.session.workspace.message_line;
    const Complex* b = s.session.workspace.signal_b();
    EXPECT_NEAR(std::abs(b[128]), 1.0, 1e-9);
    EXPECT_LT(std::abs(b[128 + 60]), std::abs(b[128 + 10]));
    EXPECT_EQ(s.session.operation_settings.filter.carrier_hz, 1000.0);
}

TEST(FilterDialogue, WaveformGetsTheWarningAndIsFilteredAllTheSame) {
    ScriptedSession s({"HILB"});
    s.set_a(constant(8, 1.0));
    SignalRef signal = select(s, false);
    ASSERT_TRUE(filter_dialogue(s.session, signal));
    EXPECT_TRUE(s.transcript_has(kFilterWaveformWarning));
    EXPECT_TRUE(s.session.workspace.message_line.empty());   // shown with the first prompt
    const Complex* a = s.session.workspace.signal_a();
    for (int k = 0; k < 8; ++k) EXPECT_EQ(a[k], k < 4 ? Complex(0, 1) : (k == 4 ? Complex() : Complex(0, -1))) << k;
}

TEST(FilterDialogue, RefusedDesignsChangeNothing) {
    struct Case {
        std::vector<std::string> replies;
        const std::string& message;
    };
    for (const Case& c : {Case{{"BUTT", "LPF", "0", "100"}, kFilterOrderBelowOne},
                          Case{{"BUTT", "LPF", "-3", "100"}, kFilterOrderBelowOne},
                          Case{{"BUTT", "LPF", "61", "100"}, kButterworthMaxOrder},
                          Case{{"CHEB", "LPF", "61", "100", "1"}, kChebyshevMaxOrder},
                          Case{{"CHEB", "LPF", "4", "100", "-0.5"}, kNegativeRipple},
                          Case{{"BESS", "LPF", "12", "100"}, kBesselMaxOrder},
                          Case{{"TRAN", "LPF", "12", "100"}, kTransitionalMaxOrder},
                          Case{{"BUTT", "LPF", "2", "0"}, kCutoffNotPositive},
                          Case{{"ELLIPTIC", "BPF", "2", "100", "1000", "1000"}, kInvalidFilterType}}) {
        ScriptedSession s(c.replies);
        s.set_b(ramp(64), -32.0, 1.0);
        SignalRef signal = select(s, true);
        expect_unchanged(s, filter_dialogue, signal, c.message);
        EXPECT_TRUE(s.keys.exhausted()) << c.message;   // every question of the type was asked
    }
}

TEST(FilterDialogue, TypedTransferFunctionAcceptsLowerCase) {
    ScriptedSession s({"h(s)", "1/(1+s/(2*pi*10))", "H(S)", "1"});
    SignalRef signal = ones_spectrum(s, 64, 1.0);
    ASSERT_TRUE(filter_dialogue(s.session, signal)) << s.session.workspace.message_line;
    const Complex* b = s.session.workspace.signal_b();
    EXPECT_EQ(b[32], Complex(1.0, 0.0));
    const Complex expected_at_10hz = 1.0 / (1.0 + Complex(0.0, kTwoPi * 10) / (kTwoPi * 10));
    EXPECT_NEAR(std::abs(b[42] - expected_at_10hz), 0.0, 1e-12);
    // H(s) = 1 leaves the signal as it is.
    const std::vector<Complex> before = samples(signal);
    ASSERT_TRUE(filter_dialogue(s.session, signal));
    EXPECT_EQ(samples(signal), before);
}

TEST(FilterDialogue, TypedTransferFunctionErrorsLeaveTheSignalUnchanged) {
    struct Case {
        const char* formula;
        const char* message;
    };
    for (const Case& c : {Case{"S/W0", "*****INTERP. VARIABLE W0 HAS NOT BEEN ASSIGNED A VALUE: S/W0"},
                          Case{"foo(s)", "*****INTERP. UNRECOGNIZED FUNCTION: FOO: FOO(S)"},
                          Case{"#S", "******INTERP. SYNTAX ERROR.: #S"}}) {
        ScriptedSession s({"H(S)", c.formula});
        s.set_b(ramp(32), -16.0, 1.0);
        SignalRef signal = select(s, true);
        expect_unchanged(s, filter_dialogue, signal, c.message);
    }
}

// --- LT -------------------------------------------------------------------

TEST(LinearTransformDialogue, AddMultiplyConjugateAndKeptConstants) {
    ScriptedSession s({"a", "0.1, 0", "M", "0, 1", "M", "", "C"});
    const std::vector<Complex> x = ramp(8);
    s.set_a(x);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(linear_transform_dialogue(s.session, signal));
    const Complex* a = s.session.workspace.signal_a();
    EXPECT_EQ(a[0], x[0] + Complex(static_cast<float>(0.1), 0.0));   // single-precision constant
    ASSERT_TRUE(linear_transform_dialogue(s.session, signal));
    ASSERT_TRUE(linear_transform_dialogue(s.session, signal));   // Enter: again by j
    ASSERT_TRUE(linear_transform_dialogue(s.session, signal));   // conjugate
    const Complex added = x[3] + Complex(static_cast<float>(0.1), 0.0);
    EXPECT_NEAR(std::abs(a[3] - std::conj(-added)), 0.0, 1e-12);
}

TEST(LinearTransformDialogue, ThirdConstantIsAFrequencyOnAWaveformAndATimeOnASpectrum) {
    ScriptedSession s({"E", "1, 0, 0", "S", "1, 0, 0, 0"});
    s.set_a(ramp(8));
    SignalRef waveform = select(s, false);
    ASSERT_TRUE(linear_transform_dialogue(s.session, waveform));
    EXPECT_TRUE(s.transcript_has("OUT = IN*(A+jB)*EXP(j2πft). Enter A, B, f"));
    s.set_b(ramp(8));
    SignalRef spectrum = select(s, true);
    ASSERT_TRUE(linear_transform_dialogue(s.session, spectrum));
    EXPECT_TRUE(s.transcript_has("OUT = IN*(A+jB)*COS(2πft+Θ). Enter A, B, t, Θ (radians)"));
    EXPECT_EQ(samples(spectrum), ramp(8));   // cos(0) = 1
}

TEST(LinearTransformDialogue, UnknownTypeChangesNothing) {
    ScriptedSession s({"X"});
    s.set_a(ramp(8));
    SignalRef signal = select(s, false);
    expect_unchanged(s, linear_transform_dialogue, signal, kLinearTransformTypeError);
    EXPECT_EQ(s.session.operation_settings.linear_transform.type, LinearTransformType::multiply);
}

// --- CS and CH --------------------------------------------------------------

TEST(SampleRateDialogue, DecreaseKeepsEveryThirdSampleAndAsksAgainAfterAWrongDirection) {
    ScriptedSession s({"x", "decrease", "1, 3"});
    s.set_a(ramp(10), 2.0, 0.5);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(sample_rate_dialogue(s.session, signal));
    EXPECT_TRUE(s.transcript_has(kSampleRateDirectionError));
    const std::vector<Complex> r = ramp(10);
    EXPECT_EQ(samples(signal), (std::vector<Complex>{r[0], r[3], r[6], r[9]}));
    EXPECT_EQ(signal.dx, 1.5);
    EXPECT_EQ(signal.xmin, 2.0);
    // Linked mode: the spectrum grid follows, DF = 1/(N·DT).
    EXPECT_EQ(s.session.workspace.slot(Domain::frequency).dx, 1.0 / (4 * 1.5));
    EXPECT_EQ(s.session.workspace.slot(Domain::frequency).xmin, -2 * s.session.workspace.slot(Domain::frequency).dx);
    EXPECT_EQ(s.session.operation_settings.sample_rate.direction, 'D');
}

TEST(SampleRateDialogue, IncreasePassesThroughTheInputSamples) {
    ScriptedSession s({"I", "4"});
    std::vector<Complex> x(256);
    for (int k = 0; k < 256; ++k) x[k] = std::sin(kTwoPi * 5 * k / 256.0);
    s.set_a(x, 0.0, 1.0);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(sample_rate_dialogue(s.session, signal));
    EXPECT_EQ(signal.npts, 1024);
    EXPECT_EQ(signal.dx, 0.25);
    for (int k = 0; k < 256; k += 17) EXPECT_NEAR(std::abs(signal.storage[4 * k] - x[k]), 0.0, 1e-12) << k;
}

TEST(SampleRateDialogue, RefusalsChangeNothing) {
    struct Case {
        std::vector<std::string> replies;
        std::string message;
    };
    for (const Case& c : {Case{{"I", "0"}, kRatioBelowOne}, Case{{"D", "1, 0"}, kRatioBelowOne},
                          Case{{"D", "1, -2"}, kRatioBelowOne}, Case{{"D", "11, 2"}, kNoSampleKept},
                          Case{{"I", "3"}, upsampled_not_power_of_two_message(30)},
                          Case{{"I", "1024"}, std::string(kTooManyUpsampled)}}) {
        ScriptedSession s(c.replies);
        s.set_a(ramp(10));
        SignalRef signal = select(s, false);
        const double df = s.session.workspace.slot(Domain::frequency).dx;
        expect_unchanged(s, sample_rate_dialogue, signal, c.message);
        EXPECT_EQ(s.session.workspace.slot(Domain::frequency).dx, df);
    }
}

TEST(PointCountDialogue, CutShiftAndExtend) {
    ScriptedSession s({"a", "11, 20", "A", "", "B", "-1, 0.25"});
    s.set_a(ramp(20), 0.0, 0.5);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(point_count_dialogue(s.session, signal));
    const std::vector<Complex> r = ramp(20);
    std::vector<Complex> expected(r.begin() + 10, r.end());
    expected.resize(20);
    EXPECT_EQ(samples(signal), expected);
    EXPECT_EQ(signal.xmin, 5.0);
    // Enter keeps point 1 and N.
    ASSERT_TRUE(point_count_dialogue(s.session, signal));
    EXPECT_EQ(samples(signal), expected);
    // B relabels; in linked mode the spectrum step follows.
    ASSERT_TRUE(point_count_dialogue(s.session, signal));
    EXPECT_TRUE(s.transcript_has(kWaveformGridPrompt));
    EXPECT_EQ(signal.xmin, -1.0);
    EXPECT_EQ(signal.dx, 0.25);
    EXPECT_EQ(s.session.workspace.slot(Domain::frequency).dx, 1.0 / (20 * 0.25));
}

TEST(PointCountDialogue, RefusalsChangeNothing) {
    struct Case {
        std::vector<std::string> replies;
        std::string message;
    };
    for (const Case& c : {Case{{"A", "1, 0"}, kNewCountBelowOne}, Case{{"A", "1, -5"}, kNewCountBelowOne},
                          Case{{"A", "1, 4097"}, max_points_message(4096)},
                          Case{{"X", "B", "0, 0"}, kStepNotPositive}}) {
        ScriptedSession s(c.replies);
        s.set_b(ramp(10), -5.0, 1.0);
        SignalRef signal = select(s, true);
        const double dt = s.session.workspace.slot(Domain::time).dx;
        expect_unchanged(s, point_count_dialogue, signal, c.message);
        EXPECT_EQ(s.session.workspace.slot(Domain::time).dx, dt);
    }
}

TEST(PointCountDialogue, AnswerOtherThanAOrBIsAskedAgain) {
    ScriptedSession s({"X", "b", "/"});
    s.set_b(ramp(8), -4.0, 1.0);
    SignalRef signal = select(s, true);
    ASSERT_TRUE(point_count_dialogue(s.session, signal));
    EXPECT_TRUE(s.transcript_has(kPointCountChoiceError));
    EXPECT_TRUE(s.transcript_has(kSpectrumGridPrompt));
}

// --- DX, IX and the two-signal operations ------------------------------------

TEST(CalculusOperations, DerivativeAndIntegralOfTheCurrentSignal) {
    ScriptedSession s({});
    std::vector<Complex> sine(64);
    for (int k = 0; k < 64; ++k) sine[k] = std::sin(kTwoPi * k / 64.0);
    s.set_a(sine, 0.0, 1.0 / 64);
    SignalRef signal = select(s, false);
    ASSERT_TRUE(derivative_operation(s.session, signal));
    for (int k = 0; k < 64; k += 8) EXPECT_NEAR(signal.storage[k].real(), kTwoPi * std::cos(kTwoPi * k / 64.0), 1e-11);
    ASSERT_TRUE(integral_operation(s.session, signal));
    for (int k = 0; k < 64; k += 8) EXPECT_NEAR(signal.storage[k].real(), sine[k].real(), 1e-12);

    s.set_a(ramp(6));
    SignalRef six = select(s, false);
    expect_unchanged(s, integral_operation, six, kNotPowerOfTwo);
}

TEST(TwoSignalOperations, AutoCorrelationRefusesSixPointsAndInvalidatesTheOtherDomain) {
    ScriptedSession s({});
    s.set_b(ramp(8));
    s.set_a(ramp(6));
    select(s, false);
    autocorrelation_operation(s.session);
    EXPECT_EQ(s.session.workspace.message_line, kNotPowerOfTwo);
    EXPECT_EQ(std::vector<Complex>(s.session.workspace.signal_a(), s.session.workspace.signal_a() + 6), ramp(6));

    s.set_a(ramp(8));
    s.session.workspace.message_line.clear();
    select(s, false);
    autocorrelation_operation(s.session);
    EXPECT_TRUE(s.session.workspace.message_line.empty());
    EXPECT_FALSE(s.session.workspace.slot(Domain::frequency).present);   // linked: B was A's spectrum
    EXPECT_NE(std::vector<Complex>(s.session.workspace.signal_a(), s.session.workspace.signal_a() + 8), ramp(8));
}

TEST(TwoSignalOperations, ConvolutionWithAnImpulseReturnsBAndKeepsA) {
    ScriptedSession s({});
    Workspace& w = s.session.workspace;
    w.signal_mode = SignalMode::independent;
    std::vector<Complex> impulse(32);
    impulse[0] = 1.0 / 0.001;
    s.set_a(impulse, 0.0, 0.001);
    s.set_b(ramp(32), 0.0, 0.001);
    select(s, true);   // BS CV: the result goes to B
    convolution_operation(s.session);
    EXPECT_TRUE(w.message_line.empty()) << w.message_line;
    EXPECT_EQ(std::vector<Complex>(w.signal_a(), w.signal_a() + 32), impulse);
    for (int k = 0; k < 32; ++k) EXPECT_NEAR(std::abs(w.signal_b()[k] - ramp(32)[k]), 0.0, 1e-11) << k;
    EXPECT_TRUE(w.slot(Domain::time).present && w.slot(Domain::frequency).present);
}

TEST(TwoSignalOperations, CorrelationNeedsBothSignalsOnIdenticalGrids) {
    ScriptedSession s({});
    Workspace& w = s.session.workspace;
    w.signal_mode = SignalMode::independent;
    s.set_a(ramp(16), 0.0, 0.001);
    s.set_b(ramp(16), 0.0, 0.002);
    select(s, false);
    convolution_operation(s.session);
    EXPECT_EQ(w.message_line, "These parameters of signals A & B do not match:  dX");
    EXPECT_EQ(std::vector<Complex>(w.signal_a(), w.signal_a() + 16), ramp(16));

    w.slot(Domain::frequency).present = false;
    cross_correlation_operation(s.session);
    EXPECT_EQ(w.message_line, kMustCreateB);

    // XC into A against a direct sum.
    w.slot(Domain::frequency).present = true;
    w.slot(Domain::frequency).dx = 0.001;
    std::vector<Complex> b = ramp(16);
    for (Complex& v : b) v = {v.imag(), 2.0 * v.real()};
    std::copy(b.begin(), b.end(), w.signal_b());
    w.message_line.clear();
    cross_correlation_operation(s.session);
    EXPECT_TRUE(w.message_line.empty()) << w.message_line;
    const std::vector<Complex> a = ramp(16);
    for (int n = 0; n < 16; n += 5) {
        Complex sum = 0;
        for (int m = 0; m < 16; ++m) sum += a[m] * b[((m - n) % 16 + 16) % 16];
        EXPECT_NEAR(std::abs(w.signal_a()[n] - 0.001 * sum), 0.0, 1e-12) << n;
    }
}

TEST(TwoSignalOperations, SwapExchangesSamplesCountsAndGrids) {
    ScriptedSession s({});
    Workspace& w = s.session.workspace;
    w.signal_mode = SignalMode::independent;
    s.set_a(constant(1024, 1.0), 1.0, 0.5);
    s.set_b(ramp(2048), -3.0, 0.25);
    select(s, false);
    swap_operation(s.session);
    EXPECT_EQ(w.slot(Domain::time).npts, 2048);
    EXPECT_EQ(w.slot(Domain::frequency).npts, 1024);
    EXPECT_EQ(w.linked_npts, 2048);   // the count of the current function's signal
    EXPECT_EQ(w.slot(Domain::time).xmin, -3.0);
    EXPECT_EQ(w.slot(Domain::time).dx, 0.25);
    EXPECT_EQ(w.slot(Domain::frequency).xmin, 1.0);
    EXPECT_EQ(w.slot(Domain::frequency).dx, 0.5);
    EXPECT_EQ(std::vector<Complex>(w.signal_a(), w.signal_a() + 2048), ramp(2048));
    EXPECT_EQ(std::vector<Complex>(w.signal_b(), w.signal_b() + 1024), constant(1024, 1.0));
    EXPECT_TRUE(w.slot(Domain::time).present && w.slot(Domain::frequency).present);

    w.slot(Domain::time).present = false;
    swap_operation(s.session);
    EXPECT_EQ(w.message_line, kMustCreateA);
    EXPECT_EQ(w.slot(Domain::time).npts, 2048);
}

TEST(TwoSignalOperations, CopiesTakeSamplesCountAndGrid) {
    ScriptedSession s({});
    Workspace& w = s.session.workspace;
    w.signal_mode = SignalMode::independent;
    s.set_b(ramp(64), -32.0, 0.125);
    w.slot(Domain::time).present = false;
    select(s, false);
    copy_a_to_b_operation(s.session);   // B= needs A
    EXPECT_EQ(w.message_line, kMustCreateA);
    EXPECT_EQ(w.slot(Domain::frequency).npts, 64);

    w.message_line.clear();
    copy_b_to_a_operation(s.session);   // A=
    EXPECT_TRUE(w.slot(Domain::time).present);
    EXPECT_EQ(w.slot(Domain::time).npts, 64);
    EXPECT_EQ(w.slot(Domain::time).xmin, -32.0);
    EXPECT_EQ(w.slot(Domain::time).dx, 0.125);
    EXPECT_EQ(std::vector<Complex>(w.signal_a(), w.signal_a() + 64), ramp(64));
    // CV then finds matching grids.
    convolution_operation(s.session);
    EXPECT_TRUE(w.message_line.empty()) << w.message_line;

    s.set_a(constant(16), 2.0, 3.0);
    copy_a_to_b_operation(s.session);   // B=
    EXPECT_EQ(w.slot(Domain::frequency).npts, 16);
    EXPECT_EQ(w.slot(Domain::frequency).xmin, 2.0);
    EXPECT_EQ(w.slot(Domain::frequency).dx, 3.0);
    EXPECT_EQ(std::vector<Complex>(w.signal_b(), w.signal_b() + 16), constant(16));
}

}  // namespace
}  // namespace zeph
