#include "audio/sound.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/stop_request.hpp"
#include "base/text.hpp"

namespace zeph {

namespace {

constexpr std::size_t kMinAheadFrames = 4096;
constexpr int kPollMs = 20;                  // between looks at the queue, the poll and the stop request
constexpr double kStallSeconds = 10.0;       // a device that takes or gives nothing this long has stopped
constexpr std::size_t kMaxStderrText = 4096; // what is kept of a sound library's complaint

using Clock = std::chrono::steady_clock;

void SDLCALL swallow_log(void*, int, SDL_LogPriority, const char*) {}

// While it lives, SDL's log goes nowhere and standard error (the descriptor,
// which sound libraries write to directly) goes to a temporary file whose
// text is kept as a reason when SDL gives none.
class QuietConsole {
public:
    QuietConsole() {
        SDL_LogGetOutputFunction(&saved_log_, &saved_log_data_);
        SDL_LogSetOutputFunction(&swallow_log, nullptr);
        capture_ = std::tmpfile();
        const int target = capture_ ? ::fileno(capture_) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (target < 0) return;
        std::fflush(stderr);
        saved_stderr_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (saved_stderr_ >= 0 && ::dup2(target, STDERR_FILENO) < 0) {
            ::close(saved_stderr_);
            saved_stderr_ = -1;
        }
        if (!capture_) ::close(target);
    }
    ~QuietConsole() {
        restore_stderr();
        if (capture_) std::fclose(capture_);
        SDL_LogSetOutputFunction(saved_log_, saved_log_data_);
    }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

    // The first non-blank line written on standard error so far.
    std::string first_line() const {
        if (!capture_) return {};
        std::fflush(capture_);
        std::string text(kMaxStderrText, '\0');
        const ssize_t n = ::pread(::fileno(capture_), text.data(), text.size(), 0);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::replace_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
            line = trim_right(line);
            if (const std::size_t first = line.find_first_not_of(' '); first != std::string::npos) return line.substr(first);
        }
        return {};
    }

private:
    void restore_stderr() {
        if (saved_stderr_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_stderr_, STDERR_FILENO);
        ::close(saved_stderr_);
        saved_stderr_ = -1;
    }

