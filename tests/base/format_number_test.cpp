// format_number: 19-character number texts.
#include "base/format_number.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace zeph {
namespace {

struct NumberCase {
    double value;
    const char* text;   // without the trailing blanks
};

void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.value; }

class FormatNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(FormatNumber, Writes19Characters) {
    const std::string text = format_number(GetParam().value);
    ASSERT_EQ(text.size(), 19u);
    std::string expected = GetParam().text;
    expected.resize(19, ' ');
    EXPECT_EQ(text, expected);
}

INSTANTIATE_TEST_SUITE_P(
    TypicalValues, FormatNumber,
    ::testing::Values(NumberCase{0.5, " .5"}, NumberCase{100, " 100."}, NumberCase{0.00125, " .00125"},
                      NumberCase{0, " .0"}, NumberCase{-1.234567890123E20, "-1.234567890123D+20"},
                      NumberCase{999999999999.0, " 999999999999."}, NumberCase{1e-6, " .000001"},
                      NumberCase{1e12, " 1.000000000000D+12"}, NumberCase{1e-7, " 1.000000000000D-07"},
                      NumberCase{0.7071067811865476, " .707106781186"}));

INSTANTIATE_TEST_SUITE_P(
    MoreValues, FormatNumber,
    ::testing::Values(
        NumberCase{-0.5, "-.5"}, NumberCase{1, " 1."}, NumberCase{-1, "-1."}, NumberCase{10, " 10."},
        NumberCase{123.456, " 123.456"}, NumberCase{1e-5, " .00001"}, NumberCase{-0.0, " .0"},
        NumberCase{3.141592653589793, " 3.14159265359"}, NumberCase{1024, " 1024."},
        NumberCase{0.001, " .001"}, NumberCase{123456789012.5, " 123456789012."},
        NumberCase{12345678901.25, " 12345678901.25"}, NumberCase{0.1234567890123456, " .123456789012"},
        NumberCase{9.99999999999996e-6, " .00001"}, NumberCase{9.9999999999994e-7, " 9.999999999999D-07"},
        NumberCase{999999999999.9, " 999999999999."},
        NumberCase{999999999999.99, " 1.000000000000D+12"}, NumberCase{1e100, " 1.000000000000+100"},
        NumberCase{-2.5e-300, "-2.500000000000-300"}, NumberCase{1e99, " 1.000000000000D+99"},
        NumberCase{1e-99, " 1.000000000000D-99"}, NumberCase{std::numeric_limits<double>::max(), " 1.797693134862+308"},
        NumberCase{std::numeric_limits<double>::denorm_min(), " 4.940656458412-324"},
        NumberCase{HUGE_VAL, " INF"}, NumberCase{-HUGE_VAL, "-INF"},
        NumberCase{std::numeric_limits<double>::quiet_NaN(), " NAN"}, NumberCase{-1e-6, "-.000001"},
        NumberCase{0.000010000000000001, " .00001"}));

}  // namespace
}  // namespace zeph
