#include "base/stop_request.hpp"
#include "base/text.hpp"
#include "shell/equations_dialogue.hpp"

#include "base/numbers.hpp"
#include "shell/messages.hpp"

#include <cmath>
#include <cstdio>
#include <vector>

#include "input/expr/prepared_formula.hpp"
#include "shell/command_words.hpp"

namespace zeph {

namespace {

// The signal the command works on: A for WA, B for SP; the letter starts its prompts.
struct Target {
    Domain domain;
    char letter;
};

Target target_of(Session& session) {
    if (const CommandWord* function = session.workspace.selection.function) session.equation_signal = function->domain;
    const std::optional<Domain> signal = session.equation_signal;
    return {signal.value_or(Domain::time), signal ? signal_letter(*signal) : ' '};
}

// Marks the target as holding `npts` new points made by `origin`, the count
// a linked display uses next; in linked mode the other domain no longer matches it.
void commit_target(Workspace& workspace, Domain domain, int npts, SignalOrigin origin) {
    SignalSlot& slot = workspace.slot(domain);
    slot.present = true;
    slot.npts = npts;
    workspace.record_change(domain, origin);
    if (workspace.signal_mode == SignalMode::linked) workspace.slot(other_domain(domain)).present = false;
    workspace.linked_npts = npts;
}

// The message naming the grid items in which A and B differ, empty when they match.
std::string grid_mismatch_message(const Workspace& workspace) {
    const SignalSlot& a = workspace.slot(Domain::time);
    const SignalSlot& b = workspace.slot(Domain::frequency);
    std::string message = "These parameters of signals A & B do not match:";
    bool differs = false;
    auto add = [&](bool different, std::string_view item) {
        if (!different) return;
        message += "  ";
        message += item;
        differs = true;
    };
    add(workspace.count(Domain::time) != workspace.count(Domain::frequency), "# points");
    add(a.xmin != b.xmin, "Xmin");
    add(a.dx != b.dx, "dX");
    return differs ? message : std::string{};
}

// Applies `combine` to every point of the target.
template <typename Combine>
void combine_signals(Workspace& workspace, Domain domain, Combine combine) {
    const int n = workspace.count(domain);
    const Complex* a = workspace.signal_a();
    const Complex* b = workspace.signal_b();
    Complex* target = workspace.samples(domain);
    for (int i = 0; i < n; ++i) target[i] = combine(a[i], b[i]);
    commit_target(workspace, domain, n, SignalOrigin::operation);
}
}  // namespace

bool require_signal(Workspace& workspace, Domain domain) {
    const bool present = workspace.slot(domain).present;
    if (!present) workspace.message_line = domain == Domain::time ? kMustCreateA : kMustCreateB;
    return present;
}

bool check_both_signals(Workspace& workspace) {
    if (!require_signal(workspace, Domain::time) || !require_signal(workspace, Domain::frequency)) return false;
    const std::string mismatch = grid_mismatch_message(workspace);
    if (!mismatch.empty()) workspace.message_line = mismatch;
    return mismatch.empty();
}

void equation_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    SignalSlot& slot = workspace.slot(target.domain);
    PromptRequest grid{.title = workspace.status_line, .prompt = kEquationGridPrompt, .mode = 'N',
                       .value_count = 3,
                       .values = {static_cast<double>(workspace.count(target.domain)), slot.xmin, slot.dx, 0}};
    if (!session.ask(grid)) return;
    // A zero step puts every sample at one abscissa: the spectrum step 1/(N·DT)
    // and every later display of the signal would be infinite or undefined.
    if (!std::isfinite(grid.values[1])) {
        workspace.message_line = kEquationStartInvalid;
        return;
    }
    if (!(grid.values[2] != 0.0 && std::isfinite(grid.values[2]))) {
        workspace.message_line = kEquationStepInvalid;
        return;
    }
    // The new grid is stored only with the new samples: a refused count or
    // formula leaves the signal and its grid as they were.
    const double xmin = grid.values[1], dx = grid.values[2];
    const double rounded = std::round(grid.values[0]);
    if (std::isnan(rounded) || rounded > workspace.max_points) {
        char text[16];
        std::snprintf(text, sizeof text, "%6d", workspace.max_points);
        workspace.message_line = std::string("Error. Maximum =") + text;
        return;
    }
    if (rounded < 1) {
        workspace.message_line = kTooFewPoints;
        return;
    }
    const int n = static_cast<int>(rounded);
    // The other domain's step 1/(N·dX) must be a number too (dX = 5E-324 is not).
    if (!has_finite_reciprocal_span(n, dx)) {
        workspace.message_line = kEquationStepTooSmall;
        return;
    }

    const std::string prompt = std::string(1, target.letter) + std::string(kEquationFormulaPrompt);
    std::string formula;
    if (!session.ask_line(prompt, formula)) return;
    const std::string text = upper_case(formula);

    // Evaluated in place with exactly the values, random draws and messages
    // of a fresh evaluation per sample; a formula that fails leaves the target as it was.
    const auto present_samples = [&workspace](Domain domain) {
        const bool present = workspace.slot(domain).present;
        return std::span<const Complex>(workspace.samples(domain),
                                        present ? static_cast<std::size_t>(workspace.count(domain)) : 0);
    };
    PreparedFormula prepared(session.interpreter, text);
    std::string message;
    if (stop_requested()) return;   // the run is ending: the target stays as it was
    if (prepared.evaluate_samples(present_samples(Domain::time), present_samples(Domain::frequency), xmin, dx,
                                  std::span<Complex>(workspace.samples(target.domain), static_cast<std::size_t>(n)),
                                  message) != InterpStatus::ok) {
        workspace.message_line = message;
        return;
    }
    slot.xmin = xmin;
    slot.dx = dx;
    commit_target(workspace, target.domain, n, SignalOrigin::equation);
}

void add_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    if (!check_both_signals(workspace)) return;
    const std::string prompt = std::string(1, target.letter) + " = A*(C + jD) + B*(E + jF). Enter C, D, E, F:";
    auto& weights = session.weights;
    if (!session.ask_numbers(prompt, "1. 0. 1. 0.", weights, 4)) return;
    const Complex c{weights[0], weights[1]}, e{weights[2], weights[3]};
    combine_signals(workspace, target.domain, [c, e](Complex a, Complex b) { return a * c + b * e; });
}

void multiply_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    if (!check_both_signals(workspace)) return;
    const std::string prompt = std::string(1, target.letter) + " = A*B*(C + jD). Enter C, D:";
    auto& weights = session.weights;
    std::array<double, 4> asked{weights[0], weights[1], 0, 0};
    if (!session.ask_numbers(prompt, "1. 0.", asked, 2)) return;
    weights[0] = asked[0];
    weights[1] = asked[1];
    const Complex c{weights[0], weights[1]};
    combine_signals(workspace, target.domain, [c](Complex a, Complex b) { return a * b * c; });
}

}  // namespace zeph
