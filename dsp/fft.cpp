#include "dsp/fft.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

// ZEPH_FFT_NO_AVX2 builds the plain kernels only (to compare the two sets).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(ZEPH_FFT_NO_AVX2)
#include <immintrin.h>
#define ZEPH_FFT_AVX2 1
#endif

#include "base/parallel.hpp"
#include "base/stop_request.hpp"

namespace zeph {

namespace {

// Arithmetic on one complex sample held as a pair of doubles {re, im} in one
// SIMD register (SSE2 on x86-64). Loads and stores go through memcpy, which
// compiles to one unaligned vector move.
typedef double Pair __attribute__((vector_size(16)));

inline Pair load(const double* p) {
    Pair v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }

inline Pair swapped(Pair v) { return Pair{v[1], v[0]}; }

// −j·v = {v.im, −v.re}
inline Pair times_minus_j(Pair v) { return swapped(v) * Pair{1.0, -1.0}; }

// v·w where the twiddle w is stored as {w.re, w.re} at w and {−w.im, w.im}
// at w + 4: {v.re·w.re − v.im·w.im, v.im·w.re + v.re·w.im}.
inline Pair times_twiddle(Pair v, const double* w) { return v * load(w) + swapped(v) * load(w + 4); }

// Doubles per k in a stage's twiddle table: w^k, w^2k, w^3k, four doubles
// each, or two each in the compact layout of the stages above kBlockLog2
// (which hold most of the factors; their butterflies wait on memory anyway).
// The four-double layout interleaves the k of a pair (k even, k + 1), so that
// one 4-double vector holds both: for each m = 1, 2, 3 the eight doubles
// {re_k, re_k, re_k+1, re_k+1}, {−im_k, im_k, −im_k+1, im_k+1} of w^mk.
constexpr int kTwiddleStride = 12;
constexpr int kCompactStride = 6;

// Where the factor w^mk (m = 1, 2, 3) of butterfly k starts in the four-double layout.
inline std::ptrdiff_t paired_offset(std::ptrdiff_t k, int m) {
    return kTwiddleStride * (k & ~std::ptrdiff_t{1}) + 8 * (m - 1) + 2 * (k & 1);
}
inline const double* paired_twiddle(const double* twiddles, std::ptrdiff_t k, int m) {
    return twiddles + paired_offset(k, m);
}

// Stages whose butterflies span more than 2^kBlockLog2 points run over the
// whole array one after the other; the rest run block by block, so a block
// (1 MiB of samples) stays in the cache through all its stages.
constexpr int kBlockLog2 = 16;

// Transforms of 2^kFirstSortedLog2 … 2^kBlockLog2 points (with AVX2) run out
// of place and write their results in natural order: no separate unscramble.
constexpr int kFirstSortedLog2 = 5;
// The level from which the last stages write in natural order: 2 (the last
// two stages) for even log2 N, 3 (the last three) for odd. Each block then
// writes to 4 or 8 places N/4 or N/8 apart: more, and the places would
// compete for the same cache sets.
constexpr int tail_level(int log2n) { return log2n % 2 == 0 ? 2 : 3; }

// v·w for a twiddle stored compactly as {w.re, w.im}.
inline Pair times_compact_twiddle(Pair v, const double* w) {
    const Pair t = load(w);
    return v * Pair{t[0], t[0]} + swapped(v) * Pair{-t[1], t[1]};
}

// Two radix-2 decimation-in-frequency stages fused, over one block of
// size = 4q points, for the butterflies k in [k_begin, k_end): the first
// splits the block into halves with twiddles w^k (w = e^(−j2π/size)), the
// second splits each half with w^2k. The outputs stay in the radix-2
// (bit-reversed) order. Compact: the stage's twiddles are stored as
// {re, im} (kCompactStride doubles per k), else as {re, re}, {−im, im}.
template <bool Compact>
void radix4_stage(double* block, std::ptrdiff_t q, const double* twiddles, std::ptrdiff_t k_begin,
                  std::ptrdiff_t k_end) {
    double* x0p = block;
    double* x1p = block + 2 * q;
    double* x2p = block + 4 * q;
    double* x3p = block + 6 * q;
    for (std::ptrdiff_t k = k_begin; k < k_end; ++k) {
        const std::ptrdiff_t at = 2 * k;
        const Pair x0 = load(x0p + at), x1 = load(x1p + at), x2 = load(x2p + at), x3 = load(x3p + at);
        const Pair sum02 = x0 + x2, diff02 = x0 - x2;
        const Pair sum13 = x1 + x3, rotated13 = times_minus_j(x1 - x3);
        store(x0p + at, sum02 + sum13);
        if constexpr (Compact) {
            const double* w = twiddles + kCompactStride * k;
            store(x1p + at, times_compact_twiddle(sum02 - sum13, w + 2));       // w^2k
            store(x2p + at, times_compact_twiddle(diff02 + rotated13, w));      // w^k
            store(x3p + at, times_compact_twiddle(diff02 - rotated13, w + 4));  // w^3k
        } else {
            store(x1p + at, times_twiddle(sum02 - sum13, paired_twiddle(twiddles, k, 2)));
            store(x2p + at, times_twiddle(diff02 + rotated13, paired_twiddle(twiddles, k, 1)));
            store(x3p + at, times_twiddle(diff02 - rotated13, paired_twiddle(twiddles, k, 3)));
        }
    }
}

// The last two stages over blocks of 4 points, where every twiddle is 1.
void last_radix4_stage(double* x, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += 4) {
        double* p = x + 2 * i;
        const Pair x0 = load(p), x1 = load(p + 2), x2 = load(p + 4), x3 = load(p + 6);
        const Pair sum02 = x0 + x2, diff02 = x0 - x2;
        const Pair sum13 = x1 + x3, rotated13 = times_minus_j(x1 - x3);
        store(p, sum02 + sum13);
        store(p + 2, sum02 - sum13);
        store(p + 4, diff02 + rotated13);
        store(p + 6, diff02 - rotated13);
    }
}

// The last stage over pairs of points (odd log2 N), twiddle 1.
void last_radix2_stage(double* x, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; i += 2) {
        double* p = x + 2 * i;
        const Pair a = load(p), b = load(p + 2);
        store(p, a + b);
        store(p + 2, a - b);
    }
}

