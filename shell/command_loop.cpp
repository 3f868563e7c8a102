#include "shell/command_loop.hpp"
#include "shell/messages.hpp"

#include <span>

#include "base/stop_request.hpp"
#include "dsp/fft.hpp"
#include "shell/command_words.hpp"
#include "shell/constants_dialogue.hpp"
#include "shell/display.hpp"
#include "shell/equations_dialogue.hpp"
#include "shell/operations.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/system_commands.hpp"

namespace zeph {

namespace {

void redraw_help(Session& session) {
    draw_help_screen(session.console, session.workspace, session.help);
}

bool is_spectrum(const Workspace& workspace) { return workspace.selection.function_code == "SP"; }

// Defines the grid variables that every numeric reply may use.
void define_grid_variables(Session& session) {
    Workspace& workspace = session.workspace;
    SignalView grid = current_signal(workspace);
    const double xmax = grid.xmin + grid.npts * grid.dx;
    if (workspace.selection.parameter_code == "XY") grid.dx = 0.0;
    session.define_variable("DT", workspace.DT);
    session.define_variable("DF", workspace.DF);
    session.define_variable("DX", grid.dx);
    session.define_variable("XMIN", grid.xmin);
    session.define_variable("XMAX", xmax);
    session.define_variable("TMIN", workspace.Tmin);
    session.define_variable("FMIN", workspace.Fmin);
    std::string ignored;
    session.interpreter.define_integer("NPTS", grid.npts, ignored);
}

// In linked mode, makes the missing domain of the current function from the
// other one. Returns false with the message set when it cannot.
bool create_missing_domain(Workspace& workspace) {
    if (workspace.signal_mode != SignalMode::linked) return true;
    const bool spectrum = is_spectrum(workspace);
    if (spectrum ? workspace.b_present : workspace.a_present) return true;
    if (!(spectrum ? workspace.a_present : workspace.b_present)) {
        workspace.message_line = kMustCreateDataFirst;
        return false;
    }
    const auto m = static_cast<std::size_t>(workspace.max_points);
    std::span<Complex> a(workspace.signal_a(), m), b(workspace.signal_b(), m);
    Status status;
    if (spectrum) {
        Grid frequency;
        status = create_spectrum(a, Grid{workspace.linked_npts, workspace.Tmin, workspace.DT}, b, frequency,
                                 workspace.transform_table);
        if (status) {
            workspace.Fmin = frequency.xmin;
            workspace.DF = frequency.dx;
            workspace.npts_b = frequency.npts;
            workspace.b_present = true;
        }
    } else {
        Grid time;
        status = create_waveform(b, Grid{workspace.linked_npts, workspace.Fmin, workspace.DF}, a, time,
                                 workspace.transform_table);
        if (status) {
            workspace.Tmin = time.xmin;
            workspace.DT = time.dx;
            workspace.npts_a = time.npts;
            workspace.a_present = true;
        }
    }
    if (!status) workspace.message_line = status.message;
    return status.ok;
}

// Makes sure the current signal exists. Returns false with the message set when it does not.
bool check_data(Workspace& workspace, int operation) {
    if (!create_missing_domain(workspace)) return false;
    const bool spectrum = is_spectrum(workspace);
    if (operation == kOpEquation || (spectrum ? workspace.b_present : workspace.a_present)) return true;
    workspace.message_line = spectrum ? kSignalBMissing : kSignalAMissing;
    return false;
}

// Operations 1 to 8 on the current signal: the new grid is stored back and
// shown in the status line; in linked mode a changed signal makes the other
// domain invalid. A refused operation keeps the selection.
void run_signal_operation(Session& session) {
    Workspace& workspace = session.workspace;
    const SignalView view = current_signal(workspace);
    CurrentSignal signal{std::span<Complex>(view.samples, static_cast<std::size_t>(workspace.max_points)), view.npts,
                         view.xmin, view.dx, view.spectrum};
    const bool changed = run_single_signal_operation(session, workspace.selection.operation_id, signal);
    if (signal.spectrum) {
        workspace.npts_b = signal.npts;
        workspace.Fmin = signal.xmin;
        workspace.DF = signal.dx;
    } else {
        workspace.npts_a = signal.npts;
        workspace.Tmin = signal.xmin;
        workspace.DT = signal.dx;
    }
    workspace.linked_npts = signal.npts;
    workspace.status_line = read_status_line(workspace, workspace.signal_mode, signal.spectrum, signal.npts);
    if (!trim_right(workspace.message_line).empty()) return;
    if (changed && workspace.signal_mode == SignalMode::linked)
        (signal.spectrum ? workspace.a_present : workspace.b_present) = false;
    reset_selection(session);
}

void execute_line(Session& session) {
    Workspace& workspace = session.workspace;
    Selection& selection = workspace.selection;
    if (selection.read_word) {
        read_dialogue(session);
        return;
    }
    if (selection.operation_id == kOpDefine) {
        define_dialogue(session);
        return;
    }
    if (selection.operation_id == kOpShow) {
        show_constants(session);
        return;
    }
    if (selection.function_code.empty() || (selection.operation_id == 0 && selection.parameter_code.empty())) {
        workspace.message_line = kMissingParameters;
        return;
    }
    if (selection.operation_id == kOpCreate) {
        // CR recreates the current domain from the other one. A refused
        // transform keeps the signal it would have replaced.
        bool& present = is_spectrum(workspace) ? workspace.b_present : workspace.a_present;
        const bool was_present = present;
        const SignalMode mode = workspace.signal_mode;
        present = false;
        workspace.signal_mode = SignalMode::linked;
        if (!check_data(workspace, selection.operation_id)) {
            present = was_present;
            workspace.signal_mode = mode;
            return;
        }
    }
    if (!check_data(workspace, selection.operation_id)) return;
    define_grid_variables(session);
    switch (selection.operation_id) {
    case 0:
        break;
    case kOpCreate:
        reset_selection(session);
        return;
    case kOpEquation:
        equation_dialogue(session);
        reset_selection(session);
        return;
    case kOpAdd:
        add_dialogue(session);
        reset_selection(session);
        return;
    case kOpMultiply:
        multiply_dialogue(session);
        reset_selection(session);
        return;
    default:
        if (selection.operation_id <= kOpFilter) {
            run_signal_operation(session);
            return;
        }
        run_two_signal_operation(session, selection.operation_id);
        reset_selection(session);
        return;
    }
    run_display(session);
}
}  // namespace

void run_command_line(Session& session, std::string_view reply) {
    Workspace& workspace = session.workspace;
    switch (scan_command_line(reply, workspace)) {
    case LineAction::replay:
        start_replay(session);
        return;
    case LineAction::end:
        end_program(session);
        return;
    case LineAction::system:
        system_dialogue(session);
        return;
    case LineAction::allocate:
        allocate_dialogue(session);
        return;
    case LineAction::set_range:
        set_range_dialogue(session);
        return;
    case LineAction::execute:
        break;
    }
    redraw_help(session);
    execute_line(session);
}

void run_command_loop(Session& session) {
    while (!session.ended) {
        if (session.input.end_requested || stop_requested()) {
            end_program(session);
            break;
        }
        redraw_help(session);
        PromptRequest request{.title = session.workspace.status_line, .prompt = kCommandPrompt,
                              .command_prompt = true};
        if (!session.ask(request)) continue;
        run_command_line(session, request.current);
    }
}

}  // namespace zeph
