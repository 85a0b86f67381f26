#include "dsp/StripFilters.h"

#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dsp {

void StripFilters::runOne(const Job& job, int n)
{
    for (Biquad* f : {job.lowPass, job.highPass}) {
        if (f == nullptr)
            continue;
        Biquad& q = *f;
        double* x = job.samples;
        for (int i = 0; i < n; ++i) {
            const double y = (q.b1_ * q.x1_ + q.b0_ * x[i] + q.b2_ * q.x2_ - q.a1_ * q.y1_ - q.a2_ * q.y2_) * q.inverseA0_;
            q.x2_ = q.x1_;
            q.x1_ = x[i];
            q.y2_ = q.y1_;
            q.y1_ = y;
            x[i] = y;
        }
    }
}

#if defined(__SSE2__)
namespace {

// One section's coefficients and history for two slots, lane 0 the first.
struct Lanes {
    __m128d ia0, a1, a2, b0, b1, b2; // coefficients
    __m128d x1, x2, y1, y2;          // history
};

} // namespace

template <bool kLow, bool kHigh>
void StripFilters::runPair(const Job& a, const Job& b, int n)
{
    auto load = [](const Biquad& p, const Biquad& q) {
        Lanes l;
        l.ia0 = _mm_set_pd(q.inverseA0_, p.inverseA0_);
        l.a1 = _mm_set_pd(q.a1_, p.a1_);
        l.a2 = _mm_set_pd(q.a2_, p.a2_);
        l.b0 = _mm_set_pd(q.b0_, p.b0_);
        l.b1 = _mm_set_pd(q.b1_, p.b1_);
        l.b2 = _mm_set_pd(q.b2_, p.b2_);
        l.x1 = _mm_set_pd(q.x1_, p.x1_);
        l.x2 = _mm_set_pd(q.x2_, p.x2_);
        l.y1 = _mm_set_pd(q.y1_, p.y1_);
        l.y2 = _mm_set_pd(q.y2_, p.y2_);
        return l;
    };
    auto store = [](const Lanes& l, Biquad& p, Biquad& q) {
        _mm_storel_pd(&p.x1_, l.x1);
        _mm_storeh_pd(&q.x1_, l.x1);
        _mm_storel_pd(&p.x2_, l.x2);
        _mm_storeh_pd(&q.x2_, l.x2);
        _mm_storel_pd(&p.y1_, l.y1);
        _mm_storeh_pd(&q.y1_, l.y1);
        _mm_storel_pd(&p.y2_, l.y2);
        _mm_storeh_pd(&q.y2_, l.y2);
    };
    // Biquad::step's expression, evaluated in its order.
    auto step = [](Lanes& l, __m128d x) {
        __m128d y = _mm_add_pd(_mm_mul_pd(l.b1, l.x1), _mm_mul_pd(l.b0, x));
        y = _mm_add_pd(y, _mm_mul_pd(l.b2, l.x2));
        y = _mm_sub_pd(y, _mm_mul_pd(l.a1, l.y1));
        y = _mm_sub_pd(y, _mm_mul_pd(l.a2, l.y2));
        y = _mm_mul_pd(y, l.ia0);
        l.x2 = l.x1;
        l.x1 = x;
        l.y2 = l.y1;
        l.y1 = y;
        return y;
    };
    Lanes low{};
    Lanes high{};
    if (kLow)
        low = load(*a.lowPass, *b.lowPass);
    if (kHigh)
        high = load(*a.highPass, *b.highPass);
    double* pa = a.samples;
    double* pb = b.samples;
    for (int i = 0; i < n; ++i) {
        __m128d v = _mm_loadh_pd(_mm_load_sd(pa + i), pb + i);
        if (kLow)
            v = step(low, v);
        if (kHigh)
            v = step(high, v);
        _mm_storel_pd(pa + i, v);
        _mm_storeh_pd(pb + i, v);
    }
    if (kLow)
        store(low, *a.lowPass, *b.lowPass);
    if (kHigh)
        store(high, *a.highPass, *b.highPass);
}
#endif

void StripFilters::run(const Job* jobs, int count, int n)
{
#if defined(__SSE2__)
    // Pair up jobs with the same filters on; whatever is left over runs alone.
    const Job* waiting[3] = {nullptr, nullptr, nullptr}; // by kind: both, low only, high only
    for (int j = 0; j < count; ++j) {
        const Job& job = jobs[j];
        const bool low = job.lowPass != nullptr;
        const bool high = job.highPass != nullptr;
        if (!low && !high)
            continue;
        const int kind = low && high ? 0 : (low ? 1 : 2);
        if (waiting[kind] == nullptr) {
            waiting[kind] = &job;
            continue;
        }
        const Job& first = *waiting[kind];
        waiting[kind] = nullptr;
        if (kind == 0)
            runPair<true, true>(first, job, n);
        else if (kind == 1)
            runPair<true, false>(first, job, n);
        else
            runPair<false, true>(first, job, n);
    }
    for (const Job* job : waiting)
        if (job != nullptr)
            runOne(*job, n);
#else
    for (int j = 0; j < count; ++j)
        runOne(jobs[j], n);
#endif
}

} // namespace dsp
