// Files exchanged with common tools: WAV files with sox, 2C files with numpy.
#include <cmath>
#include <sstream>
#include <vector>

#include "fileio/ascii.hpp"
#include "fileio/wav.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

class Interchange : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        if (!have_tool("sox")) GTEST_SKIP() << "sox is not installed (test.sh installs it)";
    }

    std::vector<std::vector<double>> sox_frames(const std::string& file) {
        auto frames = test::sox_frames(file, true);
        EXPECT_FALSE(frames.empty()) << "sox could not decode " << file;
        return frames;
    }

    // Our read of a WAV file agrees with sox's frame by frame.
    void expect_same_as_sox(const std::string& file, int channels) {
        const SignalRead ours = read_wav(file, 1 << 20);
        ASSERT_TRUE(ours.status.ok) << ours.status.message;
        const auto theirs = sox_frames(file);
        ASSERT_EQ(ours.samples.size(), theirs.size());
        for (std::size_t i = 0; i < theirs.size(); ++i) {
            ASSERT_EQ(theirs[i].size(), static_cast<std::size_t>(channels));
            EXPECT_EQ(ours.samples[i].real(), theirs[i][0]) << "frame " << i;
            EXPECT_EQ(ours.samples[i].imag(), channels == 2 ? theirs[i][1] : 0.0) << "frame " << i;
        }
    }
};

TEST_F(Interchange, SoxReadsOurWav) {
    std::vector<Complex> samples;
    for (int i = 0; i < 200; ++i) samples.emplace_back(150.0 * i - 15000.0, i % 2 ? 32767 : -32768);
    ASSERT_TRUE(write_wav(samples, path("ours.wav"), WavChannels::Stereo, 1.0 / 22050));
    EXPECT_EQ(run_command("sox --i -r " + path("ours.wav")), "22050\n");
    EXPECT_EQ(run_command("sox --i -c " + path("ours.wav")), "2\n");
    const auto theirs = sox_frames(path("ours.wav"));
    ASSERT_EQ(theirs.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(theirs[i], (std::vector<double>{samples[i].real(), samples[i].imag()}));
    }
}

TEST_F(Interchange, WeReadSoxWav) {
    for (int channels : {1, 2}) {
        const std::string file = path("sox" + std::to_string(channels) + ".wav");
        ASSERT_EQ(std::system(("sox -n -r 8000 -c " + std::to_string(channels) + " -b 16 " + file +
                               " synth 0.05 sine 440 >/dev/null 2>&1").c_str()), 0);
        expect_same_as_sox(file, channels);
        EXPECT_DOUBLE_EQ(read_wav(file, 10).dx, 1.0 / 8000);
    }
}

TEST_F(Interchange, OddListChunkWithPadByte) {
    // sox 14.4 writes no LIST chunk for --comment, so one of odd size (and
    // its pad byte) is put between "fmt " and "data" of a sox file.
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 2 -b 16 " + path("plain.wav") +
                           " synth 0.01 sine 440 >/dev/null 2>&1").c_str()), 0);
    const std::string plain = read_file(path("plain.wav"));
    const std::size_t data = plain.find("data", 12);
    ASSERT_NE(data, std::string::npos);
    const std::string list = Bytes{}.text("LIST").u32(13).text("INFOICMT").u32(1).s + "a" + '\0';
    std::string edited = plain.substr(0, data) + list + plain.substr(data);
    const std::string riff_size = Bytes{}.u32(static_cast<std::uint32_t>(edited.size() - 8)).s;
    edited.replace(4, 4, riff_size);
    write_file("list.wav", edited);
    ASSERT_EQ(run_command("sox --i -c " + path("list.wav")), "2\n");   // sox accepts the file too
    expect_same_as_sox(path("list.wav"), 2);
}

using NumpyInterchange = FileTest;

TEST_F(NumpyInterchange, ReadsOur2C) {
    std::string python;
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        if (std::system((std::string(candidate) + " -c 'import numpy' >/dev/null 2>&1").c_str()) == 0) {
            python = candidate;
            break;
        }
    }
    if (python.empty()) GTEST_SKIP() << "python3 with numpy is not installed (test.sh installs it)";
    std::vector<double> values;
    for (int i = 0; i < 50; ++i) values.push_back(std::sin(i * 0.3) * std::pow(10.0, i % 11 - 5));
    ASSERT_TRUE(write_ascii_file(values, AsciiLayout::AbscissaAndValue, path("two.txt"), -1.5, 0.1));
    const std::string printed = run_command(
        python + " -c 'import numpy; [print(repr(float(x)), repr(float(y))) for x, y in numpy.loadtxt(\"" +
        path("two.txt") + "\", delimiter=\",\")]'");
    std::istringstream lines(printed);
    const AsciiRead ours = read_ascii_file(path("two.txt"), {1, 1, 100});
    ASSERT_EQ(ours.samples.size(), values.size());
    double x = 0, y = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        ASSERT_TRUE(lines >> x >> y) << printed;
        EXPECT_DOUBLE_EQ(x, -1.5 + 0.1 * static_cast<double>(i));
        EXPECT_EQ(y, ours.samples[i].real());   // both parse the same text to the same double
        EXPECT_NEAR(y, values[i], 1e-15 * std::abs(values[i]));
    }
}

}  // namespace
}  // namespace zeph::test
