#pragma once
// EQ (build a signal sample by sample from a formula), AD (weighted sum of A
// and B) and MU (weighted product of A and B).
#include "shell/session.hpp"

namespace zeph {

inline constexpr std::string_view kEquationGridPrompt = "Enter   # sample points,   Xmin,   dX";
inline constexpr std::string_view kEquationFormulaPrompt =
    " = F(A,B,X,constants). Enter F. Ex: K*A + B*CMPLX(0.,SIN(PI*X))";
inline constexpr std::string_view kEquationStepInvalid = "Error. dX must be a finite number other than zero.";
inline constexpr std::string_view kMustCreateA = "Must create the A signal before using this operation";
inline constexpr std::string_view kMustCreateB = "Must create the B signal before using this operation";

void equation_dialogue(Session& session);
void add_dialogue(Session& session);
void multiply_dialogue(Session& session);

// The message naming the grid items in which A and B differ, empty when they match.
std::string grid_mismatch_message(int npts_a, double xmin_a, double dx_a, int npts_b, double xmin_b, double dx_b);

}  // namespace zeph
