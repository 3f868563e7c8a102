#include "input/expr/function_arrays.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/vector_math.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// The loops are compiled for three instruction sets, chosen when the program
// is loaded (the arithmetic is the same: no contraction into fused
// multiply-adds, set for this file in CMakeLists.txt).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ZEPH_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define ZEPH_CLONES
#endif

namespace zeph {

namespace {

// A block of real values, cache-line aligned (vector loads never straddle two lines).
struct alignas(64) Real {
    double v[kMaxBlockSamples];
    operator double*() { return v; }
};

// True when some v[i] != 0 (NaN included): the bits but the sign, or-ed (an integer reduction vectorises).
bool any_nonzero(const double* v, std::size_t n) {
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= std::bit_cast<std::uint64_t>(v[i]) << 1;
    return any != 0;
}

void fill(double* v, double value, std::size_t n) { std::fill(v, v + n, value); }

// Lanes the block code does not cover themselves go through the scalar library.
template <class Predicate>
void scalar_lanes(FunctionId id, BlockIn z, BlockOut out, std::size_t n, Predicate needs_scalar) {
    RandomGenerator unused;   // never drawn from: RAND and GAUSS have block code of their own
    for (std::size_t i = 0; i < n; ++i)
        if (needs_scalar(i)) {
            const Complex value = apply_function(id, {z.re[i], z.im[i]}, unused);
            out.re[i] = value.real();
            out.im[i] = value.imag();
        }
}

// e^a (cos b + j sin b); {e^a, b} where b = 0, as complex_exp.
ZEPH_CLONES void exp_block(BlockIn z, BlockOut out, std::size_t n) {
    vector_apply(VectorFunction::exp, z.re, out.re, n);
    if (!any_nonzero(z.im, n)) {
        std::copy(z.im, z.im + n, out.im);
        return;
    }
    Real c, s;
    vector_apply(VectorFunction::cos, z.im, c, n);
    vector_apply(VectorFunction::sin, z.im, s, n);
    for (std::size_t i = 0; i < n; ++i) {
        const double m = out.re[i], b = z.im[i];
        out.re[i] = b == 0 ? m : m * c[i];
        out.im[i] = b == 0 ? b : m * s[i];
    }
}

// ln|z| + j atan2(b, a), as complex_log.
void log_block(BlockIn z, BlockOut out, std::size_t n) {
    if (!any_nonzero(z.im, n)) {   // real arguments: |a| (hypot's value) and atan2(±0, a), ±0 for a > 0
        for (std::size_t i = 0; i < n; ++i) out.re[i] = std::fabs(z.re[i]);
        vector_apply(VectorFunction::log, out.re, out.re, n);
        for (std::size_t i = 0; i < n; ++i) out.im[i] = z.re[i] > 0 ? z.im[i] : std::atan2(z.im[i], z.re[i]);
        return;
    }
    vector_apply2(VectorFunction2::hypot, z.re, z.im, out.re, n);
    vector_apply(VectorFunction::log, out.re, out.re, n);
    vector_apply2(VectorFunction2::atan2, z.im, z.re, out.im, n);
}

// A real function of the real part, imaginary part 0.
void real_function(VectorFunction f, BlockIn z, BlockOut out, std::size_t n) {
    vector_apply(f, z.re, out.re, n);
    fill(out.im, 0, n);
}

// sin or cos: the real function where b = 0 (imaginary part b's zero), the C library's complex one elsewhere.
void sin_or_cos_block(FunctionId id, VectorFunction f, BlockIn z, BlockOut out, std::size_t n) {
    vector_apply(f, z.re, out.re, n);
    std::copy(z.im, z.im + n, out.im);
    if (any_nonzero(z.im, n)) scalar_lanes(id, z, out, n, [&](std::size_t i) { return z.im[i] != 0; });
}

}  // namespace

// Eight interleaved streams, each stepping eight draws at a time: the eight
// seeds are held together and advanced as one vector, so the draws come at
// vector speed instead of one multiplication's latency each.
ZEPH_CLONES void draw_uniforms(RandomGenerator& random, double* draws, std::size_t count) {
    constexpr std::size_t kStreams = 8;
    if (count < 2 * kStreams) {
        for (std::size_t j = 0; j < count; ++j) draws[j] = random.draw_uniform();
        return;
    }
    // Eight draws: s → m·s + c, the step s → 69069·s + 1 composed eight times.
    constexpr std::array<std::uint32_t, 2> kEight = [] {
        std::uint32_t m = 1, c = 0;
        for (std::size_t k = 0; k < kStreams; ++k) {
            m *= 69069u;
            c = c * 69069u + 1u;
        }
        return std::array<std::uint32_t, 2>{m, c};
    }();
    const std::uint32_t m = kEight[0], c = kEight[1];
    using Seeds = std::uint32_t __attribute__((vector_size(4 * kStreams)));
    using Values = double __attribute__((vector_size(8 * kStreams)));
    Seeds state;
    for (std::size_t k = 0; k < kStreams; ++k) {
        draws[k] = random.draw_uniform();
        state[k] = random.state();
    }
    std::size_t j = kStreams;
    for (; j + kStreams <= count; j += kStreams) {
        state = m * state + c;
        const Values values = __builtin_convertvector(state, Values) * 0x1p-32;
        std::memcpy(draws + j, &values, sizeof values);
    }
    // The ragged end: the seeds in draw order go on one at a time from the last.
    random.set_state(state[kStreams - 1]);
    for (; j < count; ++j) draws[j] = random.draw_uniform();
}

bool uses_vector_math(FunctionId id) {
    switch (id) {
        case FunctionId::cmplx:
        case FunctionId::sqrt:
        case FunctionId::imag:
        case FunctionId::real:
        case FunctionId::sinh:
        case FunctionId::tanh:
        case FunctionId::abs:
        case FunctionId::conjg:
        case FunctionId::nint:
        case FunctionId::int_:
        case FunctionId::mod:
        case FunctionId::sign:
        case FunctionId::dim:
        case FunctionId::rand: return false;
        default: return true;
    }
}

ZEPH_CLONES void product_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const double a = x.re[i], b = x.im[i], c = y.re[i], d = y.im[i];
        out.re[i] = a * c - b * d;
        out.im[i] = a * d + b * c;
    }
}

