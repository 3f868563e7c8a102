#pragma once
// The kernel table each instruction set's file provides (see vector_math.cpp).
#include <array>
#include <cstddef>

namespace zeph {

// y = f(x); true when some argument or result is special (not finite, or a zero result).
using VectorKernel1 = bool (*)(const double* x, double* y, std::size_t n);
using VectorKernel2 = bool (*)(const double* x1, const double* x2, double* y, std::size_t n);

struct VectorKernels {
    std::array<VectorKernel1, 10> one;   // indexed by VectorFunction
    std::array<VectorKernel2, 3> two;    // indexed by VectorFunction2
};

const VectorKernels& sse2_kernels();
const VectorKernels& avx2_kernels();
const VectorKernels& avx512_kernels();

}  // namespace zeph
