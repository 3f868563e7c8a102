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

bool require_power_of_two(Workspace& workspace, int npts) {
    int log2n = 0;
    return report(workspace, check_power_of_two(npts, log2n));
}

std::span<Complex> samples_of(Complex* first, int npts) { return {first, static_cast<std::size_t>(npts)}; }

using PairOperation = Status (*)(std::span<Complex>, std::span<Complex>, Domain, double, BitReverseTable&);

// CV and XC: N and the step are the current signal's; the result goes there.
void run_on_both(Session& session, PairOperation operation) {
    Workspace& workspace = session.workspace;
    const SignalRef current = current_signal(workspace);
    if (!require_power_of_two(workspace, current.npts)) return;
    if (!check_both_signals(workspace)) return;
    if (report(workspace, operation(samples_of(workspace.signal_a(), current.npts),
                                    samples_of(workspace.signal_b(), current.npts), current.domain, current.dx,
                                    tables_for_transform(workspace, current.npts))))
        workspace.record_change(current.domain, SignalOrigin::operation);
}

// A= and B=: the samples, count and grid of `from` replace those of its other domain.
void copy_signal(Session& session, Domain from) {
    Workspace& workspace = session.workspace;
    if (!require_signal(workspace, from)) return;
    const Domain to = other_domain(from);
    const int npts = std::clamp(workspace.count(from), 0, workspace.max_points);
    std::copy_n(workspace.samples(from), npts, workspace.samples(to));
    SignalSlot& target = workspace.slot(to);
    target.npts = npts;
    target.xmin = workspace.slot(from).xmin;
    target.dx = workspace.slot(from).dx;
    target.present = true;
    workspace.record_change(to, SignalOrigin::operation);
    workspace.linked_npts = npts;
}

}  // namespace

bool derivative_operation(Session& session, SignalRef& signal) {
    Workspace& workspace = session.workspace;
    return report(workspace, differentiate(signal.samples(), signal.dx, tables_for_transform(workspace, signal.npts)));
}

bool integral_operation(Session& session, SignalRef& signal) {
    Workspace& workspace = session.workspace;
    return report(workspace, integrate(signal.samples(), signal.dx, tables_for_transform(workspace, signal.npts)));
}

void autocorrelation_operation(Session& session) {
    Workspace& workspace = session.workspace;
    const SignalRef current = current_signal(workspace);
    if (!require_power_of_two(workspace, current.npts)) return;
    if (!require_signal(workspace, current.domain)) return;
    if (!report(workspace, autocorrelate(current.samples(), current.dx,
                                         tables_for_transform(workspace, current.npts))))
        return;
    workspace.record_change(current.domain, SignalOrigin::operation);
    // The other domain was this signal's transform; it no longer is.
    if (workspace.signal_mode == SignalMode::linked) workspace.slot(other_domain(current.domain)).present = false;
}

void convolution_operation(Session& session) { run_on_both(session, convolve); }

void cross_correlation_operation(Session& session) { run_on_both(session, cross_correlate); }

void swap_operation(Session& session) {
    Workspace& workspace = session.workspace;
    if (!require_signal(workspace, Domain::time) || !require_signal(workspace, Domain::frequency)) return;
    SignalSlot& a = workspace.slot(Domain::time);
    SignalSlot& b = workspace.slot(Domain::frequency);
    const int npts_a = workspace.count(Domain::time), npts_b = workspace.count(Domain::frequency);
    const int exchanged = std::clamp(std::max(npts_a, npts_b), 0, workspace.max_points);
    std::swap_ranges(workspace.signal_a(), workspace.signal_a() + exchanged, workspace.signal_b());
    a.npts = npts_b;
    b.npts = npts_a;
    std::swap(a.xmin, b.xmin);
    std::swap(a.dx, b.dx);
    for (const Domain domain : kDomains) workspace.record_change(domain, SignalOrigin::operation);
    // The count of the current function's signal is the one a linked display uses next.
    workspace.linked_npts = workspace.slot(workspace.current_domain()).npts;
}

void copy_b_to_a_operation(Session& session) { copy_signal(session, Domain::frequency); }

void copy_a_to_b_operation(Session& session) { copy_signal(session, Domain::time); }

}  // namespace zeph
