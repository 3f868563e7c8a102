// PreparedFormula: replaying a recorded reduction must equal INTERP sample by sample.
#include "input/expr/prepared_formula.hpp"

#include "base/stop_request.hpp"
#include "input/expr/function_arrays.hpp"
#include "tests/support/thread_count.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace zeph {
namespace {

bool same_bits(Complex x, Complex y) { return std::memcmp(&x, &y, sizeof x) == 0; }

bool same_table(const Interpreter& a, const Interpreter& b) {
    if (a.variables().size() != b.variables().size()) return false;
    for (std::size_t i = 0; i < a.variables().size(); ++i)
        if (a.variables()[i].name != b.variables()[i].name ||
            !same_bits(a.variables()[i].value, b.variables()[i].value))
            return false;
    return true;
}

// Sample i's A, B and X, X accumulated by repeated addition as EQ does.
struct Samples {
    double x;
    Complex a(int i) const { return {std::sin(0.37 * i) * 3, std::cos(1.1 * i)}; }
    Complex b(int i) const { return i % 7 == 3 ? Complex{0, 0} : Complex{0.5 * i - 40, -0.25 * i}; }
};

void setup(Interpreter& interp) {
    std::string message;
    Complex r;
    ASSERT_EQ(interp.evaluate("K=2.5", r, message), InterpStatus::ok);
    ASSERT_EQ(interp.evaluate("Z=(1,-1)", r, message), InterpStatus::ok);
    ASSERT_EQ(interp.define("DT", 1e-3, message), InterpStatus::ok);
    ASSERT_EQ(interp.define_integer("NPTS", 256, message), InterpStatus::ok);
}

// Evaluates `formula` for n samples in a per-sample INTERP and through a
// PreparedFormula, from the same state, and requires identical statuses,
// messages, bit patterns, tables and seeds after every sample.
void expect_same_as_interp(const std::string& formula, int n = 300) {
    SCOPED_TRACE(formula);
    Interpreter plain([] { return 4321.0; });
    Interpreter fast([] { return 4321.0; });
    setup(plain);
    setup(fast);
    PreparedFormula prepared(fast, formula);
    Samples s{-0.75};
    const double dx = 0.01;
    double x = s.x - dx;
    for (int i = 1; i <= n; ++i) {
        x += dx;
        plain.set_slot(4, s.a(i));
        plain.set_slot(5, s.b(i));
        plain.set_slot(6, {x, 0});
        Complex expected{-7, -7}, actual{-7, -7};
        std::string expected_message = "unset", actual_message = "unset";
        const InterpStatus expected_status = plain.evaluate(formula, expected, expected_message);
        const InterpStatus actual_status = prepared.evaluate_sample(s.a(i), s.b(i), {x, 0}, actual, actual_message);
        ASSERT_EQ(actual_status, expected_status) << "sample " << i;
        ASSERT_EQ(actual_message, expected_message) << "sample " << i;
        ASSERT_TRUE(same_bits(actual, expected)) << "sample " << i << ": " << actual << " vs " << expected;
        ASSERT_TRUE(same_table(plain, fast)) << "sample " << i;
        ASSERT_EQ(plain.random_seed(), fast.random_seed()) << "sample " << i;
        if (expected_status != InterpStatus::ok) {
            EXPECT_FALSE(prepared.replaying());
        }
    }
}

const std::vector<std::string> kFormulas{"K*A + B*CMPLX(0.,SIN(PI*X))", "X", "A", "5", "-X", "+A-B", "A*B/(X+1)", "A**2 + B^X", "2**3**X",
        "-A**2", "(A, B)", "CMPLX(REAL(A), IMAG(B))", "RAND(0.,1.)", "GAUSS(1.,2.)",
        "RAND(-1.,1.)*A + GAUSS(0.,X)", "A*RAND(0.,1.)+B*RAND(0.,1.)", "GAUSS(RAND(0.,1.), RAND(1.,2.))",
        "GAUSS(0.,1.)+GAUSS(0.,1.)+GAUSS(0.,1.)+GAUSS(0.,1.)+GAUSS(0.,1.)+RAND(0.,1.)*X",   // many draws per block
        "SQRT(A) + LOG(B) + EXP(X)", "LOG10(ABS(A)+1.) + ALOG10(2.)", "SINC(X) + SINC(A)",
        "ASIN(X) + ACOS(X) + ATAN(X) + ATAN2(A, X)", "SINH(X)+COSH(X)+TANH(X)", "SIN(A)*COS(B)",
        "COTAN(X) + TAN(X)", "CONJG(A)*A", "NINT(A*10.) + INT(B*10.) + MOD(A, X) + SIGN(A, X) + DIM(A, X)",
        "NORM(1., X) + RAY(1., ABS(X)) + CNORM(2., X)", "A/B", "B/A", "0.**X", "X**0.", "(0.,0.)**A",
        "(-8)**(1./3.)", "1E400*X", "-(-(A))", "((((A+B))))*((X))", "A, B, X", "SIN(X)**2+COS(X)**2",
        "K*DT*NPTS + Z", "PI*X/TWOPI*HAFPI", "Q=A*B", "Z=Z*(1.,0.5)+RAND(0.,1.)", "A=A*2+B", "X=X+1",
        "Y=RAND(0.,1.)", "=A+B", "1 2 + A", "A 1", "2(3)*A",
        // Registers enough to shorten the blocks (values alike on every thread count all the same).
        "SIN(X*1.01)+SIN(X*1.02)+SIN(X*1.03)+SIN(X*1.04)+SIN(X*1.05)+SIN(X*1.06)+SIN(X*1.07)+SIN(X*1.08)+SIN(X*1.09)+SIN(X*1.10)+SIN(X*1.11)+SIN(X*1.12)+SIN(X*1.13)+SIN(X*1.14)+SIN(X*1.15)+SIN(X*1.16)+SIN(X*1.17)+SIN(X*1.18)+SIN(X*1.19)",
        // Errors: the same status and message every sample.
        "A*", "2*-A", "UNKNOWN*A", "XYZ(A)", "(A", "A)", "$", "SIN(", "1.2.3*A", "", "pi*X", "A,", "F(())"};

// True when the formula's block evaluation uses vector math (a power or a
// transcendental function), whose values may differ from INTERP's by an ULP.
bool uses_vector_math(const std::string& formula) {
    Interpreter scratch([] { return 4321.0; });
    setup(scratch);
    ReductionTrace trace;
    Complex ignored;
    std::string message;
    if (scratch.evaluate_recorded(formula, ignored, message, trace) != InterpStatus::ok) return false;
    for (const ReductionTrace::Step& step : trace.steps)
        if (step.op == ReductionTrace::Op::power ||
            (step.op == ReductionTrace::Op::function && uses_vector_math(step.function)))
            return true;
    return false;
}

// Equal within `tolerance` of the larger of 1 and |y| (vector math: each
// function is within 1 ULP of the C library, and a formula's later steps may
// scale that: z**w = exp(w log z) multiplies log z's error by |w log z|).
bool close_values(Complex x, Complex y, double tolerance) {
    for (double part : {x.real(), x.imag(), y.real(), y.imag()})
        if (!std::isfinite(part)) return same_bits(x, y);
    return std::abs(x - y) <= tolerance * std::max(1.0, std::abs(y));
}

// EQ over whole signals: evaluate_samples on 1, 2 and 3 threads against INTERP
// sample by sample (bit for bit, or within rounding errors where vector math
// is used; the thread counts give the same bytes); A is shorter than the run
// and B longer (zeros beyond A's end), several blocks long with a ragged end,
// and the output overwrites B's storage in place.
// `tolerance` 0: chosen for the formula (see close_values).
std::vector<Complex> expect_samples_same_as_interp(const std::string& formula, int threads, double tolerance = 0) {
    SCOPED_TRACE(formula + " on " + std::to_string(threads) + " threads");
    const std::size_t n = 9000, a_size = 5000;   // two parts of 4096 and a ragged one
    Samples s{-0.75};
    std::vector<Complex> a(a_size), b(n + 10);
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = s.a(static_cast<int>(i));
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = s.b(static_cast<int>(i));
    const std::vector<Complex> b_before = b;
    Interpreter plain([] { return 4321.0; });
    setup(plain);
    const double dx = 0.01;
    double x = s.x - dx;
    std::vector<Complex> expected(n);
    InterpStatus expected_status = InterpStatus::ok;
    std::string expected_message;
    for (std::size_t i = 0; i < n && expected_status == InterpStatus::ok; ++i) {
        x += dx;
        plain.set_slot(4, i < a.size() ? a[i] : Complex{});
        plain.set_slot(5, b[i]);
        plain.set_slot(6, {x, 0});
        expected_status = plain.evaluate(formula, expected[i], expected_message);
    }

    Interpreter fast([] { return 4321.0; });
    setup(fast);
    PreparedFormula prepared(fast, formula);
    std::string message = "unset";
    InterpStatus status = InterpStatus::stopped;
    testing::with_threads(threads, [&] {
        status = prepared.evaluate_samples(a, std::span<const Complex>(b).first(n), s.x, dx,
                                           std::span<Complex>(b).first(n), message);
    });
    EXPECT_EQ(status, expected_status);
    if (status != InterpStatus::ok) {
        EXPECT_EQ(message, expected_message);
        EXPECT_EQ(std::memcmp(b.data(), b_before.data(), b.size() * sizeof(Complex)), 0);   // untouched
        return b;
    }
    const bool exact = !uses_vector_math(formula);
    if (tolerance == 0)
        tolerance = formula.find("**") != std::string::npos || formula.find('^') != std::string::npos ? 1e-10 : 1e-13;
    for (std::size_t i = 0; i < n; ++i) {
        const bool same = exact ? same_bits(b[i], expected[i]) : close_values(b[i], expected[i], tolerance);
        if (!same) {
            ADD_FAILURE() << "sample " << i << ": " << b[i] << " vs " << expected[i];
            return b;
        }
    }
    EXPECT_TRUE(same_bits(b[n], b_before[n]));
    // The table holds A, B, X of the last sample and an assigned value: bit for bit
    // where no vector math is used, and the generator always.
    if (exact) {
        EXPECT_TRUE(same_table(plain, fast));
    }
    EXPECT_EQ(plain.random_seed(), fast.random_seed());
    return b;
}

class PreparedEqualsInterp : public ::testing::TestWithParam<std::string> {};

TEST_P(PreparedEqualsInterp, SampleBySample) { expect_same_as_interp(GetParam()); }

TEST_P(PreparedEqualsInterp, WholeSignalsOnOneTwoAndThreeThreads) {
    const std::vector<Complex> one = expect_samples_same_as_interp(GetParam(), 1);
    for (int threads : {2, 3}) {
        const std::vector<Complex> more = expect_samples_same_as_interp(GetParam(), threads);
        ASSERT_EQ(more.size(), one.size());
        EXPECT_EQ(std::memcmp(more.data(), one.data(), one.size() * sizeof(Complex)), 0) << threads << " threads";
    }
}

INSTANTIATE_TEST_SUITE_P(Formulas, PreparedEqualsInterp, ::testing::ValuesIn(kFormulas));

// A random formula of bounded values: atoms, bounded functions, + − * and
// division by 1 + |...|, up to `depth` levels, with RAND and GAUSS among them.
std::string random_formula(std::mt19937& engine, int depth) {
    const auto pick = [&](int n) { return static_cast<int>(engine() % static_cast<unsigned>(n)); };
    static const char* const kAtoms[] = {"A", "B*0.01", "X", "K", "2.5", "0.5", "PI", "Z", "RAND(0.,1.)", "GAUSS(0.,1.)"};
    static const char* const kFunctions[] = {"SIN(", "COS(", "ATAN(", "TANH(", "ABS(", "SQRT(ABS(", "LOG10(1.+ABS(",
                                             "EXP(COS(", "REAL(", "CONJG(", "NINT(", "SINC(", "CMPLX(0.,"};
    if (depth == 0 || pick(8) == 0) return kAtoms[pick(static_cast<int>(std::size(kAtoms)))];
    switch (pick(5)) {
        case 0: {
            const std::string f = kFunctions[pick(static_cast<int>(std::size(kFunctions)))];
            const auto open = static_cast<std::size_t>(std::count(f.begin(), f.end(), '('));
            std::string closing(open, ')');
            if (f.rfind("LOG10", 0) == 0) closing = "))";
            return f + random_formula(engine, depth - 1) + closing;
        }
        case 1: return "(-" + random_formula(engine, depth - 1) + ")";
        case 2: return "(" + random_formula(engine, depth - 1) + ")/(1.+ABS(" + random_formula(engine, depth - 1) + "))";
        default: {
            static const char kOps[] = {'+', '-', '*'};
            return "(" + random_formula(engine, depth - 1) + kOps[pick(3)] + random_formula(engine, depth - 1) + ")";
        }
    }
}

TEST(PreparedFormula, RandomFormulasOnWholeSignals) {
    std::mt19937 engine(20261207);
    for (int i = 0; i < 40; ++i) {
        const std::string formula = random_formula(engine, 4);
        Interpreter check([] { return 1.0; });
        setup(check);
        Complex ignored;
        std::string message;
        ASSERT_EQ(check.evaluate(formula, ignored, message), InterpStatus::ok) << formula << ": " << message;
        // Values of a few units: 1e-11 bounds rounding errors that the formula's sums and products carry on.
        const std::vector<Complex> one = expect_samples_same_as_interp(formula, 1, 1e-11);
        const std::vector<Complex> three = expect_samples_same_as_interp(formula, 3, 1e-11);
        EXPECT_EQ(std::memcmp(one.data(), three.data(), one.size() * sizeof(Complex)), 0) << formula;
        if (HasFailure()) return;
    }
}

// The interpreter fuzzer's corpus: each line of its seed files, and sums and
// products of two lines drawn at random, over whole signals on one and three
// threads against INTERP sample by sample (lines that fail must fail alike).
std::vector<std::string> fuzzer_corpus_lines() {
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(ZEPH_SOURCE_DIR "/fuzz/seeds/interp_fuzz")) {
        std::ifstream file(entry.path());
        for (std::string line; std::getline(file, line);)
            if (!line.empty()) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(PreparedFormula, FuzzerCorpusOnWholeSignals) {
    const std::vector<std::string> lines = fuzzer_corpus_lines();
    ASSERT_GE(lines.size(), 8U);
    std::vector<std::string> formulas = lines;
    std::mt19937 engine(4711);
    for (int i = 0; i < 30; ++i)
        formulas.push_back("(" + lines[engine() % lines.size()] + ")" + (i % 2 ? "+" : "*") + "(" +
                           lines[engine() % lines.size()] + ")");
    for (const std::string& formula : formulas) {
        if (formula.find('=') != std::string::npos && formula.find('(') == std::string::npos) continue;
        const std::vector<Complex> one = expect_samples_same_as_interp(formula, 1, 1e-10);
        const std::vector<Complex> three = expect_samples_same_as_interp(formula, 3, 1e-10);
        EXPECT_EQ(std::memcmp(one.data(), three.data(), one.size() * sizeof(Complex)), 0) << formula;
        if (HasFailure()) return;
    }
}

// X accumulated by repeated addition: where the start and the step are short
// binary fractions each part works out its abscissas directly; elsewhere the
// chain of additions runs. Both must give the chain's values bit for bit, and
// leave the last one as X, on one thread and three, across zero, from -0 and
// far from the origin where the sums stop being exact.
TEST(PreparedFormula, AbscissasAreTheChainOfAdditions) {
    struct Grid {
        double xmin, dx;
    };
    const Grid grids[] = {{-3.0, 0x1p-7},  {-0.0, 0x1p-10},  {0.0, -0.75},     {5.5, 0.0},
                          {1e15, 0.125},   {0.1, 0.01},      {-2.0, 0x1p-40},  {7.0, 3.0 * 0x1p-12}};
    const std::size_t n = 9001;
    for (const Grid& grid : grids) {
        SCOPED_TRACE(std::to_string(grid.xmin) + " step " + std::to_string(grid.dx));
        std::vector<double> chain(n);
        double x = grid.xmin - grid.dx;
        for (double& value : chain) value = x += grid.dx;
        for (int threads : {1, 3}) {
            Interpreter interp([] { return 1.0; });
            PreparedFormula formula(interp, "X");
            std::vector<Complex> out(n);
            std::string message;
            testing::with_threads(threads, [&] { ASSERT_EQ(formula.evaluate_samples({}, {}, grid.xmin, grid.dx, out, message), InterpStatus::ok); });
            std::size_t differ = n;
            for (std::size_t i = 0; i < n && differ == n; ++i)
                if (std::memcmp(&out[i], &chain[i], sizeof(double)) != 0 || out[i].imag() != 0) differ = i;
            EXPECT_EQ(differ, n) << "first different sample on " << threads << " threads";
            const double last_x = interp.variables()[5].value.real();
            EXPECT_EQ(std::memcmp(&last_x, &chain[n - 1], sizeof last_x), 0);
        }
    }
}

TEST(PreparedFormula, FillingTheTableFallsBackAndMatches) {
    // The 40th entry is created by the first sample; afterwards the record is valid.
    Interpreter plain([] { return 1.0; });
    Interpreter fast([] { return 1.0; });
    std::string message;
    Complex r;
    for (int i = 0; i < 33; ++i) {
        const std::string text = std::string("V").append(std::to_string(i)).append("=1");
        ASSERT_EQ(plain.evaluate(text, r, message), InterpStatus::ok);
        ASSERT_EQ(fast.evaluate(text, r, message), InterpStatus::ok);
    }
    PreparedFormula assign_new(fast, "W=X+1");
    for (int i = 0; i < 3; ++i) {
        plain.set_slot(6, {double(i), 0});
        Complex expected, actual;
        ASSERT_EQ(plain.evaluate("W=X+1", expected, message), InterpStatus::ok);
        ASSERT_EQ(assign_new.evaluate_sample({}, {}, {double(i), 0}, actual, message), InterpStatus::ok);
        EXPECT_TRUE(same_bits(expected, actual));
        EXPECT_TRUE(same_table(plain, fast));
    }
    PreparedFormula too_many(fast, "W2=1");
    std::string m1, m2;
    EXPECT_EQ(plain.evaluate("W2=1", r, m1), InterpStatus::too_many_variables);
    EXPECT_EQ(too_many.evaluate(r, m2), InterpStatus::too_many_variables);
    EXPECT_EQ(m1, m2);
    EXPECT_FALSE(too_many.replaying());
}

TEST(PreparedFormula, RecordsAnewAfterTableChanges) {
    Interpreter interp([] { return 1.0; });
    std::string message;
    Complex r;
    PreparedFormula formula(interp, "A*2+Q");
    EXPECT_EQ(formula.evaluate(r, message), InterpStatus::unassigned_variable);   // Q unknown
    EXPECT_FALSE(formula.replaying());
    ASSERT_EQ(interp.evaluate("Q=10", r, message), InterpStatus::ok);
    EXPECT_FALSE(formula.replaying());
    ASSERT_EQ(formula.evaluate_sample({1, 0}, {}, {}, r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(12, 0));
    EXPECT_TRUE(formula.replaying());
    ASSERT_EQ(formula.evaluate_sample({2, 0}, {}, {}, r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(14, 0));
    ASSERT_EQ(interp.evaluate("Q=20", r, message), InterpStatus::ok);   // a value change is seen by the replay
    EXPECT_TRUE(formula.replaying());
    ASSERT_EQ(formula.evaluate_sample({2, 0}, {}, {}, r, message), InterpStatus::ok);
    EXPECT_EQ(r, Complex(24, 0));
    interp.reset_to_predefined();   // Q is gone: INTERP again, which fails like a fresh call
    EXPECT_FALSE(formula.replaying());
    EXPECT_EQ(formula.evaluate(r, message), InterpStatus::unassigned_variable);
    EXPECT_EQ(message, "*****INTERP. VARIABLE Q HAS NOT BEEN ASSIGNED A VALUE");
}

TEST(PreparedFormula, FirstEvaluationSeedsFromTheClock) {
    int calls = 0;
    Interpreter interp([&] {
        ++calls;
        return 0.0;
    });
    PreparedFormula formula(interp, "RAND(0.,1.)");
    Complex r;
    std::string message;
    ASSERT_EQ(formula.evaluate(r, message), InterpStatus::ok);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(r.real(), 0x1p-32);
    ASSERT_EQ(formula.evaluate(r, message), InterpStatus::ok);
    EXPECT_EQ(r.real(), 69070 * 0x1p-32);
    EXPECT_EQ(calls, 1);
}

// A generated family of formulas over A, B, X and the functions, each compared
// with INTERP over a few samples.
TEST(PreparedFormula, GeneratedFormulas) {
    const std::vector<std::string> atoms = {"A", "B", "X", "2.", "(1.,-2.)", "K", "RAND(0.,1.)", "GAUSS(0.,1.)",
                                            "PI"};
    const std::vector<std::string> functions = {"SIN", "COS", "EXP", "LOG", "SQRT", "ABS", "CONJG", "REAL",
                                                "IMAG", "SINC", "ATAN", "TANH", "NINT", "CMPLX"};
    const std::vector<std::string> operators = {"+", "-", "*", "/", "**", "^", ","};
    unsigned state = 12345;
    auto pick = [&](std::size_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % n;
    };
    for (int f = 0; f < 300; ++f) {
        std::string text;
        const int terms = 1 + static_cast<int>(pick(5));
        for (int t = 0; t < terms; ++t) {
            if (t > 0) text += operators[pick(operators.size())];
            std::string atom = atoms[pick(atoms.size())];
            if (pick(3) == 0) atom = functions[pick(functions.size())] + "(" + atom + ")";
            if (pick(4) == 0) atom = "-" + atom;
            if (pick(4) == 0) atom = "(" + atom + ")";
            text += atom;
        }
        expect_same_as_interp(text, 20);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
}  // namespace zeph

// A stop request ends a long evaluation between blocks. The request cannot be
// taken back, so each case runs in a child process, which reports by its exit
// status which expectation failed (0: all held).
namespace zeph {
namespace {

int in_child(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int wait_status = 0;
    if (child < 0 || ::waitpid(child, &wait_status, 0) != child || !WIFEXITED(wait_status)) return -1;
    return WEXITSTATUS(wait_status);
}

constexpr std::size_t kParts = 10, kPart = 4096;   // the replay's parts, each preceded by a look at the request

// Evaluates `formula` over 1 + kParts·kPart samples on one thread, the output
// starting as 7s; `stop` makes the request. Exit bits: 1 status, 2 message,
// 4 samples written up to `written` (exclusive), 8 the rest untouched.
int stopped_evaluation(const std::string& formula, const std::function<void()>& stop, std::size_t written) {
    setenv("ZEPH_THREADS", "1", 1);
    Interpreter interp([] { return 1.0; });
    PreparedFormula prepared(interp, formula);
    const std::size_t n = 1 + kParts * kPart;
    std::vector<Complex> out(n, Complex{7, 7});
    std::string message;
    stop();
    const InterpStatus status = prepared.evaluate_samples({}, {}, 0.0, 1.0, out, message);
    const auto written_at = [&](std::size_t i) { return out[i] != Complex{7, 7}; };
    int failures = 0;
    if (status != InterpStatus::stopped) failures |= 1;
    if (message != kEvaluationStoppedMessage) failures |= 2;
    for (std::size_t i = 1; i < written; ++i)
        if (!written_at(i)) failures |= 4;
    for (std::size_t i = std::max<std::size_t>(written, 1); i < n; ++i)
        if (written_at(i)) failures |= 8;
    if (written == 0 && written_at(0)) failures |= 8;
    return failures;
}

TEST(PreparedFormulaStop, ARequestBeforeTheEvaluationLeavesTheSignalUntouched) {
    EXPECT_EQ(in_child([] { return stopped_evaluation("SIN(X)+GAUSS(0.,1.)", [] { request_stop(SIGINT); }, 0); }), 0);
}

TEST(PreparedFormulaStop, ARequestMidwayEndsTheEvaluationAtTheNextBlock) {
    // The third look sees the request: the first two parts are written, no later one.
    EXPECT_EQ(in_child([] {
                  return stopped_evaluation("SIN(X)+GAUSS(0.,1.)", [] { request_stop_at_look(SIGTERM, 3); },
                                            1 + 2 * kPart);
              }),
              0);
}

TEST(PreparedFormulaStop, ARequestAfterTheLastBlockLetsTheEvaluationFinish) {
    EXPECT_EQ(in_child([] {
                  setenv("ZEPH_THREADS", "1", 1);
                  Interpreter interp([] { return 1.0; });
                  PreparedFormula prepared(interp, "X*2");
                  std::vector<Complex> out(1 + kParts * kPart);
                  std::string message;
                  request_stop_at_look(SIGINT, kParts + 1);
                  const InterpStatus status = prepared.evaluate_samples({}, {}, 0.0, 1.0, out, message);
                  // The evaluation looked once per part; the next look is the one that sees the request.
                  return status == InterpStatus::ok && out.back() == Complex{2.0 * kParts * kPart, 0} && stop_requested() ? 0 : 1;
              }),
              0);
}

TEST(PreparedFormulaStop, AFormulaCarryingAValueStopsToo) {
    // Z=Z+X reads what it assigns: evaluated one by one, which looks at the request as well.
    EXPECT_EQ(in_child([] {
                  Interpreter interp([] { return 1.0; });
                  Complex r;
                  std::string message;
                  interp.evaluate("Z=0", r, message);
                  PreparedFormula prepared(interp, "Z=Z+X");
                  std::vector<Complex> out(3 * kStopCheckInterval, Complex{7, 7});
                  request_stop_at_look(SIGINT, 2);
                  const InterpStatus status = prepared.evaluate_samples({}, {}, 0.0, 1.0, out, message);
                  const bool untouched =
                      std::all_of(out.begin(), out.end(), [](Complex v) { return v == Complex{7, 7}; });
                  return status == InterpStatus::stopped && untouched ? 0 : 1;
              }),
              0);
}

}  // namespace
}  // namespace zeph
