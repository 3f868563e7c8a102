// Audio files through libsndfile: the same tone made by sox in every format
// reads as the same values on the 16-bit scale; FI's FLAC, AIFF and Ogg files
// are read back by sox; damaged files of each format are refused by name.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <future>
#include <sstream>
#include <vector>

#include "fileio/audio_file.hpp"
#include "fileio/signal_reader.hpp"
#include "tests/fileio/file_fixture.hpp"
#include "tests/support/file_size_limit.hpp"

namespace zeph::test {
namespace {

constexpr int kRate = 8000;        // Hz
constexpr int kCapacity = 1 << 20;

// What `action` writes on descriptor `fd` (standard output or error) while it
// runs, gathered in the file `capture`.
template <typename Action>
std::string output_of(int fd, const std::string& capture, Action action) {
    std::fflush(nullptr);
    const int saved = ::dup(fd);
    const int sink = ::open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (saved < 0 || sink < 0) return "(no capture)";
    ::dup2(sink, fd);
    action();
    std::fflush(nullptr);
    ::dup2(saved, fd);
    ::close(saved);
    ::close(sink);
    return zeph::testing::file_text(capture);
}

class AudioFiles : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        if (!have_tool("sox")) GTEST_SKIP() << "sox is not installed (test.sh installs it)";
        // A stereo tone, 440 Hz left and 660 Hz right at half scale, 2000 frames, undithered.
        sh("sox -D -n -r " + std::to_string(kRate) + " -b 16 -c 2 " + path("tone.wav") +
           " synth 0.25 sine 440 sine 660 vol 0.5");
        reference_ = read(path("tone.wav"));
        ASSERT_EQ(reference_.size(), 2000u);
    }

    void sh(const std::string& command) {
        int status = 0;
        run_command(command + " 2>&1", &status);
        ASSERT_EQ(status, 0) << command;
    }

    // The tone converted by sox, without dither so lossless formats keep every bit.
    std::string convert(const std::string& options, const std::string& name) {
        sh("sox -D " + path("tone.wav") + " " + options + " " + path(name));
        return path(name);
    }

    std::vector<Complex> read(const std::string& file) {
        const SignalRead r = read_signal(file, "", ReadRange{.max_count = kCapacity});
        EXPECT_TRUE(r.status.ok) << file << ": " << r.status.message;
        EXPECT_DOUBLE_EQ(r.xmin, 0.0);
        EXPECT_DOUBLE_EQ(r.dx, 1.0 / kRate) << file;
        return r.samples;
    }

    // Largest difference from the 16-bit reference, over both channels.
    double max_error(const std::vector<Complex>& samples) const {
        EXPECT_EQ(samples.size(), reference_.size());
        double worst = 0;
        for (std::size_t i = 0; i < std::min(samples.size(), reference_.size()); ++i) {
            worst = std::max({worst, std::abs(samples[i].real() - reference_[i].real()),
                              std::abs(samples[i].imag() - reference_[i].imag())});
        }
        return worst;
    }

    // RMS difference from the reference relative to the reference's RMS.
    double relative_rms_error(const std::vector<Complex>& samples) const {
        double error = 0, power = 0;
        const std::size_t n = std::min(samples.size(), reference_.size());
        for (std::size_t i = 0; i < n; ++i) {
            error += std::norm(samples[i] - reference_[i]);
            power += std::norm(reference_[i]);
        }
        return std::sqrt(error / power);
    }

    std::vector<Complex> reference_;
};

TEST_F(AudioFiles, LosslessFormatsReadAsTheSixteenBitValues) {
    struct Case { std::string options, name; };
    const Case cases[] = {
        {"-b 24", "tone24.wav"},   // sox writes WAVE_FORMAT_EXTENSIBLE beyond 16 bits
        {"-b 32", "tone32.wav"},
        {"-e floating-point -b 32", "float32.wav"},
        {"-e floating-point -b 64", "float64.wav"},
        {"", "tone.w64"},
        {"-b 24", "tone.flac"},
        {"-b 16", "tone16.flac"},
        {"", "tone.aiff"},
        {"-t aifc", "tone.aifc"},
        {"", "tone.caf"},
        {"", "tone.au"},
    };
    for (const Case& c : cases) {
        const std::string file = convert(c.options, c.name);
        EXPECT_EQ(max_error(read(file)), 0.0) << c.name;
    }
    const std::string extensible = read_file(path("tone24.wav"));
    EXPECT_EQ(extensible.substr(20, 2), std::string("\xFE\xFF", 2)) << "format tag of the 24-bit file";
}

