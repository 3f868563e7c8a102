// Playback and recording through SDL's "disk" driver, which writes what is
// played to a file and reads what is recorded from another: exact, without
// sound hardware.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

#include "audio/sound.hpp"
#include "base/stop_request.hpp"
#include "tests/audio/sound_environment.hpp"
#include "tests/support/temp_directory.hpp"

namespace zeph::test {
namespace {

using testing::TempDirectory;

// Distinct values, never 0, both extremes: a played stretch is found by its
// first non-zero sample and compared whole.
std::vector<std::int16_t> marked_samples(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(i % 2 ? -1 - (i * 7919 % 32768) : 1 + (i * 104729 % 32767));
    if (count > 3) samples[1] = -32768, samples[2] = 32767;
    return samples;
}

// The non-zero stretch of a played file: silence before (whole frames) and after it.
struct Played {
    std::size_t leading = 0;
    std::vector<std::int16_t> samples;
    bool silent_after = true;
};
Played played_stretch(const std::vector<std::int16_t>& file, std::size_t expected_length) {
    Played p;
    while (p.leading < file.size() && file[p.leading] == 0) ++p.leading;
    const std::size_t end = std::min(file.size(), p.leading + expected_length);
    p.samples.assign(file.begin() + static_cast<std::ptrdiff_t>(p.leading), file.begin() + static_cast<std::ptrdiff_t>(end));
    for (std::size_t i = end; i < file.size(); ++i) p.silent_after = p.silent_after && file[i] == 0;
    return p;
}

class SoundDisk : public ::testing::Test {
protected:
    void SetUp() override {
        env_.set("SDL_AUDIODRIVER", "disk");
        env_.set("SDL_DISKAUDIOFILE", out_);
        env_.set("SDL_DISKAUDIOFILEIN", in_);
        env_.set("SDL_DISKAUDIODELAY", "1");   // ms per device buffer: faster than real time
        env_.unset("ZEPH_AUDIO");
    }
    void TearDown() override { EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << "audio left initialised"; }

    TempDirectory dir_{"zau"};
    std::string out_ = dir_.file("out.raw");
    std::string in_ = dir_.file("in.raw");
    ScopedEnvironment env_;
};

TEST_F(SoundDisk, PlaysExactlyTheSamplesGivenMonoAndStereo) {
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        Pcm16 sound{marked_samples(channels == 1 ? 24000 : 2 * 11025), channels};
        const double rate = channels == 1 ? 48000 : 22050;
        std::vector<SoundProgress> polls;
        const PlaybackResult r = play_sound(sound, rate, [&](const SoundProgress& p) {
            polls.push_back(p);
            return true;
        });
        ASSERT_TRUE(r.status) << r.status.message;
        EXPECT_FALSE(r.stopped);
        EXPECT_DOUBLE_EQ(r.seconds_played, 0.5);
        const Played p = played_stretch(read_raw16(out_), sound.samples.size());
        EXPECT_EQ(p.leading % static_cast<std::size_t>(channels), 0u);   // silence of whole frames first
        EXPECT_EQ(p.samples, sound.samples);
        EXPECT_TRUE(p.silent_after);
        ASSERT_FALSE(polls.empty());
        for (std::size_t i = 1; i < polls.size(); ++i) EXPECT_GE(polls[i].seconds_done, polls[i - 1].seconds_done);
        EXPECT_DOUBLE_EQ(polls.front().seconds_total, 0.5);
    }
}

TEST_F(SoundDisk, PlaysWithoutAPollToTheEndAtTheExtremeRates) {
    for (const double rate : {1.0, 384000.0}) {
        SCOPED_TRACE(rate);
        Pcm16 sound{marked_samples(rate < 2 ? 3 : 4000), 1};
        const PlaybackResult r = play_sound(sound, rate);
        ASSERT_TRUE(r.status) << r.status.message;
        EXPECT_EQ(played_stretch(read_raw16(out_), sound.samples.size()).samples, sound.samples);
    }
}

// The disk driver here takes a device buffer a millisecond, far faster than
// real time: at low rates the sound must still arrive without a gap.
TEST_F(SoundDisk, PlaysLowRatesWithoutSilenceInTheMiddle) {
    for (const double rate : {3.0, 10.0, 100.0}) {
        SCOPED_TRACE(rate);
        Pcm16 sound{marked_samples(static_cast<std::size_t>(rate) * 40), 1};
        const PlaybackResult r = play_sound(sound, rate);
        ASSERT_TRUE(r.status) << r.status.message;
        EXPECT_EQ(played_stretch(read_raw16(out_), sound.samples.size()).samples, sound.samples);
    }
}

TEST_F(SoundDisk, RecordsExactlyTheSamplesOfTheInput) {
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const std::vector<std::int16_t> input = marked_samples(static_cast<std::size_t>(channels) * 8000);
        write_raw16(in_, input);
        Recording rec;
        std::vector<SoundProgress> polls;
        const Status s = record_sound({16000, channels, 0.5, 0}, rec, [&](const SoundProgress& p) {
            polls.push_back(p);
            return true;
        });
        ASSERT_TRUE(s) << s.message;
        EXPECT_EQ(rec.rate_hz, 16000);
        EXPECT_EQ(rec.sound.channels, channels);
        EXPECT_EQ(rec.sound.samples, input);
        EXPECT_FALSE(rec.stopped);
        EXPECT_FALSE(rec.cut);
        if (channels == 2) {
            const std::vector<Complex> values = to_complex(rec.sound);
            EXPECT_EQ(values[1], Complex(input[2], input[3]));
        }
        for (std::size_t i = 1; i < polls.size(); ++i) EXPECT_GE(polls[i].seconds_done, polls[i - 1].seconds_done);
    }
}

