#include "fileio/signal_reader.hpp"

#include <vector>

#include "fileio/binary_records.hpp"
#include "fileio/output_file.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

using ReadSignal = FileTest;
constexpr ReadRange kAll{1, 1, 32768};

TEST_F(ReadSignal, RealAndImaginaryFilesMakeOneSignal) {
    write_file("re.txt", "0.0, 1\n0.5, 2\n1.0, 3\n");
    ASSERT_TRUE(write_signal_file(std::vector<double>{-1, -2, -3}, "R8", path("im.r8"), 0.0, 0.5));
    const SignalRead both = read_signal(path("re.txt"), path("im.r8") + "   ", kAll);
    ASSERT_TRUE(both.status.ok) << both.status.message;
    EXPECT_EQ(both.samples, (std::vector<Complex>{{1, -1}, {2, -2}, {3, -3}}));
    EXPECT_EQ(both.dx, 0.5);

    const SignalRead imag_only = read_signal("", path("im.r8"), kAll);
    EXPECT_EQ(imag_only.samples, (std::vector<Complex>{{0, -1}, {0, -2}, {0, -3}}));
    EXPECT_EQ(imag_only.status.message, "");

    const SignalRead none = read_signal("   ", "", kAll);
    EXPECT_EQ(none.code, ReadStatus::NothingRead);
    EXPECT_EQ(none.status.message, "");
}

TEST_F(ReadSignal, ReadsTellHowManySamplesTheFileHolds) {
    std::vector<double> values(100);
    for (int i = 0; i < 100; ++i) values[i] = i;
    for (const char* code : {"R8", "R4", "I2", "1C", "2C"}) {
        ASSERT_TRUE(write_output_file(values, code, path("v.bin"), 0.0, 1.0));
        SignalRead r = read_signal(path("v.bin"), "", ReadRange{1, 1, 30});
        EXPECT_EQ(r.samples.size(), 30u);
        EXPECT_EQ(r.available, 100u) << code;
        r = read_signal(path("v.bin"), "", ReadRange{11, 3, 5});   // samples 11, 14, … 98
        EXPECT_EQ(r.available, 30u) << code;
        EXPECT_EQ(r.samples.back(), Complex(22, 0));
    }
    // Two files: the fewer of their counts.
    ASSERT_TRUE(write_signal_file(std::vector<double>(40, 1.0), "R8", path("w.bin"), 0.0, 1.0));
    EXPECT_EQ(read_signal(path("v.bin"), path("w.bin"), ReadRange{1, 1, 20}).available, 40u);
}

TEST_F(ReadSignal, GridsAndCountsMustAgree) {
    const auto r8 = [&](const char* name, double dx, int count) {
        ASSERT_TRUE(write_signal_file(std::vector<double>(count, 1.0), "R8", path(name), 0.0, dx));
    };
    r8("a", 0.001, 4);
    r8("near", 0.001 * (1 + 1e-7), 4);
    r8("far", 0.001 * (1 + 1e-5), 4);
    r8("short", 0.001, 3);
    EXPECT_TRUE(read_signal(path("a"), path("near"), kAll).status.ok);
    const SignalRead far = read_signal(path("a"), path("far"), kAll);
    EXPECT_EQ(far.code, ReadStatus::GridMismatch);
    EXPECT_EQ(far.status.message, "XMIN or DX do not match in real & imag files");
    const SignalRead counts = read_signal(path("a"), path("short"), kAll);
    EXPECT_EQ(counts.code, ReadStatus::CountMismatch);
    EXPECT_EQ(counts.status.message, "Different # sample points real & imag files:            4           3");
    EXPECT_TRUE(counts.samples.empty());
}

TEST_F(ReadSignal, StepNotPositiveBecomesOne) {
    write_file("down.txt", "2.0 5\n1.0 6\n");
    write_file("down2.txt", "2.0 7\n1.0 8\n");
    for (const SignalRead& r : {read_signal(path("down.txt"), "", kAll),
                                read_signal(path("down.txt"), path("down2.txt"), kAll)}) {
        ASSERT_TRUE(r.status.ok);
        EXPECT_EQ(r.dx, 1.0);
        EXPECT_EQ(r.status.message, "DX ≤ 0. Assigned a value of 1.");
    }
}

TEST_F(ReadSignal, FailuresNameTheFile) {
    write_file("empty", "");
    write_file("bad.txt", "1\n2\nthree\n");
    write_file("c4", Bytes{}.text("CMPL   4").f64(0).f64(1).i16(1).i16(2).s);
    const std::string long_name = std::string(70, 'n');
    const struct { std::string real, imag; ReadStatus code; std::string message; } cases[] = {
        {path("absent"), path("empty"), ReadStatus::NothingRead, "Cannot find file: " + path("absent")},
        {path("empty"), "", ReadStatus::NothingRead, "No samples in file: " + path("empty")},
        {path("bad.txt"), "", ReadStatus::Unsupported, "Error reading ASCII file: " + path("bad.txt")},
        {"", path("c4"), ReadStatus::Unsupported, "C4 file can only be read as REAL file: " + path("c4")},
        {long_name, "", ReadStatus::NothingRead, ("Cannot find file: " + long_name).substr(0, 80)},
    };
    for (const auto& c : cases) {
        const SignalRead r = read_signal(c.real, c.imag, kAll);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_EQ(r.status.message, c.message);
    }
    EXPECT_EQ(read_signal(path("bad.txt"), "", {0, 1, 10}).status.message,
              "First point # and Interval must be 1 or more.");
}

TEST_F(ReadSignal, FileShorterThanBinaryHeaderIsReadAsText) {
    write_file("five", "1\n2\n3");   // shorter than any binary header
    EXPECT_EQ(read_signal(path("five"), "", kAll).samples, (std::vector<Complex>{{1, 0}, {2, 0}, {3, 0}}));
}

// A read fills the storage the last read gave back, in every format, with
// its own values; storage much larger than the read is let go, and so is
// storage released.
TEST_F(ReadSignal, ReadsFillTheStorageTheLastReadGaveBack) {
    std::vector<double> values(4000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<double>(i) * 0.5;
    for (const char* code : {"R8", "1C"}) {
        ASSERT_TRUE(write_output_file(values, code, path("v.bin"), 0.0, 1.0));
        SignalRead first = read_signal(path("v.bin"), "", ReadRange{1, 1, 4000});
        ASSERT_EQ(first.samples.size(), 4000u) << code;
        const Complex* storage = first.samples.data();
        keep_read_storage(std::move(first.samples));
        const SignalRead again = read_signal(path("v.bin"), "", ReadRange{1, 2, 4000});
        EXPECT_EQ(again.samples.data(), storage) << code;
        ASSERT_EQ(again.samples.size(), 2000u) << code;
        for (std::size_t i = 0; i < again.samples.size(); ++i) ASSERT_EQ(again.samples[i], Complex(values[2 * i], 0));
    }
    std::vector<Complex> large;
    large.reserve(5000);
    large.resize(10);
    keep_read_storage(std::move(large));
    std::vector<Complex> taken;
    reserve_samples(taken, 3);
    EXPECT_LT(taken.capacity(), 5000u);
    taken.resize(3);
    keep_read_storage(std::move(taken));
    release_read_storage();
    std::vector<Complex> after_release;
    reserve_samples(after_release, 0);
    EXPECT_EQ(after_release.capacity(), 0u);
}

}  // namespace
}  // namespace zeph::test
