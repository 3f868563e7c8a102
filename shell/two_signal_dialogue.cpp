#include "shell/two_signal_dialogue.hpp"

#include <algorithm>

#include "dsp/two_signal.hpp"
#include "shell/equations_dialogue.hpp"

namespace zeph {

namespace {

bool report(Workspace& workspace, const Status& status) {
    if (!status) workspace.message_line = status.message;
    return status.ok;
}

int count_of_a(const Workspace& w) { return w.signal_mode == SignalMode::linked ? w.linked_npts : w.npts_a; }
int count_of_b(const Workspace& w) { return w.signal_mode == SignalMode::linked ? w.linked_npts : w.npts_b; }

bool require_a(Workspace& workspace) {
    if (!workspace.a_present) workspace.message_line = kMustCreateA;
    return workspace.a_present;
}
bool require_b(Workspace& workspace) {
    if (!workspace.b_present) workspace.message_line = kMustCreateB;
    return workspace.b_present;
}

bool require_power_of_two(Workspace& workspace, int npts) {
    int log2n = 0;
    return report(workspace, check_power_of_two(npts, log2n));
}

std::span<Complex> samples_of(Complex* first, int npts) { return {first, static_cast<std::size_t>(npts)}; }

using PairOperation = Status (*)(std::span<Complex>, std::span<Complex>, ResultOperand, double, BitReverseTable&);

// CV and XC: N and the step are the current signal's; the result goes there.
void run_on_both(Session& session, PairOperation operation) {
    Workspace& workspace = session.workspace;
    const SignalView current = current_signal(workspace);
    if (!require_power_of_two(workspace, current.npts)) return;
    if (!require_a(workspace) || !require_b(workspace)) return;
    const std::string mismatch = grid_mismatch_message(count_of_a(workspace), workspace.Tmin, workspace.DT,
                                                       count_of_b(workspace), workspace.Fmin, workspace.DF);
    if (!mismatch.empty()) {
        workspace.message_line = mismatch;
        return;
    }
    const ResultOperand result = current.spectrum ? ResultOperand::b : ResultOperand::a;
    report(workspace, operation(samples_of(workspace.signal_a(), current.npts),
                                samples_of(workspace.signal_b(), current.npts), result, current.dx,
                                workspace.transform_table));
}

// The count of the current function's signal is the one a linked display uses next.
void set_linked_count(Workspace& workspace) {
    workspace.linked_npts = workspace.selection.function_code == "SP" ? workspace.npts_b : workspace.npts_a;
}

}  // namespace

bool derivative_operation(Session& session, CurrentSignal& signal) {
    Workspace& workspace = session.workspace;
    return report(workspace, differentiate(samples_in_use(signal), signal.dx, workspace.transform_table));
}

bool integral_operation(Session& session, CurrentSignal& signal) {
    Workspace& workspace = session.workspace;
    return report(workspace, integrate(samples_in_use(signal), signal.dx, workspace.transform_table));
}

void autocorrelation_operation(Session& session) {
    Workspace& workspace = session.workspace;
    const SignalView current = current_signal(workspace);
    if (!require_power_of_two(workspace, current.npts)) return;
    if (!(current.spectrum ? require_b(workspace) : require_a(workspace))) return;
    if (!report(workspace, autocorrelate(samples_of(current.samples, current.npts), current.dx,
                                         workspace.transform_table)))
        return;
    // The other domain was this signal's transform; it no longer is.
    if (workspace.signal_mode == SignalMode::linked) {
        (current.spectrum ? workspace.a_present : workspace.b_present) = false;
    }
}

void convolution_operation(Session& session) { run_on_both(session, convolve); }

void cross_correlation_operation(Session& session) { run_on_both(session, cross_correlate); }

void swap_operation(Session& session) {
    Workspace& workspace = session.workspace;
    if (!require_a(workspace) || !require_b(workspace)) return;
    const int npts_a = count_of_a(workspace), npts_b = count_of_b(workspace);
    const int exchanged = std::clamp(std::max(npts_a, npts_b), 0, workspace.max_points);
    std::swap_ranges(workspace.signal_a(), workspace.signal_a() + exchanged, workspace.signal_b());
    workspace.npts_a = npts_b;
    workspace.npts_b = npts_a;
    std::swap(workspace.Tmin, workspace.Fmin);
    std::swap(workspace.DT, workspace.DF);
    set_linked_count(workspace);
}

void copy_b_to_a_operation(Session& session) {
    Workspace& workspace = session.workspace;
    if (!require_b(workspace)) return;
    const int npts = std::clamp(count_of_b(workspace), 0, workspace.max_points);
    std::copy_n(workspace.signal_b(), npts, workspace.signal_a());
    workspace.npts_a = npts;
    workspace.Tmin = workspace.Fmin;
    workspace.DT = workspace.DF;
    workspace.a_present = true;
    workspace.linked_npts = npts;
}

void copy_a_to_b_operation(Session& session) {
    Workspace& workspace = session.workspace;
    if (!require_a(workspace)) return;
    const int npts = std::clamp(count_of_a(workspace), 0, workspace.max_points);
    std::copy_n(workspace.signal_a(), npts, workspace.signal_b());
    workspace.npts_b = npts;
    workspace.Fmin = workspace.Tmin;
    workspace.DF = workspace.DT;
    workspace.b_present = true;
    workspace.linked_npts = npts;
}

}  // namespace zeph
