#include "input/expr/prepared_formula.hpp"

// Scalar code: GCC's SLP vectorizer pairs the real and imaginary parts into
// 16-byte loads of values just written as two 8-byte stores, and the failed
// store forwarding stalls every step of the replay.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/parallel.hpp"
#include "base/zeroed_allocator.hpp"
#include "base/stop_request.hpp"
#include "input/expr/function_arrays.hpp"

namespace zeph {

namespace {

// The table entries (0-based) of the per-sample variables.
constexpr std::uint16_t kSlotA = 3, kSlotB = 4, kSlotX = 5;

// Samples per part when the replay is shared out between threads; the stop
// request is looked at before each part.
constexpr std::size_t kPartSamples = 4096;

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

// Draws of the shared generator by one step: RAND one, GAUSS two.
std::size_t draws_of(const ReductionTrace::Step& step) {
    if (step.op != ReductionTrace::Op::function) return 0;
    if (step.function == FunctionId::rand) return 1;
    return step.function == FunctionId::gauss ? 2 : 0;
}



// Signals from this many samples are written past the caches: they would not
// stay there anyway, and streaming saves reading each line before writing it.
constexpr std::size_t kStreamingSamples = std::size_t{1} << 16;

// The abscissa of each sample, x_i = x_(i−1) + dx from the x of sample
// `origin`. When x and dx are whole multiples of one power of two 2^q and
// every sum stays below 2^52·2^q, each addition is exact, so
// x_i = (k0 + (i − origin)·k) · 2^q with integers k0 and k gives the chain's
// values without running the chain: each block fills its abscissas in one
// vector loop and each part knows where it starts. Otherwise the chain runs.
class Abscissa {
public:
    Abscissa(double x_origin, double dx, std::size_t origin, std::size_t samples) : dx_(dx), origin_(origin) {
        if (!std::isfinite(x_origin) || !std::isfinite(dx) || dx == 0) return;
        int q = lowest_bit_exponent(dx);
        if (x_origin != 0) q = std::min(q, lowest_bit_exponent(x_origin));
        if (q > 900) return;
        scale_ = std::ldexp(1.0, q);
        start_ = x_origin / scale_ + 0.0;   // + 0: a zero goes on as +0, as the sums give it
        step_ = dx / scale_;
        exact_ = std::isfinite(start_) && std::isfinite(step_) &&
                 std::fabs(start_) + static_cast<double>(samples) * std::fabs(step_) < 0x1p52;
    }

    bool exact() const { return exact_; }
    // The x of sample i > origin (exact() only).
    double at(std::size_t i) const { return (start_ + static_cast<double>(i - origin_) * step_) * scale_; }

    // The x of samples [begin, begin + count) into `x`, given the x of sample
    // begin − 1 (used by the chain); returns the x of the last one.
    double fill(double x_before, std::size_t begin, std::size_t count, double* x) const {
        if (!exact_) {   // one chain of additions: it cannot be split without changing the sums
            for (std::size_t j = 0; j < count; ++j) x[j] = x_before += dx_;
            return x_before;
        }
        fill_abscissas(start_, static_cast<double>(begin - origin_), step_, scale_, x, count);
        return x[count - 1];
    }

private:
    // The exponent of the lowest set bit of a finite nonzero v.
    static int lowest_bit_exponent(double v) {
        int exponent = 0;
        const double mantissa = std::frexp(std::fabs(v), &exponent);   // in [0.5, 1)
        const auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
        return exponent - 53 + std::countr_zero(bits);
    }

