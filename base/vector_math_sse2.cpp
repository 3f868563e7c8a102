// SLEEF's SSE2 functions, two doubles per vector (any x86-64 machine).
#if defined(__x86_64__)
#include <cfloat>

#include <immintrin.h>
#include <sleef.h>

#define VM_NAMESPACE sse2
#define VM_VECTOR __m128d
#define VM_WIDTH 2
#define VM_LOAD _mm_loadu_pd
#define VM_STORE _mm_storeu_pd
#define VM_SLEEF(f) Sleef_##f##d2_u10sse2
#define VM_SLEEF2(f, u) Sleef_##f##d2_##u##sse2
// |v| < DBL_MIN, or not |v| <= DBL_MAX (infinite or NaN).
#define VM_NOT_NORMAL(v)                                                                                  \
    static_cast<unsigned>(_mm_movemask_pd(                                                                \
        _mm_or_pd(_mm_cmplt_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), v), _mm_set1_pd(DBL_MIN)),                \
                  _mm_cmpnle_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), v), _mm_set1_pd(DBL_MAX)))))
#define VM_LIBRARY_HYPOT   // without FMA, SLEEF's hypot is up to 2 ULP from the C library's
#include "base/vector_math_kernels.hpp"

const zeph::VectorKernels& zeph::sse2_kernels() { return sse2::kKernels; }
#endif
