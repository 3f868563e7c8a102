#pragma once
// The operations without questions: DX and IX on the current signal; AC,
// CV, XC, SW, A= and B=, which see both signals with their flags and grids.
#include "shell/operations.hpp"

namespace zeph {

// DX and IX. Return true when the signal was changed.
bool derivative_operation(Session& session, SignalRef& signal);
bool integral_operation(Session& session, SignalRef& signal);

// AC on the current function's signal. In linked mode the other domain is
// no longer its transform afterwards and is marked absent.
void autocorrelation_operation(Session& session);
// CV and XC of A and B into the current function's signal; the other signal
// keeps its samples. Both signals must be present on identical grids.
void convolution_operation(Session& session);
void cross_correlation_operation(Session& session);
// SW, A= and B=: exchange or copy the samples, counts and grids.
void swap_operation(Session& session);
void copy_b_to_a_operation(Session& session);
void copy_a_to_b_operation(Session& session);

}  // namespace zeph
