// The typed transfer function: its assignment text, its messages, and the
// prepared evaluation against evaluating the texts afresh.
#include "input/expr/transfer_function.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "input/expr/interp.hpp"

namespace zeph {
namespace {

TEST(TypedTransferFunction, OmegaAssignmentText) {
    EXPECT_EQ(omega_assignment(0.5), "S=CMPLX(0,     0.500000000000000000)");
    EXPECT_EQ(omega_assignment(-12.25), "S=CMPLX(0,   -12.250000000000000000)");
    EXPECT_EQ(omega_assignment(0.0).size(), std::string("S=CMPLX(0,").size() + 25 + 1);
}

TEST(TypedTransferFunction, FailedTextFollowsTheMessage) {
    EXPECT_EQ(formula_error_message("Unknown function", "SQRTT(S)"), "Unknown function: SQRTT(S)");
    Interpreter interpreter([] { return 1.0; });
    TypedTransferFunction transfer(interpreter, "1/(S+W0)");
    Complex h;
    const Status status = transfer(1.0, h);
    EXPECT_FALSE(status.ok);
    EXPECT_TRUE(status.message.ends_with(": 1/(S+W0)")) << status.message;
}

bool same_bits(Complex x, Complex y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// The two interpreters hold bit-identical tables.
void expect_same_tables(const Interpreter& x, const Interpreter& y, double omega) {
    ASSERT_EQ(x.variables().size(), y.variables().size());
    for (std::size_t k = 0; k < y.variables().size(); ++k) {
        EXPECT_EQ(x.variables()[k].name, y.variables()[k].name);
        EXPECT_TRUE(same_bits(x.variables()[k].value, y.variables()[k].value)) << y.variables()[k].name << omega;
    }
    EXPECT_EQ(x.random_seed(), y.random_seed());
}

TEST(TypedTransferFunction, GivesExactlyWhatPerSampleEvaluationGives) {
    // Random draws and an assignment in the formula: values (to the bit, signs
    // of zero included), draw order and table effects must all match a fresh
    // evaluation of both texts per sample.
    const std::string formula = "K=1/(S*S+S*0.3+1)+RAND(0.)*CMPLX(0,1)";
    Interpreter prepared_side([] { return 1234.0; }), direct_side([] { return 1234.0; });
    TypedTransferFunction transfer(prepared_side, formula);
    std::vector<double> omegas;
    for (double step : {1.0, 1e-3, 3.7e-7, 123456.789})
        for (int i = -40; i <= 40; ++i) omegas.push_back(kTwoPi * step * i);
    // Every magnitude, around the 0.01 at which the text stops losing digits too.
    for (double e = -12.0; e <= 12.0; e += 0.0731) omegas.push_back((e < 0 ? -1.0 : 1.0) * std::pow(10.0, e));
    for (double omega : {0.01, -0.01, std::nextafter(0.01, 0.0), -0.0, 1e-19, -1e-19}) omegas.push_back(omega);
    for (double omega : omegas) {
        Complex fast, direct, ignored;
        std::string message;
        ASSERT_TRUE(transfer(omega, fast)) << omega;
        ASSERT_EQ(direct_side.evaluate(omega_assignment(omega), ignored, message), InterpStatus::ok);
        ASSERT_EQ(direct_side.evaluate(formula, direct, message), InterpStatus::ok);
        EXPECT_TRUE(same_bits(fast, direct)) << omega;
        expect_same_tables(prepared_side, direct_side, omega);
    }
}

}  // namespace
}  // namespace zeph