#ifdef ZEPH_FFT_AVX2
// The same butterflies two samples at a time in 4-double AVX registers: the
// same operations in the same order on each sample, so the same bits.
// Multiplications and additions stay separate (no fused multiply-add).
#define ZEPH_AVX2 __attribute__((target("avx2")))

ZEPH_AVX2 inline __m256d swapped_pairs(__m256d v) { return _mm256_permute_pd(v, 0b0101); }

ZEPH_AVX2 inline __m256d times_minus_j_pairs(__m256d v) {
    return _mm256_mul_pd(swapped_pairs(v), _mm256_setr_pd(1.0, -1.0, 1.0, -1.0));
}

ZEPH_AVX2 inline __m256d times_twiddle_pairs(__m256d v, const double* w) {
    return _mm256_add_pd(_mm256_mul_pd(v, _mm256_loadu_pd(w)), _mm256_mul_pd(swapped_pairs(v), _mm256_loadu_pd(w + 4)));
}

// One radix-4 butterfly on two k at once (the pair at w, see paired_offset).
ZEPH_AVX2 inline void butterfly_pairs(__m256d& x0, __m256d& x1, __m256d& x2, __m256d& x3, const double* w) {
    const __m256d sum02 = _mm256_add_pd(x0, x2), diff02 = _mm256_sub_pd(x0, x2);
    const __m256d sum13 = _mm256_add_pd(x1, x3), rotated13 = times_minus_j_pairs(_mm256_sub_pd(x1, x3));
    x0 = _mm256_add_pd(sum02, sum13);
    x1 = times_twiddle_pairs(_mm256_sub_pd(sum02, sum13), w + 8);        // w^2k
    x2 = times_twiddle_pairs(_mm256_add_pd(diff02, rotated13), w);       // w^k
    x3 = times_twiddle_pairs(_mm256_sub_pd(diff02, rotated13), w + 16);  // w^3k
}

// The last two stages of one block of 4 points held as {x0, x1}, {x2, x3};
// the results replace them. a + (−b) is a − b exactly.
ZEPH_AVX2 inline void last_radix4_in_registers(__m256d& x01, __m256d& x23) {
    const __m256d negate_high = _mm256_setr_pd(0.0, 0.0, -0.0, -0.0);
    const __m256d sums = _mm256_add_pd(x01, x23);    // {sum02, sum13}
    const __m256d diffs = _mm256_sub_pd(x01, x23);   // {diff02, x1 − x3}
    const __m256d sum02 = _mm256_permute2f128_pd(sums, sums, 0x00);
    const __m256d sum13 = _mm256_permute2f128_pd(sums, sums, 0x11);
    const __m256d diff02 = _mm256_permute2f128_pd(diffs, diffs, 0x00);
    const __m256d diff13 = _mm256_permute2f128_pd(diffs, diffs, 0x11);
    x01 = _mm256_add_pd(sum02, _mm256_xor_pd(sum13, negate_high));
    x23 = _mm256_add_pd(diff02, _mm256_xor_pd(times_minus_j_pairs(diff13), negate_high));
}