TEST_F(SoundDisk, LevelMeterShowsThePeakOfTheInput) {
    std::vector<std::int16_t> input(16000, 0);   // 2 s: many polls while it arrives
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<std::int16_t>(i % 4 == 1 ? 16384 : i % 4 == 3 ? -8000 : 0);
    write_raw16(in_, input);
    Recording rec;
    std::vector<double> levels;
    const Status s = record_sound({8000, 1, 2, 0}, rec, [&](const SoundProgress& p) {
        if (p.seconds_done > 0) levels.push_back(p.peak_db);
        return true;
    });
    ASSERT_TRUE(s) << s.message;
    EXPECT_EQ(rec.sound.samples, input);
    ASSERT_FALSE(levels.empty());
    for (const double level : levels) EXPECT_NEAR(level, -6.0206, 1e-3);
}

TEST_F(SoundDisk, RecordingIsCutAtTheMaximumNumberOfPoints) {
    const std::vector<std::int16_t> input = marked_samples(2 * 4000);
    write_raw16(in_, input);
    Recording rec;
    const Status s = record_sound({8000, 2, 1.0, 1500}, rec);
    ASSERT_TRUE(s) << s.message;
    EXPECT_TRUE(rec.cut);
    EXPECT_FALSE(rec.stopped);
    EXPECT_EQ(rec.sound.samples, std::vector<std::int16_t>(input.begin(), input.begin() + 3000));
}

TEST_F(SoundDisk, PollStopsPlaybackAndRecordingKeepingWhatWasDone) {
    const Pcm16 sound{marked_samples(48000 * 20), 1};   // 20 s, far longer than the poll lets it run
    const PlaybackResult played = play_sound(sound, 48000, [](const SoundProgress& p) { return p.seconds_done == 0; });
    ASSERT_TRUE(played.status) << played.status.message;
    EXPECT_TRUE(played.stopped);
    EXPECT_GT(played.seconds_played, 0);
    EXPECT_LT(played.seconds_played, 20);
    const std::vector<std::int16_t> file = read_raw16(out_);
    const Played p = played_stretch(file, sound.samples.size());
    std::size_t length = 0;
    while (length < p.samples.size() && p.samples[length] != 0) ++length;
    EXPECT_GE(length, static_cast<std::size_t>(played.seconds_played * 48000));
    EXPECT_LT(length, sound.samples.size());
    EXPECT_TRUE(std::equal(p.samples.begin(), p.samples.begin() + static_cast<std::ptrdiff_t>(length), sound.samples.begin()));

    write_raw16(in_, sound.samples);
    Recording rec;
    const Status s = record_sound({48000, 1, 20, 0}, rec, [](const SoundProgress& progress) { return progress.seconds_done == 0; });
    ASSERT_TRUE(s) << s.message;
    EXPECT_TRUE(rec.stopped);
    EXPECT_FALSE(rec.sound.samples.empty());
    ASSERT_LT(rec.sound.samples.size(), sound.samples.size());
    EXPECT_TRUE(std::equal(rec.sound.samples.begin(), rec.sound.samples.end(), sound.samples.begin()));
}

