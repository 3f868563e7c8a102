// SLEEF's AVX2 functions, four doubles per vector; compiled with -mavx2 -mfma
// and called only where the machine has both.
#if defined(__x86_64__)
#include <immintrin.h>
#include <sleef.h>

#define VM_NAMESPACE avx2
#define VM_VECTOR __m256d
#define VM_WIDTH 4
#define VM_LOAD _mm256_loadu_pd
#define VM_STORE _mm256_storeu_pd
#define VM_SLEEF(f) Sleef_##f##d4_u10avx2
#define VM_SLEEF2(f, u) Sleef_##f##d4_##u##avx2
#include "base/vector_math_kernels.hpp"

const zeph::VectorKernels& zeph::avx2_kernels() { return avx2::kKernels; }
#endif
