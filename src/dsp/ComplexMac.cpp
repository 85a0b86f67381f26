#include "dsp/ComplexMac.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// AVX2 is offered only where the compiler keeps 32-byte stack slots aligned. GCC for
// Windows does not (its spills of 256-bit registers may fault on a 16-byte aligned stack),
// so the Windows DLLs stay on SSE2.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define ORVEX_SPECTRAL_AVX2 1
#include <immintrin.h>
#endif

namespace dsp {

namespace {

// Bins 0 (DC) and m/2 (Nyquist) are real; the vector loops below treat index 0 as a
// complex bin too (its "imaginary part" is the Nyquist value) and these two are then
// computed again on their own.
inline void realBins(const double* const* x, const double* const* w, int count, double* acc, int h)
{
    double dc = 0.0;
    double nyquist = 0.0;
    for (int j = 0; j < count; ++j) {
        dc += x[j][0] * w[j][0];
        nyquist += x[j][h] * w[j][h];
    }
    acc[0] = dc;
    acc[h] = nyquist;
}

#if defined(ORVEX_SPECTRAL_AVX2)
__attribute__((target("avx2,fma"))) void complexMacAvx2(const double* const* x, const double* const* w, int count,
                                                         double* acc, int m)
{
    const int h = m / 2;
    // Four bins per register and four registers per part: eight independent chains keep
    // both FMA units busy. h is a multiple of 8; for h = 8 the loop runs a half step.
    int i = 0;
    for (; i + 16 <= h; i += 16) {
        __m256d r0 = _mm256_setzero_pd(), r1 = r0, r2 = r0, r3 = r0;
        __m256d i0 = r0, i1 = r0, i2 = r0, i3 = r0;
        for (int j = 0; j < count; ++j) {
            const double* a = x[j] + i;
            const double* b = w[j] + i;
            __m256d ar = _mm256_loadu_pd(a), ai = _mm256_loadu_pd(a + h);
            __m256d br = _mm256_loadu_pd(b), bi = _mm256_loadu_pd(b + h);
            r0 = _mm256_fnmadd_pd(ai, bi, _mm256_fmadd_pd(ar, br, r0));
            i0 = _mm256_fmadd_pd(ai, br, _mm256_fmadd_pd(ar, bi, i0));
            ar = _mm256_loadu_pd(a + 4), ai = _mm256_loadu_pd(a + h + 4);
            br = _mm256_loadu_pd(b + 4), bi = _mm256_loadu_pd(b + h + 4);
            r1 = _mm256_fnmadd_pd(ai, bi, _mm256_fmadd_pd(ar, br, r1));
            i1 = _mm256_fmadd_pd(ai, br, _mm256_fmadd_pd(ar, bi, i1));
            ar = _mm256_loadu_pd(a + 8), ai = _mm256_loadu_pd(a + h + 8);
            br = _mm256_loadu_pd(b + 8), bi = _mm256_loadu_pd(b + h + 8);
            r2 = _mm256_fnmadd_pd(ai, bi, _mm256_fmadd_pd(ar, br, r2));
            i2 = _mm256_fmadd_pd(ai, br, _mm256_fmadd_pd(ar, bi, i2));
            ar = _mm256_loadu_pd(a + 12), ai = _mm256_loadu_pd(a + h + 12);
            br = _mm256_loadu_pd(b + 12), bi = _mm256_loadu_pd(b + h + 12);
            r3 = _mm256_fnmadd_pd(ai, bi, _mm256_fmadd_pd(ar, br, r3));
            i3 = _mm256_fmadd_pd(ai, br, _mm256_fmadd_pd(ar, bi, i3));
        }
        _mm256_storeu_pd(acc + i, r0);
        _mm256_storeu_pd(acc + i + 4, r1);
        _mm256_storeu_pd(acc + i + 8, r2);
        _mm256_storeu_pd(acc + i + 12, r3);
        _mm256_storeu_pd(acc + h + i, i0);
        _mm256_storeu_pd(acc + h + i + 4, i1);
        _mm256_storeu_pd(acc + h + i + 8, i2);
        _mm256_storeu_pd(acc + h + i + 12, i3);
    }
    for (; i < h; i += 4) {
        __m256d r0 = _mm256_setzero_pd(), i0 = r0;
        for (int j = 0; j < count; ++j) {
            const __m256d ar = _mm256_loadu_pd(x[j] + i), ai = _mm256_loadu_pd(x[j] + h + i);
            const __m256d br = _mm256_loadu_pd(w[j] + i), bi = _mm256_loadu_pd(w[j] + h + i);
            r0 = _mm256_fnmadd_pd(ai, bi, _mm256_fmadd_pd(ar, br, r0));
            i0 = _mm256_fmadd_pd(ai, br, _mm256_fmadd_pd(ar, bi, i0));
        }
        _mm256_storeu_pd(acc + i, r0);
        _mm256_storeu_pd(acc + h + i, i0);
    }
    realBins(x, w, count, acc, h);
}
#endif

} // namespace

void complexMacBaseline(const double* const* x, const double* const* w, int count, double* acc, int m)
{
    const int h = m / 2;
    int i = 0;
#if defined(__SSE2__)
    // Two bins per register, two registers per part (four chains). h is a multiple of 8.
    for (; i + 4 <= h; i += 4) {
        __m128d r0 = _mm_setzero_pd(), r1 = r0, i0 = r0, i1 = r0;
        for (int j = 0; j < count; ++j) {
            const double* a = x[j] + i;
            const double* b = w[j] + i;
            __m128d ar = _mm_loadu_pd(a), ai = _mm_loadu_pd(a + h);
            __m128d br = _mm_loadu_pd(b), bi = _mm_loadu_pd(b + h);
            r0 = _mm_add_pd(r0, _mm_sub_pd(_mm_mul_pd(ar, br), _mm_mul_pd(ai, bi)));
            i0 = _mm_add_pd(i0, _mm_add_pd(_mm_mul_pd(ai, br), _mm_mul_pd(ar, bi)));
            ar = _mm_loadu_pd(a + 2), ai = _mm_loadu_pd(a + h + 2);
            br = _mm_loadu_pd(b + 2), bi = _mm_loadu_pd(b + h + 2);
            r1 = _mm_add_pd(r1, _mm_sub_pd(_mm_mul_pd(ar, br), _mm_mul_pd(ai, bi)));
            i1 = _mm_add_pd(i1, _mm_add_pd(_mm_mul_pd(ai, br), _mm_mul_pd(ar, bi)));
        }
        _mm_storeu_pd(acc + i, r0);
        _mm_storeu_pd(acc + i + 2, r1);
        _mm_storeu_pd(acc + h + i, i0);
        _mm_storeu_pd(acc + h + i + 2, i1);
    }
#endif
    for (; i < h; ++i) {
        double re = 0.0;
        double im = 0.0;
        for (int j = 0; j < count; ++j) {
            const double ar = x[j][i], ai = x[j][h + i], br = w[j][i], bi = w[j][h + i];
            re += ar * br - ai * bi;
            im += ai * br + ar * bi;
        }
        acc[i] = re;
        acc[h + i] = im;
    }
    realBins(x, w, count, acc, h);
}

bool complexMacUsesAvx2()
{
#if defined(ORVEX_SPECTRAL_AVX2)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

ComplexMacFn bestComplexMac()
{
#if defined(ORVEX_SPECTRAL_AVX2)
    if (complexMacUsesAvx2())
        return complexMacAvx2;
#endif
    return complexMacBaseline;
}

} // namespace dsp