// The stop request stays set for the process, so each run is a child of its own.
TEST_F(SoundDisk, StopRequestStopsPlaybackAndRecording) {
    const Pcm16 sound{marked_samples(48000 * 20), 1};
    write_raw16(in_, sound.samples);
    EXPECT_EXIT(
        {
            request_stop(SIGINT);
            const PlaybackResult r = play_sound(sound, 48000);
            std::_Exit(r.status && r.stopped && r.seconds_played < 20 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            request_stop(SIGTERM);
            Recording rec;
            const Status s = record_sound({48000, 1, 20, 0}, rec);
            std::_Exit(s && rec.stopped && rec.sound.samples.size() < sound.samples.size() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(SoundDisk, RefusedRequestsOpenNoDevice) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const Pcm16 sound{marked_samples(100), 1};
    for (const double rate : {0.0, 0.5, 384001.0, kNaN}) {
        SCOPED_TRACE(rate);
        const PlaybackResult r = play_sound(sound, rate);
        EXPECT_FALSE(r.status);
        EXPECT_EQ(r.status.message, kBadSoundRate);
        Recording rec;
        EXPECT_EQ(record_sound({rate, 1, 1, 0}, rec).message, kBadSoundRate);
    }
    Recording rec;
    EXPECT_EQ(record_sound({8000, 3, 1, 0}, rec).message, kBadSoundChannels);
    EXPECT_EQ(record_sound({8000, 1, 0, 0}, rec).message, kBadRecordLength);
    EXPECT_EQ(record_sound({8000, 1, -1, 0}, rec).message, kBadRecordLength);
    EXPECT_EQ(play_sound(Pcm16{{1, 2, 3}, 0}, 8000).status.message, kBadSoundChannels);

    env_.set("ZEPH_AUDIO", "None");
    EXPECT_EQ(play_sound(sound, 8000).status.message, kSoundOff);
    EXPECT_EQ(record_sound({8000, 1, 1, 0}, rec).message, kSoundOff);
    EXPECT_FALSE(std::filesystem::exists(out_));   // no device was opened for any of these
}

TEST_F(SoundDisk, NoDeviceGivesTheReasonAndNoCrash) {
    const Pcm16 sound{marked_samples(100), 1};
    env_.set("SDL_AUDIODRIVER", "nonexistent");
    const PlaybackResult r = play_sound(sound, 8000);
    EXPECT_FALSE(r.status);
    EXPECT_EQ(r.status.message.rfind(kNoSoundOutput, 0), 0u) << r.status.message;
    EXPECT_GT(r.status.message.size(), kNoSoundOutput.size() + 3) << "no reason: " << r.status.message;
    Recording rec;
    const Status s = record_sound({8000, 1, 1, 0}, rec);
    EXPECT_EQ(s.message.rfind(kNoSoundInput, 0), 0u) << s.message;

    // The disk driver without its input file: the device does not open.
    env_.set("SDL_AUDIODRIVER", "disk");
    env_.set("SDL_DISKAUDIOFILEIN", dir_.file("missing/in.raw"));
    const Status missing = record_sound({8000, 1, 1, 0}, rec);
    EXPECT_EQ(missing.message.rfind(kNoSoundInput, 0), 0u) << missing.message;
    EXPECT_GT(missing.message.size(), kNoSoundInput.size() + 3) << missing.message;
    EXPECT_TRUE(rec.sound.samples.empty());
}

void SDLCALL count_log(void* count, int, SDL_LogPriority, const char*) { ++*static_cast<int*>(count); }

// SDL's disk driver logs a warning on every open; neither that nor anything
// else reaches standard error or the log function the program had set.
TEST_F(SoundDisk, NothingReachesTheConsoleOrTheProgramsLog) {
    int logged = 0;
    SDL_LogSetOutputFunction(&count_log, &logged);
    const std::string errors = dir_.file("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_NE(std::freopen(errors.c_str(), "w", stderr), nullptr);

    const Pcm16 sound{marked_samples(800), 1};
    const bool played = play_sound(sound, 8000).status.ok;
    write_raw16(in_, sound.samples);
    Recording rec;
    const bool recorded = record_sound({8000, 1, 0.1, 0}, rec).ok;
    env_.set("SDL_AUDIODRIVER", "nonexistent");
    const bool failed = !play_sound(sound, 8000).status.ok;
    // ALSA's library writes its complaints about an unknown device on standard error.
    env_.set("SDL_AUDIODRIVER", "alsa");
    env_.set("AUDIODEV", "zeph_no_such_device");
    const Status alsa = record_sound({8000, 1, 0.1, 0}, rec);

    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    SDL_LogOutputFunction now = nullptr;
    void* data = nullptr;
    SDL_LogGetOutputFunction(&now, &data);
    SDL_LogSetOutputFunction(nullptr, nullptr);
    EXPECT_TRUE(played && recorded && failed);
    EXPECT_EQ(alsa.message.rfind(kNoSoundInput, 0), 0u) << alsa.message;
    EXPECT_NE(alsa.message.find("ALSA"), std::string::npos) << alsa.message;
    EXPECT_EQ(std::filesystem::file_size(errors), 0u);
    EXPECT_EQ(logged, 0);
    EXPECT_EQ(now, &count_log);   // the program's log function is put back
    EXPECT_EQ(data, &logged);
}

}  // namespace
}  // namespace zeph::test
