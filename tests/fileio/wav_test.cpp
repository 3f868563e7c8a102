#include "fileio/wav.hpp"

#include <vector>

#include "fileio/signal_reader.hpp"
#include "tests/fileio/file_fixture.hpp"

namespace zeph::test {
namespace {

using WavFile = FileTest;

// A chunk with its pad byte when the body is odd.
std::string chunk(std::string_view id, const std::string& body, std::uint32_t stated_size = 0) {
    std::string c = Bytes{}.text(id).u32(stated_size ? stated_size : static_cast<std::uint32_t>(body.size())).s;
    c += body;
    if (body.size() % 2) c += '\0';
    return c;
}

std::string fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                std::string_view extra = "") {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    return chunk("fmt ", Bytes{}.u16(tag).u16(channels).u32(rate).u32(rate * align).u16(align).u16(bits).text(extra).s);
}

std::string riff(const std::string& chunks, std::string_view id = "RIFF", std::string_view form = "WAVE") {
    return Bytes{}.text(id).u32(static_cast<std::uint32_t>(chunks.size() + 4)).text(form).s + chunks;
}

std::string frames(std::initializer_list<std::int16_t> values) {
    Bytes b;
    for (auto v : values) b.i16(v);
    return b.s;
}

SignalRead read(const std::string& bytes, int max_count = 1000) {
    return read_wav_bytes(as_bytes(bytes), "t.wav", max_count);
}

TEST_F(WavFile, WriterProducesCanonicalHeader) {
    const std::vector<Complex> samples{{1.0, -1.0}, {40000.0, -0.5}, {0.5, -40000.0}};
    ASSERT_TRUE(write_wav(samples, path("s.wav"), WavChannels::Stereo, 1.0 / 8000));
    const std::string expected = Bytes{}
        .text("RIFF").u32(36 + 12).text("WAVE")
        .text("fmt ").u32(16).u16(1).u16(2).u32(8000).u32(32000).u16(4).u16(16)
        .text("data").u32(12).s + frames({1, -1, 32767, -1, 1, -32768});
    EXPECT_EQ(read_file(path("s.wav")), expected);

    ASSERT_TRUE(write_wav(samples, path("m.wav"), WavChannels::Mono, 1.0 / 44100));
    const std::string mono = read_file(path("m.wav"));
    EXPECT_EQ(mono.substr(22, 14), Bytes{}.u16(1).u32(44100).u32(88200).u16(2).u16(16).s);
    EXPECT_EQ(mono.substr(40), Bytes{}.u32(6).s + frames({1, 32767, 1}));

    EXPECT_EQ(write_wav(samples, path("bad.wav"), WavChannels::Mono, 10.0).message,
              "Sample rate 1/DX out of range for WAV file: " + path("bad.wav"));
    EXPECT_FALSE(write_wav(samples, path("bad.wav"), WavChannels::Mono, 0.0).ok);
    EXPECT_FALSE(std::filesystem::exists(path("bad.wav")));
    EXPECT_EQ(write_wav(samples, path("none/x.wav"), WavChannels::Mono, 1e-3).message,
              "Cannot open file: " + path("none/x.wav"));
}

TEST_F(WavFile, ReadsWhatItWrites) {
    std::vector<Complex> samples;
    for (int i = 0; i < 1000; ++i) samples.emplace_back(i - 500, 3 * i - 1500);
    ASSERT_TRUE(write_wav(samples, path("m.wav"), WavChannels::Mono, 1.0 / 8000));
    const SignalRead mono = read_signal(path("m.wav"), "", {5, 7, 32768});
    ASSERT_TRUE(mono.status.ok) << mono.status.message;
    ASSERT_EQ(mono.samples.size(), 143u);   // samples 5, 12, … 999
    EXPECT_EQ(mono.samples[142], Complex(498, 0));
    EXPECT_EQ(mono.xmin, 4 * 0.000125);
    EXPECT_EQ(mono.dx, 7 * 0.000125);
    // The imaginary-part file is read beside a mono file: one that is not there is not found.
    EXPECT_EQ(read_signal(path("m.wav"), "missing", {1, 1, 32768}).status.message, "Cannot find file: missing");
    ASSERT_TRUE(write_wav(samples, path("s.WAV"), WavChannels::Stereo, 1.0 / 8000));
    EXPECT_EQ(read_wav(path("s.WAV"), 32768).samples, samples);
    EXPECT_EQ(read_wav(path("s.WAV"), 10).samples.size(), 10u);
}

TEST_F(WavFile, WalksChunksAndPadBytes) {
    const std::string data = chunk("data", frames({7, -7, 8, -8}));
    // An odd LIST chunk and its pad byte, and an 18-byte fmt chunk, are passed over.
    const SignalRead padded = read(riff(fmt(1, 2, 8000, 16, "xy") + chunk("LIST", "INFOabc") + data));
    ASSERT_TRUE(padded.status.ok) << padded.status.message;
    EXPECT_EQ(padded.samples, (std::vector<Complex>{{7, -7}, {8, -8}}));
    EXPECT_EQ(read(riff(chunk("junk", "12345") + fmt(1, 1, 100, 16) + data)).samples.size(), 4u);

    EXPECT_EQ(read(riff(data + fmt(1, 1, 8000, 16))).status.message, "WAV data chunk comes before fmt chunk: t.wav");
    EXPECT_EQ(read(riff(fmt(1, 1, 8000, 16))).status.message, "No data chunk in WAV file: t.wav");
    EXPECT_EQ(read(riff(fmt(1, 1, 8000, 16) + chunk("data", ""))).status.message, "No samples in file: t.wav");
}

TEST_F(WavFile, OddChunkWithoutPadByteIsWalkedToo) {
    // A LIST chunk of 7 bytes written without its pad byte: "data" follows at once.
    const std::string unpadded = Bytes{}.text("LIST").u32(7).text("INFOabc").s;
    const SignalRead r = read(riff(fmt(1, 1, 8000, 16) + unpadded + chunk("data", frames({5, 6, 7}))));
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(r.samples, (std::vector<Complex>{{5, 0}, {6, 0}, {7, 0}}));
}

TEST_F(WavFile, StreamedFileWithPlaceholderSizesReadsTheFramesPresent) {
    // What sox writes to a pipe: RIFF and data sizes that were never filled in.
    const std::string body = fmt(1, 1, 8000, 16) + Bytes{}.text("data").u32(0x7FFFF000u).s + frames({1, -2, 3});
    const std::string streamed = Bytes{}.text("RIFF").u32(0x7FFFF024u).text("WAVE").s + body;
    const SignalRead r = read(streamed);
    ASSERT_TRUE(r.status.ok) << r.status.message;
    EXPECT_EQ(r.samples, (std::vector<Complex>{{1, 0}, {-2, 0}, {3, 0}}));
    EXPECT_EQ(read(streamed, 2).samples.size(), 2u);
    // A half frame at the end is left out; a stream without a whole frame has no samples.
    EXPECT_EQ(read(streamed + "x").samples.size(), 3u);
    // ffmpeg and others leave 0 or 0xFFFFFFFF.
    for (std::uint32_t placeholder : {0u, 0xFFFFFFFFu}) {
        const std::string stream = Bytes{}.text("RIFF").u32(placeholder).text("WAVE").s + fmt(1, 1, 8000, 16) +
                                   Bytes{}.text("data").u32(placeholder).s + frames({4, 5});
        EXPECT_EQ(read(stream).samples, (std::vector<Complex>{{4, 0}, {5, 0}})) << placeholder;
    }
    const std::string empty_stream =
        Bytes{}.text("RIFF").u32(0xFFFFFFFFu).text("WAVE").s + fmt(1, 2, 8000, 16) + Bytes{}.text("data").u32(0xFFFFFFFFu).s + "ab";
    EXPECT_EQ(read(empty_stream).status.message, "No samples in file: t.wav");
}

// A file cut short: the header and 6 bytes of a 200-byte data chunk. Its
// stated sizes are not placeholders, so it is refused, not read as 3 samples.
TEST_F(WavFile, ATruncatedDataChunkIsARefusedRead) {
    const std::string whole = riff(fmt(1, 1, 8000, 16) + chunk("data", std::string(200, '\1')));
    const std::string cut = whole.substr(0, whole.size() - 194);
    const SignalRead r = read(cut);
    EXPECT_FALSE(r.status.ok);
    EXPECT_EQ(r.code, ReadStatus::NothingRead);
    EXPECT_EQ(r.status.message, "Error reading file: t.wav: the file ends early (3 of 100 samples)");
    EXPECT_TRUE(r.samples.empty());
}

TEST_F(WavFile, RefusesWhatItCannotRead) {
    const std::string data = chunk("data", frames({1, 2, 3, 4}));
    const struct { std::string bytes; ReadStatus code; std::string message; } cases[] = {
        {riff(fmt(1, 1, 8000, 8) + data), ReadStatus::Unsupported, "Can only read 16 bit/sample WAV files."},
        {riff(fmt(3, 1, 8000, 32) + data), ReadStatus::Unsupported, "Cannot read compressed WAV files."},
        {riff(fmt(1, 4, 8000, 16) + data), ReadStatus::Unsupported, "Cannot read more than 2 channels from WAV files."},
        {riff(fmt(1, 0, 8000, 16) + data), ReadStatus::Unsupported, "Cannot read WAV files with 0 channels."},
        {riff(fmt(1, 1, 0, 16) + data), ReadStatus::Unsupported, "Cannot read WAV files with sample rate 0."},
        {riff(data, "RIFX"), ReadStatus::Unsupported, "File format not recognized.>RIFXWAVE<"},
        {riff(data, "RIFF", "AVI "), ReadStatus::Unsupported, "File format not recognized.>RIFFAVI <"},
        {std::string("RIFF\x10\0\0\0WAV", 11), ReadStatus::NothingRead, "Error reading file: t.wav"},
        // Sizes beyond the file: no huge allocation, a read error or no data.
        {riff(fmt(1, 2, 8000, 16) + chunk("data", frames({1, 2}), 0xFFFFFFF0u)), ReadStatus::NothingRead,
         "Error reading file: t.wav: the file ends early (1 of 1073741820 samples)"},
        {riff(fmt(1, 2, 8000, 16) + chunk("LIST", "ab", 0xFFFFFFFFu) + data), ReadStatus::NothingRead,
         "No data chunk in WAV file: t.wav"},
        {riff(chunk("fmt ", "short")), ReadStatus::NothingRead, "Error reading file: t.wav"},
    };
    for (const auto& c : cases) {
        const SignalRead r = read(c.bytes, 1 << 30);
        EXPECT_FALSE(r.status.ok);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_EQ(r.status.message, c.message);
        EXPECT_TRUE(r.samples.empty());
    }
    EXPECT_EQ(read_wav(path("absent.wav"), 10).status.message, "Cannot find file: " + path("absent.wav"));
}

TEST(WavFileName, NeedsFiveCharactersEndingInDotWav) {
    for (const char* name : {"DATA.WAV", "data.Wav", "x.wav", "x.wav   "}) EXPECT_TRUE(is_wav_file_name(name)) << name;
    for (const char* name : {"a.wa", ".wav", "x.wav.r8", "xwav", ""}) EXPECT_FALSE(is_wav_file_name(name)) << name;
    EXPECT_EQ(wav_channels_from_reply("mono"), WavChannels::Mono);
    EXPECT_EQ(wav_channels_from_reply(""), WavChannels::Stereo);
}

}  // namespace
}  // namespace zeph::test