    double dx_;
    std::size_t origin_;
    bool exact_ = false;
    double scale_ = 1, start_ = 0, step_ = 0;
};

// The recorded steps run a block of samples at a time: each step once per
// block, over arrays of up to kMaxBlockSamples values (one dispatch per step
// and block instead of per sample), the registers held as real and imaginary
// arrays. Random draws are taken in sample order, as one by one.
//
// Registers share storage: the loads of one variable read the same arrays,
// and a step's result takes the place of one no longer needed, so that the
// arrays a block works on stay in the first-level cache. The block is
// shortened (a multiple of every vector width, so the vector math groups the
// same samples) when even so they would not fit.
class BlockProgram {
public:
    BlockProgram(const ReductionTrace& trace, const std::vector<Variable>& table) : trace_(trace) {
        std::vector<bool> varies(trace.registers.size(), false);
        for (const ReductionTrace::Step& step : trace.steps) varies[step.dest] = true;
        for (const ReductionTrace::Load& load : trace.loads)
            if (load.table_index == kSlotA || load.table_index == kSlotB || load.table_index == kSlotX) {
                per_sample_.push_back(load);
                varies[load.reg] = true;
            }
        std::vector<Complex> fixed_values = trace.registers;   // constants, and table entries as loaded now
        for (const ReductionTrace::Load& load : trace.loads)
            if (!varies[load.reg]) fixed_values[load.reg] = table[load.table_index].value;
        for (std::size_t r = 0; r < varies.size(); ++r)
            if (!varies[r]) fixed_.push_back({static_cast<std::uint16_t>(r), fixed_values[r]});
        for (const ReductionTrace::Load& load : per_sample_) reads_x_ = reads_x_ || load.table_index == kSlotX;
        // A step of fixed operands that draws nothing has one value for every sample too: it runs once per part.
        for (const ReductionTrace::Step& step : trace.steps) {
            draw_offset_.push_back(draws_per_sample_);
            draws_per_sample_ += draws_of(step);
            const bool fixed = draws_of(step) == 0 && !varies[step.left] &&
                               (step.op == ReductionTrace::Op::function || !varies[step.right]);
            fixed_step_.push_back(fixed);
            varies[step.dest] = !fixed;
        }
        assign_slots(varies);
        block_ = kMaxBlockSamples;
        while (block_ > kSmallestBlock && slots_ * 2 * stride(block_) * sizeof(double) > kRegisterBytes) block_ /= 2;
    }

    std::size_t draws_per_sample() const { return draws_per_sample_; }