TEST_F(AudioFiles, CoarseAndLossyFormatsAgreeWithinTheirError) {
    // 8 bits: one step is 256 on the 16-bit scale; sox rounds to the nearest.
    EXPECT_LE(max_error(read(convert("-b 8", "tone8.wav"))), 128.0);
    const std::vector<Complex> vorbis = read(convert("", "tone.ogg"));
    ASSERT_FALSE(vorbis.empty());
    EXPECT_LT(relative_rms_error(vorbis), 0.05);
}

TEST_F(AudioFiles, OpusFromOpusencReadsAtFortyEightKilohertz) {
    if (!have_tool("opusenc")) GTEST_SKIP() << "opus-tools is not installed";
    sh("sox -D -n -r 48000 -b 16 -c 1 " + path("tone48.wav") + " synth 0.25 sine 440 vol 0.5");
    sh("opusenc --quiet " + path("tone48.wav") + " " + path("tone.opus"));
    const SignalRead wav = read_signal(path("tone48.wav"), "", ReadRange{.max_count = kCapacity});
    const SignalRead opus = read_signal(path("tone.opus"), "", ReadRange{.max_count = kCapacity});
    ASSERT_TRUE(opus.status.ok) << opus.status.message;
    EXPECT_DOUBLE_EQ(opus.dx, 1.0 / 48000);
    ASSERT_GE(opus.samples.size(), wav.samples.size() - 960);
    double error = 0, power = 0;
    for (std::size_t i = 0; i + 960 < wav.samples.size(); ++i) {   // away from the ends
        error += std::norm(opus.samples[i] - wav.samples[i]);
        power += std::norm(wav.samples[i]);
        EXPECT_EQ(opus.samples[i].imag(), 0.0);
    }
    EXPECT_LT(std::sqrt(error / power), 0.1);
}

TEST_F(AudioFiles, KindIsToldByContentNotName) {
    std::filesystem::copy_file(convert("-b 24", "tone.flac"), path("recording.dat"));
    std::filesystem::copy_file(path("tone.wav"), path("sixteen.bin"));
    EXPECT_EQ(max_error(read(path("recording.dat"))), 0.0);
    EXPECT_EQ(max_error(read(path("sixteen.bin"))), 0.0);
    // A FLAC file named .wav is still FLAC.
    std::filesystem::copy_file(path("tone.flac"), path("flac.wav"));
    EXPECT_EQ(max_error(read(path("flac.wav"))), 0.0);
}

TEST_F(AudioFiles, CapacityLimitsTheFramesRead) {
    const SignalRead r = read_signal(convert("-b 24", "tone.flac"), "", ReadRange{.max_count = 300});
    ASSERT_TRUE(r.status.ok);
    ASSERT_EQ(r.samples.size(), 300u);
    EXPECT_EQ(r.samples[299], reference_[299]);
}

TEST_F(AudioFiles, MoreThanTwoChannelsReadTheFirstTwoWithANotice) {
    sh("sox -D -n -r 8000 -b 16 -c 4 " + path("four.wav") + " synth 0.1 sine 300 sine 500 sine 700 sine 900 vol 0.4");
    const SignalRead r = read_signal(path("four.wav"), "", ReadRange{.max_count = kCapacity});
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(r.status.message, "Read channels 1 and 2 of 4 in file: " + path("four.wav"));
    sh("sox " + path("four.wav") + " " + path("front.wav") + " remix 1 2");
    const std::vector<Complex> front = read(path("front.wav"));
    ASSERT_EQ(r.samples.size(), front.size());
    for (std::size_t i = 0; i < front.size(); ++i) ASSERT_EQ(r.samples[i], front[i]) << i;
}

