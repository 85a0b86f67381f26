// The radix-2 passes of RealFft on its packed layout (see RealFft.h), kept apart from the
// class that owns the tables and runs them in order.
#include "dsp/RealFftPasses.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Every output must keep the exact bits of the plain scalar formulation (each product rounded
// before it is added), whichever path computes it. Clang contracts a*b + c within one
// expression by default; GCC contracts across statements in its GNU dialect when the target
// has FMA, but never in strict ISO mode, which is how the project builds. Refuse the one
// combination that would silently change the results.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__) && !defined(__STRICT_ANSI__) && (defined(__FMA__) || defined(__FMA4__))
#error "RealFft must be compiled without multiply-add contraction (use -std=c++17 or -ffp-contract=off)"
#endif

namespace dsp {
namespace realfft {

namespace {

// cos(pi/4) = sin(pi/4): the only twiddle of the first radix-2 pass after the fused stage.
constexpr double kSqrtHalf = 0.7071067811865476;

// One k of a forward radix-2 pass: sa and sb are the packed transforms (length h) of the even
// and odd halves, da and db receive the two halves of the packed transform of length 2h.
inline void forwardButterfly(const double* sa, const double* sb, double* da, double* db, int h, int k,
                             double cs, double sn)
{
    const int half = h / 2;
    const double re = sb[k];
    const double im = sb[half + k];
    const double vr = re * cs - im * sn;
    const double vi = re * sn + im * cs;
    const double ar = sa[k];
    const double ai = sa[half + k];
    da[k] = ar + vr;
    da[h - k] = ar - vr;
    db[k] = vi + ai;
    db[h - k] = vi - ai;
}

// One k of the matching inverse pass (undoes forwardButterfly, doubled).
inline void inverseButterfly(const double* sa, const double* sb, double* da, double* db, int h, int k,
                             double cs, double sn)
{
    const int half = h / 2;
    const double lo = sa[k];
    const double mirror = sa[h - k];
    const double up = sb[k];
    const double upMirror = sb[h - k];
    da[k] = lo + mirror;
    da[half + k] = up - upMirror;
    const double dr = lo - mirror;
    const double di = up + upMirror;
    db[k] = cs * dr + sn * di;
    db[half + k] = cs * di - sn * dr;
}

#if defined(__SSE2__)
// Exchanges the two lanes: the mirrored halves of a block run backwards through memory.
inline __m128d swapLanes(__m128d v)
{
    return _mm_shuffle_pd(v, v, 1);
}
#endif

// The fused passes below are written once over a lane type V: double computes one k at a
// time, __m128d two (k and k + 1). Each lane performs exactly the scalar operations, so both
// give the same bits. "Back" accesses serve the mirrored indices: lane i reads or writes
// p[-i], because index h - k falls as k rises.
template <class V> V loadAt(const double* p);
template <class V> V loadBack(const double* p);
template <> inline double loadAt<double>(const double* p) { return *p; }
template <> inline double loadBack<double>(const double* p) { return *p; }
inline void storeAt(double* p, double v) { *p = v; }
inline void storeBack(double* p, double v) { *p = v; }
inline double add(double a, double b) { return a + b; }
inline double sub(double a, double b) { return a - b; }
inline double mul(double a, double b) { return a * b; }

#if defined(__SSE2__)
template <> inline __m128d loadAt<__m128d>(const double* p) { return _mm_loadu_pd(p); }
template <> inline __m128d loadBack<__m128d>(const double* p) { return swapLanes(_mm_loadu_pd(p - 1)); }
inline void storeAt(double* p, __m128d v) { _mm_storeu_pd(p, v); }
inline void storeBack(double* p, __m128d v) { _mm_storeu_pd(p - 1, swapLanes(v)); }
inline __m128d add(__m128d a, __m128d b) { return _mm_add_pd(a, b); }
inline __m128d sub(__m128d a, __m128d b) { return _mm_sub_pd(a, b); }
inline __m128d mul(__m128d a, __m128d b) { return _mm_mul_pd(a, b); }
#endif

// forwardButterfly on values: (ar, ai) from the even half at k and half + k, (re, im) from
// the odd half; lo, mirror, up, upMirror are the results at k, h - k, h + k and 2h - k.
template <class V>
inline void forwardValues(V ar, V ai, V re, V im, V cs, V sn, V& lo, V& mirror, V& up, V& upMirror)
{
    const V vr = sub(mul(re, cs), mul(im, sn));
    const V vi = add(mul(re, sn), mul(im, cs));
    lo = add(ar, vr);
    mirror = sub(ar, vr);
    up = add(vi, ai);
    upMirror = sub(vi, ai);
}

// inverseButterfly on values: lo, mirror, up, upMirror read at k, h - k, h + k and 2h - k;
// the results go to k and half + k of the even half (evenLo, evenUp) and of the odd half.
template <class V>
inline void inverseValues(V lo, V mirror, V up, V upMirror, V cs, V sn, V& evenLo, V& evenUp, V& oddLo,
                          V& oddUp)
{
    evenLo = add(lo, mirror);
    evenUp = sub(up, upMirror);
    const V dr = sub(lo, mirror);
    const V di = add(up, upMirror);
    oddLo = add(mul(cs, dr), mul(sn, di));
    oddUp = sub(mul(cs, di), mul(sn, dr));
}

// Two forward passes in one sweep: the pass of half-blocks h turns four packed blocks A, B,
// C, D (at z, z + h, z + 2h, z + 3h of the source) into X = (A, B) and Y = (C, D), and the
// pass of half-blocks 2h turns (X, Y) into the block Z of 4h. Butterfly k of the first pass
// yields X and Y at k, h - k, h + k and 2h - k, which is exactly what butterflies k and h - k
// of the second pass read, so X and Y never leave registers. t1 and t2 are the passes'
// twiddles, z the block's offset.
template <class V>
inline void forwardFusedStep(const double* s, double* d, int h, int k, const double* t1, const double* t2)
{
    const int half = h / 2;
    const double* a = s;
    const double* b = s + h;
    const double* c = s + 2 * h;
    const double* e = s + 3 * h;
    const V cs1 = loadAt<V>(t1 + k);
    const V sn1 = loadAt<V>(t1 + half + k);
    V xk, xMirror, xUp, xUpMirror, yk, yMirror, yUp, yUpMirror;
    forwardValues(loadAt<V>(a + k), loadAt<V>(a + half + k), loadAt<V>(b + k), loadAt<V>(b + half + k), cs1,
                  sn1, xk, xMirror, xUp, xUpMirror);
    forwardValues(loadAt<V>(c + k), loadAt<V>(c + half + k), loadAt<V>(e + k), loadAt<V>(e + half + k), cs1,
                  sn1, yk, yMirror, yUp, yUpMirror);
    V z0, z1, z2, z3;
    // Second pass, k' = k: reads X and Y at k and h + k.
    forwardValues(xk, xUp, yk, yUp, loadAt<V>(t2 + k), loadAt<V>(t2 + h + k), z0, z1, z2, z3);
    storeAt(d + k, z0);
    storeBack(d + 2 * h - k, z1);
    storeAt(d + 2 * h + k, z2);
    storeBack(d + 4 * h - k, z3);
    // Second pass, k' = h - k: reads X and Y at h - k and 2h - k.
    forwardValues(xMirror, xUpMirror, yMirror, yUpMirror, loadBack<V>(t2 + h - k), loadBack<V>(t2 + 2 * h - k),
                  z0, z1, z2, z3);
    storeBack(d + h - k, z0);
    storeAt(d + h + k, z1);
    storeBack(d + 3 * h - k, z2);
    storeAt(d + 3 * h + k, z3);
}

// The two inverse passes matching forwardFusedStep, in the inverse order: the pass of
// half-blocks 2h at k and h - k gives X and Y at k, h - k, h + k and 2h - k, which the pass of
// half-blocks h needs at its butterfly k.
template <class V>
inline void inverseFusedStep(const double* s, double* d, int h, int k, const double* t1, const double* t2)
{
    const int half = h / 2;
    V xk, xUp, yk, yUp, xMirror, xUpMirror, yMirror, yUpMirror;
    inverseValues(loadAt<V>(s + k), loadBack<V>(s + 2 * h - k), loadAt<V>(s + 2 * h + k),
                  loadBack<V>(s + 4 * h - k), loadAt<V>(t2 + k), loadAt<V>(t2 + h + k), xk, xUp, yk, yUp);
    inverseValues(loadBack<V>(s + h - k), loadAt<V>(s + h + k), loadBack<V>(s + 3 * h - k),
                  loadAt<V>(s + 3 * h + k), loadBack<V>(t2 + h - k), loadBack<V>(t2 + 2 * h - k), xMirror,
                  xUpMirror, yMirror, yUpMirror);
    const V cs1 = loadAt<V>(t1 + k);
    const V sn1 = loadAt<V>(t1 + half + k);
    V r0, r1, r2, r3;
    inverseValues(xk, xMirror, xUp, xUpMirror, cs1, sn1, r0, r1, r2, r3);
    storeAt(d + k, r0);
    storeAt(d + half + k, r1);
    storeAt(d + h + k, r2);
    storeAt(d + h + half + k, r3);
    inverseValues(yk, yMirror, yUp, yUpMirror, cs1, sn1, r0, r1, r2, r3);
    storeAt(d + 2 * h + k, r0);
    storeAt(d + 2 * h + half + k, r1);
    storeAt(d + 3 * h + k, r2);
    storeAt(d + 3 * h + half + k, r3);
}

} // namespace

// Forward passes of half-blocks h and 2h together (h >= 8), from s into d.
void forwardFusedPasses(const double* s, double* d, int n, int h, const double* t1, const double* t2)
{
    const int half = h / 2;
    for (int z = 0; z < n; z += 4 * h) {
        const double* sz = s + z;
        double* dz = d + z;
        // First pass, k = 0 and k = half (no twiddles).
        const double x0 = sz[0] + sz[h];
        const double xh = sz[0] - sz[h];
        const double y0 = sz[2 * h] + sz[3 * h];
        const double yh = sz[2 * h] - sz[3 * h];
        // Second pass, k' = 0 and k' = h (no twiddles), and k' = half.
        dz[0] = x0 + y0;
        dz[2 * h] = x0 - y0;
        dz[h] = xh;
        dz[3 * h] = yh;
        double z0, z1, z2, z3;
        forwardValues(sz[half], sz[h + half], sz[2 * h + half], sz[3 * h + half], t2[half], t2[h + half], z0, z1,
                      z2, z3);
        dz[half] = z0;
        dz[2 * h - half] = z1;
        dz[2 * h + half] = z2;
        dz[4 * h - half] = z3;
        int k = 1;
#if defined(__SSE2__)
        for (; k + 1 < half; k += 2)
            forwardFusedStep<__m128d>(sz, dz, h, k, t1, t2);
#endif
        for (; k < half; ++k)
            forwardFusedStep<double>(sz, dz, h, k, t1, t2);
    }
}

// Inverse passes of half-blocks 2h and h together (h >= 8), from s into d.
void inverseFusedPasses(const double* s, double* d, int n, int h, const double* t1, const double* t2)
{
    const int half = h / 2;
    for (int z = 0; z < n; z += 4 * h) {
        const double* sz = s + z;
        double* dz = d + z;
        // Second pass undone at k' = 0, h and half.
        const double x0 = sz[0] + sz[2 * h];
        const double y0 = sz[0] - sz[2 * h];
        const double xh = 2.0 * sz[h];
        const double yh = 2.0 * sz[3 * h];
        double xHalf, xUpHalf, yHalf, yUpHalf;
        inverseValues(sz[half], sz[2 * h - half], sz[2 * h + half], sz[4 * h - half], t2[half], t2[h + half], xHalf,
                      xUpHalf, yHalf, yUpHalf);
        // First pass undone at k = 0 and half, for X into A, B and for Y into C, D.
        dz[0] = x0 + xh;
        dz[h] = x0 - xh;
        dz[half] = 2.0 * xHalf;
        dz[h + half] = 2.0 * xUpHalf;
        dz[2 * h] = y0 + yh;
        dz[3 * h] = y0 - yh;
        dz[2 * h + half] = 2.0 * yHalf;
        dz[3 * h + half] = 2.0 * yUpHalf;
        int k = 1;
#if defined(__SSE2__)
        for (; k + 1 < half; k += 2)
            inverseFusedStep<__m128d>(sz, dz, h, k, t1, t2);
#endif
        for (; k < half; ++k)
            inverseFusedStep<double>(sz, dz, h, k, t1, t2);
    }
}

// One forward radix-2 pass producing blocks of 2h values from pairs of packed blocks of h
// (h >= 8). `tw` holds the pass's cosines (tw[k]) and sines (tw[h/2 + k]).
void forwardPass(const double* s, double* d, int n, int h, const double* tw)
{
    const int half = h / 2;
    const double* tc = tw;
    const double* ts = tw + half;
    for (int c = 0; c < n; c += 2 * h) {
        const double* sa = s + c;     // packed transform of the even half
        const double* sb = s + c + h; // packed transform of the odd half
        double* da = d + c;
        double* db = d + c + h;
        const double a0 = sa[0];
        const double b0 = sb[0];
        da[0] = a0 + b0;
        db[0] = a0 - b0;
        da[half] = sa[half];
        db[half] = sb[half];
        int k = 1;
#if defined(__SSE2__)
        // k and k + 1 side by side; each lane does exactly the scalar butterfly's operations.
        for (; k + 1 < half; k += 2) {
            const __m128d cs = _mm_loadu_pd(tc + k);
            const __m128d sn = _mm_loadu_pd(ts + k);
            const __m128d re = _mm_loadu_pd(sb + k);
            const __m128d im = _mm_loadu_pd(sb + half + k);
            const __m128d vr = _mm_sub_pd(_mm_mul_pd(re, cs), _mm_mul_pd(im, sn));
            const __m128d vi = _mm_add_pd(_mm_mul_pd(re, sn), _mm_mul_pd(im, cs));
            const __m128d ar = _mm_loadu_pd(sa + k);
            const __m128d ai = _mm_loadu_pd(sa + half + k);
            _mm_storeu_pd(da + k, _mm_add_pd(ar, vr));
            _mm_storeu_pd(da + h - k - 1, swapLanes(_mm_sub_pd(ar, vr)));
            _mm_storeu_pd(db + k, _mm_add_pd(vi, ai));
            _mm_storeu_pd(db + h - k - 1, swapLanes(_mm_sub_pd(vi, ai)));
        }
#endif
        for (; k < half; ++k)
            forwardButterfly(sa, sb, da, db, h, k, tc[k], ts[k]);
    }
}

// Undoes forwardPass without halving (every value comes out doubled).
void inversePass(const double* s, double* d, int n, int h, const double* tw)
{
    const int half = h / 2;
    const double* tc = tw;
    const double* ts = tw + half;
    for (int c = 0; c < n; c += 2 * h) {
        const double* sa = s + c;
        const double* sb = s + c + h;
        double* da = d + c;
        double* db = d + c + h;
        const double a0 = sa[0];
        const double b0 = sb[0];
        da[0] = a0 + b0;
        db[0] = a0 - b0;
        da[half] = 2.0 * sa[half];
        db[half] = 2.0 * sb[half];
        int k = 1;
#if defined(__SSE2__)
        for (; k + 1 < half; k += 2) {
            const __m128d cs = _mm_loadu_pd(tc + k);
            const __m128d sn = _mm_loadu_pd(ts + k);
            const __m128d lo = _mm_loadu_pd(sa + k);
            const __m128d mirror = swapLanes(_mm_loadu_pd(sa + h - k - 1));
            const __m128d up = _mm_loadu_pd(sb + k);
            const __m128d upMirror = swapLanes(_mm_loadu_pd(sb + h - k - 1));
            _mm_storeu_pd(da + k, _mm_add_pd(lo, mirror));
            _mm_storeu_pd(da + half + k, _mm_sub_pd(up, upMirror));
            const __m128d dr = _mm_sub_pd(lo, mirror);
            const __m128d di = _mm_add_pd(up, upMirror);
            _mm_storeu_pd(db + k, _mm_add_pd(_mm_mul_pd(cs, dr), _mm_mul_pd(sn, di)));
            _mm_storeu_pd(db + half + k, _mm_sub_pd(_mm_mul_pd(cs, di), _mm_mul_pd(sn, dr)));
        }
#endif
        for (; k < half; ++k)
            inverseButterfly(sa, sb, da, db, h, k, tc[k], ts[k]);
    }
}

// The forward transform's first stage (bit reversal with passes 1 and 2) and pass 3, one
// block of eight (groups g and g + 1) at a time, into `dst`.
void forwardFirstStages(const double* input, double* dst, int n, const int* rev)
{
    const int quarter = n / 4;
#if defined(__SSE2__)
    // Group g + N/8 reads the inputs right after those of group g (4g + N/2 reversed is the
    // reversal of 4g plus one), so lane 0 computes the block of groups g, g + 1 and lane 1
    // that of groups g + N/8, g + N/8 + 1 from plain pair loads; the two result blocks,
    // N/2 apart, are written after a transpose.
    const __m128d sqrtHalf = _mm_set1_pd(kSqrtHalf);
    for (int g = 0; g < n / 8; g += 2) {
        __m128d e[8];
        for (int half = 0; half < 2; ++half) {
            const int r = rev[g + half];
            const __m128d x0 = _mm_loadu_pd(input + r);
            const __m128d x1 = _mm_loadu_pd(input + r + n / 2);
            const __m128d x2 = _mm_loadu_pd(input + r + quarter);
            const __m128d x3 = _mm_loadu_pd(input + r + 3 * quarter);
            const __m128d s0 = _mm_add_pd(x0, x1);
            const __m128d s2 = _mm_add_pd(x2, x3);
            __m128d* q = e + 4 * half;
            q[0] = _mm_add_pd(s0, s2);
            q[1] = _mm_sub_pd(x0, x1);
            q[2] = _mm_sub_pd(s0, s2);
            q[3] = _mm_sub_pd(x2, x3);
        }
        __m128d q[8];
        q[0] = _mm_add_pd(e[0], e[4]);
        q[4] = _mm_sub_pd(e[0], e[4]);
        q[2] = e[2];
        q[6] = e[6];
        const __m128d vr = _mm_sub_pd(_mm_mul_pd(e[5], sqrtHalf), _mm_mul_pd(e[7], sqrtHalf));
        const __m128d vi = _mm_add_pd(_mm_mul_pd(e[5], sqrtHalf), _mm_mul_pd(e[7], sqrtHalf));
        q[1] = _mm_add_pd(e[1], vr);
        q[3] = _mm_sub_pd(e[1], vr);
        q[5] = _mm_add_pd(vi, e[3]);
        q[7] = _mm_sub_pd(vi, e[3]);
        double* low = dst + 4 * g;
        double* high = low + n / 2;
        for (int j = 0; j < 8; j += 2) {
            _mm_storeu_pd(low + j, _mm_unpacklo_pd(q[j], q[j + 1]));
            _mm_storeu_pd(high + j, _mm_unpackhi_pd(q[j], q[j + 1]));
        }
    }
#else
    for (int g = 0; g < quarter; g += 2) {
        double e[8];
        for (int half = 0; half < 2; ++half) {
            const int r = rev[g + half];
            const double x0 = input[r];
            const double x1 = input[r + n / 2];
            const double x2 = input[r + quarter];
            const double x3 = input[r + 3 * quarter];
            const double s0 = x0 + x1;
            const double s2 = x2 + x3;
            double* q = e + 4 * half;
            q[0] = s0 + s2;
            q[1] = x0 - x1;
            q[2] = s0 - s2;
            q[3] = x2 - x3;
        }
        // Pass 3 (h = 4): its single twiddle pair is sqrt(1/2) twice.
        double* q = dst + 4 * g;
        q[0] = e[0] + e[4];
        q[4] = e[0] - e[4];
        q[2] = e[2];
        q[6] = e[6];
        const double vr = e[5] * kSqrtHalf - e[7] * kSqrtHalf;
        const double vi = e[5] * kSqrtHalf + e[7] * kSqrtHalf;
        q[1] = e[1] + vr;
        q[3] = e[1] - vr;
        q[5] = vi + e[3];
        q[7] = vi - e[3];
    }
#endif
}

// Undoes pass 3 and the first stage, scattering through the bit-reverse table into `output`.
void inverseLastStages(const double* src, double* output, int n, const int* rev)
{
    const int quarter = n / 4;
#if defined(__SSE2__)
    // The mirror image of forwardFirstStages: lane 0 takes the block at 4g, lane 1 the block
    // N/2 further on, and the results land on neighbouring outputs.
    const __m128d sqrtHalf = _mm_set1_pd(kSqrtHalf);
    const __m128d two = _mm_set1_pd(2.0);
    for (int g = 0; g < n / 8; g += 2) {
        const double* low = src + 4 * g;
        const double* high = low + n / 2;
        __m128d p[8];
        for (int j = 0; j < 8; j += 2) {
            const __m128d a = _mm_loadu_pd(low + j);
            const __m128d b = _mm_loadu_pd(high + j);
            p[j] = _mm_unpacklo_pd(a, b);
            p[j + 1] = _mm_unpackhi_pd(a, b);
        }
        __m128d e[8];
        e[0] = _mm_add_pd(p[0], p[4]);
        e[4] = _mm_sub_pd(p[0], p[4]);
        e[2] = _mm_mul_pd(two, p[2]);
        e[6] = _mm_mul_pd(two, p[6]);
        e[1] = _mm_add_pd(p[1], p[3]);
        e[3] = _mm_sub_pd(p[5], p[7]);
        const __m128d dr = _mm_sub_pd(p[1], p[3]);
        const __m128d di = _mm_add_pd(p[5], p[7]);
        e[5] = _mm_add_pd(_mm_mul_pd(sqrtHalf, dr), _mm_mul_pd(sqrtHalf, di));
        e[7] = _mm_sub_pd(_mm_mul_pd(sqrtHalf, di), _mm_mul_pd(sqrtHalf, dr));
        for (int half = 0; half < 2; ++half) {
            const __m128d* b = e + 4 * half;
            const int r = rev[g + half];
            const __m128d sum = _mm_add_pd(b[0], b[2]);
            const __m128d diff = _mm_sub_pd(b[0], b[2]);
            const __m128d b1 = _mm_mul_pd(two, b[1]);
            const __m128d b3 = _mm_mul_pd(two, b[3]);
            _mm_storeu_pd(output + r, _mm_add_pd(sum, b1));
            _mm_storeu_pd(output + r + n / 2, _mm_sub_pd(sum, b1));
            _mm_storeu_pd(output + r + quarter, _mm_add_pd(diff, b3));
            _mm_storeu_pd(output + r + 3 * quarter, _mm_sub_pd(diff, b3));
        }
    }
#else
    for (int g = 0; g < quarter; g += 2) {
        const double* p = src + 4 * g;
        double e[8];
        e[0] = p[0] + p[4];
        e[4] = p[0] - p[4];
        e[2] = 2.0 * p[2];
        e[6] = 2.0 * p[6];
        e[1] = p[1] + p[3];
        e[3] = p[5] - p[7];
        const double dr = p[1] - p[3];
        const double di = p[5] + p[7];
        e[5] = kSqrtHalf * dr + kSqrtHalf * di;
        e[7] = kSqrtHalf * di - kSqrtHalf * dr;
        for (int half = 0; half < 2; ++half) {
            const double* b = e + 4 * half;
            const int r = rev[g + half];
            const double sum = b[0] + b[2];
            const double diff = b[0] - b[2];
            const double b1 = 2.0 * b[1];
            const double b3 = 2.0 * b[3];
            output[r] = sum + b1;
            output[r + n / 2] = sum - b1;
            output[r + quarter] = diff + b3;
            output[r + 3 * quarter] = diff - b3;
        }
    }
#endif
}

} // namespace realfft
} // namespace dsp