    // Samples [begin, end) into out, given the x of sample begin − 1 and the
    // generator as sample begin finds it; returns the x of sample end − 1.
    double run(std::span<const Complex> a, std::span<const Complex> b, const Abscissa& abscissa, double x_before,
               std::size_t begin, std::size_t end, RandomGenerator& random, std::span<Complex> out) const {
        const std::size_t K = block_, S = stride(K);
        // Reused: no fresh pages per part. Cache-line aligned, as the arrays
        // (their stride a whole number of lines): no vector straddles two lines.
        thread_local std::vector<double, ZeroedAllocator<double>> storage, draws;
        storage.resize(slots_ * 2 * S);
        draws.resize(draws_per_sample_ * K);
        const auto re = [&](std::size_t r) { return storage.data() + slot_[r] * 2 * S; };
        const auto im = [&](std::size_t r) { return storage.data() + slot_[r] * 2 * S + S; };
        for (const auto& [r, value] : fixed_) {
            std::fill(re(r), re(r) + K, value.real());
            std::fill(im(r), im(r) + K, value.imag());
        }
        for (const ReductionTrace::Load& load : per_sample_)
            if (load.table_index == kSlotX) std::fill(im(load.reg), im(load.reg) + K, 0.0);
        const auto run_step = [&](std::size_t s, std::size_t count) {
            using Op = ReductionTrace::Op;
            const ReductionTrace::Step& step = trace_.steps[s];
            const BlockIn left{re(step.left), im(step.left)}, right{re(step.right), im(step.right)};
            const BlockOut dest{re(step.dest), im(step.dest)};
            switch (step.op) {
                case Op::function:
                    apply_function_block(step.function, left, dest, count, draws.data() + draw_offset_[s],
                                         draws_per_sample_);
                    break;
                case Op::power: power_block(left, right, dest, count); break;
                case Op::product: product_block(left, right, dest, count); break;
                case Op::quotient: quotient_block(left, right, dest, count); break;
                case Op::sum: sum_block(left, right, dest, count); break;
                case Op::difference: difference_block(left, right, dest, count); break;
                case Op::comma: comma_block(left, right, dest, count); break;
            }
        };
        for (std::size_t s = 0; s < trace_.steps.size(); ++s)
            if (fixed_step_[s]) run_step(s, K);
        double x = x_before;
        thread_local std::vector<double, ZeroedAllocator<double>> x_values;
        x_values.resize(K);
        for (std::size_t block = begin; block < end; block += K) {
            const std::size_t count = std::min(K, end - block);
            if (reads_x_ || !abscissa.exact()) x = abscissa.fill(x, block, count, x_values.data());
            for (const ReductionTrace::Load& load : per_sample_) {
                double* load_re = re(load.reg);
                double* load_im = im(load.reg);
                if (load.table_index == kSlotX) {   // imaginary part 0, set above
                    std::copy(x_values.begin(), x_values.begin() + static_cast<std::ptrdiff_t>(count), load_re);
                    continue;
                }
                const std::span<const Complex> signal = load.table_index == kSlotA ? a : b;
                // Samples beyond the signal's end read as 0.
                const std::size_t inside = block < signal.size() ? std::min(count, signal.size() - block) : 0;
                const Complex* source = signal.data() + (inside > 0 ? block : 0);
                for (std::size_t j = 0; j < inside; ++j) {
                    load_re[j] = source[j].real();
                    load_im[j] = source[j].imag();
                }
                std::fill(load_re + inside, load_re + count, 0.0);
                std::fill(load_im + inside, load_im + count, 0.0);
            }
            draw_uniforms(random, draws.data(), count * draws_per_sample_);

            for (std::size_t s = 0; s < trace_.steps.size(); ++s)
                if (!fixed_step_[s]) run_step(s, count);
            const double* result_re = re(static_cast<std::size_t>(trace_.result));
            const double* result_im = im(static_cast<std::size_t>(trace_.result));
            store_block({result_re, result_im}, out.data() + block, count, out.size() >= kStreamingSamples);
        }
#if defined(__x86_64__)
        _mm_sfence();   // streamed stores are seen by other threads before the part counts as done
#endif
        return abscissa.exact() ? abscissa.at(end - 1) : x;
    }

private:
    // Arrays of a block this long lie this many values apart: not a multiple
    // of 4 KiB, where a store and a later load of another array would be
    // taken for the same address.
    static std::size_t stride(std::size_t block) { return block + 8; }   // 8 doubles: one cache line
    static constexpr std::size_t kSmallestBlock = 64;
    static constexpr std::size_t kRegisterBytes = 64 * 1024;

    // slot_[r]: the storage of register r. The registers of fixed values and
    // the loads of each variable have slots of their own; a step's result
    // takes a slot freed by a register whose last reader has run.
    void assign_slots(const std::vector<bool>& varies) {
        using Op = ReductionTrace::Op;
        const std::size_t registers = trace_.registers.size(), steps = trace_.steps.size();
        const std::size_t kNone = steps + 1, kAlways = steps;   // last readers: none, the end
        std::vector<std::size_t> last_read(registers, kNone);
        std::vector<int> written(registers, 0);
        for (std::size_t s = 0; s < steps; ++s) {
            const ReductionTrace::Step& step = trace_.steps[s];
            ++written[step.dest];
            last_read[step.left] = s;
            if (step.op != Op::function) last_read[step.right] = s;
        }
        last_read[static_cast<std::size_t>(trace_.result)] = kAlways;
        bool shareable = true;   // each result register written once, never a loaded one
        for (const ReductionTrace::Load& load : trace_.loads) shareable = shareable && written[load.reg] == 0;
        for (std::size_t r = 0; r < registers; ++r) shareable = shareable && written[r] <= 1;
        slot_.assign(registers, 0);
        if (!shareable) {
            for (std::size_t r = 0; r < registers; ++r) slot_[r] = r;
            slots_ = registers;
            return;
        }
        slots_ = 0;
        for (std::size_t r = 0; r < registers; ++r)
            if (!varies[r] && last_read[r] != kNone) slot_[r] = slots_++;
        // Fixed registers nobody reads (a function's unused second operand) get no storage and no filling.
        std::erase_if(fixed_, [&](const std::pair<std::uint16_t, Complex>& entry) { return last_read[entry.first] == kNone; });
        std::array<std::size_t, 3> variable_slot{kNone, kNone, kNone};   // A, B, X
        for (const ReductionTrace::Load& load : per_sample_) {
            std::size_t& slot = variable_slot[load.table_index - kSlotA];
            if (slot == kNone) slot = slots_++;
            slot_[load.reg] = slot;
        }
        std::vector<std::size_t> free;
        std::vector<bool> is_step_result(registers, false);
        for (std::size_t s = 0; s < steps; ++s) {
            const ReductionTrace::Step& step = trace_.steps[s];
            if (!varies[step.dest]) {   // a fixed step's result keeps its own slot
                if (last_read[step.dest] == kNone) slot_[step.dest] = slots_++;
                continue;
            }
            is_step_result[step.dest] = true;
            if (free.empty()) free.push_back(slots_++);
            slot_[step.dest] = free.back();
            free.pop_back();
            const auto release = [&](std::size_t r) {
                if (is_step_result[r] && (last_read[r] <= s || last_read[r] == kNone)) {
                    free.push_back(slot_[r]);
                    is_step_result[r] = false;
                }
            };
            release(step.left);
            if (step.op != Op::function && step.right != step.left) release(step.right);
            if (step.dest != step.left && step.dest != step.right) release(step.dest);   // never read
        }
    }

