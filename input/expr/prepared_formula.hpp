#pragma once
// A formula prepared for evaluation sample by sample (EQ evaluates one formula
// for up to millions of samples, re-setting A, B and X each time).
//
// The first evaluation goes through INTERP itself and records each arithmetic
// step of its reduction (ReductionTrace). INTERP's control flow depends only on
// the kinds of the tokens, never on their values, so every later evaluation
// replays the record: variables are loaded from the table by the entries the
// names resolved to, the steps run in the same order with the same operator
// functions, and an assignment stores into the same entry. Values, random
// draws (order and count), table effects and error messages are those of a
// fresh INTERP call. Whenever that cannot be guaranteed the formula is
// evaluated by INTERP again: after a failed evaluation (INTERP reports the same
// error each time) and after the table's layout changed (an entry appended or
// the table cut), in which case the record is made anew.
#include <string>
#include <string_view>

#include "input/expr/interp.hpp"

namespace zeph {

class PreparedFormula {
public:
    // `interpreter` must outlive this object; `text` is copied (already in capitals).
    PreparedFormula(Interpreter& interpreter, std::string_view text);

    // The same as interpreter.evaluate(text, result, message).
    int evaluate(Complex& result, std::string& message);
    // Sets the slots A, B, X (table entries 4..6) and evaluates.
    int evaluate_sample(Complex a, Complex b, Complex x, Complex& result, std::string& message);

    // True when the next evaluation will replay the record.
    bool replaying() const { return recorded_ && layout_version_ == interpreter_.table_layout_version(); }
    const std::string& text() const { return text_; }

private:
    Complex replay();

    Interpreter& interpreter_;
    std::string text_;
    ReductionTrace trace_;
    bool recorded_ = false;
    std::uint64_t layout_version_ = 0;
};

}  // namespace zeph
