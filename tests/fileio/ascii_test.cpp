#include "fileio/ascii.hpp"

#include <vector>

#include "fileio/binary_records.hpp"
#include "fileio/output_file.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

using AsciiFile = FileTest;

AsciiRead read(std::string_view text, ReadRange range = {1, 1, 1000}) { return read_ascii_text(text, range, "t.txt"); }

// The values a read gives: its samples' real parts.
std::vector<double> values_of(const AsciiRead& r) {
    std::vector<double> values;
    for (const Complex& s : r.samples) {
        EXPECT_EQ(s.imag(), 0.0);
        values.push_back(s.real());
    }
    return values;
}

TEST(AsciiRead, ColumnsGridAndNumberForms) {
    const struct { std::string text; bool two; double xmin, dx; std::vector<double> values; } cases[] = {
        {"1\n2\n3\n", false, 0, 1, {1, 2, 3}},
        {"0.0, 2.0\n0.5, 3.0\n", true, 0, 0.5, {2, 3}},
        {"\t1e3\t-4\r\n 2e3 ,5\r\n\r\n", true, 1000, 1000, {-4, 5}},   // tabs, CR LF, blank last line
        {"\n  \n1.5D3\n+2\n-.5\n1q1\n5.\n", false, 0, 1, {1500, 2, -0.5, 10, 5}},
        {"1 2 3\n4 5 6\n", true, 1, 3, {2, 5}},                         // extra values are ignored
        {"7", false, 0, 1, {7}},                                        // no line end
        {"", false, 0, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const AsciiRead r = read(c.text);
        ASSERT_TRUE(r.status.ok);
        EXPECT_EQ(r.two_columns, c.two);
        EXPECT_EQ(r.xmin, c.xmin);
        EXPECT_EQ(r.dx, c.dx);
        EXPECT_EQ(values_of(r), c.values);
    }
    for (const char* bad : {"0.0, 2.0\n", "1, 2\n3\n", "1\nx\n", "1\n++2\n", "1\n1e999\n", "a b\nc d\n"}) {
        const AsciiRead r = read(bad);
        EXPECT_EQ(r.code, ReadStatus::Unsupported) << bad;
        EXPECT_EQ(r.status.message, "Error reading ASCII file: t.txt") << bad;
    }
}

TEST(AsciiRead, RangeSkipsLinesAndShiftsGrid) {
    std::string ten;
    for (int i = 1; i <= 10; ++i) ten += std::to_string(i) + "\n";
    const AsciiRead r = read(ten, {3, 2, 1000});
    EXPECT_EQ(values_of(r), (std::vector<double>{3, 5, 7, 9}));
    EXPECT_EQ(r.xmin, 2.0);
    EXPECT_EQ(r.dx, 2.0);
    EXPECT_EQ(read(ten, {1, 1, 5}).samples.size(), 5u);
    EXPECT_TRUE(read(ten, {11, 1, 5}).samples.empty());
    EXPECT_EQ(read("0, 1\n0.5, 2\n1, 3\n1.5, 4\n", {2, 2, 10}).xmin, 0.5);
}

TEST_F(AsciiFile, StreamedFileReadsLikeText) {
    // Larger than the read block, so lines cross block boundaries.
    std::vector<double> values;
    for (int i = 0; i < 60000; ++i) values.push_back(i * 0.37 - 1000.0);
    ASSERT_TRUE(write_ascii_file(values, AsciiLayout::AbscissaAndValue, path("big.txt"), -3.0, 0.125));
    const std::string text = read_file(path("big.txt"));
    ASSERT_GT(text.size(), 2u << 20);
    const AsciiRead streamed = read_ascii_file(path("big.txt"), {7, 3, 1 << 20});
    const AsciiRead whole = read(text, {7, 3, 1 << 20});
    ASSERT_TRUE(streamed.status.ok);
    EXPECT_EQ(streamed.samples, whole.samples);
    EXPECT_EQ(streamed.samples.size(), 19998u);
    EXPECT_EQ(streamed.samples[1].real(), values[9]);
    EXPECT_EQ(streamed.xmin, -3.0 + 6 * 0.125);

    write_file("long.txt", "1\n" + std::string(3u << 20, '1') + "\n");
    EXPECT_FALSE(read_ascii_file(path("long.txt"), {1, 1, 10}).status.ok);
    EXPECT_EQ(read_ascii_file(path("absent.txt"), {1, 1, 10}).status.message,
              "Error reading ASCII file: " + path("absent.txt"));
}

TEST_F(AsciiFile, OutputFormatsByAnswer) {
    const std::vector<double> values{0.5, -2.0, 1e-300};
    ASSERT_TRUE(write_output_file(values, "2C", path("two"), 1.0, 0.25));
    EXPECT_EQ(read_file(path("two")),
              "   1.000000000000000E+00,   5.000000000000000E-01\n"
              "   1.250000000000000E+00,  -2.000000000000000E+00\n"
              "   1.500000000000000E+00,  1.000000000000000E-300\n");
    ASSERT_TRUE(write_output_file(values, "1c", path("one"), 1.0, 0.25));
    EXPECT_EQ(read_file(path("one")).substr(0, 25), "   5.000000000000000E-01\n");
    EXPECT_EQ(values_of(read_ascii_file(path("one"), {1, 1, 10})), values);

    ASSERT_TRUE(write_output_file(values, "r4", path("r4"), 0, 1));
    EXPECT_EQ(read_binary_signal_file(path("r4"), Component::Real, {1, 1, 10}).format, BinaryFormat::R4);
    EXPECT_EQ(output_format_code("i2 extra"), "I2");
    EXPECT_EQ(write_output_file(values, "3c", path("three"), 0, 1).message, "Unknown file format: 3c");
    EXPECT_FALSE(std::filesystem::exists(path("three")));
}

}  // namespace
}  // namespace zeph::test
