// INTERP: {input, expected} and {bad input, status, message} tables.
#include "input/expr/interp.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace zeph {
namespace {

constexpr double kE = 2.718281828459045;

struct ValueCase {
    const char* text;
    double re;
    double im;
    double tolerance = 1e-12;   // relative to max(1, |expected|)
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class InterpValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(InterpValues, Evaluates) {
    const ValueCase& c = GetParam();
    Interpreter interp([] { return 0.0; });
    Complex result{-999, -999};
    std::string message;
    ASSERT_EQ(interp.evaluate(c.text, result, message), InterpStatus::ok) << message;
    EXPECT_TRUE(message.empty());
    if (std::isinf(c.re)) {
        EXPECT_EQ(result, Complex(c.re, c.im));
        return;
    }
    const double scale_re = std::max(1.0, std::fabs(c.re)), scale_im = std::max(1.0, std::fabs(c.im));
    EXPECT_NEAR(result.real(), c.re, c.tolerance * scale_re);
    EXPECT_NEAR(result.imag(), c.im, c.tolerance * scale_im);
}

INSTANTIATE_TEST_SUITE_P(
    PrecedenceAndAssociativity, InterpValues,
    ::testing::Values(ValueCase{"2**3**2", 512, 0}, ValueCase{"2^3^2", 512, 0}, ValueCase{"2^3**2", 512, 0},
                      ValueCase{"(2**3)**2", 64, 0}, ValueCase{"8/2/2", 2, 0}, ValueCase{"1-2-3", -4, 0},
                      ValueCase{"-2**2", -4, 0}, ValueCase{"+5", 5, 0}, ValueCase{"2+3*4", 14, 0},
                      ValueCase{"(2+3)*4", 20, 0}, ValueCase{"2*3**2", 18, 0}, ValueCase{"2**3*4", 32, 0},
                      ValueCase{"12/4*3", 9, 0}, ValueCase{"1-2*3", -5, 0}, ValueCase{"2*3-1", 5, 0},
                      ValueCase{"-3*2", -6, 0}, ValueCase{"2*(-3)", -6, 0}, ValueCase{"2**(-1)", 0.5, 0},
                      ValueCase{"-(-3)", 3, 0}, ValueCase{"3-(-3)", 6, 0}, ValueCase{"((1))", 1, 0},
                      ValueCase{"1+(2)", 3, 0}, ValueCase{"10-2+3", 11, 0}));

INSTANTIATE_TEST_SUITE_P(
    TokensAndConstants, InterpValues,
    ::testing::Values(ValueCase{"1 2 + 3", 15, 0}, ValueCase{"15", 15, 0}, ValueCase{"15.", 15, 0},
                      ValueCase{".5", 0.5, 0}, ValueCase{"1.5E3", 1500, 0}, ValueCase{"1.5E+3", 1500, 0},
                      ValueCase{"1.5D-3", 0.0015, 0}, ValueCase{"1.5E -3", 0.0015, 0}, ValueCase{"2Q1", 20, 0},
                      ValueCase{"1.5E3+1", 1501, 0}, ValueCase{"1E2-1", 99, 0}, ValueCase{"=5", 5, 0},
                      ValueCase{"S IN(0.)", 0, 0}, ValueCase{"2(3)", 2, 0}, ValueCase{"  7  ", 7, 0},
                      ValueCase{"PI", kPi, 0}, ValueCase{"HAFPI", kPi / 2, 0}, ValueCase{"TWOPI", kTwoPi, 0},
                      ValueCase{"PI/4", kPi / 4, 0}, ValueCase{"A+B+X", 0, 0}, ValueCase{"1E400", HUGE_VAL, 0, 0},
                      ValueCase{"1E-400", 0, 0, 0}, ValueCase{"0.000", 0, 0, 0}));

INSTANTIATE_TEST_SUITE_P(
    CommasAndComplex, InterpValues,
    ::testing::Values(ValueCase{"(1., 2.)", 1, 2}, ValueCase{"CMPLX(1., 2.)", 1, 2},
                      ValueCase{"(1., 2.)*(0., 1.)", -2, 1}, ValueCase{"(1,2,3)", 1, 3},
                      ValueCase{"(1,2)+(3,4)", 4, 6}, ValueCase{"(1,2)-(3,5)", -2, -3},
                      ValueCase{"(1,2)/(3,4)", 0.44, 0.08}, ValueCase{"-(1,2)", -1, -2},
                      ValueCase{"((1,2),(3,4))", 1, 3}, ValueCase{"1+2,3", 3, 3}, ValueCase{"1,2*3", 1, 6},
                      ValueCase{"ABS(CMPLX(3., 4.))", 5, 0}, ValueCase{"(0,1)**2", -1, 0, 1e-15},
                      ValueCase{"(-8)**(1./3.)", 1, std::sqrt(3.0)}, ValueCase{"0.**0.", 1, 0, 0},
                      ValueCase{"0.**2.", 0, 0, 0}, ValueCase{"(0,0)**(0,1)", 0, 0, 0},
                      ValueCase{"(0,1)**(0,1)", std::exp(-kPi / 2), 0}));

INSTANTIATE_TEST_SUITE_P(
    Functions, InterpValues,
    ::testing::Values(
        ValueCase{"SIN(PI/2)", 1, 0}, ValueCase{"SIN(HAFPI)**2", 1, 0}, ValueCase{"SIN(X)**2", 0, 0},
        ValueCase{"COS(0.)", 1, 0}, ValueCase{"SQRT(-1.)", 0, 1}, ValueCase{"LOG(-1.)", 0, kPi},
        ValueCase{"LN(1.)", 0, 0}, ValueCase{"EXP(1.)", kE, 0}, ValueCase{"EXP(CMPLX(0., PI))", -1, 0},
        ValueCase{"CONJG(CMPLX(1., 2.))", 1, -2}, ValueCase{"REAL(CONJG(CMPLX(1., 2.)))", 1, 0},
        ValueCase{"IMAG(CONJG(CMPLX(1., 2.)))", -2, 0}, ValueCase{"MOD(-7., 3.)", -1, 0},
        ValueCase{"SIGN(2., -3.)", -2, 0}, ValueCase{"SIGN(2., 0.)", 2, 0}, ValueCase{"DIM(2., 5.)", 0, 0},
        ValueCase{"DIM(5., 2.)", 3, 0}, ValueCase{"NINT(2.5)", 3, 0}, ValueCase{"NINT(-2.5)", -3, 0},
        ValueCase{"INT(-2.7)", -2, 0}, ValueCase{"SINC(0.)", 1, 0, 0}, ValueCase{"SINC(0.5)", 2 / kPi, 0},
        ValueCase{"CNORM(1., 0.)", 0.5, 0, 1.5e-7}, ValueCase{"CNORM(2., 2.)", 0.8413447460685429, 0, 1.5e-7},
        ValueCase{"CNORM(1., -1.)", 0.15865525393145707, 0, 1.5e-7},
        ValueCase{"NORM(1., 0.)", 0.3989422804014327, 0}, ValueCase{"RAY(1., 1.)", 2 / kE, 0},
        ValueCase{"ATAN2(1., 1.)", kPi / 4, 0}, ValueCase{"ATAN2(1., -1.)", 3 * kPi / 4, 0},
        ValueCase{"LOG10(100.)", 2, 0}, ValueCase{"ALOG10(1000.)", 3, 0}, ValueCase{"DSQRT(4.)", 2, 0},
        ValueCase{"CDSQRT(-4.)", 0, 2}, ValueCase{"DIMAG(CMPLX(1.,2.))", 2, 0}, ValueCase{"AINT(2.7)", 2, 0},
        ValueCase{"ANINT(2.5)", 3, 0}, ValueCase{"ACOSH(1.)", 0, 0}, ValueCase{"ARSIN(1.)", kPi / 2, 0},
        ValueCase{"ASIN(1.)", kPi / 2, 0}, ValueCase{"SINE(0.)", 0, 0}, ValueCase{"COSH(0.)", 1, 0},
        ValueCase{"TANH(1.)", std::tanh(1.0), 0}, ValueCase{"SINH(1.)", std::sinh(1.0), 0},
        ValueCase{"COTAN(1.)", 1 / std::tan(1.0), 0}, ValueCase{"TAN(1.)", std::tan(1.0), 0},
        ValueCase{"ATAN(1.)", kPi / 4, 0}, ValueCase{"ACOS(0.)", kPi / 2, 0}, ValueCase{"ABS(-3.)", 3, 0},
        ValueCase{"SIN(COS(0.)-1.)", 0, 0}, ValueCase{"SIN((1,0))", std::sin(1.0), 0},
        ValueCase{"SQRT(SQRT(16.))", 2, 0}, ValueCase{"2*SIN(PI/6)**2", 0.5, 0}));

struct ErrorCase {
    std::string text;
    InterpStatus status;
    std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class InterpErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(InterpErrors, FailsWithStatusAndMessage) {
    const ErrorCase& c = GetParam();
    Interpreter interp([] { return 0.0; });
    Complex result{-999, 7};
    std::string message;
    EXPECT_EQ(interp.evaluate(c.text, result, message), c.status);
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(result, Complex(-999, 7));    // outputs untouched
    EXPECT_EQ(interp.variables().size(), 6u);
}

const std::string kSyntax = "******INTERP. SYNTAX ERROR.";
const std::string kUnbalanced = "*****INTERP. UNBALANCED PARENTHESES.";
const std::string kMissingArgument = "*****INTERP. MISSING FUNCTION ARGUMENT";
const std::string kInvalidArgument = "*****INTERP. INVALID FUNCTION ARGUMENT";
const std::string kMissingExponentText = "*****INTERP. MISSING EXPONENT FOR EXPONENTIATION";
const std::string kInvalidExponentText = "*****INTERP. INVALID EXPONENT FOR EXPONENTIATION";
const std::string kMissingBaseText = "*****INTERP. MISSING BASE FOR EXPONENTIATION";
const std::string kInvalidBaseText = "*****INTERP. INVALID BASE FOR EXPONENTIATION";
const std::string kMissingProduct = "*****INTERP. MISSING OPERAND FOR * OR /";
const std::string kInvalidProduct = "*****INTERP. INVALID OPERAND FOR * OR /";
const std::string kMissingSum = "*****INTERP. MISSING OPERAND FOR + OR -";
const std::string kInvalidSum = "*****INTERP. INVALID OPERAND FOR + OR -";
const std::string kMissingComma = "*****INTERP. MISSING OPERAND FOR \",\"";
const std::string kInvalidComma = "*****INTERP. INVALID OPERAND FOR \",\"";
const std::string kMissingExpressionText = "*****INTERP. MISSING EXPRESSION";
const std::string kInvalidExpressionText = "*****INTERP. INVALID EXPRESSION";

// Concatenation by append (GCC 12 warns falsely about "literal" + std::string).
std::string cat(std::string a, const std::string& b, const std::string& c = {}) { return a.append(b).append(c); }

std::string sum_of_ones(int ones) {   // 2*ones - 1 tokens
    std::string text = "1";
    for (int i = 1; i < ones; ++i) text += "+1";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    EveryStatus, InterpErrors,
    ::testing::Values(
        ErrorCase{"pi", InterpStatus::syntax_error, kSyntax}, ErrorCase{"#", InterpStatus::syntax_error, kSyntax}, ErrorCase{"2 + a", InterpStatus::syntax_error, kSyntax},
        ErrorCase{"==1", InterpStatus::syntax_error, kSyntax}, ErrorCase{"1=2", InterpStatus::syntax_error, kSyntax},
        ErrorCase{"1+\t2", InterpStatus::syntax_error, kSyntax}, ErrorCase{std::string(41, 'A'), InterpStatus::syntax_error, kSyntax},
        ErrorCase{cat("1", std::string(40, '0')), InterpStatus::syntax_error, kSyntax}, ErrorCase{sum_of_ones(67), InterpStatus::syntax_error, kSyntax},
        ErrorCase{cat("SIN(", std::string(41, '9'), ")"), InterpStatus::syntax_error, kSyntax},
        ErrorCase{"Q", InterpStatus::unassigned_variable, "*****INTERP. VARIABLE Q HAS NOT BEEN ASSIGNED A VALUE"},
        ErrorCase{"PIE*2", InterpStatus::unassigned_variable, "*****INTERP. VARIABLE PIE HAS NOT BEEN ASSIGNED A VALUE"},
        ErrorCase{"Pi", InterpStatus::unassigned_variable, "*****INTERP. VARIABLE Pi HAS NOT BEEN ASSIGNED A VALUE"},
        ErrorCase{std::string(40, 'Q'), InterpStatus::unassigned_variable,
                  cat("*****INTERP. VARIABLE ", std::string(40, 'Q'), " HAS NOT BEEN ASSIGNED A VALUE")},
        ErrorCase{"1.2.3", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1.2.3"},
        ErrorCase{"1E", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1E"},
        ErrorCase{"1E+", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1E+"},
        ErrorCase{"1.5X", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1.5X"},
        ErrorCase{"1#2", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1#2"},
        ErrorCase{".", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT ."},
        ErrorCase{"1E+-3", InterpStatus::bad_constant, "*****INTERP. ERROR READING CONSTANT 1E+"},
        ErrorCase{"( )", InterpStatus::unbalanced_parentheses, kUnbalanced}, ErrorCase{"()", InterpStatus::unbalanced_parentheses, kUnbalanced}, ErrorCase{"1)", InterpStatus::unbalanced_parentheses, kUnbalanced},
        ErrorCase{"(1))", InterpStatus::unbalanced_parentheses, kUnbalanced}, ErrorCase{"SIN()", InterpStatus::unbalanced_parentheses, kUnbalanced}, ErrorCase{"F(())", InterpStatus::missing_function_argument, kMissingArgument},
        ErrorCase{"SIN(1", InterpStatus::invalid_function_argument, kInvalidArgument}, ErrorCase{"SIN($X)", InterpStatus::invalid_function_argument, kInvalidArgument},
        ErrorCase{"XYZ(1.)", InterpStatus::unrecognized_function, "*****INTERP. UNRECOGNIZED FUNCTION: XYZ"},
        ErrorCase{"X(2)", InterpStatus::unrecognized_function, "*****INTERP. UNRECOGNIZED FUNCTION: X"},
        ErrorCase{"2**", InterpStatus::missing_exponent, kMissingExponentText}, ErrorCase{"2^", InterpStatus::missing_exponent, kMissingExponentText},
        ErrorCase{"2**-3", InterpStatus::invalid_exponent, kInvalidExponentText}, ErrorCase{"2^$A", InterpStatus::invalid_exponent, kInvalidExponentText},
        ErrorCase{"**2", InterpStatus::missing_base, kMissingBaseText}, ErrorCase{"^2", InterpStatus::missing_base, kMissingBaseText}, ErrorCase{"$A^2", InterpStatus::invalid_base, kInvalidBaseText},
        ErrorCase{"+^2", InterpStatus::invalid_base, kInvalidBaseText}, ErrorCase{"2***3", InterpStatus::invalid_base, kInvalidBaseText},
        ErrorCase{"*2", InterpStatus::missing_product_operand, kMissingProduct}, ErrorCase{"2*", InterpStatus::missing_product_operand, kMissingProduct},
        ErrorCase{"2/", InterpStatus::missing_product_operand, kMissingProduct}, ErrorCase{"2*-3", InterpStatus::invalid_product_operand, kInvalidProduct},
        ErrorCase{"2*-(3)", InterpStatus::invalid_product_operand, kInvalidProduct}, ErrorCase{"$A*2", InterpStatus::invalid_product_operand, kInvalidProduct},
        ErrorCase{"2/$A", InterpStatus::invalid_product_operand, kInvalidProduct}, ErrorCase{"2+", InterpStatus::missing_sum_operand, kMissingSum}, ErrorCase{"-", InterpStatus::missing_sum_operand, kMissingSum},
        ErrorCase{"1+$A", InterpStatus::invalid_sum_operand, kInvalidSum}, ErrorCase{"--3", InterpStatus::invalid_sum_operand, kInvalidSum}, ErrorCase{"1+-3", InterpStatus::invalid_sum_operand, kInvalidSum},
        ErrorCase{",2", InterpStatus::missing_comma_operand, kMissingComma}, ErrorCase{"2,", InterpStatus::missing_comma_operand, kMissingComma},
        ErrorCase{"$A,2", InterpStatus::invalid_comma_operand, kInvalidComma}, ErrorCase{"1,$A", InterpStatus::invalid_comma_operand, kInvalidComma},
        ErrorCase{"", InterpStatus::missing_expression, kMissingExpressionText}, ErrorCase{"   ", InterpStatus::missing_expression, kMissingExpressionText},
        ErrorCase{"=", InterpStatus::missing_expression, kMissingExpressionText}, ErrorCase{"A=", InterpStatus::missing_expression, kMissingExpressionText},
        ErrorCase{"(())", InterpStatus::missing_expression, kMissingExpressionText}, ErrorCase{"(1+2", InterpStatus::invalid_expression, kInvalidExpressionText},
        ErrorCase{"$A", InterpStatus::invalid_expression, kInvalidExpressionText}, ErrorCase{"(", InterpStatus::invalid_expression, kInvalidExpressionText},
        ErrorCase{"Z=(1", InterpStatus::invalid_expression, kInvalidExpressionText}));

TEST(Interp, PreparationPassOrder) {
    // Variables are resolved before constants are read, so Q is reported first.
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    EXPECT_EQ(interp.evaluate("1.2.3+Q", r, message), InterpStatus::unassigned_variable);
    // Functions are applied only during reduction: a bad constant wins over an unknown function.
    EXPECT_EQ(interp.evaluate("XYZ(1.2.3)", r, message), InterpStatus::bad_constant);
}

TEST(Interp, TokenLimits) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate(sum_of_ones(66), r, message), InterpStatus::ok);   // 131 tokens
    EXPECT_EQ(r, Complex(66, 0));
    ASSERT_EQ(interp.evaluate(cat("+", sum_of_ones(66)), r, message), InterpStatus::ok);   // 132 tokens
    EXPECT_EQ(r, Complex(66, 0));
    EXPECT_EQ(interp.evaluate(cat("++", sum_of_ones(66)), r, message), InterpStatus::syntax_error);   // 133 tokens
    EXPECT_EQ(message, kSyntax);
    // A 40-character number is accepted; blanks inside do not count.
    ASSERT_EQ(interp.evaluate(cat("1", std::string(39, '0')), r, message), InterpStatus::ok);
    EXPECT_DOUBLE_EQ(r.real(), 1e39);
    ASSERT_EQ(interp.evaluate("1 000 000", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 1e6);
    // Many blanks are no tokens at all.
    ASSERT_EQ(interp.evaluate(std::string(5000, ' ') + "3", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 3);
}

TEST(Interp, ResultIsFirstUnconsumedToken) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("2 (3)", r, message), InterpStatus::ok);   // tokens after the result are not examined
    EXPECT_EQ(r, Complex(2, 0));
    ASSERT_EQ(interp.evaluate("2 $A", r, message), InterpStatus::bad_constant);     // "2$A" is one number token
    ASSERT_EQ(interp.evaluate("1=2", r, message), InterpStatus::syntax_error);      // only a name can be assigned to
    EXPECT_EQ(r, Complex(2, 0));
}

TEST(Interp, Assignment) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("Z=COS(PI/4)", r, message), InterpStatus::ok);
    EXPECT_NEAR(r.real(), std::sqrt(0.5), 1e-15);
    ASSERT_EQ(interp.variables().size(), 7u);
    EXPECT_EQ(interp.variables()[6].name, "Z");
    ASSERT_EQ(interp.evaluate("Z*2", r, message), InterpStatus::ok);
    EXPECT_NEAR(r.real(), 1.4142135623730951, 1e-15);

    ASSERT_EQ(interp.evaluate("ZZZZZZ1=5", r, message), InterpStatus::ok);
    EXPECT_EQ(interp.variables().back().name, "ZZZZZZ");
    ASSERT_EQ(interp.evaluate("ZZZZZZ2", r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(5, 0));

    ASSERT_EQ(interp.evaluate("Z=(1,2)", r, message), InterpStatus::ok);   // replaces, no new entry
    EXPECT_EQ(interp.variables().size(), 8u);
    EXPECT_EQ(interp.variables()[6].value, Complex(1, 2));
    ASSERT_EQ(interp.evaluate("Z=Z*2", r, message), InterpStatus::ok);
    EXPECT_EQ(interp.variables()[6].value, Complex(2, 4));

    ASSERT_EQ(interp.evaluate("PI=3", r, message), InterpStatus::ok);   // INTERP does not protect predefined names
    EXPECT_EQ(interp.variables()[1].value, Complex(3, 0));

    EXPECT_EQ(interp.evaluate("W=1/$A", r, message), InterpStatus::invalid_product_operand);   // failure stores nothing
    EXPECT_EQ(interp.variables().size(), 8u);
    ASSERT_EQ(interp.evaluate("=5", r, message), InterpStatus::ok);   // leading "=" ignored, nothing stored
    EXPECT_EQ(interp.variables().size(), 8u);
    ASSERT_EQ(interp.evaluate("A=B=3", r, message), InterpStatus::ok);   // the "=" after B is not examined
    EXPECT_EQ(interp.variables()[3].value, Complex(0, 0));
}

TEST(Interp, FortyVariablesAtMost) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    for (int i = 0; i < 34; ++i) ASSERT_EQ(interp.evaluate(cat("V", std::to_string(i), cat("=", std::to_string(i))), r, message), InterpStatus::ok);
    ASSERT_EQ(interp.variables().size(), 40u);
    const auto version = interp.table_layout_version();
    EXPECT_EQ(interp.evaluate("W=1", r, message), InterpStatus::too_many_variables);
    EXPECT_EQ(message, "*****INTERP. NO MORE THAN 40 VARIABLES ALLOWED");
    EXPECT_EQ(interp.variables().size(), 40u);
    EXPECT_EQ(interp.table_layout_version(), version);
    ASSERT_EQ(interp.evaluate("V3=7", r, message), InterpStatus::ok);   // an existing name can still be assigned
    ASSERT_EQ(interp.evaluate("V3+V33", r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(40, 0));
    // Mode 1 cuts the table back to the six predefined entries.
    ASSERT_EQ(interp.evaluate("1", 1, r, message), InterpStatus::ok);
    EXPECT_EQ(interp.variables().size(), 6u);
    EXPECT_EQ(interp.evaluate("V3", r, message), InterpStatus::unassigned_variable);
}

TEST(Interp, ReservedNamesKeepTheirSlots) {
    Interpreter interp([] { return 0.0; });
    interp.reserve_slots({"XMIN", "DX"});
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("DX=1", r, message), InterpStatus::ok);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(interp.evaluate(cat("V", std::to_string(i), "=1"), r, message), InterpStatus::ok);
    EXPECT_EQ(interp.variables().size(), 39u);
    EXPECT_EQ(interp.evaluate("W=1", r, message), InterpStatus::too_many_variables);   // the last slot is XMIN's
    EXPECT_EQ(message, "*****INTERP. NO MORE THAN 40 VARIABLES ALLOWED");
    ASSERT_EQ(interp.evaluate("XMIN=2", r, message), InterpStatus::ok);
    ASSERT_EQ(interp.evaluate("DX=3", r, message), InterpStatus::ok);
    EXPECT_EQ(interp.variables().size(), 40u);
}

TEST(Interp, PredefinedTable) {
    Interpreter interp([] { return 0.0; });
    const auto& v = interp.variables();
    ASSERT_EQ(v.size(), 6u);
    const char* names[] = {"HAFPI", "PI", "TWOPI", "A", "B", "X"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(v[static_cast<std::size_t>(i)].name, names[i]);
    EXPECT_EQ(v[0].value, Complex(kPi / 2, 0));
    EXPECT_EQ(v[1].value, Complex(kPi, 0));
    EXPECT_EQ(v[2].value, Complex(6.283185307179586, 0));
}

TEST(Interp, SlotsForEq) {
    Interpreter interp([] { return 0.0; });
    interp.set_slot(4, {1, 2});
    interp.set_slot(5, {3, 0});
    interp.set_slot(6, {0.5, 0});
    interp.set_slot(7, {9, 9});   // no entry 7: ignored
    interp.set_slot(0, {9, 9});
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("A*B+X", r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(3.5, 6));
    EXPECT_EQ(interp.variables().size(), 6u);
}

TEST(Interp, DefineUsesExponentText) {
    Interpreter interp([] { return 0.0; });
    std::string message;
    ASSERT_EQ(interp.define("DT", 0.001, message), InterpStatus::ok);
    ASSERT_EQ(interp.define("XMAX", -2.5e-7, message), InterpStatus::ok);
    ASSERT_EQ(interp.define("XMIN", 1e-300, message), InterpStatus::ok);
    ASSERT_EQ(interp.define("DF", 0.1 + 0.2, message), InterpStatus::ok);
    ASSERT_EQ(interp.define_integer("NPTS", 1024, message), InterpStatus::ok);
    ASSERT_EQ(interp.define("DX", std::numeric_limits<double>::infinity(), message), InterpStatus::ok);
    const auto& v = interp.variables();
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[6].name, "DT");
    EXPECT_EQ(v[6].value, Complex(0.001, 0));   // 17 digits after the point: exact round trip
    EXPECT_EQ(v[7].value, Complex(-2.5e-7, 0));
    EXPECT_EQ(v[8].value, Complex(1e-300, 0));
    EXPECT_EQ(v[9].value, Complex(0.1 + 0.2, 0));
    EXPECT_EQ(v[10].name, "NPTS");
    EXPECT_EQ(v[10].value, Complex(1024, 0));
    EXPECT_TRUE(std::isinf(v[11].value.real()));
    ASSERT_EQ(interp.define("DT", 2.0, message), InterpStatus::ok);   // redefinition replaces
    EXPECT_EQ(interp.variables().size(), 12u);
    Complex r;
    ASSERT_EQ(interp.evaluate("NPTS*DT", r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(2048, 0));
}

TEST(Interp, SeedComesFromClockOnFirstEvaluationOnly) {
    int calls = 0;
    Interpreter interp([&] {
        ++calls;
        return 12345678.0;
    });
    EXPECT_EQ(calls, 0);
    Complex r;
    std::string message;
    EXPECT_EQ(interp.evaluate("$", r, message), InterpStatus::invalid_expression);   // any first call seeds, failing or not
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(interp.random_seed(), 12345678.0);
    ASSERT_EQ(interp.evaluate("RAND(0.,1.)", r, message), InterpStatus::ok);
    ASSERT_EQ(interp.evaluate("RAND(0.,1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(calls, 1);
}

TEST(Interp, DefineSeedsToo) {
    int calls = 0;
    Interpreter interp([&] {
        ++calls;
        return 5.0;
    });
    std::string message;
    ASSERT_EQ(interp.define("DT", std::nan(""), message), InterpStatus::ok);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(interp.random_seed(), 5.0);
}

TEST(Interp, ExplicitSeedWinsOverClock) {
    int calls = 0;
    Interpreter interp([&] {
        ++calls;
        return 5.0;
    });
    interp.set_random_seed(0);
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("RAND(0.,1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(r, Complex(0x1p-32, 0));
}

TEST(Interp, RandomSequenceFromSeedZero) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("RAND(0.,1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 1.0 / 4294967296.0);
    EXPECT_EQ(interp.random_seed(), 1.0);
    ASSERT_EQ(interp.evaluate("RAND(0.,1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 69070.0 / 4294967296.0);
    ASSERT_EQ(interp.evaluate("RAND(10.,20.)", r, message), InterpStatus::ok);
    const double seed3 = std::fmod(69069.0 * 69070.0 + 1, 4294967296.0);
    EXPECT_EQ(r.real(), 10 + 10 * (seed3 / 4294967296.0));

    Interpreter gauss([] { return 0.0; });
    ASSERT_EQ(gauss.evaluate("GAUSS(1., 2.)", r, message), InterpStatus::ok);
    EXPECT_NEAR(r.real(), 1 + 2 * 6.660436855260585, 1e-12);
    EXPECT_EQ(gauss.random_seed(), 69070.0);   // two draws

    // Several draws in one formula: the order of the reduction (innermost first, left to right).
    Interpreter order([] { return 0.0; });
    ASSERT_EQ(order.evaluate("RAND(0.,1.)*1E10 + RAND(0.,1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 0x1p-32 * 1e10 + 69070 * 0x1p-32);
}

TEST(Interp, GaussWithZeroFirstDraw) {
    Interpreter interp([] { return 1511872763.0; });   // 69069*s + 1 = 0 mod 2^32
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("GAUSS(0., 1.)", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 13.23 * std::cos(kTwoPi * 0x1p-32));
}

TEST(Interp, MessagesOfEveryStatus) {
    EXPECT_EQ(interp_message(InterpStatus::ok), "");
    EXPECT_EQ(interp_message(InterpStatus::stopped), "");
    EXPECT_EQ(interp_message(InterpStatus::syntax_error), kSyntax);
    EXPECT_EQ(interp_message(InterpStatus::unrecognized_function, "FOO"), "*****INTERP. UNRECOGNIZED FUNCTION: FOO");
    EXPECT_EQ(interp_message(InterpStatus::too_many_variables), "*****INTERP. NO MORE THAN 40 VARIABLES ALLOWED");
    for (int s = 2; s <= 20; ++s) {
        EXPECT_EQ(interp_message(static_cast<InterpStatus>(s), "N").rfind("*****INTERP. ", 0), 0u) << s;
    }
}

TEST(Interp, ArithmeticFaultsAreNotErrors) {
    Interpreter interp([] { return 0.0; });
    Complex r;
    std::string message;
    ASSERT_EQ(interp.evaluate("1/0", r, message), InterpStatus::ok);
    EXPECT_TRUE(std::isinf(r.real()));
    ASSERT_EQ(interp.evaluate("LOG(0.)", r, message), InterpStatus::ok);
    EXPECT_TRUE(std::isinf(r.real()));
    ASSERT_EQ(interp.evaluate("ASIN(2.)", r, message), InterpStatus::ok);
    EXPECT_TRUE(std::isnan(r.real()));
    ASSERT_EQ(interp.evaluate("10**400", r, message), InterpStatus::ok);
    EXPECT_TRUE(std::isinf(r.real()));
    EXPECT_EQ(r.imag(), 0);
    ASSERT_EQ(interp.evaluate("1E200/1E200", r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(1, 0));
    ASSERT_EQ(interp.evaluate("0.1/0.3", r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 0.1 / 0.3);   // a real divisor divides exactly
}

}  // namespace
}  // namespace zeph