ZEPH_AVX2 inline void last_radix4_pairs(__m256d x01, __m256d x23, double* p) {
    last_radix4_in_registers(x01, x23);
    _mm256_storeu_pd(p, x01);
    _mm256_storeu_pd(p + 4, x23);
}

// The last stage of one pair {a, b}, in the register.
ZEPH_AVX2 inline __m256d last_radix2_in_register(__m256d v) {
    const __m256d negate_high = _mm256_setr_pd(0.0, 0.0, -0.0, -0.0);
    const __m256d a = _mm256_permute2f128_pd(v, v, 0x00), b = _mm256_permute2f128_pd(v, v, 0x11);
    return _mm256_add_pd(a, _mm256_xor_pd(b, negate_high));
}

// The last stage of one pair {a, b}.
ZEPH_AVX2 inline void last_radix2_pair(__m256d v, double* p) { _mm256_storeu_pd(p, last_radix2_in_register(v)); }

// radix4_stage<false> for a whole block (q even), from `in` to `out` (the
// same or separate storage).
ZEPH_AVX2 void radix4_stage_avx2(const double* in, double* out, std::ptrdiff_t q, const double* twiddles) {
    for (std::ptrdiff_t k = 0; k < q; k += 2) {
        const std::ptrdiff_t at = 2 * k;
        __m256d x0 = _mm256_loadu_pd(in + at), x1 = _mm256_loadu_pd(in + 2 * q + at);
        __m256d x2 = _mm256_loadu_pd(in + 4 * q + at), x3 = _mm256_loadu_pd(in + 6 * q + at);
        butterfly_pairs(x0, x1, x2, x3, twiddles + kTwiddleStride * k);
        _mm256_storeu_pd(out + at, x0);
        _mm256_storeu_pd(out + 2 * q + at, x1);
        _mm256_storeu_pd(out + 4 * q + at, x2);
        _mm256_storeu_pd(out + 6 * q + at, x3);
    }
}

ZEPH_AVX2 void radix4_stage_avx2(double* block, std::ptrdiff_t q, const double* twiddles) {
    radix4_stage_avx2(block, block, q, twiddles);
}

// The stages from kLevel (3 or 4) down on one block of 2^kLevel points at
// p, into registers: r[i] holds the block's samples 2i and 2i + 1.
template <int kLevel>
ZEPH_AVX2 inline void fused_block(const double* p, const double* w, __m256d* r) {
    for (int i = 0; i < (1 << kLevel) / 2; ++i) r[i] = _mm256_loadu_pd(p + 4 * i);
    if constexpr (kLevel == 4) {
        butterfly_pairs(r[0], r[2], r[4], r[6], w);                        // k = 0, 1
        butterfly_pairs(r[1], r[3], r[5], r[7], w + 2 * kTwiddleStride);   // k = 2, 3
        for (int i = 0; i < 8; i += 2) last_radix4_in_registers(r[i], r[i + 1]);
    } else {
        butterfly_pairs(r[0], r[1], r[2], r[3], w);
        for (int i = 0; i < 4; ++i) r[i] = last_radix2_in_register(r[i]);
    }
}

template <int kLevel>
ZEPH_AVX2 void fused_tail_avx2(double* x, std::ptrdiff_t n, const double* w) {
    constexpr int kRegisters = (1 << kLevel) / 2;
    for (std::ptrdiff_t i = 0; i < n; i += 1 << kLevel) {
        __m256d r[kRegisters];
        fused_block<kLevel>(x + 2 * i, w, r);
        for (int j = 0; j < kRegisters; ++j) _mm256_storeu_pd(x + 2 * i + 4 * j, r[j]);
    }
}

// The stages from `level` (1 … 4) down on every block of 2^level points,
// each block loaded once.
ZEPH_AVX2 void tail_stages_avx2(double* x, std::ptrdiff_t n, int level, const BitReverseTable& table) {
    switch (level) {
        case 4: fused_tail_avx2<4>(x, n, table.stage_twiddles(4)); break;
        case 3: fused_tail_avx2<3>(x, n, table.stage_twiddles(3)); break;
        case 2:
            for (std::ptrdiff_t i = 0; i < n; i += 4)
                last_radix4_pairs(_mm256_loadu_pd(x + 2 * i), _mm256_loadu_pd(x + 2 * i + 4), x + 2 * i);
            break;
        case 1:
            for (std::ptrdiff_t i = 0; i < n; i += 2) last_radix2_pair(_mm256_loadu_pd(x + 2 * i), x + 2 * i);
            break;
        default: break;
    }
}

