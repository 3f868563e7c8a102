#include "fileio/binary_records.hpp"

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <vector>

#include "fileio/byte_io.hpp"
#include "fileio/signal_reader.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

using BinaryFile = FileTest;

std::string tagged(std::string_view tag, double xmin, double dx) {
    return Bytes{}.text(tag).f64(xmin).f64(dx).s;
}

TEST_F(BinaryFile, WritersProduceExactBytes) {
    const std::vector<double> values{1.0, -2.5, 1.0 / 3.0, 2.5, 40000.0, -1e9,
                                     std::numeric_limits<double>::quiet_NaN()};
    ASSERT_TRUE(write_signal_file(values, "R8", path("a.r8"), 0.0, 0.5));
    ASSERT_TRUE(write_signal_file(values, "r4", path("a.r4"), -1.0, 0.25));
    ASSERT_TRUE(write_signal_file(values, "i2", path("a.i2"), 2.0, 1e-3));

    Bytes r8{tagged("REAL   8", 0.0, 0.5)}, r4{tagged("REAL   4", -1.0, 0.25)};
    for (double v : values) {
        r8.f64(v);
        r4.f32(static_cast<float>(v));
    }
    EXPECT_EQ(read_file(path("a.r8")), r8.s);
    EXPECT_EQ(read_file(path("a.r8")).size(), 24u + 8 * values.size());
    EXPECT_EQ(read_file(path("a.r4")), r4.s);
    // Nearest integer, halves away from zero, limited to the 16-bit range; NaN as 0.
    const Bytes i2 = Bytes{tagged("NTGR   2", 2.0, 1e-3)}.i16(1).i16(-3).i16(0).i16(3).i16(32767).i16(-32768).i16(0);
    EXPECT_EQ(read_file(path("a.i2")), i2.s);
}

TEST_F(BinaryFile, LongSignalsWrittenInBlocksGiveTheSameBytes) {
    // Several of the writer's blocks and a ragged end, values of every kind.
    std::vector<double> values(10007);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(0.37 * i) * std::pow(10.0, i % 11) - 0.5;
    values[4096] = std::numeric_limits<double>::infinity();
    values[9000] = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(write_signal_file(values, "R8", path("l.r8"), 0.0, 0.5));
    ASSERT_TRUE(write_signal_file(values, "R4", path("l.r4"), 0.0, 0.5));
    ASSERT_TRUE(write_signal_file(values, "I2", path("l.i2"), 0.0, 0.5));
    Bytes r8{tagged("REAL   8", 0.0, 0.5)}, r4{tagged("REAL   4", 0.0, 0.5)}, i2{tagged("NTGR   2", 0.0, 0.5)};
    for (double v : values) {
        r8.f64(v);
        r4.f32(static_cast<float>(v));   // all within the float range
        i2.i16(nearest_int16(v));
    }
    EXPECT_EQ(read_file(path("l.r8")), r8.s);
    EXPECT_EQ(read_file(path("l.r4")), r4.s);
    EXPECT_EQ(read_file(path("l.i2")), i2.s);
}

TEST_F(BinaryFile, WrittenFilesReadBackUnchanged) {
    const std::vector<double> values{0.0, 1.5, -7.25, 1000.0, 0.1};
    for (const char* code : {"R8", "R4", "I2"}) {
        SCOPED_TRACE(code);
        ASSERT_TRUE(write_signal_file(values, code, path("rt"), -2.0, 0.5));
        const SignalRead read = read_signal(path("rt"), "", {1, 1, 100});
        ASSERT_TRUE(read.status.ok) << read.status.message;
        ASSERT_EQ(read.samples.size(), values.size());
        EXPECT_EQ(read.xmin, -2.0);
        EXPECT_EQ(read.dx, 0.5);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double expected = code[0] == 'I' ? std::round(values[i])
                                  : code[1] == '4' ? static_cast<float>(values[i]) : values[i];
            EXPECT_EQ(read.samples[i], Complex(expected, 0.0));
        }
    }
}

TEST_F(BinaryFile, ReadRangeSelectsSamplesAndShiftsGrid) {
    Bytes r8{tagged("REAL   8", 0.0, 0.001)};
    for (int i = 0; i < 1000; ++i) r8.f64(i);
    const auto all = read_binary_signal_bytes(as_bytes(r8.s), Component::Real, {1, 1, 32768});
    EXPECT_EQ(all.format, BinaryFormat::R8);
    EXPECT_EQ(all.samples.size(), 1000u);
    EXPECT_EQ(read_binary_signal_bytes(as_bytes(r8.s), Component::Real, {1, 1, 10}).samples.size(), 10u);
    const auto late = read_binary_signal_bytes(as_bytes(r8.s), Component::Real, {101, 1, 32768});
    EXPECT_EQ(late.samples.size(), 900u);
    EXPECT_EQ(late.samples.front(), Complex(100.0, 0.0));
    EXPECT_DOUBLE_EQ(late.xmin, 0.1);

    Bytes r4{tagged("REALxy 4", 1.0, 0.5)};   // bytes 5-6 of the tag are free
    for (int i = 1; i <= 10; ++i) r4.f32(static_cast<float>(i));
    const auto every_third = read_binary_signal_bytes(as_bytes(r4.s), Component::Imag, {1, 3, 100});
    EXPECT_EQ(every_third.format, BinaryFormat::R4);
    EXPECT_EQ(every_third.samples,
              (std::vector<Complex>{{0, 1}, {0, 4}, {0, 7}, {0, 10}}));
    EXPECT_EQ(every_third.dx, 1.5);
    EXPECT_EQ(read_binary_signal_bytes(as_bytes(r4.s), Component::Real, {11, 1, 100}).samples.size(), 0u);
}

