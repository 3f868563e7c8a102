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

#include "base/complex.hpp"

namespace zeph {

inline constexpr int kMaxVariables = 40;
inline constexpr int kMaxTokens = 132;
inline constexpr int kMaxTokenLength = 40;

struct Variable {
    std::string name;   // first six characters of the name, upper case, no padding
    Complex value;
};

// Seeds the random generator on the first evaluation of the run:
// hours*1000000 + minutes*10000 + seconds*100 + hundredths of the time of day.
using SeedClock = std::function<double()>;
double seed_from_time_of_day();

class Interpreter {
public:
    explicit Interpreter(SeedClock clock = seed_from_time_of_day);

    // Evaluates `text` (already in capitals). On success returns 0 and sets
    // `result`; an assignment NAME=expr also stores the value. On failure
    // returns the status 1..20, leaves `result` and the table untouched and
    // writes the message (unpadded) to `message`.
    int evaluate(std::string_view text, Complex& result, std::string& message);

    // Defines NAME=value through the interpreter's own text form, as the shell
    // does for the grid variables ("DT=" + value in exponent form).
    int define(std::string_view name, double value, std::string& message);

    // The table: HAFPI, PI, TWOPI, A, B, X at start, then user names.
    const std::vector<Variable>& variables() const;
    // Direct access to the per-sample slots A, B and X (entries 4..6) for EQ.
    void set_slot(int index_1_based, Complex value);
    void reset_to_predefined();

    double random_seed() const;
    void set_random_seed(double seed);
    // One draw of the shared generator: seed <- (69069*seed + 1) mod 2^32, returns seed/2^32.
    double draw_uniform();
};

}  // namespace zeph
