// Cost of one RealFft forward plus one inverse transform at the lengths the engines use, with FFTW's real
// transforms of the same length as a yardstick. Numbers are printed, never asserted.
#include "dsp/RealFft.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <random>
#include <vector>

namespace {

std::vector<double> noise(int n)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> x(static_cast<size_t>(n));
    for (double& v : x)
        v = u(rng);
    return x;
}

void realFftPair(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    dsp::RealFft fft(n);
    const std::vector<double> x = noise(n);
    std::vector<double> spectrum(static_cast<size_t>(n)), back(static_cast<size_t>(n));
    for (auto _ : state) {
        fft.forward(x.data(), spectrum.data());
        fft.inverse(spectrum.data(), back.data());
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void fftwPair(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<double> x = noise(n);
    std::vector<double> spectrum(static_cast<size_t>(n)), back(static_cast<size_t>(n));
    fftw_plan fwd = fftw_plan_r2r_1d(n, x.data(), spectrum.data(), FFTW_R2HC, FFTW_MEASURE);
    fftw_plan inv = fftw_plan_r2r_1d(n, spectrum.data(), back.data(), FFTW_HC2R, FFTW_MEASURE);
    x = noise(n); // planning with FFTW_MEASURE overwrites the arrays
    for (auto _ : state) {
        fftw_execute(fwd);
        fftw_execute(inv);
        benchmark::DoNotOptimize(back.data());
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(fwd);
    fftw_destroy_plan(inv);
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(realFftPair)->ArgName("n")->RangeMultiplier(2)->Range(128, 2048);
BENCHMARK(fftwPair)->ArgName("n")->RangeMultiplier(2)->Range(128, 2048);

BENCHMARK_MAIN();