ZEPH_CLONES void quotient_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n) {
    if (!any_nonzero(y.im, n)) {   // a real divisor: exact a/c, b/c
        for (std::size_t i = 0; i < n; ++i) {
            out.re[i] = x.re[i] / y.re[i];
            out.im[i] = x.im[i] / y.re[i];
        }
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Complex q = complex_quotient({x.re[i], x.im[i]}, {y.re[i], y.im[i]});
        out.re[i] = q.real();
        out.im[i] = q.imag();
    }
}

void power_block(BlockIn z, BlockIn w, BlockOut out, std::size_t n) {
    Real log_re, log_im, exponent_re, exponent_im;
    log_block(z, {log_re, log_im}, n);
    product_block(w, {log_re, log_im}, {exponent_re, exponent_im}, n);
    exp_block({exponent_re, exponent_im}, out, n);
    for (std::size_t i = 0; i < n; ++i)   // 0**0 = 1, 0**w = 0
        if (z.re[i] == 0 && z.im[i] == 0) {
            out.re[i] = w.re[i] == 0 && w.im[i] == 0 ? 1 : 0;
            out.im[i] = 0;
        }
}

ZEPH_CLONES void sum_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out.re[i] = x.re[i] + y.re[i];
        out.im[i] = x.im[i] + y.im[i];
    }
}

ZEPH_CLONES void difference_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out.re[i] = x.re[i] - y.re[i];
        out.im[i] = x.im[i] - y.im[i];
    }
}

namespace {

// Whole cache lines of samples [0, n) (n a multiple of 8), from re and im
// into line-aligned `out`: with AVX-512, eight samples in two line stores.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx512f"))) void store_lines_avx512(BlockIn z, double* out, std::size_t n, bool stream) {
    const __m512i low = _mm512_set_epi64(11, 3, 10, 2, 9, 1, 8, 0), high = _mm512_set_epi64(15, 7, 14, 6, 13, 5, 12, 4);
    for (std::size_t j = 0; j < n; j += 8) {
        const __m512d re = _mm512_loadu_pd(z.re + j), im = _mm512_loadu_pd(z.im + j);
        const __m512d first = _mm512_permutex2var_pd(re, low, im), second = _mm512_permutex2var_pd(re, high, im);
        if (stream) {
            _mm512_stream_pd(out + 2 * j, first);
            _mm512_stream_pd(out + 2 * j + 8, second);
        } else {
            _mm512_store_pd(out + 2 * j, first);
            _mm512_store_pd(out + 2 * j + 8, second);
        }
    }
}