TEST_F(AudioFiles, HandMadeRf64ReadsItsFrames) {
    Bytes f;
    f.text("RF64").u32(0xFFFFFFFF).text("WAVE");
    f.text("ds64").u32(28).u32(36 + 8 + 6).u32(0).u32(6).u32(0).u32(3).u32(0).u32(0);
    f.text("fmt ").u32(16).u16(1).u16(1).u32(8000).u32(16000).u16(2).u16(16);
    f.text("data").u32(0xFFFFFFFF).i16(100).i16(-200).i16(32767);
    const SignalRead r = read_signal(write_file("x.rf64", f.s), "", ReadRange{.max_count = 10});
    ASSERT_TRUE(r.status.ok) << r.status.message;
    ASSERT_EQ(r.samples.size(), 3u);
    EXPECT_EQ(r.samples[1], Complex(-200, 0));
    EXPECT_EQ(r.samples[2], Complex(32767, 0));
}

TEST_F(AudioFiles, DamagedFilesAreRefusedByName) {
    const std::string names[] = {"tone24.wav", "tone.flac", "tone.aiff", "tone.ogg", "tone.caf", "tone.w64"};
    const std::string options[] = {"-b 24", "-b 24", "", "", "", ""};
    for (int i = 0; i < 6; ++i) {
        const std::string bytes = read_file(convert(options[i], names[i]));
        // Cut inside the header, and the header's first block overwritten after the magic.
        std::string scrambled = bytes;
        for (std::size_t k = 12; k < 64; ++k) scrambled[k] = static_cast<char>(0xA5 ^ k);
        for (const std::string& damaged : {bytes.substr(0, 16), scrambled}) {
            const std::string file = write_file("bad_" + names[i], damaged);
            const SignalRead r = read_signal(file, "", ReadRange{.max_count = kCapacity});
            EXPECT_FALSE(r.status.ok) << names[i];
            // A RIFF file whose chunks are lost is the WAV reader's to refuse.
            EXPECT_TRUE(r.status.message.starts_with("Error reading file: " + file) ||
                        r.status.message.starts_with("No samples in file: " + file) ||
                        r.status.message.starts_with("No data chunk in WAV file: " + file))
                << names[i] << ": " << r.status.message;
        }
    }
    // libsndfile's reason follows the name.
    const SignalRead r = read_sndfile_bytes(as_bytes("fLaC not really"), "x.flac", 10);
    EXPECT_EQ(r.code, ReadStatus::Unsupported);
    EXPECT_TRUE(r.status.message.starts_with("Error reading file: x.flac: ")) << r.status.message;
}

// The offset of a chunk's body: after the first `id` and its size field of `size_bytes`.
std::size_t chunk_body(const std::string& bytes, const std::string& id, std::size_t size_bytes = 4) {
    const std::size_t at = bytes.find(id);
    return at == std::string::npos ? std::string::npos : at + id.size() + size_bytes;
}

