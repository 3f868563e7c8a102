#include "shell/window_dialogue.hpp"

namespace zeph {

namespace {

constexpr std::string_view kSampleNumbersDefault = "SA";

std::string_view length_mode_text(WindowLengthMode mode) {
    return mode == WindowLengthMode::sample_numbers ? "SA" : "XV";
}

// The extra values of the Kaiser and root-raised-cosine shapes; true unless Esc.
bool ask_shape_values(Session& session, WindowSettings& settings, char type) {
    if (type == 'K') {
        std::array<double, 4> beta{settings.kaiser_beta, 0, 0, 0};
        if (!session.ask_numbers(kKaiserShapePrompt, kKaiserShapeDefault, beta, 1)) return false;
        settings.kaiser_beta = beta[0];
    } else if (type == 'O') {
        std::array<double, 4> pulse{settings.symbol_length, settings.rolloff, 0, 0};
        if (!ask_kept_values(session, kRootRaisedCosinePrompt, pulse, 2)) return false;
        settings.symbol_length = pulse[0];
        settings.rolloff = pulse[1];
    }
    return true;
}

}  // namespace

bool window_dialogue(Session& session, SignalRef& signal) {
    Workspace& workspace = session.workspace;
    WindowSettings& settings = session.operation_settings.window;

    const std::string kept_type(1, settings.type);
    PromptRequest type = kept_answer_question(session, kWindowTypePrompt, kept_type);
    if (!session.ask(type)) return false;
    settings.type = type.current.empty() ? ' ' : type.current[0];

    PromptRequest mode{.title = workspace.status_line, .prompt = kWindowLengthModePrompt,
                       .current = std::string(length_mode_text(settings.length_mode)),
                       .default_reply = kSampleNumbersDefault, .mode = 'C'};
    if (!session.ask(mode)) return false;
    const Result<WindowLengthMode> parsed = parse_window_length_mode(mode.current);
    if (!parsed) {
        workspace.message_line = parsed.message();
        return false;
    }
    const WindowLengthMode length_mode = parsed.value();
    settings.length_mode = length_mode;
    const bool in_samples = length_mode == WindowLengthMode::sample_numbers;

    // The kept reply text is the current values: every field is evaluated
    // again with the grid variables of this signal.
    std::string& range_reply = in_samples ? settings.sample_range_reply : settings.abscissa_range_reply;
    PromptRequest range{.title = workspace.status_line,
                        .prompt = in_samples ? kWindowSampleRangePrompt : kWindowAbscissaRangePrompt,
                        .current = range_reply, .mode = 'C', .value_count = 3};
    if (!session.ask(range)) return false;
    range_reply = range.current;

    if (!ask_shape_values(session, settings, first_letter(type.current))) return false;

    WindowParameters window{.type = settings.type, .min = range.values[0], .max = range.values[1],
                            .flat = range.values[2], .kaiser_beta = settings.kaiser_beta,
                            .rrc_symbol_length = settings.symbol_length, .rrc_rolloff = settings.rolloff};
    if (in_samples) window = window_in_abscissa_units(window, signal.xmin, signal.dx);
    if (Status status = apply_window(signal.samples(), signal.xmin, signal.dx, window); !status) {
        workspace.message_line = status.message;
        return false;
    }
    return true;
}

}  // namespace zeph
