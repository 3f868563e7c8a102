// Vector math against the C library: within 1 ULP over a sweep of a million
// arguments, special values exact, on every instruction set the machine has.
#include "base/vector_math.hpp"

#include "tests/support/ulp.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace zeph {
namespace {

using testing::argument_sweep;
using testing::same_bits;
using testing::ulp_distance;

constexpr std::array kOne{std::pair{VectorFunction::sin, "sin"},     std::pair{VectorFunction::cos, "cos"},
                          std::pair{VectorFunction::tan, "tan"},     std::pair{VectorFunction::exp, "exp"},
                          std::pair{VectorFunction::log, "log"},     std::pair{VectorFunction::log10, "log10"},
                          std::pair{VectorFunction::atan, "atan"},   std::pair{VectorFunction::asin, "asin"},
                          std::pair{VectorFunction::acos, "acos"},   std::pair{VectorFunction::cosh, "cosh"}};
constexpr std::array kTwo{std::pair{VectorFunction2::atan2, "atan2"}, std::pair{VectorFunction2::hypot, "hypot"},
                          std::pair{VectorFunction2::pow, "pow"}};

// The instruction sets this machine can run, widest first, and the one in use before.
std::vector<std::string> available_isas() {
    std::vector<std::string> isas;
    const std::string before(vector_math_isa());
    for (const char* isa : {"avx512", "avx2", "sse2"})
        if (select_vector_math_isa(isa)) isas.push_back(isa);
    select_vector_math_isa(before);
    return isas;
}

// The largest distance from the C library over `x` (a ragged length) and over
// some of its values alone (the padded path), with special values required exact.
template <class Vector, class Library>
double largest_ulp(const std::vector<double>& x, Vector vector, Library library, const char* name) {
    std::vector<double> y(x.size());
    vector(x.data(), y.data(), x.size());
    double worst = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double expected = library(i);
        if (!std::isfinite(expected) || expected == 0 || !std::isfinite(x[i])) {
            EXPECT_TRUE(same_bits(y[i], expected)) << name << "(" << x[i] << ") = " << y[i] << ", not " << expected;
            continue;
        }
        worst = std::max(worst, ulp_distance(y[i], expected));
    }
    for (std::size_t i = 0; i < x.size(); i += 997) {   // one value alone: the padded path
        double alone = 0;
        vector(x.data() + i, &alone, 1);
        worst = std::max(worst, ulp_distance(alone, library(i)));
    }
    return worst;
}

TEST(VectorMath, WithinOneUlpOfTheCLibraryOnEveryInstructionSet) {
    const std::vector<double> x = argument_sweep(1'000'003);
    std::vector<double> x2 = argument_sweep(1'000'003, 99);
    std::vector<double> base(x.size());   // pow: positive bases of every magnitude, exponents as the sweep
    for (std::size_t i = 0; i < x.size(); ++i) base[i] = std::fabs(x[(i * 7919) % x.size()]);
    for (double& e : x2) e = std::isfinite(e) ? std::fmod(e, 64.0) : e;
    const std::string before(vector_math_isa());
    for (const std::string& isa : available_isas()) {
        ASSERT_TRUE(select_vector_math_isa(isa));
        std::string table = "largest difference from the C library [ULP], " + isa + ":";
        for (const auto& [function, name] : kOne) {
            const auto f = function;   // a named copy: clang 14 cannot capture a structured binding
            const double worst = largest_ulp(
                x, [f](const double* in, double* out, std::size_t n) { vector_apply(f, in, out, n); },
                [&, f](std::size_t i) { return library_function(f, x[i]); }, name);
            // The C library's log10 is itself up to 2 ULP off: log10 is held to the rounded extended-precision value.
            EXPECT_LE(worst, f == VectorFunction::log10 ? 2.0 : 1.0) << name << " on " << isa;
            table += " " + std::string(name) + " " + std::to_string(worst).substr(0, 3);
        }
        const double log10_worst = largest_ulp(
            x, [](const double* in, double* out, std::size_t n) { vector_apply(VectorFunction::log10, in, out, n); },
            [&](std::size_t i) {
                const double rounded = static_cast<double>(std::log10(static_cast<long double>(x[i])));
                return rounded == 0 || !std::isfinite(rounded) ? std::log10(x[i]) : rounded;
            },
            "log10");
        EXPECT_LE(log10_worst, 1.0) << "log10 against the rounded value on " << isa;
        table += " (log10 from the rounded value " + std::to_string(log10_worst).substr(0, 3) + ")";
        for (const auto& [function, name] : kTwo) {
            const auto f = function;   // a named copy: clang 14 cannot capture a structured binding
            const std::vector<double>& first = f == VectorFunction2::pow ? base : x;
            const double worst = largest_ulp(
                first,
                [&, f](const double* in, double* out, std::size_t n) {
                    vector_apply2(f, in, x2.data() + (in - first.data()), out, n);
                },
                [&, f](std::size_t i) { return library_function2(f, first[i], x2[i]); }, name);
            EXPECT_LE(worst, 1.0) << name << " on " << isa;
            table += " " + std::string(name) + " " + std::to_string(worst).substr(0, 3);
        }
        std::printf("%s\n", table.c_str());
    }
    select_vector_math_isa(before);
}

