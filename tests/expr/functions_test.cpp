// The function library: name matching order, operators, generator.
#include "input/expr/functions.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace zeph {
namespace {

struct NameCase {
    const char* name;
    FunctionId id;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class FunctionNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(FunctionNames, SelectsByOrderAndStartPosition) {
    const auto found = find_function(GetParam().name);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(*found, GetParam().id);
}

using F = FunctionId;
INSTANTIATE_TEST_SUITE_P(
    Library, FunctionNames,
    ::testing::Values(
        NameCase{"LOG10", F::log10}, NameCase{"ALOG10", F::log10}, NameCase{"LOG", F::log}, NameCase{"ALOG", F::log},
        NameCase{"CLOG", F::log}, NameCase{"DLOG", F::log}, NameCase{"CDLOG", F::log}, NameCase{"LN", F::ln},
        NameCase{"CMPLX", F::cmplx}, NameCase{"DCMPLX", F::cmplx}, NameCase{"SQRT", F::sqrt},
        NameCase{"DSQRT", F::sqrt}, NameCase{"CSQRT", F::sqrt}, NameCase{"CDSQRT", F::sqrt},
        NameCase{"IMAG", F::imag}, NameCase{"AIMAG", F::imag}, NameCase{"DIMAG", F::imag},
        NameCase{"REAL", F::real}, NameCase{"DREAL", F::real}, NameCase{"EXP", F::exp}, NameCase{"DEXP", F::exp},
        NameCase{"CDEXP", F::exp}, NameCase{"SINC", F::sinc}, NameCase{"ARSIN", F::asin},
        NameCase{"ASIN", F::asin}, NameCase{"DASIN", F::asin}, NameCase{"ARCOS", F::acos},
        NameCase{"ACOS", F::acos}, NameCase{"DACOS", F::acos}, NameCase{"ACOSH", F::acos},
        NameCase{"ATAN2", F::atan2}, NameCase{"DATAN2", F::atan2}, NameCase{"ATAN", F::atan},
        NameCase{"DATAN", F::atan}, NameCase{"SINH", F::sinh}, NameCase{"DSINH", F::sinh},
        NameCase{"COSH", F::cosh}, NameCase{"DCOSH", F::cosh}, NameCase{"TANH", F::tanh},
        NameCase{"DTANH", F::tanh}, NameCase{"SIN", F::sin}, NameCase{"DSIN", F::sin}, NameCase{"CDSIN", F::sin},
        NameCase{"SINE", F::sin}, NameCase{"COS", F::cos}, NameCase{"CCOS", F::cos}, NameCase{"CDCOS", F::cos},
        NameCase{"COTAN", F::cotan}, NameCase{"DCOTAN", F::cotan}, NameCase{"TAN", F::tan},
        NameCase{"DTAN", F::tan}, NameCase{"ABS", F::abs}, NameCase{"DABS", F::abs}, NameCase{"CDABS", F::abs},
        NameCase{"CONJG", F::conjg}, NameCase{"DCONJG", F::conjg}, NameCase{"NINT", F::nint},
        NameCase{"ANINT", F::nint}, NameCase{"INT", F::int_}, NameCase{"AINT", F::int_},
        NameCase{"MOD", F::mod}, NameCase{"DMOD", F::mod}, NameCase{"AMOD", F::mod}, NameCase{"SIGN", F::sign},
        NameCase{"DSIGN", F::sign}, NameCase{"DIM", F::dim}, NameCase{"DDIM", F::dim}, NameCase{"NORM", F::norm},
        NameCase{"RAY", F::ray}, NameCase{"CNORM", F::cnorm}, NameCase{"RAND", F::rand},
        NameCase{"GAUSS", F::gauss},
        // Order decides: the first candidate whose letters stand at one of its positions wins.
        NameCase{"LOGX", F::log}, NameCase{"SINCX", F::sinc}, NameCase{"ARSINH", F::asin},
        NameCase{"ABSOLUTE", F::abs}, NameCase{"EXPONENT", F::exp}, NameCase{"XXSIN", F::sin},
        NameCase{"XXLOG10", F::log}, NameCase{"XSQRT", F::sqrt}, NameCase{"XXSQRT", F::sqrt},
        NameCase{"INTEGER", F::int_}, NameCase{"RANDOM", F::rand}, NameCase{"GAUSSIAN", F::gauss},
        NameCase{"NORMAL", F::norm}, NameCase{"RAYLEIGH", F::ray}, NameCase{"SINHC", F::sinh},
        NameCase{"TANGENT", F::tan}, NameCase{"COSINE", F::sin}, NameCase{"LNX", F::ln}));

TEST(FunctionNames, UnknownNames) {
    for (const char* name : {"XYZ", "X", "", "XXXSQRT", "NOR", "RA", "XRAND", "XNORM", "XXXABS", "GAUS",
                             "XXLN", "XXX10", "SQR", "DDDSQRT"})
        EXPECT_FALSE(find_function(name).has_value()) << name;
}

TEST(FunctionNames, TableOrder) {
    // The library's table, candidate by candidate.
    const char* expected[] = {"LOG10", "LOG",  "LN",    "CMPLX", "SQRT", "IMAG", "REAL", "EXP", "SINC",
                              "ARSIN", "ASIN", "ARCOS", "ACOS",  "ATAN2", "ATAN", "SINH", "COSH", "TANH",
                              "SIN",   "COS",  "COTAN", "TAN",   "ABS",  "CONJG", "NINT", "INT", "MOD",
                              "SIGN",  "DIM",  "NORM",  "RAY",   "CNORM", "RAND", "GAUSS"};
    ASSERT_EQ(kFunctionCandidates.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(kFunctionCandidates[i].letters, expected[i]);
}

TEST(ComplexOperators, Product) {
    EXPECT_EQ(complex_product({1, 2}, {3, 4}), Complex(-5, 10));
    EXPECT_EQ(complex_product({1, 2}, {0, 1}), Complex(-2, 1));
}

TEST(ComplexOperators, Quotient) {
    const Complex q = complex_quotient({1, 2}, {3, 4});
    EXPECT_NEAR(q.real(), 0.44, 1e-16);
    EXPECT_NEAR(q.imag(), 0.08, 1e-16);
    const Complex r = complex_quotient({1, 2}, {4, 3});   // |c| > |d| branch
    EXPECT_NEAR(r.real(), 0.4, 1e-16);
    EXPECT_NEAR(r.imag(), 0.2, 1e-16);
    EXPECT_EQ(complex_quotient({1, 0}, {0, 1}), Complex(0, -1));
    EXPECT_EQ(complex_quotient({0.1, 0}, {0.3, 0}), Complex(0.1 / 0.3, 0));
    EXPECT_EQ(complex_quotient({1e200, 0}, {1e200, 0}), Complex(1, 0));
    EXPECT_EQ(complex_quotient({1e300, 1e300}, {1e300, 1e300}), Complex(1, 0));
}

TEST(ComplexOperators, Power) {
    EXPECT_EQ(complex_power({0, 0}, {0, 0}), Complex(1, 0));
    EXPECT_EQ(complex_power({0, 0}, {2, 0}), Complex(0, 0));
    EXPECT_EQ(complex_power({0, 0}, {0, 1}), Complex(0, 0));
    EXPECT_EQ(complex_power({0, 0}, {-1, 0}), Complex(0, 0));
    const Complex cube_root = complex_power({-8, 0}, {1.0 / 3.0, 0});   // principal root, not -2
    EXPECT_NEAR(cube_root.real(), 1, 1e-15);
    EXPECT_NEAR(cube_root.imag(), std::sqrt(3.0), 1e-15);
    const Complex eight = complex_power({2, 0}, {3, 0});
    EXPECT_NEAR(eight.real(), 8, 1e-14);
    EXPECT_EQ(eight.imag(), 0);
    const Complex i_to_i = complex_power({0, 1}, {0, 1});
    EXPECT_NEAR(i_to_i.real(), std::exp(-kPi / 2), 1e-16);
    EXPECT_NEAR(i_to_i.imag(), 0, 1e-16);
}

TEST(ComplexOperators, LogAndExp) {
    EXPECT_EQ(complex_log({-1, 0}), Complex(0, kPi));
    EXPECT_EQ(complex_log({1, 0}), Complex(0, 0));
    EXPECT_EQ(complex_exp({0, 0}), Complex(1, 0));
    EXPECT_EQ(complex_exp({1000, 0}).imag(), 0);   // overflow stays real
}

TEST(NormalCdf, Polynomial) {
    EXPECT_NEAR(normal_cdf(0), 0.5, 7.5e-8);
    EXPECT_NEAR(normal_cdf(1), 0.8413447460685429, 7.5e-8);
    EXPECT_NEAR(normal_cdf(-1), 0.15865525393145707, 7.5e-8);
    EXPECT_NEAR(normal_cdf(3), 0.9986501019683699, 7.5e-8);
    EXPECT_EQ(normal_cdf(40), 1.0);
    for (double y = 0.125; y <= 5; y += 0.125) EXPECT_NEAR(normal_cdf(y) + normal_cdf(-y), 1, 1e-15);
}

TEST(Functions, RealFunctionsIgnoreImaginaryPart) {
    RandomGenerator random;
    EXPECT_EQ(apply_function(F::log10, {100, 5}, random), Complex(2, 0));
    EXPECT_EQ(apply_function(F::imag, {1, 2}, random), Complex(2, 0));
    EXPECT_EQ(apply_function(F::real, {1, 2}, random), Complex(1, 0));
    EXPECT_EQ(apply_function(F::abs, {3, 4}, random), Complex(5, 0));
    EXPECT_EQ(apply_function(F::conjg, {1, 2}, random), Complex(1, -2));
    EXPECT_EQ(apply_function(F::sinc, {0, 0}, random), Complex(1, 0));
    EXPECT_NE(apply_function(F::sinc, {1, 0}, random).real(), 0);   // sin(pi)/pi, tiny
    EXPECT_NEAR(apply_function(F::sinc, {1, 0}, random).real(), 0, 1e-16);
    EXPECT_TRUE(std::isnan(apply_function(F::sinc, {0, 1}, random).real()));
    EXPECT_EQ(apply_function(F::mod, {-7, 3}, random), Complex(-1, 0));
    EXPECT_EQ(apply_function(F::mod, {7, -3}, random), Complex(1, 0));
    EXPECT_EQ(apply_function(F::sign, {2, -3}, random), Complex(-2, 0));
    EXPECT_EQ(apply_function(F::sign, {-2, 0}, random), Complex(2, 0));
    EXPECT_EQ(apply_function(F::dim, {2, 5}, random), Complex(0, 0));
    EXPECT_EQ(apply_function(F::nint, {-0.5, 0}, random), Complex(-1, 0));
    EXPECT_EQ(apply_function(F::int_, {-0.5, 0}, random).real(), 0);
    EXPECT_NEAR(apply_function(F::norm, {2, 0}, random).real(), 0.3989422804014327 / 2, 1e-16);
    EXPECT_NEAR(apply_function(F::ray, {1, 1}, random).real(), 2 / std::exp(1.0), 1e-16);
    EXPECT_NEAR(apply_function(F::cnorm, {2, 2}, random).real(), 0.8413447460685429, 7.5e-8);
    EXPECT_EQ(apply_function(F::atan2, {0, -1}, random), Complex(kPi, 0));
}

TEST(RandomGenerator, LinearCongruential) {
    RandomGenerator random;
    random.set_seed(0);
    EXPECT_EQ(random.draw_uniform(), 0x1p-32);
    EXPECT_EQ(random.seed(), 1);
    EXPECT_EQ(random.draw_uniform(), 69070 * 0x1p-32);
    double seed = 69070;
    for (int i = 0; i < 1000; ++i) {
        seed = std::fmod(69069 * seed + 1, 4294967296.0);   // exact in double precision
        EXPECT_EQ(random.draw_uniform(), seed / 4294967296.0);
    }
    EXPECT_EQ(random.seed(), seed);
}

TEST(RandomGenerator, SeedNormalisation) {
    RandomGenerator random;
    random.set_seed(4294967295.0);
    EXPECT_EQ(random.seed(), 4294967295.0);
    random.set_seed(4294967296.0);
    EXPECT_EQ(random.seed(), 0);
    random.set_seed(-1);
    EXPECT_EQ(random.seed(), 4294967295.0);
    random.set_seed(12.75);
    EXPECT_EQ(random.seed(), 12);
    random.set_seed(std::nan(""));
    EXPECT_EQ(random.seed(), 0);
    random.set_seed(1e300);
    EXPECT_GE(random.seed(), 0);
    EXPECT_LT(random.seed(), 4294967296.0);
}

TEST(RandomGenerator, RandAndGauss) {
    RandomGenerator random;
    random.set_seed(0);
    EXPECT_EQ(apply_function(F::rand, {0, 1}, random), Complex(0x1p-32, 0));
    EXPECT_EQ(apply_function(F::rand, {2, 4}, random), Complex(2 + 2 * (69070 * 0x1p-32), 0));
    random.set_seed(0);
    const double r = std::sqrt(-2 * std::log(0x1p-32));
    EXPECT_EQ(apply_function(F::gauss, {1, 2}, random), Complex(1 + 2 * (r * std::cos(kTwoPi * 69070 * 0x1p-32)), 0));
    EXPECT_EQ(random.seed(), 69070);
    random.set_seed(1511872763);   // the first draw is exactly 0
    EXPECT_EQ(apply_function(F::gauss, {0, 1}, random), Complex(13.23 * std::cos(kTwoPi * 0x1p-32), 0));
}

TEST(RandomGenerator, UniformMoments) {
    RandomGenerator random;
    random.set_seed(20240101);
    double sum = 0, sum2 = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double g = apply_function(F::gauss, {0, 1}, random).real();
        sum += g;
        sum2 += g * g;
    }
    EXPECT_NEAR(sum / n, 0, 0.01);
    EXPECT_NEAR(sum2 / n, 1, 0.02);
}

}  // namespace
}  // namespace zeph
