#pragma once
// The array kernels of one instruction set, included by vector_math_<isa>.cpp
// with VM_VECTOR (the vector type), VM_WIDTH, VM_LOAD, VM_STORE and VM_SLEEF(name)
// (the SLEEF function of that set) defined. A kernel says whether some result
// needs fixing up for special values (vector_math.cpp does that).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "base/vector_math_table.hpp"

namespace zeph::VM_NAMESPACE {

// True when some argument or result is not a normal number (zero, subnormal,
// infinite, NaN): those results need the C library. VM_NOT_NORMAL(v) gives
// the mask of such lanes of a vector.
inline bool any_special(const double* x, std::size_t n) {
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) any |= !std::isnormal(x[i]);
    return any;
}

template <class F>
inline bool map1(F f, const double* x, double* y, std::size_t n) {
    std::size_t i = 0;
    unsigned special = 0;
    for (; i + VM_WIDTH <= n; i += VM_WIDTH) {
        const VM_VECTOR in = VM_LOAD(x + i), out = f(in);
        special |= VM_NOT_NORMAL(in) | VM_NOT_NORMAL(out);
        VM_STORE(y + i, out);
    }
    if (i != n) {
        alignas(64) double padded[VM_WIDTH] = {};   // the ragged end, padded with zeros
        std::copy(x + i, x + n, padded);
        VM_STORE(padded, f(VM_LOAD(padded)));
        std::copy(padded, padded + (n - i), y + i);
        special |= any_special(x + i, n - i) || any_special(y + i, n - i);
    }
    return special != 0;
}

template <class F>
inline bool map2(F f, const double* x1, const double* x2, double* y, std::size_t n) {
    std::size_t i = 0;
    unsigned special = 0;
    for (; i + VM_WIDTH <= n; i += VM_WIDTH) {
        const VM_VECTOR in1 = VM_LOAD(x1 + i), in2 = VM_LOAD(x2 + i), out = f(in1, in2);
        special |= VM_NOT_NORMAL(in1) | VM_NOT_NORMAL(in2) | VM_NOT_NORMAL(out);
        VM_STORE(y + i, out);
    }
    if (i != n) {
        alignas(64) double p1[VM_WIDTH] = {}, p2[VM_WIDTH] = {};
        std::copy(x1 + i, x1 + n, p1);
        std::copy(x2 + i, x2 + n, p2);
        VM_STORE(p1, f(VM_LOAD(p1), VM_LOAD(p2)));
        std::copy(p1, p1 + (n - i), y + i);
        special |= any_special(x1 + i, n - i) || any_special(x2 + i, n - i) || any_special(y + i, n - i);
    }
    return special != 0;
}

#define VM_ONE(f) [](const double* x, double* y, std::size_t n) { return map1(VM_SLEEF(f), x, y, n); }
#define VM_TWO(g) [](const double* x1, const double* x2, double* y, std::size_t n) { return map2(g, x1, x2, y, n); }

// In the order of VectorFunction and VectorFunction2.
const VectorKernels kKernels{
    {VM_ONE(sin), VM_ONE(cos), VM_ONE(tan), VM_ONE(exp), VM_ONE(log), VM_ONE(log10), VM_ONE(atan), VM_ONE(asin),
     VM_ONE(acos), VM_ONE(cosh)},
#if defined(VM_LIBRARY_HYPOT)
    {VM_TWO(VM_SLEEF(atan2)),
     [](const double* x1, const double* x2, double* y, std::size_t n) {
         for (std::size_t i = 0; i < n; ++i) y[i] = std::hypot(x1[i], x2[i]);
         return false;   // the C library's already
     },
     VM_TWO(VM_SLEEF(pow))},
#else
    {VM_TWO(VM_SLEEF(atan2)), VM_TWO(VM_SLEEF2(hypot, u05)), VM_TWO(VM_SLEEF(pow))},
#endif
};

#undef VM_ONE
#undef VM_TWO

}  // namespace zeph::VM_NAMESPACE