TEST_F(AudioFiles, RatesThatAreNoPositiveNumberAreRefused) {
    // AIFF's 80-bit rate: +0, NaN, +infinity, −8000.
    const std::string aiff = read_file(convert("", "tone.aiff"));
    const std::size_t rate_at = chunk_body(aiff, "COMM") + 8;
    ASSERT_NE(rate_at, std::string::npos);
    struct Case { std::string bytes, shown; };
    const Case cases[] = {
        {std::string(10, '\0'), "0"},
        {std::string("\x7F\xFF\xC0\0\0\0\0\0\0\0", 10), "nan"},
        {std::string("\x7F\xFF\x80\0\0\0\0\0\0\0", 10), "inf"},
        {std::string("\xC0\x0B\xFA\0\0\0\0\0\0\0", 10), "-8000"},
    };
    for (const Case& c : cases) {
        std::string bad = aiff;
        bad.replace(rate_at, 10, c.bytes);
        const std::string file = write_file("rate.aiff", bad);
        const SignalRead r = read_signal(file, "", ReadRange{.max_count = kCapacity});
        EXPECT_FALSE(r.status.ok) << c.shown;
        EXPECT_EQ(r.status.message, "Error reading file: " + file + ": sample rate " + c.shown);
    }
    // CAF's 64-bit rate, and a 24-bit WAV's rate 0 (libsndfile's own text is an internal one).
    std::string caf = read_file(convert("", "tone.caf"));
    caf.replace(chunk_body(caf, "desc", 8), 8, std::string("\xFF\xF8\0\0\0\0\0\0", 8));
    const std::string caf_file = write_file("rate.caf", caf);
    EXPECT_EQ(read_signal(caf_file, "", ReadRange{.max_count = kCapacity}).status.message,
              "Error reading file: " + caf_file + ": sample rate nan");
    // A second description with a subnormal rate: the decoder reads the first,
    // and so does the grid (the second once made the step infinite).
    std::string two = read_file(convert("", "tone.caf"));
    const std::size_t desc = two.find("desc");
    std::string second = two.substr(desc, 12 + 32);
    second.replace(12, 8, std::string("\0\0\0\0\xB0\0\0\0", 8));
    two.insert(desc + second.size(), second);
    const SignalRead twice = read_signal(write_file("two.caf", two), "", ReadRange{.first = 2, .interval = 3, .max_count = kCapacity});
    ASSERT_TRUE(twice.status.ok) << twice.status.message;
    EXPECT_DOUBLE_EQ(twice.dx, 3.0 / kRate);
    EXPECT_DOUBLE_EQ(twice.xmin, 1.0 / kRate);
    std::string wav = read_file(convert("-b 24", "tone24.wav"));
    wav.replace(chunk_body(wav, "fmt ") + 4, 4, std::string(4, '\0'));
    const std::string wav_file = write_file("rate.wav", wav);
    EXPECT_EQ(read_signal(wav_file, "", ReadRange{.max_count = kCapacity}).status.message,
              "Error reading file: " + wav_file + ": sample rate 0");
}

TEST_F(AudioFiles, LibraryInternalTextsAreLeftOut) {
    // An AU header whose rate is 0: libsndfile refuses it as its own internal error.
    std::string au = read_file(convert("", "tone.au"));
    au.replace(16, 4, std::string(4, '\0'));
    const SignalRead r = read_sndfile_bytes(as_bytes(au), "x.au", 100);
    EXPECT_FALSE(r.status.ok);
    EXPECT_EQ(r.status.message, "Error reading file: x.au: sample rate 0");
    // A reason that means something to the user stays.
    const SignalRead flac = read_sndfile_bytes(as_bytes("fLaC not really"), "x.flac", 10);
    EXPECT_TRUE(flac.status.message.starts_with("Error reading file: x.flac: ")) << flac.status.message;
    EXPECT_EQ(flac.status.message.find("nternal"), std::string::npos);
}

TEST_F(AudioFiles, FilesCutShortAreRefusedWithBothCounts) {
    struct Case { std::string options, name; std::size_t frame_bytes; };
    const Case cases[] = {
        {"-b 24", "c24.wav", 6}, {"-b 32", "c32.wav", 8}, {"-e floating-point -b 32", "cf.wav", 8},
        {"-b 8", "c8.wav", 2}, {"", "c.aiff", 4}, {"", "c.au", 4}, {"", "c.w64", 4}, {"-c 4", "c4.wav", 8},
    };
    for (const Case& c : cases) {
        const std::string whole = read_file(convert(c.options, c.name));
        const std::string file = write_file("cut_" + c.name, whole.substr(0, whole.size() - 500 * c.frame_bytes));
        const SignalRead r = read_signal(file, "", ReadRange{.max_count = kCapacity});
        EXPECT_FALSE(r.status.ok) << c.name;
        EXPECT_EQ(r.code, ReadStatus::NothingRead) << c.name;
        EXPECT_EQ(r.status.message,
                  ("Error reading file: " + file + ": the file ends early (1500 of 2000 samples)").substr(0, 80));
        // What is there is enough for a read of fewer frames.
        EXPECT_TRUE(read_signal(file, "", ReadRange{.max_count = 1000}).status.ok) << c.name;
    }
    // A streaming placeholder size runs to the end of the file: no claim to miss.
    std::string streamed = read_file(path("c24.wav"));
    streamed.replace(chunk_body(streamed, "data") - 4, 4, "\xFF\xFF\xFF\xFF");
    const SignalRead r = read_signal(write_file("streamed.wav", streamed.substr(0, streamed.size() - 600)), "",
                                     ReadRange{.max_count = kCapacity});
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(r.samples.size(), 1900u);
}