// Stores the two samples of v (block-local indices j and j + 1 of a block of
// 2^level points) at their places in natural order: local index j goes to
// bit_reverse(j, level)·2^(log2n − level) + bit_reverse(block); j + 1 lies
// N/2 further on.
ZEPH_AVX2 inline void store_sorted(__m256d v, double* out, std::ptrdiff_t j_place, std::ptrdiff_t half) {
    _mm_storeu_pd(out + 2 * j_place, _mm256_castpd256_pd128(v));
    _mm_storeu_pd(out + 2 * (j_place + half), _mm256_extractf128_pd(v, 1));
}

// tail_stages_avx2 for level 2 or 3 (the tail_level of log2n), reading `in`
// and writing each result to its place in natural order in `out`. The blocks
// are taken in bit-reversed order, so each of the 2^level places of a block
// moves on by one sample from block to block.
ZEPH_AVX2 void sorted_tail_avx2(const double* in, double* out, int log2n, const BitReverseTable& table) {
    const int level = tail_level(log2n);
    const std::ptrdiff_t n = std::ptrdiff_t{1} << log2n, half = n / 2;
    const int shift = log2n - level;
    const double* w = table.stage_twiddles(level);
    const std::int32_t* block_reverse = table.tail_reverse().data();
    if (level == 2) {
        // Register 0 holds local indices 0 and 1 (places 0 and N/2), register 1
        // holds 2 and 3 (N/4 and 3N/4). Two blocks at a time, so that each
        // place gets both blocks' samples in one store.
        const std::ptrdiff_t quarter = std::ptrdiff_t{1} << shift;
        for (std::ptrdiff_t base = 0; base < (n >> 2); base += 2) {
            const double* p = in + 8 * block_reverse[base];
            const double* p_next = in + 8 * block_reverse[base + 1];
            __m256d x01 = _mm256_loadu_pd(p), x23 = _mm256_loadu_pd(p + 4);
            __m256d y01 = _mm256_loadu_pd(p_next), y23 = _mm256_loadu_pd(p_next + 4);
            last_radix4_in_registers(x01, x23);
            last_radix4_in_registers(y01, y23);
            _mm256_storeu_pd(out + 2 * base, _mm256_permute2f128_pd(x01, y01, 0x20));
            _mm256_storeu_pd(out + 2 * (base + half), _mm256_permute2f128_pd(x01, y01, 0x31));
            _mm256_storeu_pd(out + 2 * (base + quarter), _mm256_permute2f128_pd(x23, y23, 0x20));
            _mm256_storeu_pd(out + 2 * (base + quarter + half), _mm256_permute2f128_pd(x23, y23, 0x31));
        }
    } else {
        constexpr int kReversed[4] = {0, 2, 1, 3};   // bit_reverse(2·i, 3) / 2
        for (std::ptrdiff_t base = 0; base < (n >> 3); ++base) {
            __m256d r[4];
            fused_block<3>(in + 16 * block_reverse[base], w, r);
            for (int i = 0; i < 4; ++i) store_sorted(r[i], out, (std::ptrdiff_t{kReversed[i]} << shift) + base, half);
        }
    }
}

// The whole transform of 2^kFirstSortedLog2 … 2^kBlockLog2 points: the first
// stage pair from x into the scratch storage, the middle ones there, the last
// ones back into x in natural order.
ZEPH_AVX2 void sorted_transform_avx2(double* x, int log2n, BitReverseTable& table) {
    double* scratch = reinterpret_cast<double*>(table.scratch());
    const std::ptrdiff_t n = std::ptrdiff_t{1} << log2n;
    radix4_stage_avx2(x, scratch, n / 4, table.stage_twiddles(log2n));
    for (int level = log2n - 2; level > tail_level(log2n); level -= 2) {
        const std::ptrdiff_t size = std::ptrdiff_t{1} << level;
        for (std::ptrdiff_t offset = 0; offset < n; offset += size)
            radix4_stage_avx2(scratch + 2 * offset, size / 4, table.stage_twiddles(level));
    }
    sorted_tail_avx2(scratch, x, log2n, table);
}

bool has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#else
bool has_avx2() { return false; }
#endif

