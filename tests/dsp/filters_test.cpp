// Filter design against known values and scipy.signal; application to spectra.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/filter_tables.hpp"
#include "dsp/filters.hpp"
#include "tests/support/run_command.hpp"

namespace zeph {
namespace {

Complex response_at(const FilterResponse& r, double f_hz) { return evaluate_response(r, {0.0, kTwoPi * f_hz}); }

FilterResponse designed(const FilterDesign& d) {
    FilterResponse r;
    const Status status = design_filter(d, r);
    EXPECT_TRUE(status.ok) << status.message;
    return r;
}

// ---- known values ------------------------------------------------------

TEST(FilterDesign, ButterworthOrderTwoIsHalfPowerAtCutoff) {
    const FilterResponse r = designed({FilterFamily::butterworth, 2, 100.0});
    ASSERT_EQ(r.sections.size(), 1u);
    EXPECT_NEAR(r.sections[0].q, 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(r.sections[0].w0, 2.0 * M_PI * 100.0, 1e-9);
    EXPECT_NEAR(std::abs(response_at(r, 100.0)), 1.0 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(std::abs(response_at(r, 0.0) - 1.0), 0.0, 1e-15);
    EXPECT_NEAR(std::arg(response_at(r, 100.0)), -M_PI / 2.0, 1e-12);   // two poles: −90° at ω0
}

TEST(FilterDesign, ButterworthOrderThreeHasUnitQAndFirstOrderSectionAtCutoff) {
    const std::vector<Section> s = butterworth_sections(3, 250.0);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_NEAR(s[0].q, 1.0, 1e-12);
    EXPECT_NEAR(s[0].w0, 2.0 * M_PI * 250.0, 1e-9);
    EXPECT_EQ(s[1].q, 0.0);
    EXPECT_NEAR(s[1].w0, 2.0 * M_PI * 250.0, 1e-9);
}

TEST(FilterDesign, ChebyshevShapeFactor) {
    const double epsilon = std::sqrt(std::pow(10.0, 0.1) - 1.0);   // 1 dB ripple
    EXPECT_NEAR(epsilon, 0.5088, 1e-4);
    EXPECT_NEAR(chebyshev_c(2, 1.0), std::tanh(std::asinh(1.0 / epsilon) / 2.0), 1e-12);
    for (int n = 1; n <= 11; ++n) EXPECT_DOUBLE_EQ(chebyshev_c(n, 0.0), 1.0) << "order " << n;
    // The Chebyshev order-2 section: pole −c·sin(π/4) + j·cos(π/4).
    const double c = chebyshev_c(2, 1.0);
    const std::vector<Section> s = chebyshev_sections(2, 1.0, 1.0);
    ASSERT_EQ(s.size(), 1u);
    const double r = std::hypot(c, 1.0) / std::sqrt(2.0);
    EXPECT_NEAR(s[0].w0, 2.0 * M_PI * r, 1e-12);
    EXPECT_NEAR(s[0].q, r / (2.0 * c / std::sqrt(2.0)), 1e-12);
}

TEST(FilterDesign, BesselOrderFourFirstSection) {
    const std::vector<Section> s = bessel_sections(4, 1000.0);
    ASSERT_EQ(s.size(), 2u);
    const double r = std::abs(Complex{-2.1037894, 2.657418});
    EXPECT_NEAR(s[0].w0, r * 2.0 * M_PI * 1000.0 / static_cast<double>(2.13f), 1e-9);
    EXPECT_NEAR(s[0].q, r / (2.0 * 2.1037894), 1e-12);
}

TEST(FilterDesign, BesselFactorsAreFloatsWidened) {
    EXPECT_EQ(bessel_3db_factor(2), 1.3600000143051147);
    EXPECT_EQ(bessel_3db_factor(1), 1.0);
    EXPECT_EQ(bessel_3db_factor(0), 0.0);
    EXPECT_EQ(bessel_3db_factor(12), 0.0);
    EXPECT_TRUE(bessel_poles(12).empty());
    for (int n = 1; n <= 11; ++n) EXPECT_EQ(bessel_poles(n).size(), static_cast<std::size_t>((n + 1) / 2));
}

// The transitional filter against an independent form: the product over all
// its poles (conjugates included) of −p/(s − p), the poles being the means of
// the Bessel table pole over b_n and the Butterworth pole of the same index.
TEST(FilterDesign, TransitionalMatchesPoleProductOfMeanPoles) {
    const double fc = 50.0;
    const double wc = 2.0 * M_PI * fc;
    for (int n = 1; n <= 11; ++n) {
        const std::span<const Complex> table = bessel_poles(n);
        std::vector<Complex> poles;
        for (std::size_t k = 0; k < table.size(); ++k) {
            const double theta = (2.0 * static_cast<double>(k + 1) - 1.0) * M_PI / (2.0 * n);
            const Complex butterworth = std::polar(1.0, M_PI / 2.0 + theta);   // −sin θ + j·cos θ
            const Complex mean = (table[k] / bessel_3db_factor(n) + butterworth) / 2.0 * wc;
            poles.push_back(mean);
            if (std::abs(mean.imag()) > 1e-9 * wc) poles.push_back(std::conj(mean));
        }
        ASSERT_EQ(poles.size(), static_cast<std::size_t>(n));
        const FilterResponse r = designed({FilterFamily::transitional, n, fc});
        for (double f : {0.0, 10.0, 50.0, 73.0, 200.0, -120.0}) {
            const Complex s{0.0, 2.0 * M_PI * f};
            Complex expected = 1.0;
            for (const Complex& p : poles) expected *= -p / (s - p);
            EXPECT_LT(std::abs(response_at(r, f) - expected), 1e-12 * std::abs(expected)) << "order " << n << " f " << f;
        }
    }
}

// ---- refusals ----------------------------------------------------------

struct Refusal {
    FilterDesign design;
    std::string message;
};

TEST(FilterDesign, RefusesOrdersRipplesAndCutoffsOutOfRange) {
    const std::vector<Refusal> refusals{
        {{FilterFamily::bessel, 12, 100.0}, "ERROR. MAX ORDER 11 FOR BESSEL FILTERS."},
        {{FilterFamily::transitional, 12, 100.0}, "ERROR. MAX ORDER 11 FOR TRANSITIONAL FILTERS"},
        {{FilterFamily::chebyshev, 61, 100.0, 1.0}, kChebyshevMaxOrder},
        {{FilterFamily::butterworth, 61, 100.0}, kButterworthMaxOrder},
        {{FilterFamily::butterworth, 0, 100.0}, kFilterOrderBelowOne},
        {{FilterFamily::chebyshev, -3, 100.0, 1.0}, kFilterOrderBelowOne},
        {{FilterFamily::bessel, 0, 100.0}, kFilterOrderBelowOne},
        {{FilterFamily::transitional, 0, 100.0}, kFilterOrderBelowOne},
        {{FilterFamily::chebyshev, 4, 100.0, -0.5}, kNegativeRipple},
        {{FilterFamily::butterworth, 4, 0.0}, kCutoffNotPositive},
        {{FilterFamily::bessel, 4, -10.0, 0.0, true, 1000.0}, kCutoffNotPositive},
        {{FilterFamily::hilbert, 4, 100.0}, "INVALID FILTER TYPE."},
    };
    for (const Refusal& r : refusals) {
        std::vector<Complex> spectrum(16, Complex{1.0, -2.0});
        const Status status = apply_designed_filter(spectrum, {10.0, 0.0}, r.design);
        EXPECT_FALSE(status.ok);
        EXPECT_EQ(status.message, r.message);
        for (const Complex& v : spectrum) EXPECT_EQ(v, (Complex{1.0, -2.0}));
    }
}

TEST(FilterDesign, AcceptsTheLargestOrders) {
    FilterResponse r;
    EXPECT_TRUE(design_filter({FilterFamily::butterworth, 60, 100.0}, r).ok);
    EXPECT_EQ(r.sections.size(), 30u);
    EXPECT_TRUE(design_filter({FilterFamily::chebyshev, 59, 100.0, 0.1}, r).ok);
    EXPECT_EQ(r.sections.size(), 30u);
    EXPECT_TRUE(design_filter({FilterFamily::bessel, 11, 100.0}, r).ok);
    EXPECT_TRUE(design_filter({FilterFamily::transitional, 11, 100.0}, r).ok);
    EXPECT_TRUE(design_filter({FilterFamily::chebyshev, 3, 100.0, 0.0}, r).ok);   // zero ripple is Butterworth
}

TEST(FilterAnswers, TypeByFirstFourLettersAndBandPassByBPF) {
    ASSERT_TRUE(parse_filter_family("butterworth"));
    EXPECT_EQ(parse_filter_family("butterworth").value(), FilterFamily::butterworth);
    ASSERT_TRUE(parse_filter_family("H(S)"));
    EXPECT_EQ(parse_filter_family("H(S)").value(), FilterFamily::typed);
    for (const char* bad : {"BUT", "ELLIPTIC", ""}) {
        EXPECT_FALSE(parse_filter_family(bad)) << bad;
        EXPECT_EQ(parse_filter_family(bad).message(), "INVALID FILTER TYPE.") << bad;
    }
    EXPECT_TRUE(selects_band_pass("bpf   "));
    EXPECT_FALSE(selects_band_pass("BP"));
    EXPECT_FALSE(selects_band_pass("BPFX"));
}

// ---- application -------------------------------------------------------

TEST(FilterApply, HilbertOnEightOnes) {
    std::vector<Complex> s(8, 1.0);
    apply_hilbert(s);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s[i], (Complex{0.0, 1.0})) << i;
    EXPECT_EQ(s[4], (Complex{0.0, 0.0}));
    for (int i = 5; i < 8; ++i) EXPECT_EQ(s[i], (Complex{0.0, -1.0})) << i;
}

TEST(FilterApply, HilbertOnOddCountZeroesTheMiddleSample) {
    std::vector<Complex> s(5, Complex{2.0, 1.0});
    apply_hilbert(s);   // N/2 = 2 is zero frequency
    EXPECT_EQ(s[1], (Complex{-1.0, 2.0}));
    EXPECT_EQ(s[2], (Complex{0.0, 0.0}));
    EXPECT_EQ(s[3], (Complex{1.0, -2.0}));
}

TEST(FilterApply, LowPassSampleFrequenciesFollowTheSpectrumLayout) {
    // Sample N/2 is zero frequency (gain 1); sample N/2 + 10 at 100 Hz is the cut-off.
    std::vector<Complex> s(64, Complex{1.0, 1.0});
    ASSERT_TRUE(apply_designed_filter(s, {10.0, 0.0}, {FilterFamily::butterworth, 2, 100.0}).ok);
    EXPECT_NEAR(std::abs(s[32] - Complex{1.0, 1.0}), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(s[42]), 1.0, 1e-12);   // |1 + j|/√2
    EXPECT_NEAR(std::abs(s[22]), 1.0, 1e-12);   // −100 Hz
    EXPECT_NEAR(std::arg(s[42]), M_PI / 4.0 - M_PI / 2.0, 1e-12);
    EXPECT_NEAR(std::arg(s[22]), M_PI / 4.0 + M_PI / 2.0, 1e-12);
}

TEST(FilterApply, BandPassWithCarrierIsCentredOnZeroFrequencySample) {
    // Mid 1000 Hz, full bandwidth 100 Hz, carrier 1000 Hz, 5 Hz steps.
    const int n = 256;
    std::vector<Complex> s(n, 1.0);
    const FrequencyGrid grid{5.0, 1000.0};
    ASSERT_TRUE(apply_designed_filter(s, grid, {FilterFamily::butterworth, 4, 100.0, 0.0, true, 1000.0}).ok);
    EXPECT_NEAR(std::abs(s[n / 2] - 1.0), 0.0, 1e-9);
    for (int i = 0; i < n; ++i) EXPECT_LE(std::abs(s[i]), 1.0 + 1e-9) << i;
    // The band edges lie where (f² − fm²)/f = ±bandwidth: f_u − f_l = 100, f_u·f_l = 1000².
    const double fl = -50.0 + std::sqrt(50.0 * 50.0 + 1e6);
    const double fu = fl + 100.0;
    FilterResponse r = designed({FilterFamily::butterworth, 4, 100.0, 0.0, true, 1000.0});
    EXPECT_NEAR(std::abs(response_at(r, fl)), 1.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(std::abs(response_at(r, fu)), 1.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(fu * fl, 1e6, 1e-6);
}

TEST(FilterApply, BandPassCentredOnZeroFrequencyStaysFinite) {
    for (int order : {1, 2, 3}) {
        const FilterResponse r = designed({FilterFamily::butterworth, order, 100.0, 0.0, true, 0.0});
        const Complex h = response_at(r, 0.0);
        EXPECT_TRUE(std::isfinite(h.real()) && std::isfinite(h.imag())) << order;
        EXPECT_NEAR(std::abs(h - 1.0), 0.0, 1e-15) << order;
        EXPECT_NEAR(std::abs(response_at(r, 100.0)), 1.0 / std::sqrt(2.0), 1e-12) << order;
    }
}

TEST(FilterApply, TypedFormulaIsEvaluatedAtTheAngularFrequencyOfEachSample) {
    std::vector<Complex> s(8, 2.0);
    const Status status = apply_response_formula(s, {2.0, 7.0}, [](double omega, Complex& h) {
        h = Complex{0.0, omega};   // a differentiator, H(s) = s
        return Status::success();
    });
    EXPECT_TRUE(status.ok);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(s[i], (Complex{0.0, 2.0 * kTwoPi * ((i - 4) * 2.0 + 7.0)})) << i;
}

TEST(FilterApply, TypedFormulaErrorLeavesEverySampleUnchanged) {
    std::vector<Complex> s(8, Complex{1.0, 2.0});
    int calls = 0;
    const Status status = apply_response_formula(s, {1.0, 0.0}, [&](double, Complex& h) {
        h = 0.5;
        if (++calls == 5) return Status::failure("Unknown function: SQRTT(S)");
        return Status::success();
    });
    EXPECT_FALSE(status.ok);
    EXPECT_EQ(status.message, "Unknown function: SQRTT(S)");
    EXPECT_EQ(calls, 5);
    for (const Complex& v : s) EXPECT_EQ(v, (Complex{1.0, 2.0}));
}

// ---- scipy.signal reference --------------------------------------------

struct ReferenceCase {
    std::string family;
    int order = 0;
    double ripple_db = 0.0, cutoff_hz = 0.0, mid_hz = 0.0;
    bool band_pass = false;
    std::vector<std::pair<double, Complex>> points;   // f [Hz], H(j2πf)
};

struct Reference {
    std::string unavailable;   // why there is none; empty when loaded
    std::map<int, std::vector<Complex>> bessel_poles;
    std::map<int, double> bessel_factors;
    std::vector<ReferenceCase> cases;
};

Reference load_reference() {
    Reference ref;
    const std::string python = test::python_with_scipy();
    if (python.empty()) {
        ref.unavailable = "python3 with scipy.signal not found";
        return ref;
    }
    const std::string command = python + " " ZEPH_SOURCE_DIR "/tests/dsp/filter_reference.py";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ref.unavailable = "cannot run " + command;
        return ref;
    }
    std::string line;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::istringstream in(buffer);
        std::string kind;
        in >> kind;
        if (kind == "pole") {
            int n;
            double re, im;
            in >> n >> re >> im;
            ref.bessel_poles[n].emplace_back(re, im);
        } else if (kind == "factor") {
            int n;
            in >> n >> ref.bessel_factors[n];
        } else if (kind == "case") {
            ReferenceCase c;
            int band_pass;
            in >> c.family >> c.order >> c.ripple_db >> c.cutoff_hz >> c.mid_hz >> band_pass;
            c.band_pass = band_pass != 0;
            ref.cases.push_back(c);
        } else if (kind == "point" && !ref.cases.empty()) {
            double f, re, im;
            in >> f >> re >> im;
            ref.cases.back().points.emplace_back(f, Complex{re, im});
        }
    }
    if (pclose(pipe) != 0 || ref.cases.empty()) ref.unavailable = "filter_reference.py failed";
    return ref;
}

const Reference& scipy_reference() {
    static const Reference reference = load_reference();
    return reference;
}

TEST(FilterScipy, BesselTableMatchesDelayNormalisedPoles) {
    const Reference& ref = scipy_reference();
    if (!ref.unavailable.empty()) {
        GTEST_SKIP() << ref.unavailable;
    }
    for (int n = 1; n <= kMaxBesselOrder; ++n) {
        const std::vector<Complex>& exact = ref.bessel_poles.at(n);
        const std::span<const Complex> table = bessel_poles(n);
        ASSERT_EQ(table.size(), exact.size()) << "order " << n;
        std::vector<bool> used(exact.size(), false);
        for (const Complex& p : table) {
            std::size_t nearest = 0;
            for (std::size_t k = 1; k < exact.size(); ++k) {
                if (std::abs(exact[k] - p) < std::abs(exact[nearest] - p)) nearest = k;
            }
            EXPECT_FALSE(used[nearest]) << "order " << n << " pole " << p;
            used[nearest] = true;
            EXPECT_LT(std::abs(exact[nearest] - p), 1e-6) << "order " << n << " pole " << p;
        }
        // The real pole of an odd order stands last in its row.
        if (n % 2 == 1) {
            EXPECT_EQ(table.back().imag(), 0.0) << "order " << n;
        }
    }
}

TEST(FilterScipy, BesselFactorsAreTheThreeDbPointsToTwoDecimals) {
    const Reference& ref = scipy_reference();
    if (!ref.unavailable.empty()) {
        GTEST_SKIP() << ref.unavailable;
    }
    for (int n = 1; n <= kMaxBesselOrder; ++n) {
        EXPECT_NEAR(bessel_3db_factor(n), ref.bessel_factors.at(n), 0.02) << "order " << n;
    }
}

FilterFamily family_of(const std::string& letters) {
    const Result<FilterFamily> family = parse_filter_family(letters);
    EXPECT_TRUE(family) << letters;
    return family ? family.value() : FilterFamily::typed;
}

// Magnitude and phase of every designed low-pass and band-pass of orders 1 to
// 11 against scipy's prototypes under the same normalisations.
TEST(FilterScipy, DesignedResponsesMatchScipy) {
    const Reference& ref = scipy_reference();
    if (!ref.unavailable.empty()) {
        GTEST_SKIP() << ref.unavailable;
    }
    int compared = 0;
    for (const ReferenceCase& c : ref.cases) {
        FilterDesign d{family_of(c.family), c.order, c.cutoff_hz, c.ripple_db, c.band_pass, c.mid_hz};
        // scipy's Bessel is delay-normalised: a cut-off of f·b_n puts our poles at p·2πf.
        if (d.family == FilterFamily::bessel) d.cutoff_hz *= bessel_3db_factor(c.order);
        const double tolerance = 1e-6;
        const FilterResponse r = designed(d);
        for (const auto& [f, expected] : c.points) {
            const Complex h = response_at(r, f);
            const std::string where = c.family + " order " + std::to_string(c.order) + " ripple " +
                                      std::to_string(c.ripple_db) + (c.band_pass ? " BPF" : " LPF") + " at " +
                                      std::to_string(f) + " Hz";
            if (std::abs(expected) == 0.0) {
                EXPECT_LT(std::abs(h), 1e-300) << where;
                continue;
            }
            EXPECT_NEAR(std::abs(h) / std::abs(expected), 1.0, tolerance) << where;
            EXPECT_NEAR(std::arg(h / expected), 0.0, tolerance) << where;
            ++compared;
        }
    }
    EXPECT_GT(compared, 5 * 11 * 2 * 30);
}

}  // namespace
}  // namespace zeph
