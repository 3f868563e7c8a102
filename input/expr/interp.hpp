#pragma once
// INTERP: the program's complex expression interpreter.
//
// Every call tokenizes the text afresh and reduces the token list in passes
// (functions, powers, products, sums, commas), innermost parentheses first.
// The variable table (40 named complex values) and the random seed persist for
// the whole run and are owned by the Interpreter object.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/complex.hpp"
#include "input/expr/functions.hpp"

namespace zeph {

inline constexpr int kMaxVariables = 40;
inline constexpr int kMaxTokens = 132;
inline constexpr int kMaxTokenLength = 40;
inline constexpr int kPredefinedVariables = 6;   // HAFPI, PI, TWOPI, A, B, X

// Statuses of INTERP, with the numbers its messages are known by (0 = success).
enum class InterpStatus : int {
    ok = 0,
    syntax_error = 1,
    unassigned_variable = 2,
    bad_constant = 3,
    unbalanced_parentheses = 4,
    missing_function_argument = 5,
    invalid_function_argument = 6,
    unrecognized_function = 7,
    missing_exponent = 8,
    invalid_exponent = 9,
    missing_base = 10,
    invalid_base = 11,
    missing_product_operand = 12,
    invalid_product_operand = 13,
    missing_sum_operand = 14,
    invalid_sum_operand = 15,
    missing_comma_operand = 16,
    invalid_comma_operand = 17,
    missing_expression = 18,
    invalid_expression = 19,
    too_many_variables = 20,
    // Not INTERP's own: a formula over a signal abandoned because the run is
    // ending (a stop request). It has no message of INTERP's.
    stopped = 21,
};

// The message of a status, unpadded; `detail` is the token text that statuses 2,
// 3 and 7 carry (ignored by the others). Empty for status 0 or unknown codes.
std::string interp_message(InterpStatus status, std::string_view detail = {});

struct Variable {
    std::string name;   // first six characters of the name, upper case, no padding
    Complex value;
};

// Seeds the random generator on the first evaluation of the run:
// hours*1000000 + minutes*10000 + seconds*100 + hundredths of the time of day.
using SeedClock = std::function<double()>;
double seed_from_time_of_day();

// The arithmetic of one successful evaluation, recorded step by step so that a
// formula can be re-evaluated for new values of the variables without
// tokenizing and reducing again (PreparedFormula). The reduction's control
// flow depends only on the kinds of the tokens, never on values, so replaying
// the steps in order gives the same values, the same random draws in the same
// order, as a fresh evaluation.
struct ReductionTrace {
    enum class Op : std::uint8_t { function, power, product, quotient, sum, difference, comma };
    struct Step {
        Op op;
        FunctionId function;   // for Op::function
        std::uint16_t left;    // register of the left operand (the argument of a function)
        std::uint16_t right;   // register of the right operand (unused for a function)
        std::uint16_t dest;    // register that receives the result
    };
    struct Load {
        std::uint16_t reg;           // register that receives the variable's value
        std::uint16_t table_index;   // 0-based entry of the variable table
    };
    std::vector<Complex> registers;   // constants keep their recorded values
    std::vector<Load> loads;          // in token order
    std::vector<Step> steps;          // in the order INTERP performed them
    int result = -1;                  // register of the result
    int assign_index = -1;            // 0-based table entry the result is stored in, -1: none

    void clear();
};

class Interpreter {
public:
    explicit Interpreter(SeedClock clock = seed_from_time_of_day);

    // Evaluates `text` (already in capitals). On success returns ok and sets
    // `result`; an assignment NAME=expr also stores the value. On failure
    // returns the status, leaves `result` and the table untouched and
    // writes the message (unpadded) to `message`.
    InterpStatus evaluate(std::string_view text, Complex& result, std::string& message);
    // INTERP's mode argument: mode 1 first cuts the table back to its six
    // predefined entries; any other mode is evaluate() itself.
    InterpStatus evaluate(std::string_view text, int mode, Complex& result, std::string& message);
    // evaluate() that also records its arithmetic in `trace` (cleared first;
    // meaningful only when the status is ok).
    InterpStatus evaluate_recorded(std::string_view text, Complex& result, std::string& message, ReductionTrace& trace);

