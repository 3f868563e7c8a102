#include "base/text.hpp"
#include "shell/equations_dialogue.hpp"
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
    bool is_b;
    char letter;
};

Target target_of(Session& session) {
    const std::string& function = session.workspace.selection.function_code;
    if (function == "SP") session.equation_letter = 'B';
    else if (function == "WA") session.equation_letter = 'A';
    return {session.equation_letter == 'B', session.equation_letter};
}

int count_of_a(const Workspace& w) {
    return w.signal_mode == SignalMode::independent ? w.npts_a : w.linked_npts;
}
int count_of_b(const Workspace& w) {
    return w.signal_mode == SignalMode::independent ? w.npts_b : w.linked_npts;
}

// Marks the target as holding `npts` new points, the count a linked display
// uses next; in linked mode the other domain no longer matches it.
void commit_target(Workspace& workspace, bool is_b, int npts) {
    if (is_b) {
        workspace.b_present = true;
        workspace.npts_b = npts;
        if (workspace.signal_mode == SignalMode::linked) workspace.a_present = false;
    } else {
        workspace.a_present = true;
        workspace.npts_a = npts;
        if (workspace.signal_mode == SignalMode::linked) workspace.b_present = false;
    }
    workspace.linked_npts = npts;
}

bool check_both_signals(Workspace& workspace) {
    if (!workspace.a_present) {
        workspace.message_line = kMustCreateA;
        return false;
    }
    if (!workspace.b_present) {
        workspace.message_line = kMustCreateB;
        return false;
    }
    const std::string mismatch = grid_mismatch_message(count_of_a(workspace), workspace.Tmin, workspace.DT,
                                                       count_of_b(workspace), workspace.Fmin, workspace.DF);
    if (!mismatch.empty()) {
        workspace.message_line = mismatch;
        return false;
    }
    return true;
}

// Applies `combine` to every point of the target.
template <typename Combine>
void combine_signals(Workspace& workspace, bool is_b, Combine combine) {
    const int n = is_b ? count_of_b(workspace) : count_of_a(workspace);
    Complex* a = workspace.signal_a();
    Complex* b = workspace.signal_b();
    Complex* target = is_b ? b : a;
    for (int i = 0; i < n; ++i) target[i] = combine(a[i], b[i]);
    commit_target(workspace, is_b, n);
}
}  // namespace

std::string grid_mismatch_message(int npts_a, double xmin_a, double dx_a, int npts_b, double xmin_b, double dx_b) {
    std::string message = "These parameters of signals A & B do not match:";
    bool differs = false;
    auto add = [&](bool different, std::string_view item) {
        if (!different) return;
        message += "  ";
        message += item;
        differs = true;
    };
    add(npts_a != npts_b, "# points");
    add(xmin_a != xmin_b, "Xmin");
    add(dx_a != dx_b, "dX");
    return differs ? message : std::string{};
}

void equation_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    double& xmin = target.is_b ? workspace.Fmin : workspace.Tmin;
    double& dx = target.is_b ? workspace.DF : workspace.DT;
    const int current_npts = target.is_b ? count_of_b(workspace) : count_of_a(workspace);
    PromptRequest grid{.title = workspace.status_line, .prompt = kEquationGridPrompt, .mode = 'N',
                       .value_count = 3, .values = {static_cast<double>(current_npts), xmin, dx, 0}};
    if (!session.ask(grid)) return;
    // A zero step puts every sample at one abscissa: the spectrum step 1/(N·DT)
    // and every later display of the signal would be infinite or undefined.
    if (!(grid.values[2] != 0.0 && std::isfinite(grid.values[2]) && std::isfinite(grid.values[1]))) {
        workspace.message_line = kEquationStepInvalid;
        return;
    }
    xmin = grid.values[1];
    dx = grid.values[2];
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

    const std::string prompt = std::string(1, target.letter) + std::string(kEquationFormulaPrompt);
    PromptRequest formula{.title = workspace.status_line, .prompt = prompt};
    if (!session.ask(formula)) return;
    const std::string text = upper_case(formula.current);

    // Evaluated in place with exactly the values, random draws and messages
    // of a fresh evaluation per sample; a formula that fails leaves the target as it was.
    const std::span<const Complex> a(workspace.signal_a(), workspace.a_present ? count_of_a(workspace) : 0);
    const std::span<const Complex> b(workspace.signal_b(), workspace.b_present ? count_of_b(workspace) : 0);
    Complex* destination = target.is_b ? workspace.signal_b() : workspace.signal_a();
    PreparedFormula prepared(session.interpreter, text);
    std::string message;
    if (prepared.evaluate_samples(a, b, xmin, dx, std::span<Complex>(destination, static_cast<std::size_t>(n)),
                                  message) != 0) {
        workspace.message_line = message;
        return;
    }
    commit_target(workspace, target.is_b, n);
}

void add_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    if (!check_both_signals(workspace)) return;
    const std::string prompt = std::string(1, target.letter) + " = A*(C + jD) + B*(E + jF). Enter C, D, E, F:";
    auto& weights = session.weights;
    PromptRequest request{.title = workspace.status_line, .prompt = prompt, .default_reply = "1. 0. 1. 0.",
                          .mode = 'N', .value_count = 4, .values = weights};
    if (!session.ask(request)) return;
    weights = request.values;
    const Complex c{weights[0], weights[1]}, e{weights[2], weights[3]};
    combine_signals(workspace, target.is_b, [c, e](Complex a, Complex b) { return a * c + b * e; });
}

void multiply_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    const Target target = target_of(session);
    if (!check_both_signals(workspace)) return;
    const std::string prompt = std::string(1, target.letter) + " = A*B*(C + jD). Enter C, D:";
    auto& weights = session.weights;
    PromptRequest request{.title = workspace.status_line, .prompt = prompt, .default_reply = "1. 0.",
                          .mode = 'N', .value_count = 2, .values = {weights[0], weights[1], 0, 0}};
    if (!session.ask(request)) return;
    weights[0] = request.values[0];
    weights[1] = request.values[1];
    const Complex c{weights[0], weights[1]};
    combine_signals(workspace, target.is_b, [c](Complex a, Complex b) { return a * b * c; });
}

}  // namespace zeph
