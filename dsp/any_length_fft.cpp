#include "dsp/any_length_fft.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <new>
#include <utility>

#include "base/stop_request.hpp"

namespace zeph {

namespace {

constexpr long double kPiLong = 3.141592653589793238462643383279502884L;

// e^(−j2πt/n) for 0 ≤ t < n, computed in long double so that every factor is
// correctly rounded or nearly so.
Complex unit_root(long long t, long long n) {
    const long double angle = -2.0L * kPiLong * static_cast<long double>(t) / static_cast<long double>(n);
    return {static_cast<double>(std::cos(angle)), static_cast<double>(std::sin(angle))};
}

bool is_power_of_two(long long n) { return n > 0 && (n & (n - 1)) == 0; }

// The radices of L, fours first, then a two, then the odd primes in
// increasing order; empty when a prime factor exceeds kLargestRadix.
std::vector<int> factor_radices(long long length) {
    std::vector<int> radices;
    long long rest = length;
    while (rest % 4 == 0) {
        radices.push_back(4);
        rest /= 4;
    }
    if (rest % 2 == 0) {
        radices.push_back(2);
        rest /= 2;
    }
    for (int p = 3; p <= kLargestRadix && rest > 1; p += 2) {
        while (rest % p == 0) {
            radices.push_back(p);
            rest /= p;
        }
    }
    if (rest != 1) radices.clear();
    return radices;
}

// The kernels are inlined into the stage loop, which is built twice: for
// the baseline processor and for AVX2, where the loops over k run two
// samples at a time in one vector. The same operations in the same order
// (no fused multiply-add) on one sample and on two, so both give the same bits.
#define ZEPH_KERNEL [[gnu::always_inline]] inline
#if defined(__x86_64__) && defined(__GNUC__)
#define ZEPH_ANY_LENGTH_AVX2 1
#endif

// Two samples as (re, im, re, im). Every function taking or giving one is
// inlined, so that the vectors' calling convention never matters.
#pragma GCC diagnostic ignored "-Wpsabi"
using Lanes = double __attribute__((vector_size(32)));
struct Pair {
    Lanes v;
};

ZEPH_KERNEL Pair operator+(Pair a, Pair b) { return {a.v + b.v}; }
ZEPH_KERNEL Pair operator-(Pair a, Pair b) { return {a.v - b.v}; }
ZEPH_KERNEL Pair operator*(double c, Pair a) { return {c * a.v}; }
ZEPH_KERNEL Pair& operator+=(Pair& a, Pair b) { return a = a + b; }

// (im, re) of each sample
ZEPH_KERNEL Lanes swapped(Lanes v) { return __builtin_shufflevector(v, v, 1, 0, 3, 2); }
// The real parts of `real`, the imaginary parts of `imag`.
ZEPH_KERNEL Lanes real_imag(Lanes real, Lanes imag) { return __builtin_shufflevector(real, imag, 0, 5, 2, 7); }

template <class T>
ZEPH_KERNEL T load(const Complex* p) {
    if constexpr (std::is_same_v<T, Complex>) {
        return *p;
    } else {
        Pair pair;
        std::memcpy(&pair.v, p, sizeof pair.v);
        return pair;
    }
}
ZEPH_KERNEL void store(Complex* p, Complex v) { *p = v; }
ZEPH_KERNEL void store(Complex* p, Pair v) { std::memcpy(static_cast<void*>(p), &v.v, sizeof v.v); }

// a·b without the NaN rescue of std::complex's operator* (a library call per
// product); non-finite values still propagate.
ZEPH_KERNEL Complex mul(Complex a, Complex b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
ZEPH_KERNEL Pair mul(Pair a, Complex w) {
    const Lanes by_real = a.v * w.real(), by_imag = swapped(a.v) * w.imag();
    return {real_imag(by_real - by_imag, by_real + by_imag)};
}

// −j·v and +j·v
ZEPH_KERNEL Complex times_minus_j(Complex v) { return {v.imag(), -v.real()}; }
ZEPH_KERNEL Pair times_minus_j(Pair v) {
    const Lanes s = swapped(v.v);
    return {real_imag(s, -s)};
}
ZEPH_KERNEL Complex times_j(Complex v) { return {-v.imag(), v.real()}; }
ZEPH_KERNEL Pair times_j(Pair v) {
    const Lanes s = swapped(v.v);
    return {real_imag(-s, s)};
}

// One Stockham stage: for q < m and k < s, the radix-p DFT of
// x[k + s·(q + m·r)], r < p, times w_n^(q·j), goes to y[k + s·(j + p·q)].
// Each butterfly takes samples k (and k + 1 for a Pair) of its q; a = x + s·q,
// b = y + s·p·q, sm = s·m.
struct Radix2 {
    template <class T>
    ZEPH_KERNEL static void butterfly(const Complex* a, Complex* b, long long k, long long s, long long sm,
                                      const Complex* w, int, const Complex*) {
        const T a0 = load<T>(a + k), a1 = load<T>(a + k + sm);
        store(b + k, a0 + a1);
        store(b + k + s, mul(a0 - a1, w[0]));
    }
};

struct Radix4 {
    template <class T>
    ZEPH_KERNEL static void butterfly(const Complex* a, Complex* b, long long k, long long s, long long sm,
                                      const Complex* w, int, const Complex*) {
        const T a0 = load<T>(a + k), a1 = load<T>(a + k + sm), a2 = load<T>(a + k + 2 * sm), a3 = load<T>(a + k + 3 * sm);
        const T t0 = a0 + a2, t1 = a0 - a2, t2 = a1 + a3, t3 = times_minus_j(a1 - a3);
        store(b + k, t0 + t2);
        store(b + k + s, mul(t1 + t3, w[0]));
        store(b + k + 2 * s, mul(t0 - t2, w[1]));
        store(b + k + 3 * s, mul(t1 - t3, w[2]));
    }
};

struct Radix3 {
    template <class T>
    ZEPH_KERNEL static void butterfly(const Complex* a, Complex* b, long long k, long long s, long long sm,
                                      const Complex* w, int, const Complex*) {
        const double sin60 = 0.8660254037844386467637231707529362;
        const T a0 = load<T>(a + k), a1 = load<T>(a + k + sm), a2 = load<T>(a + k + 2 * sm);
        const T t = a1 + a2;
        const T mid = a0 - 0.5 * t;
        const T rot = times_minus_j(sin60 * (a1 - a2));
        store(b + k, a0 + t);
        store(b + k + s, mul(mid + rot, w[0]));
        store(b + k + 2 * s, mul(mid - rot, w[1]));
    }
};

struct Radix5 {
    template <class T>
    ZEPH_KERNEL static void butterfly(const Complex* a, Complex* b, long long k, long long s, long long sm,
                                      const Complex* w, int, const Complex*) {
        const double c1 = 0.3090169943749474241022934171828191;    // cos(2π/5)
        const double c2 = -0.8090169943749474241022934171828191;   // cos(4π/5)
        const double s1 = 0.9510565162951535721164393333793821;    // sin(2π/5)
        const double s2 = 0.5877852522924731291687059546390728;    // sin(4π/5)
        const T a0 = load<T>(a + k), a1 = load<T>(a + k + sm), a2 = load<T>(a + k + 2 * sm), a3 = load<T>(a + k + 3 * sm),
                a4 = load<T>(a + k + 4 * sm);
        const T t1 = a1 + a4, t2 = a2 + a3, t3 = a1 - a4, t4 = a2 - a3;
        const T r1 = a0 + c1 * t1 + c2 * t2, r2 = a0 + c2 * t1 + c1 * t2;
        const T i1 = times_minus_j(s1 * t3 + s2 * t4), i2 = times_minus_j(s2 * t3 - s1 * t4);
        store(b + k, a0 + t1 + t2);
        store(b + k + s, mul(r1 + i1, w[0]));
        store(b + k + 2 * s, mul(r2 + i2, w[1]));
        store(b + k + 3 * s, mul(r2 - i2, w[2]));
        store(b + k + 4 * s, mul(r1 - i1, w[3]));
    }
};

// Any odd radix p: pairs of outputs j and p − j share the sums of a_r ± a_(p−r).
// roots[(j − 1)·(p/2) + r − 1] = w_p^(r·j) for 1 ≤ j, r ≤ p/2. Radix is a
// constant for the small primes (their loops unrolled), 0 for any other p.
template <int Radix>
struct Odd {
    template <class T>
    ZEPH_KERNEL static void butterfly(const Complex* a, Complex* b, long long k, long long s, long long sm,
                                      const Complex* w, int radix, const Complex* roots) {
        const int p = Radix > 0 ? Radix : radix;
        const int half = p / 2;
        T sums[kLargestRadix], differences[kLargestRadix];
        const T a0 = load<T>(a + k);
        T dc = a0;
        for (int r = 1; r <= half; ++r) {
            const T u = load<T>(a + k + r * sm), v = load<T>(a + k + (p - r) * sm);
            sums[r] = u + v;
            differences[r] = u - v;
            dc += sums[r];
        }
        store(b + k, dc);
        for (int j = 1; j <= half; ++j) {
            // Σ_r a_r·w^(rj): real parts of the roots weigh the sums, imaginary
            // parts the differences.
            const Complex* row = roots + (j - 1) * half;
            T sum = a0 + row[0].real() * sums[1], rotated = row[0].imag() * differences[1];
            for (int r = 2; r <= half; ++r) {
                sum += row[r - 1].real() * sums[r];
                rotated += row[r - 1].imag() * differences[r];
            }
            store(b + k + j * s, mul(sum + times_j(rotated), w[j - 1]));
            store(b + k + (p - j) * s, mul(sum - times_j(rotated), w[p - j - 1]));
        }
    }
};

// One stage: its loop over q, and over k two samples at a time (the last
// one alone when s is odd).
template <class Radix>
ZEPH_KERNEL void run_stage(const Complex* x, Complex* y, int radix, long long m, long long s, const Complex* tw,
                           const Complex* roots) {
    const long long sm = s * m;
    for (long long q = 0; q < m; ++q) {
        const Complex* w = tw + (radix - 1) * q;
        const Complex* a = x + s * q;
        Complex* b = y + s * radix * q;
        long long k = 0;
        for (; k + 2 <= s; k += 2) Radix::template butterfly<Pair>(a, b, k, s, sm, w, radix, roots);
        if (k < s) Radix::template butterfly<Complex>(a, b, k, s, sm, w, radix, roots);
    }
}

// Every stage in turn, from x to y and back.
template <class Stages>
ZEPH_KERNEL void run_stage_list(const Stages& stages, const Complex* twiddles, const Complex* roots, Complex* x,
                                Complex* y) {
    for (const auto& stage : stages) {
        const long long m = stage.span / stage.radix, s = stage.stride;
        const Complex* tw = twiddles + stage.twiddle_offset;
        const Complex* r = roots + stage.root_offset;
        switch (stage.radix) {
            case 2: run_stage<Radix2>(x, y, 2, m, s, tw, r); break;
            case 3: run_stage<Radix3>(x, y, 3, m, s, tw, r); break;
            case 4: run_stage<Radix4>(x, y, 4, m, s, tw, r); break;
            case 5: run_stage<Radix5>(x, y, 5, m, s, tw, r); break;
            case 7: run_stage<Odd<7>>(x, y, 7, m, s, tw, r); break;
            case 11: run_stage<Odd<11>>(x, y, 11, m, s, tw, r); break;
            case 13: run_stage<Odd<13>>(x, y, 13, m, s, tw, r); break;
            default: run_stage<Odd<0>>(x, y, stage.radix, m, s, tw, r); break;
        }
        std::swap(x, y);
    }
}

// data[i] ·= twiddles[i] for i < n.
ZEPH_KERNEL void multiply_by(Complex* data, const Complex* twiddles, long long n) {
    for (long long i = 0; i < n; ++i) data[i] = mul(data[i], twiddles[i]);
}

void multiply_by_baseline(Complex* data, const Complex* twiddles, long long n) { multiply_by(data, twiddles, n); }

template <class Stages>
void run_stage_list_baseline(const Stages& stages, const Complex* twiddles, const Complex* roots, Complex* x,
                             Complex* y) {
    run_stage_list(stages, twiddles, roots, x, y);
}

#ifdef ZEPH_ANY_LENGTH_AVX2
template <class Stages>
__attribute__((target("avx2"))) void run_stage_list_avx2(const Stages& stages, const Complex* twiddles,
                                                         const Complex* roots, Complex* x, Complex* y) {
    run_stage_list(stages, twiddles, roots, x, y);
}

__attribute__((target("avx2"))) void multiply_by_avx2(Complex* data, const Complex* twiddles, long long n) {
    multiply_by(data, twiddles, n);
}

bool avx2_available() {
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
}
#endif

// The stages read and write rows a multiple of 4 KiB apart when the
// power-of-two factor is large. Were the two buffers also a multiple of
// 4 KiB apart, every load would wait on an earlier store to the same offset
// within its page, and the rows would crowd the same cache sets: the
// stages' buffer starts half a page from the samples' instead.
constexpr std::size_t kPageSamples = 4096 / sizeof(Complex);

// The offset into `buffer` (fewer than kPageSamples) that puts it half a page from `samples`.
std::size_t half_page_apart(const Complex* buffer, const Complex* samples) {
    const auto distance = reinterpret_cast<std::uintptr_t>(buffer) - reinterpret_cast<std::uintptr_t>(samples);
    return ((2048 - distance) % 4096) / sizeof(Complex);
}

}  // namespace

std::vector<int> TransformPlan::radices() const {
    std::vector<int> out;
    for (const Stage& stage : stages_) out.push_back(stage.radix);
    return out;
}

Status TransformPlan::prepare(long long length) {
    if (length < 2 || length > kMaxAnyLength) return Status::failure(kTransformLengthInvalid);
    if (length == length_) return Status::success();
    *this = TransformPlan{};
    try {
        if (is_power_of_two(length)) {
            method_ = Method::power_of_two;
            while ((1LL << log2_length_) < length) ++log2_length_;
        } else if (const std::vector<int> radices = factor_radices(length); !radices.empty()) {
            method_ = Method::mixed_radix;
            // L = P·Q with P the largest power of two dividing L: when P is
            // long enough, the Q-point transforms run P at a time (the inner
            // loops over P contiguous samples) and the P-point ones are the
            // program's power-of-two transform.
            long long split = length & -length;
            if (split < kMinSplit) split = 1;
            split_ = split;
            const std::vector<int> odd_radices = split > 1 ? factor_radices(length / split) : radices;
            long long n = length / split, s = split;
            std::size_t twiddle_count = 0, root_count = 0;
            for (int p : odd_radices) {
                Stage stage{p, n, s, twiddle_count, root_count};
                twiddle_count += static_cast<std::size_t>((n / p) * (p - 1));
                if (p > 5) root_count += static_cast<std::size_t>((p / 2) * (p / 2));
                stages_.push_back(stage);
                n /= p;
                s *= p;
            }
            twiddles_.resize(twiddle_count);
            roots_.resize(root_count);
            for (const Stage& stage : stages_) {
                const long long m = stage.span / stage.radix;
                Complex* tw = twiddles_.data() + stage.twiddle_offset;
                for (long long q = 0; q < m; ++q)
                    for (int j = 1; j < stage.radix; ++j) *tw++ = unit_root(q * j, stage.span);
                const int half = stage.radix / 2;
                if (stage.radix > 5)
                    for (int j = 1; j <= half; ++j)
                        for (int r = 1; r <= half; ++r)
                            roots_[stage.root_offset + static_cast<std::size_t>((j - 1) * half + r - 1)] =
                                unit_root(r * j % stage.radix, stage.radix);
            }
            if (split > 1) {
                const long long q = length / split;
                split_twiddles_.resize(static_cast<std::size_t>(length));
                for (long long k2 = 0; k2 < q; ++k2)
                    for (long long n1 = 0; n1 < split; ++n1)
                        split_twiddles_[static_cast<std::size_t>(n1 + split * k2)] = unit_root(n1 * k2, length);
            }
        } else {
            method_ = Method::chirp_z;
            padded_log2_ = 1;
            while ((1LL << padded_log2_) < 2 * length - 1) ++padded_log2_;
            const long long padded = 1LL << padded_log2_;
            chirp_.resize(static_cast<std::size_t>(length));
            // n² mod 2L keeps the angle π·n²/L small and exact.
            const auto twice = static_cast<unsigned long long>(2 * length);
            for (long long n = 0; n < length; ++n) {
                const auto u = static_cast<unsigned long long>(n);
                const unsigned long long square = u * u % twice;
                chirp_[static_cast<std::size_t>(n)] = unit_root(static_cast<long long>(square), 2 * length);
            }
            kernel_.assign(static_cast<std::size_t>(padded), Complex{});
            const double scale = 1.0 / static_cast<double>(padded);
            for (long long n = 0; n < length; ++n) {
                const Complex c = std::conj(chirp_[static_cast<std::size_t>(n)]) * scale;
                kernel_[static_cast<std::size_t>(n)] = c;
                if (n > 0) kernel_[static_cast<std::size_t>(padded - n)] = c;
            }
            BitReverseTable table;
            if (Status status = fft_forward(kernel_, table); !status) {
                *this = TransformPlan{};
                return status;
            }
        }
    } catch (const std::bad_alloc&) {
        *this = TransformPlan{};
        return Status::failure(kTablesTooLarge);
    }
    length_ = length;
    return Status::success();
}

void TransformPlan::run_stages(Complex* x, Complex* y) const {
#ifdef ZEPH_ANY_LENGTH_AVX2
    if (avx2_available()) return run_stage_list_avx2(stages_, twiddles_.data(), roots_.data(), x, y);
#endif
    run_stage_list_baseline(stages_, twiddles_.data(), roots_.data(), x, y);
}

void TransformPlan::twiddle_blocks(Complex* data) const {
#ifdef ZEPH_ANY_LENGTH_AVX2
    if (avx2_available()) return multiply_by_avx2(data, split_twiddles_.data(), length_);
#endif
    multiply_by_baseline(data, split_twiddles_.data(), length_);
}

Status TransformPlan::chirp_z_forward(std::span<Complex> x, TransformWorkspace& work) const {
    const std::size_t padded = kernel_.size();
    const std::size_t length = x.size();
    std::vector<Complex>& a = work.buffer_;
    // X[k] = c[k]·Σ_n (x[n]·c[n])·conj(c[k − n]) with c[n] = e^(−jπn²/L):
    // a cyclic convolution on M points, the inverse transform made as
    // conj(forward(conj(·))).
    for (std::size_t n = 0; n < length; ++n) a[n] = mul(x[n], chirp_[n]);
    std::fill(a.data() + length, a.data() + padded, Complex{});
    if (Status status = fft_forward(std::span<Complex>(a.data(), padded), work.table_); !status) return status;
    for (std::size_t i = 0; i < padded; ++i) a[i] = std::conj(mul(a[i], kernel_[i]));
    if (Status status = fft_forward(std::span<Complex>(a.data(), padded), work.table_); !status) return status;
    for (std::size_t k = 0; k < length; ++k) x[k] = mul(std::conj(a[k]), chirp_[k]);
    return Status::success();
}

Status TransformPlan::forward(std::span<Complex> x, TransformWorkspace& work) const {
    if (length_ == 0 || static_cast<long long>(x.size()) != length_) return Status::failure(kTransformLengthMismatch);
    if (method_ == Method::power_of_two) return fft_forward(x, work.table_);
    if (stop_requested()) return Status::failure(kTransformStopped);
    const std::size_t needed = method_ == Method::chirp_z ? kernel_.size() : x.size() + kPageSamples;
    try {
        if (work.buffer_.size() < needed) work.buffer_.resize(needed);
    } catch (const std::bad_alloc&) {
        return Status::failure(kTablesTooLarge);
    }
    if (method_ == Method::chirp_z) return chirp_z_forward(x, work);
    Complex* data = x.data();
    Complex* other = work.buffer_.data() + half_page_apart(work.buffer_.data(), data);
    run_stages(data, other);
    if (stages_.size() % 2 == 1) std::swap(data, other);
    if (split_ > 1) {
        // Sample n1 + P·k2 holds bin k2 of the Q-point transform of
        // x[n1 + P·n2]; times w_L^(n1·k2), the P-point transform of block k2
        // gives X[Q·k1 + k2] at its k1.
        const long long p = split_, q = length_ / split_;
        twiddle_blocks(data);
        for (long long k2 = 0; k2 < q; ++k2) {
            Complex* block = data + p * k2;
            if (Status status = fft_forward(std::span<Complex>(block, static_cast<std::size_t>(p)), work.table_); !status)
                return status;
        }
        for (long long k1 = 0; k1 < p; ++k1)
            for (long long k2 = 0; k2 < q; ++k2) other[q * k1 + k2] = data[p * k2 + k1];
        std::swap(data, other);
    }
    if (data != x.data()) std::copy(data, data + x.size(), x.begin());
    return Status::success();
}

Status TransformPlan::inverse(std::span<Complex> x, TransformWorkspace& work) const {
    if (length_ == 0 || static_cast<long long>(x.size()) != length_) return Status::failure(kTransformLengthMismatch);
    for (Complex& v : x) v = std::conj(v);
    Status status = forward(x, work);
    for (Complex& v : x) v = std::conj(v);
    return status;
}

}  // namespace zeph
