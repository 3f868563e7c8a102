#pragma once
// Playback and recording through SDL's audio (PipeWire, PulseAudio, ALSA; the
// "disk" driver in tests). Each call initialises SDL's audio subsystem and
// quits it before returning; SDL's log and whatever a sound library writes on
// standard error while the call runs are kept off the console. ZEPH_AUDIO=none
// turns sound off. Errors come back as a Status with one message line.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "audio/pcm16.hpp"
#include "base/status.hpp"

namespace zeph {

inline constexpr double kMinSoundRate = 1.0;        // Hz
inline constexpr double kMaxSoundRate = 384000.0;   // Hz

inline constexpr std::string_view kSoundOff = "Sound is off (ZEPH_AUDIO=none).";
inline constexpr std::string_view kBadSoundRate = "Error. Sampling rate for sound must be 1 Hz to 384 kHz.";
inline constexpr std::string_view kBadSoundChannels = "Error. Sound has 1 or 2 channels.";
inline constexpr std::string_view kBadRecordLength = "Error. Recording time must be positive.";
// Followed by SDL's reason.
inline constexpr std::string_view kNoSoundOutput = "No sound output: ";
inline constexpr std::string_view kNoSoundInput = "No sound input: ";
inline constexpr std::string_view kSoundStalled = "Sound device stopped moving: ";

// True when ZEPH_AUDIO is "none" (any case).
bool sound_switched_off();

// The rate SDL is given: rate_hz rounded to the nearest integer; 0 when it
// lies outside kMinSoundRate ... kMaxSoundRate or is not finite.
int sound_rate(double rate_hz);

// What a running playback or recording reports to its caller's poll.
struct SoundProgress {
    double seconds_done = 0;    // played or recorded so far
    double seconds_total = 0;   // the whole sound, or the recording time asked (after the cap)
    double peak_db = kSilentLevelDb;   // recording: level of the samples since the last poll (pcm16.hpp)
};
// Called about every 20 ms (at least ten times a second) while sound runs, on
// the caller's thread; the caller reads its keys there. Returning false stops
// (Esc). An empty poll never stops: headless runs play to the end. The stop
// request of base/stop_request.hpp stops as well.
using SoundPoll = std::function<bool(const SoundProgress&)>;

struct PlaybackResult {
    Status status;               // failure: no device, refused rate, stalled device
    bool stopped = false;        // ended early by the poll or the stop request
    double seconds_played = 0;   // of the sound's frames handed to the device
};

// Plays the frames of `sound` at rate_hz (1 Hz ... 384 kHz, rounded to an
// integer) as signed 16-bit samples; SDL converts to what the device takes.
// Returns once the last frame has gone to the device, or when stopped.
// No frames: nothing is played and the result is a success.
PlaybackResult play_sound(const Pcm16& sound, double rate_hz, const SoundPoll& poll = {});

struct RecordRequest {
    double rate_hz = 44100;      // 1 Hz ... 384 kHz, rounded to an integer
    int channels = 1;            // 1, or 2 (left, right)
    double seconds = 1;          // recording time, > 0
    std::size_t max_frames = 0;  // cap (the maximum number of sample points); 0: no cap
};

struct Recording {
    Pcm16 sound;                 // what was recorded, also when stopped early
    int rate_hz = 0;             // the rate used
    bool stopped = false;        // ended early by the poll or the stop request
    bool cut = false;            // the time asked holds more frames than max_frames
};

// Records from the default capture device until the time asked is recorded,
// the cap is reached or the poll or the stop request stops it. On failure the
// recording keeps what was recorded before it.
Status record_sound(const RecordRequest& request, Recording& recording, const SoundPoll& poll = {});

}  // namespace zeph
