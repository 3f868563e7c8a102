#include "dsp/linear_transform.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "base/text.hpp"

namespace zeph {

namespace {

struct TypeLetter {
    char letter;
    LinearTransformType type;
};

constexpr std::array kTypeLetters{
    TypeLetter{'A', LinearTransformType::add},         TypeLetter{'M', LinearTransformType::multiply},
    TypeLetter{'E', LinearTransformType::exponential}, TypeLetter{'S', LinearTransformType::cosine},
    TypeLetter{'C', LinearTransformType::conjugate},
};

// The nearest single-precision value. Kept out of line: GCC 12 at -O2
// vectorises two neighbouring double→float→double roundings into one vector
// operation and drops the rounding.
[[gnu::noinline]] double to_single_precision(double value) { return static_cast<float>(value); }

// The constant A + jB as the transforms of types A, M and E use it: each part
// rounded to single precision.
Complex single_precision(double a, double b) { return Complex(to_single_precision(a), to_single_precision(b)); }

}  // namespace

Result<LinearTransformType> parse_linear_transform_type(std::string_view reply) {
    const char letter = reply.empty() ? ' ' : upper_letter(reply.front());
    for (const TypeLetter& entry : kTypeLetters) {
        if (entry.letter == letter) return entry.type;
    }
    return Result<LinearTransformType>::failure(std::string(kLinearTransformTypeError));
}

char linear_transform_letter(LinearTransformType type) {
    for (const TypeLetter& entry : kTypeLetters)
        if (entry.type == type) return entry.letter;
    return 'A';
}

void apply_linear_transform(std::span<Complex> samples, double xmin, double dx, const LinearTransformSettings& lt) {
    const std::size_t n = samples.size();
    switch (lt.type) {
    case LinearTransformType::add: {
        const Complex c = single_precision(lt.a, lt.b);
        for (Complex& v : samples) v += c;
        break;
    }
    case LinearTransformType::multiply: {
        const Complex c = single_precision(lt.a, lt.b);
        for (Complex& v : samples) v *= c;
        break;
    }
    case LinearTransformType::exponential: {
        const Complex c = single_precision(lt.a, lt.b);
        const double omega = to_single_precision(kTwoPi * lt.f);   // rad per abscissa unit
        for (std::size_t i = 0; i < n; ++i) {
            const double x = xmin + static_cast<double>(i) * dx;
            samples[i] *= c * std::polar(1.0, omega * x);
        }
        break;
    }
    case LinearTransformType::cosine: {
        const Complex c(lt.a, lt.b);
        for (std::size_t i = 0; i < n; ++i) {
            const double x = xmin + static_cast<double>(i) * dx;
            samples[i] *= c * std::cos(kTwoPi * lt.f * x + lt.theta);
        }
        break;
    }
    case LinearTransformType::conjugate:
        for (Complex& v : samples) v = std::conj(v);
        break;
    }
}

namespace {
// The running sum of a moving window. NaN and ±Inf are counted apart, so the
// sum is finite again once they have left the window; the finite part is
// summed with Neumaier's compensation, so a huge value that has come and gone
// does not leave its rounding error behind.
class WindowSum {
public:
    void add(double v) { change(v, 1); }
    void remove(double v) { change(v, -1); }

    // The sum of input[first … end−1], the values now in the window.
    double value(std::span<const double> input, std::size_t first, std::size_t end) {
        if (nan_ > 0 || (plus_infinite_ > 0 && minus_infinite_ > 0))
            return std::numeric_limits<double>::quiet_NaN();
        if (plus_infinite_ > 0) return std::numeric_limits<double>::infinity();
        if (minus_infinite_ > 0) return -std::numeric_limits<double>::infinity();
        if (!std::isfinite(finite_ + compensation_)) {   // overflowed: add the window afresh
            finite_ = compensation_ = 0.0;
            for (std::size_t i = first; i < end; ++i) accumulate(input[i]);
            if (!std::isfinite(finite_)) return finite_;   // the window's own sum overflows
        }
        return finite_ + compensation_;
    }

private:
    void change(double v, int sign) {
        if (std::isnan(v)) nan_ += sign;
        else if (v == std::numeric_limits<double>::infinity()) plus_infinite_ += sign;
        else if (v == -std::numeric_limits<double>::infinity()) minus_infinite_ += sign;
        else accumulate(sign * v);
    }
    void accumulate(double v) {
        const double total = finite_ + v;
        compensation_ += std::fabs(finite_) >= std::fabs(v) ? (finite_ - total) + v : (v - total) + finite_;
        finite_ = total;
    }

    double finite_ = 0.0, compensation_ = 0.0;
    long nan_ = 0, plus_infinite_ = 0, minus_infinite_ = 0;
};
}  // namespace

MovingAverage average_ordinate(std::span<const double> input, std::span<double> output, double span, double dx) {
    const std::size_t n = std::min(input.size(), output.size());
    MovingAverage average;
    if (dx > 0 && std::isfinite(dx) && span > 0) {
        const double limited = std::min(span, static_cast<double>(n) * dx);
        average.half_width = static_cast<int>(std::lround(0.5 * limited / dx));
        average.length = 2 * average.half_width + 1;
    }

    std::vector<double> copy;
    if (input.data() == output.data() && average.half_width > 0) {   // in place: keep the values read later
        copy.assign(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n));
        input = copy;
    }
    if (average.half_width == 0) {
        if (input.data() != output.data()) std::copy_n(input.begin(), n, output.begin());
        return average;
    }

    const auto h = static_cast<std::size_t>(average.half_width);
    const double length = average.length;
    WindowSum sum;   // input[j−h … j+h] within 0 … n−1
    for (std::size_t i = 0; i <= h && i < n; ++i) sum.add(input[i]);
    for (std::size_t j = 0; j < n; ++j) {
        output[j] = sum.value(input, j >= h ? j - h : 0, std::min(j + h + 1, n)) / length;
        if (j + h + 1 < n) sum.add(input[j + h + 1]);   // value entering the window
        if (j >= h) sum.remove(input[j - h]);            // value leaving it
    }
    return average;
}

}  // namespace zeph
