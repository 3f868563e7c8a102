// SLEEF's AVX2 functions, four doubles per vector; compiled with -mavx2 -mfma
// and called only where the machine has both.
#if defined(__x86_64__)
#include <cfloat>

#include <immintrin.h>
#include <sleef.h>

#define VM_NAMESPACE avx2
#define VM_VECTOR __m256d
#define VM_WIDTH 4
#define VM_LOAD _mm256_loadu_pd
#define VM_STORE _mm256_storeu_pd
#define VM_SLEEF(f) Sleef_##f##d4_u10avx2
#define VM_SLEEF2(f, u) Sleef_##f##d4_##u##avx2
#define VM_NOT_NORMAL(v)                                                                                  \
    static_cast<unsigned>(_mm256_movemask_pd(_mm256_or_pd(                                                \
        _mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), v), _mm256_set1_pd(DBL_MIN), _CMP_LT_OQ),   \
        _mm256_cmp_pd(_mm256_andnot_pd(_mm256_set1_pd(-0.0), v), _mm256_set1_pd(DBL_MAX), _CMP_NLE_UQ))))
#include "base/vector_math_kernels.hpp"

const zeph::VectorKernels& zeph::avx2_kernels() { return avx2::kKernels; }
#endif