// All stages of one block of 2^log2_block points: stage(block, q, twiddles)
// for the stage pairs down to 2^5 points, then tail(block, points, level)
// for the stages from `level` (1 … 4) down.
template <class Stage, class Tail>
inline void run_stage_levels(double* block, int log2_block, const BitReverseTable& table, Stage stage, Tail tail) {
    const std::ptrdiff_t points = std::ptrdiff_t{1} << log2_block;
    int level = log2_block;
    for (; level > 4; level -= 2) {
        const std::ptrdiff_t size = std::ptrdiff_t{1} << level;
        const double* twiddles = table.stage_twiddles(level);
        for (std::ptrdiff_t offset = 0; offset < points; offset += size) stage(block + 2 * offset, size / 4, twiddles);
    }
    tail(block, points, level);
}

void run_stages_on_block(double* block, int log2_block, const BitReverseTable& table) {
#ifdef ZEPH_FFT_AVX2
    if (has_avx2()) {
        auto stage = [](double* b, std::ptrdiff_t q, const double* twiddles) { radix4_stage_avx2(b, q, twiddles); };
        return run_stage_levels(block, log2_block, table, stage,
                                [&](double* x, std::ptrdiff_t n, int level) { tail_stages_avx2(x, n, level, table); });
    }
#endif
    auto stage = [](double* b, std::ptrdiff_t q, const double* twiddles) { radix4_stage<false>(b, q, twiddles, 0, q); };
    run_stage_levels(block, log2_block, table, stage, [&](double* x, std::ptrdiff_t n, int level) {
        if (level >= 3) {
            const std::ptrdiff_t size = std::ptrdiff_t{1} << level;
            for (std::ptrdiff_t offset = 0; offset < n; offset += size)
                stage(x + 2 * offset, size / 4, table.stage_twiddles(level));
            level -= 2;
        }
        if (level == 2) last_radix4_stage(x, n);
        if (level == 1) last_radix2_stage(x, n);
    });
}

// Puts the bit-reversed result in natural order. The index splits into
// hi | mid | lo with hi and lo of kTileBits bits; bit reversal maps the tile
// of one mid onto the tile of reverse(mid), so tiles are swapped whole (no
// per-element test) and each pair of tiles stays in the cache while swapped.
// Only the reversed mids are tabled: reverse(hi | mid | lo) =
// reverse(lo) | reverse(mid) | reverse(hi).
constexpr int kTileBits = 3;
constexpr int kTile = 1 << kTileBits;
constexpr int kTileReverse[kTile] = {0, 4, 2, 6, 1, 5, 3, 7};

// The tile pairs whose lower mid lies in [mid_begin, mid_end). Element t =
// hi·8 + lo of a tile lies at tile_offset[t] = hi << (log2n − 3) | lo from
// its tile's base, and its partner at partner_offset[t] = reverse(lo) <<
// (log2n − 3) | reverse(hi) from the partner tile's base; a tile that is its
// own partner swaps only the elements `own_pairs` lists.
void unscramble_tiles(Complex* x, int log2n, const std::int32_t* mid_reverse, int mid_begin, int mid_end) {
    constexpr int kTileElements = kTile * kTile;
    const int hi_shift = log2n - kTileBits;
    int tile_offset[kTileElements], partner_offset[kTileElements], own_pairs[kTileElements];
    int own_count = 0;
    for (int t = 0; t < kTileElements; ++t) {
        const int hi = t / kTile, lo = t % kTile;
        tile_offset[t] = (hi << hi_shift) | lo;
        partner_offset[t] = (kTileReverse[lo] << hi_shift) | kTileReverse[hi];
        if (partner_offset[t] > tile_offset[t]) own_pairs[own_count++] = t;
    }
    for (int mid = mid_begin; mid < mid_end; ++mid) {
        const int partner_mid = mid_reverse[mid];
        if (partner_mid < mid) continue;   // swapped with its partner already
        Complex* tile = x + (mid << kTileBits);
        Complex* partner = x + (partner_mid << kTileBits);
        if (partner_mid > mid) {
            for (int t = 0; t < kTileElements; ++t) std::swap(tile[tile_offset[t]], partner[partner_offset[t]]);
        } else {
            for (int p = 0; p < own_count; ++p) std::swap(tile[tile_offset[own_pairs[p]]], tile[partner_offset[own_pairs[p]]]);
        }
    }
}