TEST_F(AudioFiles, ContentOfNoAudioContainerIsNotHandedToTheLibrary) {
    // Frame sync bytes: libsndfile would try them as MPEG, and its decoder prints as it fails.
    std::string bytes = "\xFF\xFFWAV";
    for (int i = 0; i < 512; ++i) bytes += static_cast<char>(i);
    const std::string file = write_file("sync.wav", bytes);
    SignalRead r;
    const std::string printed = output_of(STDERR_FILENO, path("stderr.txt"), [&] {
        r = read_signal(file, "", ReadRange{.max_count = kCapacity});
    });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(r.status.message, "File format not recognized.>?\?WA?\?\?\?<");
    const SignalRead direct = read_sndfile_bytes(as_bytes(bytes), "x.mp3", 10);
    EXPECT_EQ(direct.status.message, "Error reading file: x.mp3: format not recognised");
}

TEST_F(AudioFiles, ReadRangeTakesFirstPointAndInterval) {
    for (const std::string& file : {path("tone.wav"), convert("-b 24", "tone.flac"), convert("-b 24", "r24.wav")}) {
        const SignalRead r = read_signal(file, "", ReadRange{.first = 3, .interval = 2, .max_count = 10});
        ASSERT_TRUE(r.status.ok) << file << ": " << r.status.message;
        ASSERT_EQ(r.samples.size(), 10u) << file;
        for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(r.samples[i], reference_[2 + 2 * i]) << file << " " << i;
        EXPECT_DOUBLE_EQ(r.xmin, 2.0 / kRate) << file;
        EXPECT_DOUBLE_EQ(r.dx, 2.0 / kRate) << file;
        // The last frames: from frame 1998 on every third, 1998 and 2001 (beyond): one sample.
        const SignalRead tail = read_signal(file, "", ReadRange{.first = 1998, .interval = 3, .max_count = 10});
        ASSERT_TRUE(tail.status.ok) << file;
        ASSERT_EQ(tail.samples.size(), 1u) << file;
        EXPECT_EQ(tail.samples[0], reference_[1997]);
        EXPECT_FALSE(read_signal(file, "", ReadRange{.first = 2001, .max_count = 10}).status.ok);
        EXPECT_EQ(read_signal(file, "", ReadRange{.first = 0, .max_count = 10}).status.message,
                  "First point # and Interval must be 1 or more.");
    }
}

TEST_F(AudioFiles, AnImaginaryPartFileIsReadBesideAnAudioFile) {
    sh("sox " + path("tone.wav") + " " + path("left.wav") + " remix 1");
    sh("sox " + path("tone.wav") + " -b 24 " + path("right.flac") + " remix 2");
    SignalRead r = read_signal(path("left.wav"), path("right.flac"), ReadRange{.max_count = kCapacity});
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(max_error(r.samples), 0.0);
    EXPECT_DOUBLE_EQ(r.dx, 1.0 / kRate);
    r = read_signal("", path("right.flac"), ReadRange{.max_count = kCapacity});
    ASSERT_TRUE(r.status.ok) << r.status.message;
    ASSERT_EQ(r.samples.size(), reference_.size());
    EXPECT_EQ(r.samples[5], Complex(0.0, reference_[5].imag()));
    // A file of another rate or length does not fit.
    sh("sox -D -n -r 16000 -b 16 -c 1 " + path("other.wav") + " synth 0.125 sine 100");
    EXPECT_EQ(read_signal(path("left.wav"), path("other.wav"), ReadRange{.max_count = kCapacity}).code,
              ReadStatus::GridMismatch);
    // A stereo file holds both parts: a second file is refused.
    r = read_signal(path("tone.wav"), path("right.flac"), ReadRange{.max_count = kCapacity});
    EXPECT_FALSE(r.status.ok);
    EXPECT_EQ(r.status.message, "A stereo file gives both parts, no IMAG file: " + path("tone.wav"));
}