__attribute__((target("avx2"))) void store_lines_avx2(BlockIn z, double* out, std::size_t n, bool stream) {
    for (std::size_t j = 0; j < n; j += 4) {
        const __m256d re = _mm256_loadu_pd(z.re + j), im = _mm256_loadu_pd(z.im + j);
        const __m256d pairs_low = _mm256_unpacklo_pd(re, im), pairs_high = _mm256_unpackhi_pd(re, im);
        const __m256d first = _mm256_permute2f128_pd(pairs_low, pairs_high, 0x20);
        const __m256d second = _mm256_permute2f128_pd(pairs_low, pairs_high, 0x31);
        if (stream) {
            _mm256_stream_pd(out + 2 * j, first);
            _mm256_stream_pd(out + 2 * j + 4, second);
        } else {
            _mm256_store_pd(out + 2 * j, first);
            _mm256_store_pd(out + 2 * j + 4, second);
        }
    }
}

void store_lines_sse2(BlockIn z, double* out, std::size_t n, bool stream) {
    for (std::size_t j = 0; j < n; ++j) {
        const __m128d value = _mm_set_pd(z.im[j], z.re[j]);
        if (stream)
            _mm_stream_pd(out + 2 * j, value);
        else
            _mm_store_pd(out + 2 * j, value);
    }
}

// The widest stores of the instruction set the vector math uses (so that
// ZEPH_VECTOR_MATH narrows them too).
void store_lines(BlockIn z, double* out, std::size_t n, bool stream) {
    const std::string_view isa = vector_math_isa();
    if (isa == "avx512") return store_lines_avx512(z, out, n, stream);
    if (isa == "avx2") return store_lines_avx2(z, out, n, stream);
    store_lines_sse2(z, out, n, stream);
}
#endif

}  // namespace

void store_block(BlockIn z, Complex* out, std::size_t n, bool stream) {
    std::size_t j = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    // Up to the first whole cache line one by one; then whole lines.
    for (; j < n && reinterpret_cast<std::uintptr_t>(out + j) % 64 != 0; ++j) out[j] = {z.re[j], z.im[j]};
    const std::size_t lines = (n - j) / 8 * 8;
    store_lines({z.re + j, z.im + j}, reinterpret_cast<double*>(out + j), lines, stream);
    j += lines;
#else
    (void)stream;
#endif
    for (; j < n; ++j) out[j] = {z.re[j], z.im[j]};
}

ZEPH_CLONES void fill_abscissas(double start, double first, double step, double scale, double* x, std::size_t n) {
    const int samples = static_cast<int>(n);   // int converts in vectors
    for (int j = 0; j < samples; ++j) x[j] = (start + (first + static_cast<double>(j)) * step) * scale;
}

void comma_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n) {
    std::copy(x.re, x.re + n, out.re);
    std::copy(y.re, y.re + n, out.im);
}

