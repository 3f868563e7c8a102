#include "audio/pcm16.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "audio/sound.hpp"

namespace zeph::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Pcm16, RoundsClipsAndSilencesWhatIsNotFinite) {
    const std::vector<double> values{0, 1.4, 1.5, -1.5, -2.5, 32767, 32767.4, 32767.5, 40000,
                                     -32768, -32768.4, -32768.5, -1e300, kNaN, kInf, -kInf, 12345.6};
    const Pcm16 sound = to_pcm16(values);
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.samples, (std::vector<std::int16_t>{0, 1, 2, -2, -3, 32767, 32767, 32767, 32767,
                                                         -32768, -32768, -32768, -32768, 0, 0, 0, 12346}));
    EXPECT_EQ(sound.clipped, 4u);      // 32767.5, 40000, -32768.5, -1e300
    EXPECT_EQ(sound.not_finite, 3u);   // NaN, Inf, -Inf
    EXPECT_EQ(sound.frames(), values.size());
}

TEST(Pcm16, ComplexValuesAreLeftRealRightImaginary) {
    const std::vector<Complex> values{{1, -1}, {kNaN, 40000}, {-7.6, 3}};
    const Pcm16 stereo = to_pcm16(values, 2);
    EXPECT_EQ(stereo.channels, 2);
    EXPECT_EQ(stereo.samples, (std::vector<std::int16_t>{1, -1, 0, 32767, -8, 3}));
    EXPECT_EQ(stereo.frames(), 3u);
    EXPECT_EQ(stereo.clipped, 1u);
    EXPECT_EQ(stereo.not_finite, 1u);
    const Pcm16 mono = to_pcm16(values, 1);   // the real parts only; the imaginary ones are not counted
    EXPECT_EQ(mono.samples, (std::vector<std::int16_t>{1, 0, -8}));
    EXPECT_EQ(mono.clipped, 0u);
    EXPECT_EQ(mono.not_finite, 1u);

    EXPECT_EQ(to_complex(stereo), (std::vector<Complex>{{1, -1}, {0, 32767}, {-8, 3}}));
    EXPECT_EQ(to_complex(mono), (std::vector<Complex>{{1, 0}, {0, 0}, {-8, 0}}));
    Pcm16 ragged{{5, 6, 7}, 2};   // a half frame at the end is not a frame
    EXPECT_EQ(to_complex(ragged), (std::vector<Complex>{{5, 6}}));
}

TEST(Pcm16, PeakLevelBelowFullScale) {
    const std::vector<std::int16_t> full{3, -32768, 100};
    EXPECT_DOUBLE_EQ(peak_level_db(full), 0.0);
    const std::vector<std::int16_t> half{16384, -3};
    EXPECT_NEAR(peak_level_db(half), -6.0206, 1e-4);
    const std::vector<std::int16_t> one{0, -1, 0};
    EXPECT_NEAR(peak_level_db(one), -90.309, 1e-3);
    const std::vector<std::int16_t> zeros(10, 0);
    EXPECT_EQ(peak_level_db(zeros), kSilentLevelDb);
    EXPECT_EQ(peak_level_db({}), kSilentLevelDb);
}

TEST(Pcm16, NoticesAndRates) {
    EXPECT_EQ(playing_notice(2.78, 22050), "Playing 2.78 s at 22050 Hz. Esc stops.");
    EXPECT_EQ(recording_notice(5, 44100), "Recording 5.00 s at 44100 Hz. Esc stops.");
    EXPECT_EQ(sound_rate(1), 1);
    EXPECT_EQ(sound_rate(22050.4), 22050);
    EXPECT_EQ(sound_rate(384000), 384000);
    for (const double refused : {0.0, 0.99, -44100.0, 384000.01, 1e12, kNaN, kInf})
        EXPECT_EQ(sound_rate(refused), 0) << refused;
}

}  // namespace
}  // namespace zeph::test