TEST(VectorMath, InPlaceAndEveryRaggedLength) {
    const std::vector<double> x = argument_sweep(100);
    for (std::size_t n = 0; n <= 19; ++n) {
        std::vector<double> apart(n), in_place(x.begin(), x.begin() + static_cast<long>(n));
        vector_apply(VectorFunction::sin, x.data(), apart.data(), n);
        vector_apply(VectorFunction::sin, in_place.data(), in_place.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_TRUE(same_bits(apart[i], in_place[i])) << n;
            EXPECT_LE(ulp_distance(apart[i], std::sin(x[i])), 1.0) << x[i];
        }
    }
}

TEST(VectorMath, ChoosesAnInstructionSetTheMachineHas) {
    EXPECT_FALSE(available_isas().empty());
    EXPECT_FALSE(select_vector_math_isa("no such set"));
    const std::string before(vector_math_isa());
    ASSERT_TRUE(select_vector_math_isa("scalar"));
    double y = 0;
    const double x = 0.5;
    vector_apply(VectorFunction::exp, &x, &y, 1);
    EXPECT_TRUE(same_bits(y, std::exp(0.5)));
    select_vector_math_isa(before);
}

// ZEPH_VECTOR_MATH chooses a narrower set at first use; one the machine lacks
// or an unknown name leaves the widest. The choice is made once per process,
// so each case runs this test program anew with the variable set, and the
// child reports what it found (its test is skipped in an ordinary run).
TEST(VectorMath, ReportsTheSetInUseWhenAsked) {
    const char* report = std::getenv("ZEPH_VECTOR_MATH_REPORT");
    if (report == nullptr) GTEST_SKIP() << "run by EnvironmentChoosesTheSet";
    std::FILE* file = std::fopen(report, "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%s", std::string(vector_math_isa()).c_str());
    std::fclose(file);
}

TEST(VectorMath, EnvironmentChoosesTheSet) {
    const std::vector<std::string> isas = available_isas();
    ASSERT_FALSE(isas.empty());
    const std::string report = ::testing::TempDir() + "vector_math_isa.txt";
    std::string self(4096, '\0');   // this test program
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size());
    ASSERT_GT(length, 0);
    self.resize(static_cast<std::size_t>(length));
    const auto chosen_with = [&](const std::string& value) {
        std::remove(report.c_str());
        const std::string line = "ZEPH_VECTOR_MATH=" + value + " ZEPH_VECTOR_MATH_REPORT=" + report + " '" + self +
                                 "' --gtest_filter=VectorMath.ReportsTheSetInUseWhenAsked > /dev/null";
        if (std::system(line.c_str()) != 0) return std::string("child failed");
        std::FILE* file = std::fopen(report.c_str(), "r");
        if (file == nullptr) return std::string("no report");
        char text[32] = {};
        const std::size_t read = std::fread(text, 1, sizeof text - 1, file);
        std::fclose(file);
        return std::string(text, read);
    };
    for (const std::string& isa : isas) EXPECT_EQ(chosen_with(isa), isa);
    EXPECT_EQ(chosen_with("scalar"), "scalar");
    EXPECT_EQ(chosen_with("no_such_set"), isas.front());
}

}  // namespace
}  // namespace zeph
