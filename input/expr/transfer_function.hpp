#pragma once
// A transfer function H(s) typed by the user, evaluated by the interpreter at
// the angular frequencies of a spectrum.
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "base/complex.hpp"
#include "base/status.hpp"
#include "input/expr/prepared_formula.hpp"

namespace zeph {

// The assignment the interpreter evaluates before the typed expression:
// "S=CMPLX(0," + ω in a 25-character field with 18 decimals + ")".
std::string omega_assignment(double omega);

// The message of a failed typed formula: the interpreter's message, ": " and
// the text that failed (the assignment or the expression).
std::string formula_error_message(std::string_view interpreter_message, std::string_view failed_text);

// A typed H(s), evaluated by the interpreter at every angular frequency ω
// [rad/s]: first the assignment omega_assignment(ω), "S=CMPLX(0," + ω in 25
// characters with 18 decimals + ")", then the expression. The expression is
// prepared once; values, random draws, table effects and messages are those
// of evaluating both texts afresh for every sample. The assignment goes
// through the interpreter the first time (creating S); afterwards S receives
// the number the interpreter would read from the text.
// Usable as the ResponseFormula of the filter routines; header-only so the
// benchmarks can time it.
class TypedTransferFunction {
public:
    // `expression` in capitals; `interpreter` must outlive this object.
    TypedTransferFunction(Interpreter& interpreter, std::string_view expression)
        : interpreter_(interpreter), expression_(interpreter, expression) {}

    Status operator()(double omega, Complex& h) {
        if (text_reads_back_exactly(omega) && s_still_at_entry()) {
            // CMPLX(0, ω): a real part of +0 and ω itself as imaginary part.
            interpreter_.set_slot(s_entry_, Complex{0.0, omega});
        } else if (Status status = assign_s(omega_assignment(omega)); !status) {
            return status;
        }
        std::string message;
        if (expression_.evaluate(h, message) != InterpStatus::ok)
            return Status::failure(formula_error_message(message, expression_.text()));
        return Status::success();
    }

private:
    static constexpr std::string_view kAssignmentHead = "S=CMPLX(0,";
    // From 0.01 on, 18 decimals are at least 17 significant digits, which the
    // interpreter reads back (correctly rounded) as ω itself: the text need
    // not be written. Smaller values lose digits in the text and take it.
    static constexpr double kExactTextFrom = 0.01;

    static bool text_reads_back_exactly(double omega) {
        return std::isfinite(omega) && std::abs(omega) >= kExactTextFrom;
    }

    Status assign_s(const std::string& assignment) {
        double value = 0.0;
        if (s_still_at_entry() && read_assigned_number(assignment, value)) {
            // CMPLX(0, v): a real part of +0 and the number as imaginary part.
            interpreter_.set_slot(s_entry_, Complex{0.0, value});
            return Status::success();
        }
        Complex ignored;
        std::string message;
        if (interpreter_.evaluate(assignment, ignored, message) != InterpStatus::ok)
            return Status::failure(formula_error_message(message, assignment));
        find_s();
        return Status::success();
    }

    bool s_still_at_entry() const {
        const auto& table = interpreter_.variables();
        return s_entry_ >= 1 && s_entry_ <= static_cast<int>(table.size()) &&
               table[static_cast<std::size_t>(s_entry_ - 1)].name == "S";
    }

    void find_s() {
        const auto& table = interpreter_.variables();
        s_entry_ = -1;
        for (std::size_t k = 0; k < table.size(); ++k)
            if (table[k].name == "S") s_entry_ = static_cast<int>(k) + 1;
    }

    // The number of "S=CMPLX(0,   -ddd.dddddd)" as the interpreter reads it:
    // blanks skipped, the digits converted to the nearest double, a minus
    // reduced as 0 − x (so "-0.000…" gives +0). False for any other form
    // (inf, nan), which then goes through the interpreter itself.
    static bool read_assigned_number(std::string_view text, double& value) {
        if (text.substr(0, kAssignmentHead.size()) != kAssignmentHead || text.back() != ')') return false;
        std::string_view field = text.substr(kAssignmentHead.size(), text.size() - kAssignmentHead.size() - 1);
        while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
        const bool negative = !field.empty() && field.front() == '-';
        if (negative) field.remove_prefix(1);
        const std::size_t point = field.find('.');
        if (point == 0 || point == std::string_view::npos || point + 1 == field.size()) return false;
        for (std::size_t i = 0; i < field.size(); ++i)
            if (i != point && (field[i] < '0' || field[i] > '9')) return false;
        double number = 0.0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
        if (error != std::errc{} || end != field.data() + field.size()) return false;
        value = negative ? 0.0 - number : number;
        return true;
    }

    Interpreter& interpreter_;
    PreparedFormula expression_;
    int s_entry_ = -1;   // 1-based table entry of S, once an assignment went through the interpreter
};

}  // namespace zeph