    // Defines NAME=value through the interpreter's own text form, as the shell
    // does for the grid variables ("DT=" + value in exponent form, "%24.17E").
    // A value that has no such text (infinite or NaN) is stored directly.
    InterpStatus define(std::string_view name, double value, std::string& message);
    // NAME=value with the value as an integer (NPTS).
    InterpStatus define_integer(std::string_view name, long long value, std::string& message);

    // Names that always find a slot when they are first assigned: other new
    // names stop short of the slots these still need (the shell's grid
    // variables, which every listing and plot default relies on).
    void reserve_slots(std::vector<std::string> names) { reserved_ = std::move(names); }

    // The table: HAFPI, PI, TWOPI, A, B, X at start, then user names.
    const std::vector<Variable>& variables() const { return variables_; }
    // Direct access to the per-sample slots A, B and X (entries 4..6) for EQ;
    // any existing entry 1..count may be set. Out of range: ignored.
    void set_slot(int index_1_based, Complex value) {
        if (index_1_based >= 1 && index_1_based <= static_cast<int>(variables_.size()))
            variables_[static_cast<std::size_t>(index_1_based - 1)].value = value;
    }
    // Cuts the table back to its six predefined entries (INTERP's mode 1); the
    // values of those six are kept.
    void reset_to_predefined();
    // Changes whenever an entry is appended or the table is cut; values
    // changing (assignments to existing names, set_slot) leave it.
    std::uint64_t table_layout_version() const { return layout_version_; }

    double random_seed() const { return random_.seed(); }
    // Sets the seed; an explicit seed also counts as the run's seeding, so the
    // clock is no longer consulted at the first evaluation.
    void set_random_seed(double seed);
    // One draw of the shared generator: seed <- (69069*seed + 1) mod 2^32, returns seed/2^32.
    double draw_uniform() { return random_.draw_uniform(); }
    RandomGenerator& random_generator() { return random_; }
    // Seeds from the clock if this has not happened yet (done by every evaluation).
    void seed_if_first_call();

private:
    struct Token {
        enum class Kind : std::uint8_t { consumed, op, name, number, function, value };
        Kind kind = Kind::consumed;
        char op = 0;                // the operator character for Kind::op
        std::uint8_t length = 0;    // text length for op, name, number and function tokens
        std::uint16_t reg = 0;      // register of a value token while recording
        std::array<char, kMaxTokenLength> text{};   // function tokens: the name without "%"
        Complex value;
        std::string_view view() const { return {text.data(), length}; }
        bool is_op(char c) const { return kind == Kind::op && op == c; }
    };

    InterpStatus run(std::string_view text, Complex& result, std::string& message, ReductionTrace* trace);
    InterpStatus fail(InterpStatus status, std::string_view detail, std::string& message);
    InterpStatus tokenize(std::string_view text);
    InterpStatus prepare(int start, std::string& message);
    InterpStatus reduce(int first, int last, std::string& message);
    InterpStatus reduce_functions(int first, int last, std::string& message);
    InterpStatus reduce_powers(int first, int last, std::string& message);
    InterpStatus reduce_products(int first, int last, std::string& message);
    InterpStatus reduce_sums(int first, int last, std::string& message);
    InterpStatus reduce_commas(int first, int last, std::string& message);
    int find_variable(std::string_view name) const;
    InterpStatus assign(std::string_view name, Complex value, std::string& message);
    // The nearest token that is not consumed after / before index i within
    // [first, last]; -1 when there is none.
    int next_token(int i, int last) const;
    int previous_token(int i, int first) const;
    // Turns token i into a value token, recording it while a trace is active.
    void make_constant(int i, Complex value);
    void make_load(int i, int table_index);
    void make_result(int i, ReductionTrace::Op op, FunctionId function, int left, int right, Complex value);
    std::uint16_t zero_register();

    SeedClock clock_;
    bool seeded_ = false;
    RandomGenerator random_;
    std::vector<Variable> variables_;
    std::vector<std::string> reserved_;   // see reserve_slots
    std::uint64_t layout_version_ = 0;
    std::array<Token, kMaxTokens> tokens_{};
    int token_count_ = 0;
    ReductionTrace* trace_ = nullptr;   // set while recording
    int zero_register_ = -1;
};

}  // namespace zeph