    SDL_LogOutputFunction saved_log_ = nullptr;
    void* saved_log_data_ = nullptr;
    std::FILE* capture_ = nullptr;
    int saved_stderr_ = -1;
};

// SDL's audio subsystem for one call: initialised here, quit when it goes.
class AudioSubsystem {
public:
    AudioSubsystem() {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");   // the program keeps its own Ctrl+C
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "zeph");   // as the sound server lists it
        SDL_ClearError();
        ok_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    ~AudioSubsystem() {
        if (ok_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    AudioSubsystem(const AudioSubsystem&) = delete;
    AudioSubsystem& operator=(const AudioSubsystem&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

class Device {
public:
    Device(bool capture, int rate, int channels) {
        SDL_AudioSpec want{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels);
        want.samples = buffer_frames(rate);
        want.callback = nullptr;   // queued: SDL_QueueAudio / SDL_DequeueAudio
        // No changes allowed: SDL converts to whatever the device takes.
        id_ = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have_, 0);
    }
    ~Device() {
        if (id_ != 0) SDL_CloseAudioDevice(id_);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    SDL_AudioDeviceID id() const { return id_; }
    const SDL_AudioSpec& obtained_format() const { return have_; }

private:
    // At least 50 ms of frames (a power of two from 1 to 16384): a device
    // thread held up by a busy machine then rarely lets the sound run dry.
    static Uint16 buffer_frames(int rate) {
        int frames = 1;
        while (frames < rate / 20 && frames < 16384) frames *= 2;
        return static_cast<Uint16>(frames);
    }

    SDL_AudioDeviceID id_ = 0;
    SDL_AudioSpec have_{};
};

// SDL's reason, else what a library wrote on standard error, else a plain word.
std::string reason(const QuietConsole& quiet) {
    std::string text = SDL_GetError();
    if (text.empty()) text = quiet.first_line();
    if (text.empty()) text = "no reason given";
    return text;
}

bool asked_to_stop(const SoundPoll& poll, const SoundProgress& progress) {
    if (stop_requested()) return true;
    return poll && !poll(progress);
}

// Request checks shared by playback and recording.
Status check_sound(double rate_hz, int channels, int& rate) {
    if (sound_switched_off()) return Status::failure(std::string(kSoundOff));
    rate = sound_rate(rate_hz);
    if (rate == 0) return Status::failure(std::string(kBadSoundRate));
    if (channels != 1 && channels != 2) return Status::failure(std::string(kBadSoundChannels));
    return Status::success();
}

}  // namespace

bool sound_switched_off() {
    const char* setting = std::getenv("ZEPH_AUDIO");
    return setting && ::strcasecmp(setting, "none") == 0;
}

int sound_rate(double rate_hz) {
    if (!std::isfinite(rate_hz) || rate_hz < kMinSoundRate || rate_hz > kMaxSoundRate) return 0;
    return static_cast<int>(std::lround(rate_hz));
}

PlaybackResult play_sound(const Pcm16& sound, double rate_hz, const SoundPoll& poll) {
    PlaybackResult result;
    int rate = 0;
    result.status = check_sound(rate_hz, sound.channels, rate);
    if (!result.status) return result;
    const std::size_t frames = sound.frames();
    if (frames == 0) return result;

    const QuietConsole quiet;
    const AudioSubsystem audio;
    if (!audio.ok()) {
        result.status = Status::failure(std::string(kNoSoundOutput) + reason(quiet));
        return result;
    }
    const Device device(false, rate, sound.channels);
    if (device.id() == 0) {
        result.status = Status::failure(std::string(kNoSoundOutput) + reason(quiet));
        return result;
    }
    const std::size_t channels = static_cast<std::size_t>(sound.channels);
    const std::size_t frame_bytes = 2 * channels;
    const std::size_t buffer = std::max<std::size_t>(1, device.obtained_format().samples);
    // The queue is kept about half a second ahead of the device (SDL copies
    // what is queued), and never less than kMinAheadFrames: at low rates a
    // device that takes buffers faster than real time (SDL's disk driver with
    // a short delay) would otherwise run dry between two looks and play
    // silence in the middle of the sound. Two device buffers of silence follow
    // the sound:
    // once the queue is empty, the sound's last frames have left the device's
    // buffer too (closing a device may drop what its buffer still holds).
    const std::size_t ahead = std::max({static_cast<std::size_t>(rate) / 2, 4 * buffer, kMinAheadFrames});
    const std::vector<std::int16_t> silence(2 * buffer * channels, 0);
    std::size_t next = 0;             // the first frame of the sound not yet queued
    std::size_t tail = 0;             // frames of silence queued after it
    std::size_t taken_before = 0;

    SoundProgress progress;
    progress.seconds_total = static_cast<double>(frames) / rate;
    auto moved = Clock::now();
    bool started = false;
    for (;;) {
        std::size_t queued = SDL_GetQueuedAudioSize(device.id()) / frame_bytes;
        while (queued < ahead && tail == 0) {
            const bool sound_left = next < frames;
            const std::size_t count = sound_left ? std::min(frames - next, ahead - queued) : silence.size() / channels;
            const std::int16_t* data = sound_left ? sound.samples.data() + next * channels : silence.data();
            if (SDL_QueueAudio(device.id(), data, static_cast<Uint32>(count * frame_bytes)) != 0) {
                result.status = Status::failure(std::string(kNoSoundOutput) + reason(quiet));
                return result;
            }
            (sound_left ? next : tail) += count;
            queued += count;
        }
        if (!started) {
            SDL_PauseAudioDevice(device.id(), 0);
            started = true;
        }
        const std::size_t taken = next + tail - std::min(queued, next + tail);
        progress.seconds_done = static_cast<double>(std::min(taken, frames)) / rate;
        result.seconds_played = progress.seconds_done;
        if (tail > 0 && queued == 0) break;
        if (taken != taken_before) {
            taken_before = taken;
            moved = Clock::now();
        } else if (std::chrono::duration<double>(Clock::now() - moved).count() > kStallSeconds) {
            result.status = Status::failure(std::string(kSoundStalled) + "output");
            break;
        }
        if (asked_to_stop(poll, progress)) {
            result.stopped = true;
            break;
        }
        SDL_Delay(kPollMs);
    }
    SDL_PauseAudioDevice(device.id(), 1);
    SDL_ClearQueuedAudio(device.id());
    return result;
}

Status record_sound(const RecordRequest& request, Recording& recording, const SoundPoll& poll) {
    recording = Recording{};
    int rate = 0;
    if (Status checked = check_sound(request.rate_hz, request.channels, rate); !checked) return checked;
    const double wanted = request.seconds * rate;
    if (!std::isfinite(wanted) || wanted < 0.5) return Status::failure(std::string(kBadRecordLength));
    std::size_t target = wanted >= 1e18 ? static_cast<std::size_t>(1e18) : static_cast<std::size_t>(std::llround(wanted));
    if (request.max_frames > 0 && target > request.max_frames) {
        target = request.max_frames;
        recording.cut = true;
    }
    recording.rate_hz = rate;
    recording.sound.channels = request.channels;

    const QuietConsole quiet;
    const AudioSubsystem audio;
    if (!audio.ok()) return Status::failure(std::string(kNoSoundInput) + reason(quiet));
    const Device device(true, rate, request.channels);
    if (device.id() == 0) return Status::failure(std::string(kNoSoundInput) + reason(quiet));

    const std::size_t channels = static_cast<std::size_t>(request.channels);
    const std::size_t frame_bytes = 2 * channels;
    std::vector<std::int16_t>& samples = recording.sound.samples;
    std::vector<std::int16_t> block(8192 * channels);
    // Takes what the device has queued, up to the target; the number of samples taken.
    const auto take = [&]() {
        std::size_t got = 0;
        while (samples.size() < target * channels) {
            const std::size_t room = std::min(block.size(), target * channels - samples.size());
            const Uint32 bytes = SDL_DequeueAudio(device.id(), block.data(), static_cast<Uint32>(room * 2));
            const std::size_t whole = bytes / frame_bytes * channels;   // the queue holds whole frames
            if (whole == 0) break;
            samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(whole));
            got += whole;
        }
        return got;
    };

    SoundProgress progress;
    progress.seconds_total = static_cast<double>(target) / rate;
    auto moved = Clock::now();
    Status status;
    SDL_PauseAudioDevice(device.id(), 0);
    for (;;) {
        const std::size_t before = samples.size();
        const std::size_t got = take();
        if (got > 0) {
            progress.peak_db = peak_level_db(std::span(samples).subspan(before, got));
            moved = Clock::now();
        } else if (std::chrono::duration<double>(Clock::now() - moved).count() > kStallSeconds) {
            status = Status::failure(std::string(kSoundStalled) + "input");
            break;
        }
        progress.seconds_done = static_cast<double>(samples.size() / channels) / rate;
        if (samples.size() >= target * channels) break;
        if (asked_to_stop(poll, progress)) {
            recording.stopped = true;
            SDL_PauseAudioDevice(device.id(), 1);
            take();   // what the device had already recorded is kept
            break;
        }
        if (got == 0) SDL_Delay(kPollMs);
    }
    SDL_PauseAudioDevice(device.id(), 1);
    return status;
}

}  // namespace zeph