    const ReductionTrace& trace_;
    std::vector<std::pair<std::uint16_t, Complex>> fixed_;   // registers with one value for every sample
    std::vector<ReductionTrace::Load> per_sample_;            // loads of A, B and X
    std::vector<std::size_t> draw_offset_;                    // per step: its first draw within a sample's
    std::vector<bool> fixed_step_;                            // per step: operands fixed, no draws
    std::vector<std::size_t> slot_;                           // per register: its storage
    std::size_t slots_ = 0;
    std::size_t block_ = kMaxBlockSamples;                    // samples per block
    std::size_t draws_per_sample_ = 0;
    bool reads_x_ = false;
};

InterpStatus stopped(std::string& message) {
    message = kEvaluationStoppedMessage;
    return InterpStatus::stopped;
}

}  // namespace

PreparedFormula::PreparedFormula(Interpreter& interpreter, std::string_view text)
    : interpreter_(interpreter), text_(text) {}

InterpStatus PreparedFormula::evaluate_sample(Complex a, Complex b, Complex x, Complex& result, std::string& message) {
    interpreter_.set_slot(4, a);
    interpreter_.set_slot(5, b);
    interpreter_.set_slot(6, x);
    return evaluate(result, message);
}

InterpStatus PreparedFormula::evaluate(Complex& result, std::string& message) {
    if (replaying()) {
        result = replay();
        return InterpStatus::ok;
    }
    const InterpStatus status = interpreter_.evaluate_recorded(text_, result, message, trace_);
    recorded_ = status == InterpStatus::ok;
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

InterpStatus PreparedFormula::evaluate_samples_one_by_one(std::span<const Complex> a, std::span<const Complex> b,
                                                 double x_before, double dx, std::span<Complex> out,
                                                 std::string& message) {
    std::vector<Complex> result(out.size());
    double x = x_before;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i % kStopCheckInterval == 0 && stop_requested()) return stopped(message);
        x += dx;
        const Complex sample_a = i < a.size() ? a[i] : Complex{};
        const Complex sample_b = i < b.size() ? b[i] : Complex{};
        if (const InterpStatus status = evaluate_sample(sample_a, sample_b, Complex{x, 0.0}, result[i], message); status != InterpStatus::ok)
            return status;
    }
    std::copy(result.begin(), result.end(), out.begin());
    return InterpStatus::ok;
}

