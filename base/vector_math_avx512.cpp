// SLEEF's AVX-512 functions, eight doubles per vector; compiled with
// -mavx512f and called only where the machine has it.
#if defined(__x86_64__)
#include <immintrin.h>
#include <sleef.h>

#define VM_NAMESPACE avx512
#define VM_VECTOR __m512d
#define VM_WIDTH 8
#define VM_LOAD _mm512_loadu_pd
#define VM_STORE _mm512_storeu_pd
#define VM_SLEEF(f) Sleef_##f##d8_u10avx512f
#define VM_SLEEF2(f, u) Sleef_##f##d8_##u##avx512f
#include "base/vector_math_kernels.hpp"

const zeph::VectorKernels& zeph::avx512_kernels() { return avx512::kKernels; }
#endif
