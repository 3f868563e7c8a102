#include "input/expr/prepared_formula.hpp"

// Scalar code: GCC's SLP vectorizer pairs the real and imaginary parts into
// 16-byte loads of values just written as two 8-byte stores, and the failed
// store forwarding stalls every step of the replay.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/parallel.hpp"

namespace zeph {

namespace {

// The table entries (0-based) of the per-sample variables.
constexpr std::uint16_t kSlotA = 3, kSlotB = 4, kSlotX = 5;

// Samples per block when the replay is shared out between threads.
constexpr std::size_t kBlockSamples = 4096;

// Runs the recorded steps on the registers (loads already done).
Complex run_steps(const ReductionTrace& trace, Complex* reg, RandomGenerator& random) {
    using Op = ReductionTrace::Op;
    for (const ReductionTrace::Step& step : trace.steps) {
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
    return reg[trace.result];
}

// Draws of the shared generator per evaluation: RAND one, GAUSS two.
std::uint64_t draws_per_evaluation(const ReductionTrace& trace) {
    std::uint64_t draws = 0;
    for (const ReductionTrace::Step& step : trace.steps) {
        if (step.op != ReductionTrace::Op::function) continue;
        if (step.function == FunctionId::rand) draws += 1;
        if (step.function == FunctionId::gauss) draws += 2;
    }
    return draws;
}

// The generator as it is after `count` more draws: the draw s → 69069·s + 1
// (mod 2^32) composed with itself by squaring.
RandomGenerator advanced(RandomGenerator random, std::uint64_t count) {
    std::uint32_t multiplier = 1, increment = 0;         // the composed map s → m·s + c
    std::uint32_t step_multiplier = 69069u, step_increment = 1u;
    for (; count != 0; count >>= 1) {
        if (count & 1u) {
            multiplier *= step_multiplier;
            increment = increment * step_multiplier + step_increment;
        }
        step_increment = step_increment * step_multiplier + step_increment;
        step_multiplier *= step_multiplier;
    }
    const auto state = static_cast<std::uint32_t>(random.seed());
    random.set_seed(static_cast<double>(static_cast<std::uint32_t>(multiplier * state + increment)));
    return random;
}

}  // namespace

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
    const Complex result = run_steps(trace_, reg, interpreter_.random_generator());
    if (trace_.assign_index >= 0) interpreter_.set_slot(trace_.assign_index + 1, result);
    return result;
}

int PreparedFormula::evaluate_samples_one_by_one(std::span<const Complex> a, std::span<const Complex> b,
                                                 double x_before, double dx, std::span<Complex> out,
                                                 std::string& message) {
    std::vector<Complex> result(out.size());
    double x = x_before;
    for (std::size_t i = 0; i < out.size(); ++i) {
        x += dx;
        const Complex sample_a = i < a.size() ? a[i] : Complex{};
        const Complex sample_b = i < b.size() ? b[i] : Complex{};
        if (const int status = evaluate_sample(sample_a, sample_b, Complex{x, 0.0}, result[i], message); status != 0)
            return status;
    }
    std::copy(result.begin(), result.end(), out.begin());
    return kInterpOk;
}

int PreparedFormula::evaluate_samples(std::span<const Complex> a, std::span<const Complex> b, double xmin, double dx,
                                      std::span<Complex> out, std::string& message) {
    if (out.empty()) return kInterpOk;
    // The first sample goes through INTERP (and records the formula); only it can fail.
    const double x0 = xmin - dx + dx;
    Complex first;
    const int status = evaluate_sample(a.empty() ? Complex{} : a[0], b.empty() ? Complex{} : b[0], Complex{x0, 0.0},
                                       first, message);
    if (status != kInterpOk) return status;
    // An assignment to a variable that the formula also reads carries a value
    // from each sample to the next; so does a record that cannot be replayed.
    bool carried = !replaying();
    for (const ReductionTrace::Load& load : trace_.loads) {
        const bool per_sample = load.table_index == kSlotA || load.table_index == kSlotB || load.table_index == kSlotX;
        if (!per_sample && load.table_index == trace_.assign_index) carried = true;
    }
    if (carried) {
        // The table is as the first sample left it: start again one by one.
        std::span<Complex> rest = out.subspan(1);
        std::string rest_message;
        std::vector<Complex> rest_values(rest.size());
        const std::span<const Complex> a_rest = a.empty() ? a : a.subspan(1), b_rest = b.empty() ? b : b.subspan(1);
        if (const int rest_status = evaluate_samples_one_by_one(a_rest, b_rest, x0, dx, rest_values, rest_message);
            rest_status != kInterpOk) {
            message = rest_message;
            return rest_status;
        }
        out[0] = first;
        std::copy(rest_values.begin(), rest_values.end(), rest.begin());
        return kInterpOk;
    }
    out[0] = first;
    replay_samples(a, b, x0, dx, out, 1);
    return kInterpOk;
}

void PreparedFormula::replay_samples(std::span<const Complex> a, std::span<const Complex> b, double x_before,
                                     double dx, std::span<Complex> out, std::size_t first) {
    const std::size_t n = out.size();
    if (first >= n) return;
    const std::size_t blocks = (n - first + kBlockSamples - 1) / kBlockSamples;
    // The abscissa before each block, accumulated exactly as one by one.
    std::vector<double> x_before_block(blocks);
    double x = x_before;
    for (std::size_t block = 0, i = first; block < blocks; ++block) {
        x_before_block[block] = x;
        const std::size_t end = std::min(n, i + kBlockSamples);
        for (; i < end; ++i) x += dx;
    }
    // The last sample's A and B, read before `out` (maybe their storage) is written.
    const std::size_t last = n - 1;
    const Complex last_a = last < a.size() ? a[last] : Complex{}, last_b = last < b.size() ? b[last] : Complex{};
    const RandomGenerator random_at_start = interpreter_.random_generator();
    const std::uint64_t draws = draws_per_evaluation(trace_);
    const std::vector<Variable>& table = interpreter_.variables();

    auto run_block = [&](int block_index) {
        const auto block = static_cast<std::size_t>(block_index);
        const std::size_t begin = first + block * kBlockSamples, end = std::min(n, begin + kBlockSamples);
        std::vector<Complex> registers = trace_.registers;
        Complex* reg = registers.data();
        RandomGenerator random = advanced(random_at_start, draws * (begin - first));
        double x_sample = x_before_block[block];
        for (std::size_t i = begin; i < end; ++i) {
            x_sample += dx;
            const Complex sample_a = i < a.size() ? a[i] : Complex{};
            const Complex sample_b = i < b.size() ? b[i] : Complex{};
            // Every load again, as the one-by-one replay does: a step may reuse a load's register.
            for (const ReductionTrace::Load& load : trace_.loads) {
                switch (load.table_index) {
                    case kSlotA: reg[load.reg] = sample_a; break;
                    case kSlotB: reg[load.reg] = sample_b; break;
                    case kSlotX: reg[load.reg] = Complex{x_sample, 0.0}; break;
                    default: reg[load.reg] = table[load.table_index].value; break;
                }
            }
            out[i] = run_steps(trace_, reg, random);
        }
    };
    const int threads = blocks > 1 ? worker_threads() : 1;
    run_parts(static_cast<int>(blocks), threads, run_block);

    // The table and generator as the last sample leaves them.
    interpreter_.set_slot(kSlotA + 1, last_a);
    interpreter_.set_slot(kSlotB + 1, last_b);
    interpreter_.set_slot(kSlotX + 1, Complex{x, 0.0});
    if (trace_.assign_index >= 0) interpreter_.set_slot(trace_.assign_index + 1, out[last]);
    interpreter_.random_generator() = advanced(random_at_start, draws * (n - first));
}

}  // namespace zeph