InterpStatus PreparedFormula::evaluate_samples(std::span<const Complex> a, std::span<const Complex> b, double xmin, double dx,
                                      std::span<Complex> out, std::string& message) {
    if (out.empty()) return InterpStatus::ok;
    // The first sample goes through INTERP (and records the formula); only it can fail.
    const double x0 = xmin - dx + dx;
    Complex first;
    const InterpStatus status = evaluate_sample(a.empty() ? Complex{} : a[0], b.empty() ? Complex{} : b[0], Complex{x0, 0.0},
                                       first, message);
    if (status != InterpStatus::ok) return status;
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
        if (const InterpStatus rest_status = evaluate_samples_one_by_one(a_rest, b_rest, x0, dx, rest_values, rest_message);
            rest_status != InterpStatus::ok) {
            message = rest_message;
            return rest_status;
        }
        out[0] = first;
        std::copy(rest_values.begin(), rest_values.end(), rest.begin());
        return InterpStatus::ok;
    }
    if (!replay_samples(a, b, x0, dx, out, 1)) return stopped(message);
    out[0] = first;   // sample 0's A and B were read by its evaluation above
    return InterpStatus::ok;
}

bool PreparedFormula::replay_samples(std::span<const Complex> a, std::span<const Complex> b, double x_before,
                                     double dx, std::span<Complex> out, std::size_t first) {
    const std::size_t n = out.size();
    if (first >= n) return true;
    const std::size_t parts = (n - first + kPartSamples - 1) / kPartSamples;
    const int threads = parts > 1 ? worker_threads() : 1;
    // The abscissa before each part, accumulated exactly as one by one. On one
    // thread the parts, coming in order, carry it along. On several, each part
    // first adds up its own stretch of the chain once the part before has
    // (parts are taken in order, so that one is running), then evaluates;
    // when the sums are exact, each part works out its start by itself.
    const Abscissa abscissa(x_before, dx, first - 1, n - first + 1);
    std::vector<double> x_before_part(parts + 1);
    const auto x_ready = std::make_unique<std::atomic<bool>[]>(parts + 1);
    x_before_part[0] = x_before;
    x_ready[0].store(true);
    double x = x_before;
    // The last sample's A and B, read before `out` (maybe their storage) is written.
    const std::size_t last = n - 1;
    const Complex last_a = last < a.size() ? a[last] : Complex{}, last_b = last < b.size() ? b[last] : Complex{};
    const RandomGenerator random_at_start = interpreter_.random_generator();
    const BlockProgram program(trace_, interpreter_.variables());
    const std::uint64_t draws = program.draws_per_sample();
    std::atomic<bool> halted{false};

    auto run_part = [&](int part_index) {
        const auto part = static_cast<std::size_t>(part_index);
        const std::size_t begin = first + part * kPartSamples, end = std::min(n, begin + kPartSamples);
        if (threads > 1 && !abscissa.exact()) {   // published even when stopping: later parts wait for it
            while (!x_ready[part].load(std::memory_order_acquire)) std::this_thread::yield();
            double x_end = x_before_part[part];
            for (std::size_t i = begin; i < end; ++i) x_end += dx;
            x_before_part[part + 1] = x_end;
            x_ready[part + 1].store(true, std::memory_order_release);
        }
        if (halted.load(std::memory_order_relaxed) || stop_requested()) {
            halted.store(true, std::memory_order_relaxed);
            return;
        }
        RandomGenerator random = random_at_start;
        random.advance(draws * (begin - first));
        if (threads > 1) {
            const double x_start = abscissa.exact() ? abscissa.at(begin - 1) : x_before_part[part];
            program.run(a, b, abscissa, x_start, begin, end, random, out);
        } else {
            x = program.run(a, b, abscissa, x, begin, end, random, out);   // parts come in order
        }
    };
    run_parts(static_cast<int>(parts), threads, run_part);
    if (halted.load()) return false;
    if (threads > 1) x = abscissa.exact() ? abscissa.at(n - 1) : x_before_part[parts];

    // The table and generator as the last sample leaves them.
    interpreter_.set_slot(kSlotA + 1, last_a);
    interpreter_.set_slot(kSlotB + 1, last_b);
    interpreter_.set_slot(kSlotX + 1, Complex{x, 0.0});
    if (trace_.assign_index >= 0) interpreter_.set_slot(trace_.assign_index + 1, out[last]);
    interpreter_.random_generator() = random_at_start;
    interpreter_.random_generator().advance(draws * (n - first));
    return true;
}

}  // namespace zeph