void unscramble(Complex* x, int log2n, const std::int32_t* mid_reverse, int threads) {
    const int n = 1 << log2n;
    if (log2n < 2 * kTileBits) {
        for (int i = 0; i < n; ++i) {
            const int j = static_cast<int>(bit_reverse(static_cast<std::uint32_t>(i), log2n));
            if (j > i) std::swap(x[i], x[j]);
        }
        return;
    }
    const int mids = 1 << (log2n - 2 * kTileBits);
    if (threads <= 1) {
        unscramble_tiles(x, log2n, mid_reverse, 0, mids);
        return;
    }
    // Each tile pair is swapped by the part that holds its lower mid; pairs
    // touch disjoint samples, so the parts may run in any order.
    constexpr int kParts = 32;
    run_parts(kParts, threads, [&](int part) {
        unscramble_tiles(x, log2n, mid_reverse, static_cast<int>(part_start(mids, kParts, part)),
                         static_cast<int>(part_start(mids, kParts, part + 1)));
    });
}

void conjugate_all(std::span<Complex> x) {
    run_blocks(static_cast<long long>(x.size()), kElementBlock, [&](long long begin, long long end) {
        for (long long i = begin; i < end; ++i) x[static_cast<std::size_t>(i)] = std::conj(x[static_cast<std::size_t>(i)]);
    });
}

bool valid_transform_size(std::size_t n, int& log2n) {
    if (n == 0 || (n & (n - 1)) != 0 || n > (std::size_t{1} << kMaxTransformLog2)) return false;
    log2n = 0;
    while ((std::size_t{1} << log2n) < n) ++log2n;
    return true;
}

}  // namespace

std::uint32_t bit_reverse(std::uint32_t i, int bits) {
    std::uint32_t r = 0;
    for (int b = 0; b < bits; ++b) {
        r = 2 * r + (i & 1u);
        i >>= 1;
    }
    return r;
}

Status check_power_of_two(long long n, int& log2n) {
    for (int m = 1; m <= kMaxTransformLog2; ++m) {
        if (n == (1LL << m)) {
            log2n = m;
            return Status::success();
        }
    }
    return Status::failure(kNotPowerOfTwo);
}

namespace {

// Gives a vector's storage back (assigning {} would keep its capacity).
template <class Vector>
void release(Vector& v) {
    Vector().swap(v);
}

}  // namespace

Status BitReverseTable::prepare(int log2n) {
    if (log2n < 0 || log2n > kMaxTransformLog2) return Status::failure(kNotPowerOfTwo);
    if (log2n == log2_points_ && points_ >= 0) return Status::success();
    release(operand_);
    log2_points_ = log2n;
    points_ = 1 << log2n;
    ++fill_count_;
    try {
        fill_reverse();
        fill_twiddles();
    } catch (const std::bad_alloc&) {
        forget();
        release(mid_reverse_);
        release(tail_reverse_);
        release(scratch_);
        release(twiddles_);
        return Status::failure(kTablesTooLarge);
    }
    return Status::success();
}

void BitReverseTable::forget() {
    points_ = -1;
    log2_points_ = -1;
    release(operand_);
}

std::size_t BitReverseTable::held_bytes() const {
    return mid_reverse_.capacity() * sizeof(std::int32_t) + tail_reverse_.capacity() * sizeof(std::int32_t) +
           (scratch_.capacity() + operand_.capacity()) * sizeof(Complex) + twiddles_.capacity() * sizeof(double);
}

std::span<Complex> BitReverseTable::operand_storage() {
    if (points_ < 0) return {};
    try {
        operand_.resize(static_cast<std::size_t>(points_));
    } catch (const std::bad_alloc&) {
        release(operand_);
    }
    return operand_;
}

const double* BitReverseTable::stage_twiddles(int log2_size) const {
    return twiddles_.data() + stage_offset_[static_cast<std::size_t>(log2_size)];
}

void BitReverseTable::fill_reverse() {
    const int mid_bits = std::max(log2_points_ - 2 * kTileBits, 0);
    if (mid_reverse_.capacity() > std::size_t{1} << mid_bits) release(mid_reverse_);   // a smaller N
    mid_reverse_.resize(std::size_t{1} << mid_bits);
    for (std::size_t i = 0; i < mid_reverse_.size(); ++i)
        mid_reverse_[i] = static_cast<std::int32_t>(bit_reverse(static_cast<std::uint32_t>(i), mid_bits));
    release(tail_reverse_);   // small: filled anew
    scratch_.clear();
    if (log2_points_ >= kFirstSortedLog2 && log2_points_ <= kBlockLog2) {
        const int block_bits = log2_points_ - tail_level(log2_points_);
        tail_reverse_.resize(std::size_t{1} << block_bits);
        for (std::size_t b = 0; b < tail_reverse_.size(); ++b)
            tail_reverse_[b] = static_cast<std::int32_t>(bit_reverse(static_cast<std::uint32_t>(b), block_bits));
        scratch_.resize(static_cast<std::size_t>(points_));
    }
    scratch_.shrink_to_fit();
}

