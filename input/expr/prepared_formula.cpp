#include "input/expr/prepared_formula.hpp"

// Scalar code: GCC's SLP vectorizer pairs the real and imaginary parts into
// 16-byte loads of values just written as two 8-byte stores, and the failed
// store forwarding stalls every step of the replay.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

namespace zeph {

PreparedFormula::PreparedFormula(Interpreter& interpreter, std::string_view text)
    : interpreter_(interpreter), text_(text) {}

int PreparedFormula::evaluate_sample(Complex a, Complex b, Complex x, Complex& result, std::string& message) {
    interpreter_.set_slot(4, a);
    interpreter_.set_slot(5, b);
    interpreter_.set_slot(6, x);
    return evaluate(result, message);
}

int PreparedFormula::evaluate(Complex& result, std::string& message) {
    if (replaying()) {
        result = replay();
        return kInterpOk;
    }
    const int status = interpreter_.evaluate_recorded(text_, result, message, trace_);
    recorded_ = status == kInterpOk;
    layout_version_ = interpreter_.table_layout_version();
    return status;
}

Complex PreparedFormula::replay() {
    Complex* reg = trace_.registers.data();
    const std::vector<Variable>& table = interpreter_.variables();
    for (const ReductionTrace::Load& load : trace_.loads) reg[load.reg] = table[load.table_index].value;
    RandomGenerator& random = interpreter_.random_generator();
    using Op = ReductionTrace::Op;
    for (const ReductionTrace::Step& step : trace_.steps) {
        const Complex& left = reg[step.left];
        switch (step.op) {
            case Op::function: reg[step.dest] = apply_function(step.function, left, random); break;
            case Op::power: reg[step.dest] = complex_power(left, reg[step.right]); break;
            case Op::product: reg[step.dest] = complex_product(left, reg[step.right]); break;
            case Op::quotient: reg[step.dest] = complex_quotient(left, reg[step.right]); break;
            case Op::sum: reg[step.dest] = complex_sum(left, reg[step.right]); break;
            case Op::difference: reg[step.dest] = complex_difference(left, reg[step.right]); break;
            case Op::comma: reg[step.dest] = {left.real(), reg[step.right].real()}; break;
        }
    }
    const Complex result = reg[trace_.result];
    if (trace_.assign_index >= 0) interpreter_.set_slot(trace_.assign_index + 1, result);
    return result;
}

}  // namespace zeph