TEST_F(AudioFiles, ReadsTellHowManySamplesTheFileHolds) {
    for (const std::string& file : {path("tone.wav"), convert("-b 24", "tone.flac"), convert("-b 24", "t24.wav")}) {
        SignalRead r = read_signal(file, "", ReadRange{.max_count = 300});
        EXPECT_EQ(r.samples.size(), 300u);
        EXPECT_EQ(r.available, 2000u) << file;
        r = read_signal(file, "", ReadRange{.first = 1001, .interval = 3, .max_count = 10});
        EXPECT_EQ(r.available, 334u) << file;   // frames 1001, 1004, … 2000
    }
}

TEST(AudioContent, MagicOfEachContainer) {
    using namespace std::string_literals;
    const std::string yes[] = {"RIFF\x10\0\0\0WAVEfmt "s, "RIFX\0\0\0\x10WAVE"s, "RF64\xFF\xFF\xFF\xFFWAVE"s,
                               "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB"s, "FORM\0\0\0\0AIFF"s,
                               "FORM\0\0\0\0AIFC"s, "fLaC\0\0\0\x22"s, "OggS\0\x02"s, "caff\0\x01"s, ".snd\0\0\0\x18"s,
                               "dns.\x18\0\0\0"s};
    for (const std::string& head : yes) EXPECT_TRUE(is_audio_content(as_bytes(head))) << head;
    const std::string no[] = {"RIFF\x10\0\0\0AVI "s, "REAL   8"s, "IN\0\0\x01\0"s, "1.0, 2.0\n"s, "FORM\0\0\0\0ILBM"s,
                              "riff"s, ""s};
    for (const std::string& head : no) EXPECT_FALSE(is_audio_content(as_bytes(head))) << head;
}


// ---- Writing ----------------------------------------------------------------

class AudioOutput : public FileTest {
protected:
    void SetUp() override {
        FileTest::SetUp();
        if (!have_tool("sox")) GTEST_SKIP() << "sox is not installed (test.sh installs it)";
    }
};

TEST_F(AudioOutput, SoxReadsFlacAndAiffWithTheValuesAndRate) {
    std::vector<Complex> samples;
    for (int i = 0; i < 1000; ++i) samples.emplace_back(60.25 * i - 30000.0, i % 3 ? 32767.0 : -32768.0);
    for (const std::string name : {"out.flac", "out.aiff", "OUT.AIF"}) {
        for (const WavChannels channels : {WavChannels::Mono, WavChannels::Stereo}) {
            const Status written = write_audio_signal(samples, path(name), channels, 1.0 / 22050);
            ASSERT_TRUE(written.ok) << written.message;
            EXPECT_EQ(written.message, "");
            EXPECT_EQ(run_command("sox --i -r " + path(name)), "22050\n");
            EXPECT_EQ(run_command("sox --i -b " + path(name)), "24\n");
            const auto frames = sox_frames(path(name), false);
            ASSERT_EQ(frames.size(), samples.size()) << name;
            const std::size_t n = channels == WavChannels::Mono ? 1 : 2;
            for (std::size_t i = 0; i < samples.size(); ++i) {
                ASSERT_EQ(frames[i].size(), n);
                // 24 bits keep a quarter step of the 16-bit scale exactly.
                EXPECT_NEAR(frames[i][0], samples[i].real(), 1e-3) << name << " frame " << i;
                if (n == 2) {
                    EXPECT_NEAR(frames[i][1], samples[i].imag(), 1e-3) << name << " frame " << i;
                }
            }
        }
    }
}

