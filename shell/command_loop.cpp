#include "shell/command_loop.hpp"
#include "shell/messages.hpp"

#include <new>
#include <span>

#include "base/stop_request.hpp"
#include "base/text.hpp"
#include "dsp/fft.hpp"
#include "shell/command_table.hpp"
#include "shell/command_words.hpp"
#include "shell/display.hpp"
#include "shell/operations.hpp"
#include "shell/read_dialogue.hpp"
#include "shell/system_commands.hpp"

namespace zeph {

namespace {

void redraw_help(Session& session) {
    draw_help_screen(session.console, session.workspace, session.help);
}

// Defines the grid variables that every numeric reply may use.
void define_grid_variables(Session& session) {
    Workspace& workspace = session.workspace;
    SignalRef grid = current_signal(workspace);
    const double xmax = grid.xmin + grid.npts * grid.dx;
    if (is_xy(workspace.selection)) grid.dx = 0.0;
    const SignalSlot& time = workspace.slot(Domain::time);
    const SignalSlot& frequency = workspace.slot(Domain::frequency);
    session.define_variable("DT", time.dx);
    session.define_variable("DF", frequency.dx);
    session.define_variable("DX", grid.dx);
    session.define_variable("XMIN", grid.xmin);
    session.define_variable("XMAX", xmax);
    session.define_variable("TMIN", time.xmin);
    session.define_variable("FMIN", frequency.xmin);
    std::string ignored;
    session.interpreter.define_integer("NPTS", grid.npts, ignored);
}

// In linked mode, makes the missing domain of the current function from the
// other one. Returns false with the message set when it cannot.
bool create_missing_domain(Workspace& workspace) {
    if (workspace.signal_mode != SignalMode::linked) return true;
    const Domain wanted = workspace.current_domain();
    const Domain source = other_domain(wanted);
    SignalSlot& made = workspace.slot(wanted);
    const SignalSlot& from = workspace.slot(source);
    // A domain the transform made from a signal that has changed since (in
    // independent mode nothing is invalidated) is out of date: make it again.
    const bool out_of_date = made.present && made.origin == SignalOrigin::transform && from.present &&
                             made.source_generation != from.generation;
    if (made.present && !out_of_date) return true;
    if (out_of_date) workspace.linked_npts = from.npts;
    if (!from.present) {
        workspace.message_line = kMustCreateDataFirst;
        return false;
    }
    const auto m = static_cast<std::size_t>(workspace.max_points);
    const auto transform = wanted == Domain::frequency ? create_spectrum : create_waveform;
    Grid grid;
    const Status status = transform(std::span<const Complex>(workspace.samples(source), m),
                                    Grid{workspace.linked_npts, from.xmin, from.dx},
                                    std::span<Complex>(workspace.samples(wanted), m), grid,
                                    tables_for_transform(workspace, workspace.linked_npts));
    if (!status) {
        workspace.message_line = status.message;
        return false;
    }
    static_cast<Grid&>(made) = grid;
    made.present = true;
    workspace.record_change(wanted, SignalOrigin::transform);
    return true;
}

// Makes sure the current signal is there as the line's operation needs it.
// Returns false with the message set when it is not.
bool check_data(Workspace& workspace, DataNeed need) {
    const Domain domain = workspace.current_domain();
    if (need == DataNeed::remade) {
        // CR makes the current domain again from the other one. A refused
        // transform keeps the signal it would have replaced.
        bool& present = workspace.slot(domain).present;
        const bool was_present = present;
        const SignalMode mode = workspace.signal_mode;
        present = false;
        workspace.signal_mode = SignalMode::linked;
        if (!create_missing_domain(workspace)) {
            present = was_present;
            workspace.signal_mode = mode;
            return false;
        }
    }
    if (!create_missing_domain(workspace)) return false;
    if (need == DataNeed::target || workspace.slot(domain).present) return true;
    workspace.message_line = domain == Domain::frequency ? kSignalBMissing : kSignalAMissing;
    return false;
}

// An operation on the current signal: the new grid is stored back and shown
// in the status line; in linked mode a changed signal makes the other domain
// invalid. A refused operation keeps the selection.
void run_signal_operation(Session& session, const CommandWord& operation) {
    Workspace& workspace = session.workspace;
    SignalRef signal = current_signal(workspace);
    const Domain domain = signal.domain;
    const bool changed = operation.run_on_signal(session, signal);
    SignalSlot& slot = workspace.slot(domain);
    static_cast<Grid&>(slot) = signal;
    if (changed) workspace.record_change(domain, SignalOrigin::operation);
    workspace.linked_npts = signal.npts;
    workspace.status_line = read_status_line(workspace, workspace.signal_mode, signal.domain, signal.npts);
    if (!trim_right(workspace.message_line).empty()) return;
    if (changed && workspace.signal_mode == SignalMode::linked) workspace.slot(other_domain(domain)).present = false;
    reset_selection(session);
}

// Runs the line's read, operation or display as the command table says.
void execute_line(Session& session) {
    Workspace& workspace = session.workspace;
    Selection& selection = workspace.selection;
    if (selection.read_word) {
        if (selection.read != nullptr) selection.read->run(session);
        return;
    }
    const CommandWord* operation = selection.operation;
    if (operation != nullptr && operation->data == DataNeed::none) {
        operation->run(session);
        return;
    }
    if (selection.function == nullptr || (operation == nullptr && selection.parameter == nullptr)) {
        workspace.message_line = kMissingParameters;
        return;
    }
    if (!check_data(workspace, operation == nullptr ? DataNeed::current : operation->data)) return;
    define_grid_variables(session);
    if (operation == nullptr) {
        run_display(session);
        return;
    }
    if (operation->run_on_signal != nullptr) {
        run_signal_operation(session, *operation);
        return;
    }
    if (operation->run != nullptr) operation->run(session);
    reset_selection(session);
}
}  // namespace

void run_command_line(Session& session, std::string_view reply) {
    session.help.written_note.clear();
    if (const CommandWord* command = command_for(scan_command_line(reply, session.workspace))) {
        command->run(session);
        return;
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
        // The last guard: a size that no check foresaw ends the command, never the run.
        try {
            run_command_line(session, request.current);
        } catch (const std::bad_alloc&) {
            session.workspace.message_line = kOutOfMemory;
        }
    }
}

}  // namespace zeph
