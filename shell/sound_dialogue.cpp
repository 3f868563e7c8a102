#include "shell/sound_dialogue.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "audio/pcm16.hpp"
#include "audio/sound.hpp"
#include "base/utf8.hpp"
#include "input/prompt.hpp"
#include "shell/command_words.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/messages.hpp"

namespace zeph {

namespace {

// Joins a notice to what the message line already says.
void add_message(Workspace& workspace, const std::string& message) {
    if (message.empty()) return;
    std::string& line = workspace.message_line;
    const auto end = line.find_last_not_of(' ');
    line = end == std::string::npos ? message : line.substr(0, end + 1) + "; " + message;
}

// The counts of the conversion to 16 bits, as notices.
std::string conversion_notice(const Pcm16& sound) {
    std::string notice;
    if (sound.clipped > 0) notice = "Clipped " + std::to_string(sound.clipped) + " values beyond full scale";
    if (sound.not_finite > 0) {
        if (!notice.empty()) notice += "; ";
        notice += std::to_string(sound.not_finite) + " NaN or infinite played as silence";
    }
    return notice;
}

// Shows one progress line on the message row, drawn again only when it changed.
class ProgressLine {
public:
    explicit ProgressLine(TextConsole& console) : console_(console) {}
    void show(const std::string& text) {
        if (text == shown_) return;
        shown_ = text;
        console_.write(kTitleRow, 1, padded_characters(text, TextConsole::kColumns), kTitleAttribute);
        console_.present();
    }

private:
    TextConsole& console_;
    std::string shown_;
};

// Keys are read while sound runs only when someone can type them: headless
// and NOPAUSE replays run to the end.
bool reads_keys(Session& session) { return !session.nopause && !session.prompter.keys().line_mode(); }

// True unless Esc was typed.
bool no_escape(KeySource& keys) {
    for (int key = keys.poll_key(); key >= 0; key = keys.poll_key())
        if (key == kKeyEscape) return false;
    return true;
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

// "-12.3 dB ######    ": a bar of 20 cells over 60 dB.
std::string level_text(double peak_db) {
    char text[32];
    std::snprintf(text, sizeof text, "%6.1f dB ", peak_db);
    const int cells = static_cast<int>(std::clamp(std::round((peak_db + 60.0) / 3.0), 0.0, 20.0));
    return text + std::string(static_cast<std::size_t>(cells), '#');
}

}  // namespace

void play_display(Session& session) {
    Workspace& w = session.workspace;
    if (session.input.end_requested) return;
    if (w.current_domain() == Domain::frequency) {
        add_message(w, std::string(kSoundOfSpectrum));
        return;
    }
    if (w.options.DI) {
        add_message(w, std::string(kSoundOfDistribution));
        return;
    }
    const bool xy = is_xy(w.selection);
    const double dx = xy ? w.slot(Domain::time).dx : w.display.dx;
    const double rate_hz = 1.0 / dx;
    const int rate = sound_rate(rate_hz);
    if (rate == 0) {
        add_message(w, std::string(kBadSoundRate));
        return;
    }
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(w.display.display_count, 0)), w.work_y.size(),
                                    w.work_x.size()});
    Pcm16 sound;
    if (xy) {
        std::vector<Complex> values(n);
        for (std::size_t k = 0; k < n; ++k) values[k] = Complex(w.work_x[k], w.work_y[k]);
        sound = to_pcm16(values, 2);
    } else {
        sound = to_pcm16(std::span<const double>(w.work_y.data(), n));
    }

    const std::string notice = playing_notice(static_cast<double>(sound.frames()) / rate, rate);
    session.console.transcript(notice);
    ProgressLine progress(session.console);
    KeySource& keys = session.prompter.keys();
    const bool keyed = reads_keys(session);
    const PlaybackResult played = play_sound(sound, rate, [&](const SoundProgress& p) {
        progress.show(notice + "  " + seconds_text(p.seconds_done));
        return !keyed || no_escape(keys);
    });
    if (!played.status) {
        add_message(w, played.status.message);
        return;
    }
    progress.show(notice + "  " + seconds_text(played.seconds_played));   // the figure at the end
    add_message(w, conversion_notice(sound));
}

void record_dialogue(Session& session) {
    Workspace& w = session.workspace;
    RecordSettings& settings = session.operation_settings.record;
    std::array<double, 4> length{};
    if (!session.ask_values_text(kRecordLengthPrompt, "5, 48000", settings.length_reply, length, 2)) return;
    std::array<double, 4> channels{settings.channels, 0, 0, 0};
    if (!session.ask_numbers(kRecordChannelsPrompt, "1", channels, 1)) return;
    settings.channels = channels[0];
    const double seconds = length[0];
    if (!(seconds > 0) || !std::isfinite(seconds)) {
        w.message_line = kBadRecordLength;
        return;
    }
    const int rate = sound_rate(length[1]);
    if (rate == 0) {
        w.message_line = kBadSoundRate;
        return;
    }
    if (channels[0] != 1 && channels[0] != 2) {
        w.message_line = kBadSoundChannels;
        return;
    }
    // The cap keeps the recording within the storage; none would mean no cap.
    if (w.max_points < 1) {
        w.message_line = kNoRecordStorage;
        return;
    }
    const int channel_count = static_cast<int>(channels[0]);
    const RecordRequest request{.rate_hz = static_cast<double>(rate), .channels = channel_count,
                                .seconds = seconds, .max_frames = static_cast<std::size_t>(std::max(w.max_points, 0))};

    const std::string notice = recording_notice(seconds, rate);
    session.console.transcript(notice);
    ProgressLine progress(session.console);
    KeySource& keys = session.prompter.keys();
    const bool keyed = reads_keys(session);
    Recording recording;
    const Status recorded = record_sound(request, recording, [&](const SoundProgress& p) {
        progress.show(notice + "  " + seconds_text(p.seconds_done) + "  " + level_text(p.peak_db));
        return !keyed || no_escape(keys);
    });
    if (!recorded) {
        w.message_line = recorded.message;
        return;
    }
    const std::vector<Complex> samples = to_complex(recording.sound);
    if (samples.empty()) {
        w.message_line = kNothingRecorded;
        return;
    }
    const std::string name = "Rec " + std::to_string(rate) + " Hz";
    store_in_a(session, w.signal_mode, samples, 1.0 / rate, channel_count == 2 ? name + " L" : name,
               channel_count == 2 ? "R" : "");
    if (recording.cut) {
        // The time asked holds more frames than the storage: what AL would need.
        const double asked = std::min(std::ceil(seconds * rate), 9e15);
        w.message_line = limit_notice(samples.size(), static_cast<std::size_t>(asked));
    }
}

}  // namespace zeph
