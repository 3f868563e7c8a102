#include "shell/file_output_dialogue.hpp"
#include "shell/messages.hpp"

#include <algorithm>
#include <span>
#include <string>

#include "base/text.hpp"
#include "fileio/output_file.hpp"
#include "fileio/audio_file.hpp"
#include "fileio/wav.hpp"

namespace zeph {

namespace {
constexpr std::string_view kStereoDefault = "ST";
constexpr std::string_view kR8Default = "R8";
constexpr std::size_t kAnswerLength = 2;

// "\" separates directories as "/" does.
std::string host_path(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}


// A failure, or a notice of a write that succeeded (values clipped).
void report(Workspace& workspace, const Status& status) {
    if (!status.message.empty()) workspace.message_line = status.message;
}

void note_values_written(Session& session, std::size_t count) {
    note_written(session.console, session.help, trim_right(session.workspace.files.output_file_name),
                 std::to_string(count) + (count == 1 ? " value" : " values"));
}

// Signal A as it stands: an audio file holds the waveform, not the derived values.
void write_signal_a_as_wav(Session& session, const std::string& path) {
    Workspace& workspace = session.workspace;
    FileAnswers& files = workspace.files;
    // Storage of an absent signal holds stale or no samples; writing them would be a silent wrong file.
    const SignalSlot& waveform = workspace.slot(Domain::time);
    if (!waveform.present) {
        workspace.message_line = kSignalAMissing;
        return;
    }
    if (!session.ask_text(kWavChannelsPrompt, kStereoDefault, files.wav_channels)) return;
    files.wav_channels = files.wav_channels.substr(0, kAnswerLength);
    const std::size_t n = static_cast<std::size_t>(std::clamp(workspace.count(Domain::time), 0, workspace.max_points));
    const std::span<const Complex> samples(workspace.signal_a(), n);
    const Status written =
        write_audio_signal(samples, path, wav_channels_from_reply(files.wav_channels), waveform.dx);
    report(workspace, written);
    if (written) note_values_written(session, n);
}

void write_display_values(Session& session, const std::string& path) {
    Workspace& workspace = session.workspace;
    FileAnswers& files = workspace.files;
    std::string answer = files.output_format;
    if (!session.ask_text(kOutputFormatPrompt, kR8Default, answer)) return;
    files.output_format = output_format_code(answer);
    const DisplayState& display = workspace.display;
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(display.display_count, 0)),
                                   workspace.work_y.size());
    const std::span<const double> values(workspace.work_y.data(), n);
    const Status written = write_output_file(values, files.output_format, path, display.xmin, display.dx);
    report(workspace, written);
    if (written) note_values_written(session, n);
}
}  // namespace

void file_output_dialogue(Session& session) {
    FileAnswers& files = session.workspace.files;
    if (!session.ask_text(kOutputNamePrompt, "", files.output_file_name)) return;
    const std::string path = host_path(files.output_file_name);
    if (is_audio_output_name(files.output_file_name)) write_signal_a_as_wav(session, path);
    else write_display_values(session, path);
}

}  // namespace zeph