TEST_F(AudioOutput, SoxReadsOggVorbisWithinItsError) {
    std::vector<Complex> samples;
    for (int i = 0; i < 8000; ++i) samples.emplace_back(12000.0 * std::sin(0.1 * i), 8000.0 * std::cos(0.07 * i));
    for (const std::string name : {"out.ogg", "out.oga"}) {
        ASSERT_TRUE(write_audio_signal(samples, path(name), WavChannels::Stereo, 1.0 / 16000).ok);
        EXPECT_EQ(run_command("sox --i -r " + path(name)), "16000\n");
        const auto frames = sox_frames(path(name), false);
        ASSERT_EQ(frames.size(), samples.size());
        double error = 0, power = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const Complex theirs(frames[i][0], frames[i][1]);
            error += std::norm(theirs - samples[i]);
            power += std::norm(samples[i]);
        }
        EXPECT_LT(std::sqrt(error / power), 0.05) << name;
    }
}

TEST_F(AudioOutput, OpusIsResampledOnlyWhenItsRateIsNotOneOfOpus) {
    std::vector<Complex> samples;
    for (int i = 0; i < 4410; ++i) samples.emplace_back(10000.0 * std::sin(0.05 * i), 0.0);
    Status written = write_audio_signal(samples, path("a.opus"), WavChannels::Mono, 1.0 / 44100);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_EQ(written.message, "Resampled to 48000 Hz for Opus");
    SignalRead back = read_sndfile(path("a.opus"), 1 << 20);
    ASSERT_TRUE(back.status.ok) << back.status.message;
    EXPECT_DOUBLE_EQ(back.dx, 1.0 / 48000);
    EXPECT_NEAR(static_cast<double>(back.samples.size()), 4800.0, 960.0);

    written = write_audio_signal(samples, path("b.opus"), WavChannels::Mono, 1.0 / 16000);
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.message, "");
    back = read_sndfile(path("b.opus"), 1 << 20);
    EXPECT_DOUBLE_EQ(back.dx, 1.0 / 16000);
}

TEST_F(AudioOutput, ValuesBeyondFullScaleAreClippedAndCounted) {
    const std::vector<Complex> samples{{40000, 0}, {-40000, 0}, {NAN, 0}, {32767, 0}, {-32768, 0}, {0.25, 0}};
    const Status written = write_audio_signal(samples, path("c.flac"), WavChannels::Mono, 1.0 / 8000);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(written.message, "Clipped 3 values beyond full scale");
    const SignalRead back = read_sndfile(path("c.flac"), 100);
    ASSERT_EQ(back.samples.size(), samples.size());
    EXPECT_NEAR(back.samples[0].real(), 32768.0, 0.01);
    EXPECT_EQ(back.samples[1].real(), -32768.0);
    EXPECT_EQ(back.samples[2].real(), 0.0);
    EXPECT_EQ(back.samples[3].real(), 32767.0);
    EXPECT_EQ(back.samples[5].real(), 0.25);
}

TEST_F(AudioOutput, EveryFormatCountsValuesBeyondFullScale) {
    const std::vector<Complex> samples{{40000, 0}, {-40000, 0}, {NAN, 0}, {32767, 0}, {-32768, 0}, {0.25, 0}};
    for (const std::string name : {"c.wav", "c.flac", "c.aiff", "c.ogg", "c.opus"}) {
        const Status written = write_audio_signal(samples, path(name), WavChannels::Mono, 1.0 / 8000);
        ASSERT_TRUE(written.ok) << name;
        EXPECT_EQ(written.message, "Clipped 3 values beyond full scale") << name;
    }
    const SignalRead back = read_wav(path("c.wav"), 100);
    ASSERT_EQ(back.samples.size(), samples.size());
    EXPECT_EQ(back.samples[0].real(), 32767.0);
    EXPECT_EQ(back.samples[1].real(), -32768.0);
    EXPECT_EQ(back.samples[2].real(), 0.0);
}

// The bytes that arrive at the reading end of a named pipe while `write` runs.
template <typename Write>
std::string read_through_pipe(const std::string& pipe, Write write) {
    const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return {};
    std::atomic<bool> written{false};
    auto drained = std::async(std::launch::async, [&] {
        std::string bytes;
        char block[65536];
        for (;;) {
            pollfd wanted{fd, POLLIN, 0};
            ::poll(&wanted, 1, 50);
            const ssize_t n = ::read(fd, block, sizeof block);
            if (n > 0) bytes.append(block, static_cast<std::size_t>(n));
            else if (n == 0 && written) return bytes;   // no writer left, and the write is over
        }
    });
    write();
    written = true;
    std::string bytes = drained.get();
    ::close(fd);
    return bytes;
}

