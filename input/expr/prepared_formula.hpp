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
// the table cut), in which case the record is made anew. A whole signal
// (evaluate_samples) replays the record a block of samples at a time.
#include <span>
#include <string>
#include <string_view>

#include "input/expr/interp.hpp"

namespace zeph {

// The message of evaluate_samples' status InterpStatus::stopped (the run is ending).
inline constexpr std::string_view kEvaluationStoppedMessage = "Formula not evaluated: the run is ending.";

class PreparedFormula {
public:
    // `interpreter` must outlive this object; `text` is copied (already in capitals).
    PreparedFormula(Interpreter& interpreter, std::string_view text);

    // The same as interpreter.evaluate(text, result, message).
    InterpStatus evaluate(Complex& result, std::string& message);
    // Sets the slots A, B, X (table entries 4..6) and evaluates.
    InterpStatus evaluate_sample(Complex a, Complex b, Complex x, Complex& result, std::string& message);

    // EQ's samples: out[i] = F with A = a[i], B = b[i] (0 beyond the ends of
    // a and b) and X = x_i, for i < out.size(), where x_i is accumulated as
    // x_−1 = xmin − dx, x_i = x_(i−1) + dx. Values, random draws, the table
    // left behind and messages are those of evaluate_sample called for each i
    // in order, whatever the thread count (worker_threads()); the replayed
    // samples are shared out between threads in blocks. On failure returns
    // the status of the first failing sample with its message and leaves
    // `out` unchanged. `out` may be the storage of a or b: sample i is read
    // before out[i] is written. The replay runs each step over a block of
    // samples at a time (vector math within 1 ULP of the C library's for the
    // transcendental functions) and looks at the stop request between blocks:
    // a stop ends it with InterpStatus::stopped (the run is ending): the table
    // as the samples evaluated so far left it, `out` partly written when the
    // stop came mid-way, untouched when it came before the first block.
    InterpStatus evaluate_samples(std::span<const Complex> a, std::span<const Complex> b, double xmin, double dx,
                         std::span<Complex> out, std::string& message);

    // True when the next evaluation will replay the record.
    bool replaying() const { return recorded_ && layout_version_ == interpreter_.table_layout_version(); }
    const std::string& text() const { return text_; }

private:
    Complex replay();
    // Samples [first, out.size()) by replaying, given the x of sample first − 1.
    // False: stopped by a stop request.
    bool replay_samples(std::span<const Complex> a, std::span<const Complex> b, double x_before, double dx,
                        std::span<Complex> out, std::size_t first);
    // Samples by evaluate_sample, given the x of the sample before out[0]; `out` is written only on success.
    InterpStatus evaluate_samples_one_by_one(std::span<const Complex> a, std::span<const Complex> b, double x_before, double dx,
                                    std::span<Complex> out, std::string& message);

    Interpreter& interpreter_;
    std::string text_;
    ReductionTrace trace_;
    bool recorded_ = false;
    std::uint64_t layout_version_ = 0;
};

}  // namespace zeph
