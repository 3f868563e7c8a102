#include "input/expr/interp.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace zeph {

namespace {

constexpr std::array<std::string_view, 21> kMessages{
    "",
    "******INTERP. SYNTAX ERROR.",
    "*****INTERP. VARIABLE ",   // + name + kUnassignedTail
    "*****INTERP. ERROR READING CONSTANT ",
    "*****INTERP. UNBALANCED PARENTHESES.",
    "*****INTERP. MISSING FUNCTION ARGUMENT",
    "*****INTERP. INVALID FUNCTION ARGUMENT",
    "*****INTERP. UNRECOGNIZED FUNCTION: ",
    "*****INTERP. MISSING EXPONENT FOR EXPONENTIATION",
    "*****INTERP. INVALID EXPONENT FOR EXPONENTIATION",
    "*****INTERP. MISSING BASE FOR EXPONENTIATION",
    "*****INTERP. INVALID BASE FOR EXPONENTIATION",
    "*****INTERP. MISSING OPERAND FOR * OR /",
    "*****INTERP. INVALID OPERAND FOR * OR /",
    "*****INTERP. MISSING OPERAND FOR + OR -",
    "*****INTERP. INVALID OPERAND FOR + OR -",
    "*****INTERP. MISSING OPERAND FOR \",\"",
    "*****INTERP. INVALID OPERAND FOR \",\"",
    "*****INTERP. MISSING EXPRESSION",
    "*****INTERP. INVALID EXPRESSION",
    "*****INTERP. NO MORE THAN 40 VARIABLES ALLOWED",
};
constexpr std::string_view kUnassignedTail = " HAS NOT BEEN ASSIGNED A VALUE";

constexpr bool is_operator_char(char c) {
    return c == '^' || c == ',' || c == ')' || c == '(' || c == '=' || c == '/' || c == '*' || c == '+' || c == '-';
}
constexpr bool is_letter(char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_exponent_letter(char c) { return c == 'E' || c == 'D' || c == 'Q'; }

// Reads a constant token: digits with an optional point (at least one digit),
// optionally an exponent letter E, D or Q and an optionally signed integer.
// Overflow gives infinity, underflow zero.
bool parse_constant(std::string_view text, double& value) {
    std::array<char, 2 * kMaxTokenLength + 4> buffer{};
    std::size_t length = 0, i = 0;
    int integer_digits = 0, first_significant = -1, digit_count = 0;
    auto take_digits = [&](bool integer_part) {
        while (i < text.size() && is_digit(text[i])) {
            if (first_significant < 0 && text[i] != '0') first_significant = digit_count;
            ++digit_count;
            if (integer_part) ++integer_digits;
            buffer[length++] = text[i++];
        }
    };
    take_digits(true);
    if (i < text.size() && text[i] == '.') {
        if (length == 0) buffer[length++] = '0';
        buffer[length++] = text[i++];
        take_digits(false);
    }
    if (digit_count == 0) return false;
    long long exponent = 0;
    if (i < text.size() && is_exponent_letter(text[i])) {
        buffer[length++] = 'e';
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negative = text[i] == '-';
            buffer[length++] = text[i++];
        }
        const std::size_t exponent_start = i;
        while (i < text.size() && is_digit(text[i])) {
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
            buffer[length++] = text[i++];
        }
        if (i == exponent_start) return false;
        if (negative) exponent = -exponent;
    }
    if (i != text.size()) return false;
    double parsed = 0;
    const auto [end, error] = std::from_chars(buffer.data(), buffer.data() + length, parsed);
    if (error == std::errc::result_out_of_range) {
        // Decimal exponent of the first significant digit decides overflow or underflow.
        const long long magnitude = exponent + integer_digits - first_significant - 1;
        parsed = magnitude > 0 ? HUGE_VAL : 0.0;
    } else if (error != std::errc{} || end != buffer.data() + length) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

std::string interp_message(InterpStatus status, std::string_view detail) {
    const auto number = static_cast<std::size_t>(status);
    if (status == InterpStatus::ok || number >= kMessages.size()) return {};
    std::string message(kMessages[number]);
    if (status == InterpStatus::unassigned_variable) {
        message += detail;
        message += kUnassignedTail;
    } else if (status == InterpStatus::bad_constant || status == InterpStatus::unrecognized_function) {
        message += detail;
    }
    return message;
}

double seed_from_time_of_day() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    const long hundredths = now.tv_nsec / 10000000;
    return local.tm_hour * 1000000.0 + local.tm_min * 10000.0 + local.tm_sec * 100.0 + static_cast<double>(hundredths);
}

void ReductionTrace::clear() {
    registers.clear();
    loads.clear();
    steps.clear();
    result = -1;
    assign_index = -1;
}

Interpreter::Interpreter(SeedClock clock) : clock_(std::move(clock)) {
    variables_.reserve(kMaxVariables);
    variables_.push_back({"HAFPI", {kPi / 2, 0}});
    variables_.push_back({"PI", {kPi, 0}});
    variables_.push_back({"TWOPI", {kTwoPi, 0}});
    variables_.push_back({"A", {0, 0}});
    variables_.push_back({"B", {0, 0}});
    variables_.push_back({"X", {0, 0}});
}

void Interpreter::seed_if_first_call() {
    if (seeded_) return;
    seeded_ = true;
    random_.set_seed(clock_ ? clock_() : 0.0);
}

void Interpreter::set_random_seed(double seed) {
    seeded_ = true;
    random_.set_seed(seed);
}

void Interpreter::reset_to_predefined() {
    if (variables_.size() > kPredefinedVariables) {
        variables_.resize(kPredefinedVariables);
        ++layout_version_;
    }
}

InterpStatus Interpreter::evaluate(std::string_view text, Complex& result, std::string& message) {
    return run(text, result, message, nullptr);
}

InterpStatus Interpreter::evaluate(std::string_view text, int mode, Complex& result, std::string& message) {
    if (mode == 1) reset_to_predefined();
    return run(text, result, message, nullptr);
}

InterpStatus Interpreter::evaluate_recorded(std::string_view text, Complex& result, std::string& message,
                                   ReductionTrace& trace) {
    return run(text, result, message, &trace);
}

InterpStatus Interpreter::define(std::string_view name, double value, std::string& message) {
    if (!std::isfinite(value)) {
        seed_if_first_call();
        return assign(name, {value, 0}, message);
    }
    char number[40];
    std::snprintf(number, sizeof number, "%24.17E", value);
    std::string text(name);
    text += '=';
    text += number;
    Complex ignored;
    return evaluate(text, ignored, message);
}

InterpStatus Interpreter::define_integer(std::string_view name, long long value, std::string& message) {
    std::string text(name);
    text += '=';
    text += std::to_string(value);
    Complex ignored;
    return evaluate(text, ignored, message);
}

InterpStatus Interpreter::fail(InterpStatus status, std::string_view detail, std::string& message) {
    message = interp_message(status, detail);
    return status;
}

InterpStatus Interpreter::run(std::string_view text, Complex& result, std::string& message, ReductionTrace* trace) {
    seed_if_first_call();
    struct TraceScope {
        Interpreter& self;
        ~TraceScope() { self.trace_ = nullptr; }
    } scope{*this};
    trace_ = trace;
    zero_register_ = -1;
    if (trace_) trace_->clear();

    if (tokenize(text) != InterpStatus::ok) return fail(InterpStatus::syntax_error, {}, message);

    // Assignment NAME=expr starts at token 3; a leading "=" is skipped.
    int start = 0;
    if (token_count_ >= 2 && tokens_[1].is_op('=')) {
        // Only a name can be assigned to: "1=2" and "==1" are not assignments.
        if (tokens_[0].kind != Token::Kind::name) return fail(InterpStatus::syntax_error, {}, message);
        start = 2;
    } else if (token_count_ >= 1 && tokens_[0].is_op('=')) {
        start = 1;
    }

    if (const InterpStatus status = prepare(start, message); status != InterpStatus::ok) return status;

    const int last = token_count_ - 1;
    for (;;) {
        int close = -1;
        for (int i = start; i <= last; ++i)
            if (tokens_[i].is_op(')')) {
                close = i;
                break;
            }
        if (close < 0) break;
        // The token before ")" is the content, so the search starts two to its left.
        int open = -1;
        for (int j = close - 2; j >= start; --j)
            if (tokens_[j].is_op('(')) {
                open = j;
                break;
            }
        if (open < 0) return fail(InterpStatus::unbalanced_parentheses, {}, message);
        tokens_[open].kind = Token::Kind::consumed;
        tokens_[close].kind = Token::Kind::consumed;
        if (const InterpStatus status = reduce(open + 1, close - 1, message); status != InterpStatus::ok) return status;
    }
    if (const InterpStatus status = reduce(start, last, message); status != InterpStatus::ok) return status;

    const int first = next_token(start - 1, last);
    if (first < 0) return fail(InterpStatus::missing_expression, {}, message);
    if (tokens_[first].kind != Token::Kind::value) return fail(InterpStatus::invalid_expression, {}, message);
    const Complex value = tokens_[first].value;
    if (start == 2) {
        if (const InterpStatus status = assign(tokens_[0].view(), value, message); status != InterpStatus::ok) return status;
    }
    if (trace_) trace_->result = tokens_[first].reg;
    result = value;
    return InterpStatus::ok;
}

// Blanks are skipped and never end a token; an operator ends any token in
// progress, except a sign directly after the exponent letter of a number.
InterpStatus Interpreter::tokenize(std::string_view text) {
    token_count_ = 0;
    int open = -1;   // the name or number token in progress
    for (char c : text) {
        if (c == ' ') continue;
        if (is_operator_char(c)) {
            if ((c == '+' || c == '-') && open >= 0 && tokens_[open].kind == Token::Kind::number &&
                is_exponent_letter(tokens_[open].text[tokens_[open].length - 1])) {
                Token& number = tokens_[open];
                if (number.length == kMaxTokenLength) return InterpStatus::syntax_error;
                number.text[number.length++] = c;
                continue;
            }
            open = -1;
            if (token_count_ == kMaxTokens) return InterpStatus::syntax_error;
            Token& token = tokens_[token_count_++];
            token.kind = Token::Kind::op;
            token.op = c;
            token.text[0] = c;
            token.length = 1;
            continue;
        }
        if (open >= 0) {
            Token& token = tokens_[open];
            if (token.length == kMaxTokenLength) return InterpStatus::syntax_error;
            token.text[token.length++] = c;
            continue;
        }
        Token::Kind kind;
        if (is_letter(c) || c == '$') kind = Token::Kind::name;
        else if (is_digit(c) || c == '.') kind = Token::Kind::number;
        else return InterpStatus::syntax_error;
        if (token_count_ == kMaxTokens) return InterpStatus::syntax_error;
        open = token_count_++;
        Token& token = tokens_[open];
        token.kind = kind;
        token.op = 0;
        token.text[0] = c;
        token.length = 1;
    }
    return InterpStatus::ok;
}

// The three preparation passes: function marking, variable resolution, constants.
InterpStatus Interpreter::prepare(int start, std::string& message) {
    for (int i = start; i < token_count_; ++i) {
        Token& token = tokens_[i];
        if (token.kind == Token::Kind::name && is_letter(token.text[0]) && i + 1 < token_count_ &&
            tokens_[i + 1].is_op('('))
            token.kind = Token::Kind::function;
    }
    for (int i = start; i < token_count_; ++i) {
        const Token& token = tokens_[i];
        if (token.kind != Token::Kind::name || !is_letter(token.text[0])) continue;   // "$" names stay
        const int index = find_variable(token.view());
        if (index < 0) return fail(InterpStatus::unassigned_variable, token.view(), message);
        make_load(i, index);
    }
    for (int i = start; i < token_count_; ++i) {
        const Token& token = tokens_[i];
        if (token.kind != Token::Kind::number) continue;
        double number = 0;
        if (!parse_constant(token.view(), number)) return fail(InterpStatus::bad_constant, token.view(), message);
        make_constant(i, {number, 0});
    }
    return InterpStatus::ok;
}

InterpStatus Interpreter::reduce(int first, int last, std::string& message) {
    if (const InterpStatus status = reduce_functions(first, last, message); status != InterpStatus::ok) return status;
    if (const InterpStatus status = reduce_powers(first, last, message); status != InterpStatus::ok) return status;
    if (const InterpStatus status = reduce_products(first, last, message); status != InterpStatus::ok) return status;
    if (const InterpStatus status = reduce_sums(first, last, message); status != InterpStatus::ok) return status;
    return reduce_commas(first, last, message);
}

int Interpreter::next_token(int i, int last) const {
    for (int j = i + 1; j <= last; ++j)
        if (tokens_[j].kind != Token::Kind::consumed) return j;
    return -1;
}

int Interpreter::previous_token(int i, int first) const {
    for (int j = i - 1; j >= first; --j)
        if (tokens_[j].kind != Token::Kind::consumed) return j;
    return -1;
}

// Functions, left to right: the next token is the argument.
InterpStatus Interpreter::reduce_functions(int first, int last, std::string& message) {
    for (int i = first; i <= last; ++i) {
        if (tokens_[i].kind != Token::Kind::function) continue;
        const int argument = next_token(i, last);
        if (argument < 0) return fail(InterpStatus::missing_function_argument, {}, message);
        if (tokens_[argument].kind != Token::Kind::value) return fail(InterpStatus::invalid_function_argument, {}, message);
        const auto id = find_function(tokens_[i].view());
        if (!id) return fail(InterpStatus::unrecognized_function, tokens_[i].view(), message);
        const Complex value = apply_function(*id, tokens_[argument].value, random_);
        make_result(i, ReductionTrace::Op::function, *id, tokens_[argument].reg, 0, value);
        tokens_[argument].kind = Token::Kind::consumed;
    }
    return InterpStatus::ok;
}

// Exponentiation, right to left ("^" or two adjacent "*"), so 2**3**2 = 2**9.
InterpStatus Interpreter::reduce_powers(int first, int last, std::string& message) {
    for (int i = last; i >= first; --i) {
        int operator_first = i;
        if (tokens_[i].is_op('*')) {
            const int previous = previous_token(i, first);
            if (previous < 0 || !tokens_[previous].is_op('*')) continue;
            operator_first = previous;
        } else if (!tokens_[i].is_op('^')) {
            continue;
        }
        const int exponent = next_token(i, last);
        if (exponent < 0) return fail(InterpStatus::missing_exponent, {}, message);
        if (tokens_[exponent].kind != Token::Kind::value) return fail(InterpStatus::invalid_exponent, {}, message);
        const int base = previous_token(operator_first, first);
        if (base < 0) return fail(InterpStatus::missing_base, {}, message);
        if (tokens_[base].kind != Token::Kind::value) return fail(InterpStatus::invalid_base, {}, message);
        const Complex value = complex_power(tokens_[base].value, tokens_[exponent].value);
        make_result(base, ReductionTrace::Op::power, FunctionId::cmplx, tokens_[base].reg, tokens_[exponent].reg,
                    value);
        tokens_[operator_first].kind = Token::Kind::consumed;
        tokens_[i].kind = Token::Kind::consumed;
        tokens_[exponent].kind = Token::Kind::consumed;
        i = operator_first;
    }
    return InterpStatus::ok;
}

// "*" and "/", left to right; the result replaces the left operand.
InterpStatus Interpreter::reduce_products(int first, int last, std::string& message) {
    for (int i = first; i <= last; ++i) {
        const bool product = tokens_[i].is_op('*');
        if (!product && !tokens_[i].is_op('/')) continue;
        const int right = next_token(i, last);
        if (right < 0) return fail(InterpStatus::missing_product_operand, {}, message);
        if (tokens_[right].kind != Token::Kind::value) return fail(InterpStatus::invalid_product_operand, {}, message);
        const int left = previous_token(i, first);
        if (left < 0) return fail(InterpStatus::missing_product_operand, {}, message);
        if (tokens_[left].kind != Token::Kind::value) return fail(InterpStatus::invalid_product_operand, {}, message);
        const Complex value = product ? complex_product(tokens_[left].value, tokens_[right].value)
                                      : complex_quotient(tokens_[left].value, tokens_[right].value);
        make_result(left, product ? ReductionTrace::Op::product : ReductionTrace::Op::quotient, FunctionId::cmplx,
                    tokens_[left].reg, tokens_[right].reg, value);
        tokens_[i].kind = Token::Kind::consumed;
        tokens_[right].kind = Token::Kind::consumed;
    }
    return InterpStatus::ok;
}

// "+" and "-", left to right; without a value on the left the left operand is 0
// (a leading sign). The result replaces the operator.
InterpStatus Interpreter::reduce_sums(int first, int last, std::string& message) {
    for (int i = first; i <= last; ++i) {
        const bool sum = tokens_[i].is_op('+');
        if (!sum && !tokens_[i].is_op('-')) continue;
        const int right = next_token(i, last);
        if (right < 0) return fail(InterpStatus::missing_sum_operand, {}, message);
        if (tokens_[right].kind != Token::Kind::value) return fail(InterpStatus::invalid_sum_operand, {}, message);
        const int left = previous_token(i, first);
        Complex left_value{0, 0};
        int left_register = 0;
        if (left >= 0 && tokens_[left].kind == Token::Kind::value) {
            left_value = tokens_[left].value;
            left_register = tokens_[left].reg;
            tokens_[left].kind = Token::Kind::consumed;
        } else if (trace_) {
            left_register = zero_register();
        }
        const Complex value = sum ? complex_sum(left_value, tokens_[right].value)
                                  : complex_difference(left_value, tokens_[right].value);
        make_result(i, sum ? ReductionTrace::Op::sum : ReductionTrace::Op::difference, FunctionId::cmplx,
                    left_register, tokens_[right].reg, value);
        tokens_[right].kind = Token::Kind::consumed;
    }
    return InterpStatus::ok;
}

// ",", left to right: (real part of the left, real part of the right).
InterpStatus Interpreter::reduce_commas(int first, int last, std::string& message) {
    for (int i = first; i <= last; ++i) {
        if (!tokens_[i].is_op(',')) continue;
        const int right = next_token(i, last);
        if (right < 0) return fail(InterpStatus::missing_comma_operand, {}, message);
        if (tokens_[right].kind != Token::Kind::value) return fail(InterpStatus::invalid_comma_operand, {}, message);
        const int left = previous_token(i, first);
        if (left < 0) return fail(InterpStatus::missing_comma_operand, {}, message);
        if (tokens_[left].kind != Token::Kind::value) return fail(InterpStatus::invalid_comma_operand, {}, message);
        const Complex value{tokens_[left].value.real(), tokens_[right].value.real()};
        make_result(left, ReductionTrace::Op::comma, FunctionId::cmplx, tokens_[left].reg, tokens_[right].reg, value);
        tokens_[i].kind = Token::Kind::consumed;
        tokens_[right].kind = Token::Kind::consumed;
    }
    return InterpStatus::ok;
}

int Interpreter::find_variable(std::string_view name) const {
    const std::string_view key = name.substr(0, 6);
    for (std::size_t k = 0; k < variables_.size(); ++k)
        if (variables_[k].name == key) return static_cast<int>(k);
    return -1;
}

InterpStatus Interpreter::assign(std::string_view name, Complex value, std::string& message) {
    int index = find_variable(name);
    if (index < 0) {
        const std::string_view key = name.substr(0, 6);
        int still_needed = 0;   // reserved slots not yet taken, other than this name's
        for (const std::string& reserved : reserved_)
            if (reserved != key && find_variable(reserved) < 0) ++still_needed;
        if (static_cast<int>(variables_.size()) + still_needed >= kMaxVariables)
            return fail(InterpStatus::too_many_variables, {}, message);
        variables_.push_back({std::string(name.substr(0, 6)), value});
        ++layout_version_;
        index = static_cast<int>(variables_.size()) - 1;
    } else {
        variables_[static_cast<std::size_t>(index)].value = value;
    }
    if (trace_) trace_->assign_index = index;
    return InterpStatus::ok;
}

void Interpreter::make_constant(int i, Complex value) {
    Token& token = tokens_[i];
    token.kind = Token::Kind::value;
    token.value = value;
    if (trace_) {
        token.reg = static_cast<std::uint16_t>(trace_->registers.size());
        trace_->registers.push_back(value);
    }
}

void Interpreter::make_load(int i, int table_index) {
    Token& token = tokens_[i];
    token.kind = Token::Kind::value;
    token.value = variables_[static_cast<std::size_t>(table_index)].value;
    if (trace_) {
        token.reg = static_cast<std::uint16_t>(trace_->registers.size());
        trace_->registers.push_back(token.value);
        trace_->loads.push_back({token.reg, static_cast<std::uint16_t>(table_index)});
    }
}

void Interpreter::make_result(int i, ReductionTrace::Op op, FunctionId function, int left, int right, Complex value) {
    Token& token = tokens_[i];
    token.kind = Token::Kind::value;
    token.value = value;
    if (trace_) {
        const auto dest = static_cast<std::uint16_t>(trace_->registers.size());
        trace_->registers.push_back(value);
        trace_->steps.push_back(
            {op, function, static_cast<std::uint16_t>(left), static_cast<std::uint16_t>(right), dest});
        token.reg = dest;
    }
}

std::uint16_t Interpreter::zero_register() {
    if (zero_register_ < 0) {
        zero_register_ = static_cast<int>(trace_->registers.size());
        trace_->registers.push_back({0, 0});
    }
    return static_cast<std::uint16_t>(zero_register_);
}

}  // namespace zeph