void BitReverseTable::fill_twiddles() {
    twiddles_.clear();
    stage_offset_.assign(static_cast<std::size_t>(kMaxTransformLog2) + 1, 0);
    const long long n = points_;
    if (log2_points_ < 3) return;   // the stages of N ≤ 4 have no twiddles

    // cos and sin of 2πr/N for r in the first octant; every root of unity
    // e^(−j2πj/N) follows from them exactly by symmetry.
    const long long eighth = n / 8, quarter = n / 4;
    // Fresh pages, filled whole: no zeros written first (a 2^24-point table would fault page by page in them).
    std::vector<double, ZeroedAllocator<double>> octant_cos(static_cast<std::size_t>(eighth) + 1),
        octant_sin(octant_cos.size());
    run_blocks(eighth + 1, kElementBlock, [&](long long begin, long long end) {
        for (long long r = begin; r < end; ++r) {
            const double angle = kTwoPi * static_cast<double>(r) / static_cast<double>(n);
            octant_cos[static_cast<std::size_t>(r)] = std::cos(angle);
            octant_sin[static_cast<std::size_t>(r)] = std::sin(angle);
        }
    });
    auto root = [&](long long j) {   // e^(−j2πj/N), 0 ≤ j < N
        const long long turn = j / quarter, r = j % quarter;
        double c, s;
        if (r <= eighth) {
            c = octant_cos[static_cast<std::size_t>(r)];
            s = octant_sin[static_cast<std::size_t>(r)];
        } else {
            c = octant_sin[static_cast<std::size_t>(quarter - r)];
            s = octant_cos[static_cast<std::size_t>(quarter - r)];
        }
        switch (turn) {   // add quarter turns: (c, s) → (−s, c)
            case 1: return Complex(-s, -c);
            case 2: return Complex(-c, s);
            case 3: return Complex(s, c);
            default: return Complex(c, -s);
        }
    };

    auto stride = [](int level) { return level > kBlockLog2 ? kCompactStride : kTwiddleStride; };
    std::size_t total = 0;
    for (int level = log2_points_; level >= 3; level -= 2)
        total += static_cast<std::size_t>(stride(level)) << (level - 2);
    if (twiddles_.capacity() > total) release(twiddles_);   // a smaller N: give the larger table back
    twiddles_.resize(total);
    std::size_t at = 0;
    for (int level = log2_points_; level >= 3; level -= 2) {
        stage_offset_[static_cast<std::size_t>(level)] = at;
        const long long quarter_size = 1LL << (level - 2);
        const long long step = n >> level;   // w_size^k = w_N^(k·N/size)
        const bool compact = level > kBlockLog2;
        double* stage = twiddles_.data() + at;
        run_blocks(quarter_size, kElementBlock, [&](long long k_begin, long long k_end) {
            double* out = stage + stride(level) * k_begin;
            for (long long k = k_begin; k < k_end; ++k) {
                for (long long m = 1; m <= 3; ++m) {
                    const Complex w = root(m * k * step);
                    if (compact) {
                        *out++ = w.real();
                        *out++ = w.imag();
                    } else {
                        double* pair = stage + paired_offset(k, static_cast<int>(m));
                        pair[0] = w.real();
                        pair[1] = w.real();
                        pair[4] = -w.imag();
                        pair[5] = w.imag();
                    }
                }
            }
        });
        at += static_cast<std::size_t>(stride(level)) << (level - 2);
    }
}

namespace {

// Transforms of at least this many points share their stages between threads.
constexpr int kParallelLog2 = 17;

// One stage pair over the whole array: every block of `size` points, with the
// butterflies of each block split into parts.
void run_wide_stage(double* data, std::ptrdiff_t n, int level, const double* twiddles, int threads) {
    const std::ptrdiff_t size = std::ptrdiff_t{1} << level, q = size / 4;
    auto part_of_blocks = [&](std::ptrdiff_t k_begin, std::ptrdiff_t k_end) {
        for (std::ptrdiff_t offset = 0; offset < n; offset += size)
            radix4_stage<true>(data + 2 * offset, q, twiddles, k_begin, k_end);
    };
    if (threads <= 1) {
        part_of_blocks(0, q);
        return;
    }
    const int parts = 4 * threads;
    run_parts(parts, threads, [&](int part) { part_of_blocks(part_start(q, parts, part), part_start(q, parts, part + 1)); });
}

}  // namespace

