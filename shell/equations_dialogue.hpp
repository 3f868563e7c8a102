#pragma once
// EQ (build a signal sample by sample from a formula), AD (weighted sum of A
// and B) and MU (weighted product of A and B).
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kEquationGridPrompt = "Enter   # sample points,   Xmin,   dX";
inline constexpr std::string_view kEquationFormulaPrompt =
    " = F(A,B,X,constants). Enter F. Ex: K*A + B*CMPLX(0.,SIN(PI*X))";
inline constexpr std::string_view kEquationStepInvalid = "Error. dX must be a finite number other than zero.";
inline constexpr std::string_view kEquationStartInvalid = "Error. Xmin must be a finite number.";
inline constexpr std::string_view kEquationStepTooSmall = "Error. dX is too small: 1/(N*dX) is not a finite number.";
inline constexpr std::string_view kMustCreateA = "Must create the A signal before using this operation";
inline constexpr std::string_view kMustCreateB = "Must create the B signal before using this operation";

void equation_dialogue(Session& session);
void add_dialogue(Session& session);
void multiply_dialogue(Session& session);

// Whether the domain's signal is present; when not, the message line asks to create it.
bool require_signal(Workspace& workspace, Domain domain);
// Whether A and B are both present on the same grid (count, Xmin, dX); when
// not, the message line says what is missing or which items differ.
bool check_both_signals(Workspace& workspace);

}  // namespace zeph
