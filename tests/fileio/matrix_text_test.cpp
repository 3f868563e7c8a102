#include "fileio/matrix_text.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/fileio/file_fixture.hpp"
#include "tests/support/file_text.hpp"

namespace zeph {
namespace {

using MatrixText = test::FileTest;

TEST_F(MatrixText, CellsSliceBySliceWithABlankLineAfterEach) {
    const std::vector<double> x{0.5, 1.5}, y{0, 10, 20};
    const std::vector<double> values{1, 2, 3, 4, 5, -6.25};
    ASSERT_TRUE(write_matrix_text(x, y, values, path("m.txt")).ok);
    EXPECT_EQ(testing::file_text(path("m.txt")),
              "5.000000000000000E-01 0.000000000000000E+00 1.000000000000000E+00\n"
              "5.000000000000000E-01 1.000000000000000E+01 2.000000000000000E+00\n"
              "5.000000000000000E-01 2.000000000000000E+01 3.000000000000000E+00\n"
              "\n"
              "1.500000000000000E+00 0.000000000000000E+00 4.000000000000000E+00\n"
              "1.500000000000000E+00 1.000000000000000E+01 5.000000000000000E+00\n"
              "1.500000000000000E+00 2.000000000000000E+01 -6.250000000000000E+00\n"
              "\n");
}

TEST_F(MatrixText, RefusesAMismatchedSizeAndAMissingFolder) {
    const std::vector<double> x{0.5}, y{0, 10};
    const std::vector<double> three{1, 2, 3};
    EXPECT_FALSE(write_matrix_text(x, y, three, path("m.txt")).ok);
    EXPECT_FALSE(std::filesystem::exists(path("m.txt")));
    const Status missing = write_matrix_text(x, y, {three.data(), 2}, path("no/such/m.txt"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message.rfind(std::string(kCannotOpenFile), 0), 0u) << missing.message;
}

}  // namespace
}  // namespace zeph
