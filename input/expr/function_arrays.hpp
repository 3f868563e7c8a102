#pragma once
// The function library and INTERP's operators over blocks of samples, for
// evaluating a prepared formula array-at-a-time: one call per step and block.
//
// A block's complex values are held as separate real and imaginary arrays.
// Arithmetic gives bit for bit the values of the scalar operators
// (functions.hpp); the transcendental functions come from vector math
// (base/vector_math.hpp), within 1 ULP of the C library's, with its special
// values. Blocks that start at the same samples give the same values, however
// the work is shared between threads.
#include <cstddef>

#include "input/expr/functions.hpp"

namespace zeph {

// Blocks never hold more samples than this: every n below is at most kMaxBlockSamples.
inline constexpr std::size_t kMaxBlockSamples = 256;

struct BlockIn {
    const double* re;
    const double* im;
};
struct BlockOut {
    double* re;
    double* im;
};

// True when the block form of the function uses vector math (its values may
// differ from the scalar library's by an ULP); the others are bit-identical.
bool uses_vector_math(FunctionId id);

// out[i] = f(z[i]) for i < n. RAND and GAUSS take their uniform draws from
// `draws`: sample i's draws are draws[i·draw_stride], draws[i·draw_stride + 1]
// (the order in which the generator gave them). `out` must not overlap `z`.
void apply_function_block(FunctionId id, BlockIn z, BlockOut out, std::size_t n, const double* draws,
                          std::size_t draw_stride);

// `count` draws of the generator in order, exactly as draw_uniform gives them.
void draw_uniforms(RandomGenerator& random, double* draws, std::size_t count);

// The operators; `out` must not overlap the operands (x and y may be the same).
void product_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n);
void quotient_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n);
void power_block(BlockIn z, BlockIn w, BlockOut out, std::size_t n);
void sum_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n);
void difference_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n);
// (real part of x, real part of y).
void comma_block(BlockIn x, BlockIn y, BlockOut out, std::size_t n);

// out[j] = z.re[j] + j·z.im[j] for j < n; with `stream`, written past the
// caches (for signals too large to stay in them).
void store_block(BlockIn z, Complex* out, std::size_t n, bool stream);

// x[j] = (start + (first + j)·step)·scale for j < n (n at most kMaxBlockSamples).
void fill_abscissas(double start, double first, double step, double scale, double* x, std::size_t n);

}  // namespace zeph