ZEPH_CLONES void apply_function_block(FunctionId id, BlockIn z, BlockOut out, std::size_t n, const double* draws,
                          std::size_t draw_stride) {
    const double* a = z.re;
    const double* b = z.im;
    thread_local Real t;   // a real intermediate
    switch (id) {
        case FunctionId::log10: return real_function(VectorFunction::log10, z, out, n);
        case FunctionId::log:
        case FunctionId::ln: return log_block(z, out, n);
        case FunctionId::cmplx:
            std::copy(a, a + n, out.re);
            std::copy(b, b + n, out.im);
            return;
        case FunctionId::sqrt:
            // A real finite argument: √a, or j√−a below zero, with b's zero; the C library's csqrt elsewhere.
            for (std::size_t i = 0; i < n; ++i) {
                const double root = std::sqrt(std::fabs(a[i]));
                out.re[i] = a[i] < 0 ? 0 : root;
                out.im[i] = a[i] < 0 ? std::copysign(root, b[i]) : b[i];
            }
            if (any_nonzero(b, n) || std::any_of(a, a + n, [](double v) { return !std::isfinite(v); }))
                scalar_lanes(id, z, out, n, [&](std::size_t i) { return b[i] != 0 || !std::isfinite(a[i]); });
            return;
        case FunctionId::imag:
            std::copy(b, b + n, out.re);
            return fill(out.im, 0, n);
        case FunctionId::real:
            std::copy(a, a + n, out.re);
            return fill(out.im, 0, n);
        case FunctionId::exp: return exp_block(z, out, n);
        case FunctionId::sinc:
            for (std::size_t i = 0; i < n; ++i) t[i] = kPi * a[i];
            vector_apply(VectorFunction::sin, t, out.re, n);
            for (std::size_t i = 0; i < n; ++i) out.re[i] = a[i] == 0 && b[i] == 0 ? 1 : out.re[i] / t[i];
            return fill(out.im, 0, n);
        case FunctionId::asin: return real_function(VectorFunction::asin, z, out, n);
        case FunctionId::acos: return real_function(VectorFunction::acos, z, out, n);
        case FunctionId::atan2:
            vector_apply2(VectorFunction2::atan2, a, b, out.re, n);
            return fill(out.im, 0, n);
        case FunctionId::atan: return real_function(VectorFunction::atan, z, out, n);
        case FunctionId::sinh:   // the C library's (see VectorFunction)
            for (std::size_t i = 0; i < n; ++i) out.re[i] = std::sinh(a[i]);
            return fill(out.im, 0, n);
        case FunctionId::cosh: return real_function(VectorFunction::cosh, z, out, n);
        case FunctionId::tanh:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = std::tanh(a[i]);
            return fill(out.im, 0, n);
        case FunctionId::sin: return sin_or_cos_block(id, VectorFunction::sin, z, out, n);
        case FunctionId::cos: return sin_or_cos_block(id, VectorFunction::cos, z, out, n);
        case FunctionId::cotan:
            vector_apply(VectorFunction::tan, a, out.re, n);
            for (std::size_t i = 0; i < n; ++i) out.re[i] = 1 / out.re[i];
            return fill(out.im, 0, n);
        case FunctionId::tan: return real_function(VectorFunction::tan, z, out, n);
        case FunctionId::abs:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = std::sqrt(a[i] * a[i] + b[i] * b[i]);
            return fill(out.im, 0, n);
        case FunctionId::conjg:
            std::copy(a, a + n, out.re);
            for (std::size_t i = 0; i < n; ++i) out.im[i] = -b[i];
            return;
        case FunctionId::nint:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = std::round(a[i]);   // halves away from zero
            return fill(out.im, 0, n);
        case FunctionId::int_:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = std::trunc(a[i]);
            return fill(out.im, 0, n);
        case FunctionId::mod:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = a[i] - b[i] * std::trunc(a[i] / b[i]);
            return fill(out.im, 0, n);
        case FunctionId::sign:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = b[i] < 0 ? -std::fabs(a[i]) : std::fabs(a[i]);
            return fill(out.im, 0, n);
        case FunctionId::dim:
            for (std::size_t i = 0; i < n; ++i) {
                const double difference = a[i] - b[i];
                out.re[i] = difference >= 0 ? difference : 0;
            }
            return fill(out.im, 0, n);
        case FunctionId::norm:   // s = a, x = b: exp(-u²/2) / (s √(2π)), u = x/s
            for (std::size_t i = 0; i < n; ++i) {
                const double u = b[i] / a[i];
                t[i] = -u * u / 2;
            }
            vector_apply(VectorFunction::exp, t, out.re, n);
            for (std::size_t i = 0; i < n; ++i) out.re[i] = out.re[i] / (a[i] * kSqrtTwoPi);
            return fill(out.im, 0, n);
        case FunctionId::ray:   // r = a, x = b: (2x/r²) exp(-x²/r²)
            for (std::size_t i = 0; i < n; ++i) t[i] = -b[i] * b[i] / (a[i] * a[i]);
            vector_apply(VectorFunction::exp, t, out.re, n);
            for (std::size_t i = 0; i < n; ++i) out.re[i] = (2 * b[i] / (a[i] * a[i])) * out.re[i];
            return fill(out.im, 0, n);
        case FunctionId::cnorm:
            for (std::size_t i = 0; i < n; ++i) {
                const double y = b[i] / a[i];
                t[i] = -y * y / 2;
            }
            vector_apply(VectorFunction::exp, t, out.re, n);
            for (std::size_t i = 0; i < n; ++i) out.re[i] = normal_cdf_given(b[i] / a[i], out.re[i]);
            return fill(out.im, 0, n);
        case FunctionId::rand:
            for (std::size_t i = 0; i < n; ++i) out.re[i] = a[i] + (b[i] - a[i]) * draws[i * draw_stride];
            return fill(out.im, 0, n);
        case FunctionId::gauss: {   // Box-Muller: r cos(2π u2), r = √(−2 ln u1) (13.23 for u1 = 0)
            thread_local Real u1, angle;
            for (std::size_t i = 0; i < n; ++i) {
                u1[i] = draws[i * draw_stride];
                angle[i] = kTwoPi * draws[i * draw_stride + 1];
            }
            vector_apply(VectorFunction::log, u1, t, n);
            vector_apply(VectorFunction::cos, angle, angle, n);
            for (std::size_t i = 0; i < n; ++i) {
                const double root = std::sqrt(-2 * t[i]);   // computed for every lane: the loop vectorises
                const double r = u1[i] == 0 ? 13.23 : root;
                out.re[i] = a[i] + b[i] * (r * angle[i]);
            }
            return fill(out.im, 0, n);
        }
    }
}

}  // namespace zeph