Status fft_forward(std::span<Complex> x, BitReverseTable& table) {
    int log2n = 0;
    if (!valid_transform_size(x.size(), log2n)) return Status::failure(kNotPowerOfTwo);
    // Operations chain several transforms: a stop asked for meanwhile ends
    // the chain at the next one (x is then left as it was).
    if (stop_requested()) return Status::failure(kTransformStopped);
    if (Status status = table.prepare(log2n); !status) return status;
    // std::complex<double> is laid out as double[2] {re, im}.
    double* data = reinterpret_cast<double*>(x.data());
    const std::ptrdiff_t n = std::ptrdiff_t{1} << log2n;
    const int threads = log2n >= kParallelLog2 ? worker_threads() : 1;

#ifdef ZEPH_FFT_AVX2
    if (log2n >= kFirstSortedLog2 && log2n <= kBlockLog2 && has_avx2()) {
        sorted_transform_avx2(data, log2n, table);
        return Status::success();
    }
#endif
    int level = log2n;
    for (; level > kBlockLog2 && level >= 3; level -= 2) run_wide_stage(data, n, level, table.stage_twiddles(level), threads);
    const std::ptrdiff_t block = std::ptrdiff_t{1} << level;
    const int blocks = static_cast<int>(n / block);
    auto run_block = [&](int b) { run_stages_on_block(data + 2 * block * b, level, table); };
    if (threads <= 1) {
        for (int b = 0; b < blocks; ++b) run_block(b);
    } else {
        run_parts(blocks, threads, run_block);
    }

    unscramble(x.data(), log2n, table.mid_reverse().data(), threads);
    return Status::success();
}

Status fft_inverse(std::span<Complex> x, BitReverseTable& table) {
    int log2n = 0;
    if (!valid_transform_size(x.size(), log2n)) return Status::failure(kNotPowerOfTwo);
    if (stop_requested()) return Status::failure(kTransformStopped);
    conjugate_all(x);
    Status status = fft_forward(x, table);
    conjugate_all(x);
    return status;
}

void half_swap_scale(std::span<Complex> x, double factor) {
    const std::size_t half = x.size() / 2;
    run_blocks(static_cast<long long>(half), kElementBlock, [&](long long begin, long long end) {
        for (auto i = static_cast<std::size_t>(begin); i < static_cast<std::size_t>(end); ++i) {
            const Complex low = x[i];
            x[i] = x[i + half] * factor;
            x[i + half] = low * factor;
        }
    });
}

namespace {

// The shared part of spectrum and waveform creation: checks N and the storage
// and copies the source into the target.
Status copy_for_transform(std::span<const Complex> source, int npts, std::span<Complex> target, int& log2n) {
    if (Status status = check_power_of_two(npts, log2n); !status) return status;
    const auto n = static_cast<std::size_t>(npts);
    if (source.size() < n || target.size() < n) return Status::failure(kStorageTooSmall);
    if (source.data() != target.data()) {
        run_blocks(static_cast<long long>(n), kElementBlock, [&](long long begin, long long end) {
            std::copy(source.data() + begin, source.data() + end, target.data() + begin);
        });
    }
    return Status::success();
}

}  // namespace

Status create_spectrum(std::span<const Complex> waveform, const Grid& time, std::span<Complex> spectrum,
                       Grid& frequency, BitReverseTable& table) {
    int log2n = 0;
    if (Status status = copy_for_transform(waveform, time.npts, spectrum, log2n); !status) return status;
    const int n = time.npts;
    std::span<Complex> samples = spectrum.first(static_cast<std::size_t>(n));
    if (Status status = fft_forward(samples, table); !status) return status;
    half_swap_scale(samples, time.dx);

    frequency.npts = n;
    frequency.dx = 1.0 / (n * time.dx);
    frequency.xmin = -(n / 2) * frequency.dx;
    return Status::success();
}

Status create_waveform(std::span<const Complex> spectrum, const Grid& frequency, std::span<Complex> waveform,
                       Grid& time, BitReverseTable& table) {
    int log2n = 0;
    if (Status status = copy_for_transform(spectrum, frequency.npts, waveform, log2n); !status) return status;
    const int n = frequency.npts;
    std::span<Complex> samples = waveform.first(static_cast<std::size_t>(n));
    half_swap_scale(samples, frequency.dx);   // (1/N)/DT = DF
    if (Status status = fft_inverse(samples, table); !status) return status;

    time.npts = n;
    time.dx = (1.0 / n) / frequency.dx;
    time.xmin = 0.0;
    return Status::success();
}

}  // namespace zeph
