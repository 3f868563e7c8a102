#include "shell/resample_dialogue.hpp"

#include "dsp/resample.hpp"

namespace zeph {

namespace {

Grid grid_of(const Workspace& workspace, Domain domain) {
    const SignalSlot& slot = workspace.slot(domain);
    return Grid{workspace.count(domain), slot.xmin, slot.dx};
}

// The current signal with both grids of the workspace.
ResampleTarget target_of(const Workspace& workspace, const SignalRef& signal) {
    return ResampleTarget{
        .current = signal,
        .waveform = grid_of(workspace, Domain::time),
        .spectrum = grid_of(workspace, Domain::frequency),
        .linked = workspace.signal_mode == SignalMode::linked,
    };
}

// Hands the new grid back: the signal's own grid to the caller, the other
// domain's Xmin and dX (which only linked mode changes) to the workspace.
bool finish(Workspace& workspace, SignalRef& signal, const ResampleTarget& target, const Status& status) {
    if (!status) {
        workspace.message_line = status.message;
        return false;
    }
    signal.npts = target.current.npts;
    signal.xmin = target.current.xmin;
    signal.dx = target.current.dx;
    const Domain other = other_domain(signal.domain);
    const Grid& other_grid = other == Domain::time ? target.waveform : target.spectrum;
    workspace.slot(other).xmin = other_grid.xmin;
    workspace.slot(other).dx = other_grid.dx;
    return true;
}

// Asks a one-letter choice until its first letter is one of `letters`;
// false on Esc.
bool ask_choice(Session& session, std::string_view prompt, std::string_view kept, std::string_view letters,
                std::string_view refusal, char& choice) {
    for (;;) {
        PromptRequest request = kept_answer_question(session, prompt, kept);
        if (!session.ask(request)) return false;
        const char letter = first_letter(request.current);
        if (letter != ' ' && letters.find(letter) != std::string_view::npos) {
            choice = letter;
            return true;
        }
        session.workspace.message_line = refusal;
    }
}

}  // namespace

bool sample_rate_dialogue(Session& session, SignalRef& signal) {
    SampleRateSettings& settings = session.operation_settings.sample_rate;
    const std::string_view kept = settings.direction == 'D' ? kDecreaseAnswer : kIncreaseAnswer;
    if (!ask_choice(session, kSampleRateDirectionPrompt, kept, "ID", kSampleRateDirectionError, settings.direction))
        return false;

    ResampleTarget target = target_of(session.workspace, signal);
    Status status;
    if (settings.direction == 'D') {
        std::array<double, 4> values{static_cast<double>(settings.first_point), static_cast<double>(settings.ratio)};
        if (!ask_kept_values(session, kDecimationPrompt, values, 2)) return false;
        settings.first_point = nearest_int(values[0]);
        settings.ratio = nearest_int(values[1]);
        status = decimate(target, settings.first_point, settings.ratio);
    } else {
        std::array<double, 4> values{static_cast<double>(settings.ratio)};
        if (!ask_kept_values(session, kInterpolationPrompt, values, 1)) return false;
        settings.ratio = nearest_int(values[0]);
        status = interpolate(target, settings.ratio, tables_for_transform(session.workspace, 0));
    }
    return finish(session.workspace, signal, target, status);
}

bool point_count_dialogue(Session& session, SignalRef& signal) {
    PointCountSettings& settings = session.operation_settings.point_count;
    if (!ask_choice(session, kPointCountChoicePrompt, std::string_view(&settings.choice, 1), "AB",
                    kPointCountChoiceError, settings.choice))
        return false;

    ResampleTarget target = target_of(session.workspace, signal);
    Status status;
    if (settings.choice == 'A') {
        std::array<double, 4> values{1.0, static_cast<double>(signal.npts)};
        if (!ask_kept_values(session, kKeptPointsPrompt, values, 2)) return false;
        status = change_point_count(target, nearest_int(values[0]), nearest_int(values[1]));
    } else {
        std::array<double, 4> values{signal.xmin, signal.dx};
        if (!ask_kept_values(session, signal.spectrum() ? kSpectrumGridPrompt : kWaveformGridPrompt, values, 2))
            return false;
        status = change_abscissa(target, values[0], values[1]);
    }
    return finish(session.workspace, signal, target, status);
}

}  // namespace zeph
