// SLEEF's AVX-512 functions, eight doubles per vector; compiled with
// -mavx512f and called only where the machine has it.
#if defined(__x86_64__)
#include <cfloat>

#include <immintrin.h>
#include <sleef.h>

#define VM_NAMESPACE avx512
#define VM_VECTOR __m512d
#define VM_WIDTH 8
#define VM_LOAD _mm512_loadu_pd
#define VM_STORE _mm512_storeu_pd
#define VM_SLEEF(f) Sleef_##f##d8_u10avx512f
#define VM_SLEEF2(f, u) Sleef_##f##d8_##u##avx512f
#define VM_NOT_NORMAL(v)                                                                                  \
    static_cast<unsigned>(_mm512_cmp_pd_mask(_mm512_abs_pd(v), _mm512_set1_pd(DBL_MIN), _CMP_LT_OQ) |      \
                          _mm512_cmp_pd_mask(_mm512_abs_pd(v), _mm512_set1_pd(DBL_MAX), _CMP_NLE_UQ))
#include "base/vector_math_kernels.hpp"

const zeph::VectorKernels& zeph::avx512_kernels() { return avx512::kKernels; }
#endif