TEST_F(BinaryFile, RecognisesEveryLayout) {
    const auto read = [](const std::string& bytes, Component c = Component::Real) {
        return read_binary_signal_bytes(as_bytes(bytes), c, {1, 1, 1000});
    };
    const auto compact = read(Bytes{tagged("COMPACT!", 0, 1)}.f64(2.5).s);
    EXPECT_EQ(compact.format, BinaryFormat::R8);
    EXPECT_EQ(compact.samples, (std::vector<Complex>{{2.5, 0}}));

    Bytes c4{tagged("CMPLab 4", 0, 1)};
    for (int i = 0; i < 10; ++i) c4.i16(i).i16(-100 * i);
    const auto complex = read(c4.s);
    ASSERT_EQ(complex.samples.size(), 10u);
    EXPECT_EQ(complex.samples[9], Complex(9, -900));
    EXPECT_TRUE(read(c4.s, Component::Imag).samples.empty());

    Bytes in{Bytes{}.text("IN").i16(5).i16(2).s};
    for (int i = 0; i < 100; ++i) in.i16(-i);
    ASSERT_EQ(in.s.size(), 206u);
    const auto shorts = read(in.s);
    EXPECT_EQ(shorts.format, BinaryFormat::I2);
    EXPECT_EQ(shorts.samples.size(), 100u);
    EXPECT_EQ(shorts.samples[99], Complex(-99, 0));
    EXPECT_EQ(shorts.xmin, 5.0);
    EXPECT_EQ(shorts.dx, 2.0);
    EXPECT_EQ(read("INPUT LINE 1\n").format, BinaryFormat::I2);   // any "IN" file is short integers

    EXPECT_EQ(read("0.5 1.0\n1.0 2.0\n1.5 3.0\n2.0 4.0\n").code, ReadStatus::OtherFormat);
    EXPECT_EQ(read("IN").code, ReadStatus::OtherFormat);        // shorter than its header
    EXPECT_EQ(read("REAL   8 short").code, ReadStatus::OtherFormat);
    EXPECT_EQ(read_binary_signal_file(path("missing"), Component::Real, {1, 1, 9}).code,
              ReadStatus::NothingRead);
}

TEST_F(BinaryFile, HostileHeadersAreRefused) {
    // Counts come from the file size, never from the caller's capacity alone.
    const auto partial = read_binary_signal_bytes(as_bytes(tagged("REAL   8", 0, 1) + "12345"),
                                                  Component::Real, {1, 1, 1 << 30});
    EXPECT_EQ(partial.code, ReadStatus::Ok);
    EXPECT_TRUE(partial.samples.empty());
    write_file("nan.r8", Bytes{tagged("REAL   8", 0, std::nan(""))}.f64(1).s);
    EXPECT_EQ(read_signal(path("nan.r8"), "", {1, 1, 10}).status.message,
              "Error reading R8 or I2 file: " + path("nan.r8"));
    write_file("empty.r8", tagged("REAL   8", 0, 1));
    EXPECT_EQ(read_signal(path("empty.r8"), "", {1, 1, 10}).status.message,
              "No samples in file: " + path("empty.r8"));
}

TEST_F(BinaryFile, WriteFailuresAreReported) {
    const std::string keep = write_file("keep", "old content");
    EXPECT_EQ(write_signal_file(std::vector<double>{1.0}, "R5", keep, 0, 1).message, "Unknown file format: R5");
    EXPECT_EQ(read_file(keep), "old content");
    EXPECT_FALSE(write_signal_file(std::vector<double>{1.0}, "C4", path("new"), 0, 1).ok);
    EXPECT_FALSE(std::filesystem::exists(path("new")));
    EXPECT_EQ(write_signal_file(std::vector<double>{1.0}, "R8", path("no/dir/f"), 0, 1).message,
              "Cannot open file: " + path("no/dir/f"));
    // A file without write permission is refused, as an editor refuses it.
    ::chmod(keep.c_str(), 0444);
    EXPECT_EQ(write_signal_file(std::vector<double>{1.0}, "R8", keep, 0, 1).message, "Cannot open file: " + keep);
    EXPECT_EQ(read_file(keep), "old content");
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full to fill";
    const std::vector<double> many(100000, 1.0);   // more than stdio buffers
    EXPECT_EQ(write_signal_file(many, "R8", "/dev/full", 0, 1).message, "Error writing file: /dev/full");
}

}  // namespace
}  // namespace zeph::test