TEST_F(AudioOutput, EveryFormatWrittenToANamedPipeDecodes) {
    std::vector<Complex> samples;
    for (int i = 0; i < 48000; ++i) samples.emplace_back(12000.0 * std::sin(0.05 * i), 0.0);
    for (const std::string name : {"p.wav", "p.flac", "p.aiff", "p.aif", "p.ogg", "p.oga", "p.opus"}) {
        const std::string pipe = path(name);
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        Status written;
        const std::string bytes = read_through_pipe(pipe, [&] {
            written = write_audio_signal(samples, pipe, WavChannels::Mono, 1.0 / 48000);
        });
        ASSERT_TRUE(written.ok) << name << ": " << written.message;
        const SignalRead back = read_sndfile_bytes(as_bytes(bytes), name, 1 << 20);
        ASSERT_TRUE(back.status.ok) << name << ": " << back.status.message;
        // Another decoder takes the stream too.
        if (!name.ends_with(".opus")) {
            EXPECT_NEAR(static_cast<double>(sox_frames(write_file("got_" + name, bytes), true).size()), 48000.0, 960.0)
                << name;
        }
        EXPECT_NEAR(static_cast<double>(back.samples.size()), 48000.0, 960.0) << name;
        double error = 0, power = 0;
        for (std::size_t i = 1000; i < 40000; ++i) {
            error += std::norm(back.samples[i] - samples[i]);
            power += std::norm(samples[i]);
        }
        EXPECT_LT(std::sqrt(error / power), 0.1) << name;
    }
}

TEST_F(AudioOutput, AFailedWriteSaysSoAndPrintsNothing) {
    std::vector<Complex> samples;
    for (int i = 0; i < 200000; ++i) samples.emplace_back(10000.0 * std::sin(0.01 * i), 5000.0 * std::cos(0.03 * i));
    // Standard output goes to a file for the writes: a library's print would show there.
    std::vector<std::pair<std::string, Status>> results;
    const std::string printed = output_of(STDOUT_FILENO, path("stdout.txt"), [&] {
        testing::FileSizeLimit limit(100);
        for (const std::string name : {"f.ogg", "f.opus", "f.flac", "f.aiff", "f.wav"}) {
            results.emplace_back(name, write_audio_signal(samples, path(name), WavChannels::Stereo, 1.0 / 48000));
        }
    });
    for (const auto& [name, written] : results) {
        EXPECT_FALSE(written.ok) << name;
        EXPECT_TRUE(written.message.starts_with("Error writing file: " + path(name))) << written.message;
        EXPECT_FALSE(std::filesystem::exists(path(name))) << name;
    }
    EXPECT_EQ(printed, "");
}

TEST_F(AudioOutput, FailedWriteKeepsTheOldFileAndLeavesNoScratch) {
    const std::string old = write_file("keep.flac", "old content");
    const std::vector<Complex> samples(10, Complex{1, 1});
    Status written = write_audio_signal(samples, old, WavChannels::Mono, 0.0);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.message, "Sample rate 1/DX out of range for this file: " + old);
    written = write_audio_signal(samples, old, WavChannels::Mono, 1.0 / 2e6);   // beyond FLAC's rates
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(read_file(old), "old content");
    written = write_audio_signal(samples, path("no/such/dir.flac"), WavChannels::Mono, 1e-3);
    EXPECT_EQ(written.message, "Cannot open file: " + path("no/such/dir.flac"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
    // A name that is not an audio kind goes to the 16-bit WAV writer only when it ends in .wav.
    EXPECT_TRUE(is_audio_output_name("x.Opus"));
    EXPECT_TRUE(is_audio_output_name("take.WAV"));
    EXPECT_FALSE(is_audio_output_name(".flac"));
    EXPECT_FALSE(is_audio_output_name("x.mp3"));
}

}  // namespace
}  // namespace zeph::test
