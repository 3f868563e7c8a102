// The pointer readout's numbers and units.
#include "plot/plot_view.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace zeph {
namespace {

TEST(Readout, ShowsAsManyDecimalsAsAPixelNeeds) {
    EXPECT_EQ(readout_number(616.7236, 0.01), "616.72");
    EXPECT_EQ(readout_number(616.7236, 0.5), "616.7");
    EXPECT_EQ(readout_number(616.7236, 3), "617");
    EXPECT_EQ(readout_number(-0.25, 0.001), "-0.250");
    EXPECT_EQ(readout_number(0, 0.1), "0.0");
    EXPECT_EQ(readout_number(2.5e9, 1e6), "2.500E+09");
    EXPECT_EQ(readout_number(3.25e-6, 1e-8), "3.25E-06");
    EXPECT_EQ(readout_number(std::numeric_limits<double>::quiet_NaN(), 1), "NaN");
    EXPECT_EQ(readout_number(-std::numeric_limits<double>::infinity(), 1), "-Inf");
    EXPECT_EQ(readout_number(1.5, 0), "1.500000");   // no resolution known
}

TEST(Readout, NamesTheUnitsOfTheLabelsThatHaveThem) {
    EXPECT_EQ(pointer_readout({616.72, 38.14}, {0.01, 0.1}, "Frequency (Hz)", "Magnitude (dB)"),
              "x 616.72 Hz, y 38.1 dB");
    EXPECT_EQ(pointer_readout({1.5, 2}, {0.1, 1}, "Time", "Real part () "), "x 1.5, y 2");
    EXPECT_EQ(pointer_readout({1.5, 2}, {0.1, 1}, "", ""), "x 1.5, y 2");
}

}  // namespace
}  // namespace zeph
