// The two 2049-tap filters of the signal core on 10 s of 44100 Hz audio:
// ours (odd taps only, fast correlation) against the plain direct form kept
// here as the reference, every tap summed in one running sum.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "HalfBandDecimator.h"
#include "HilbertFilter.h"
#include "KComplex.h"

namespace {

constexpr long kSamples = 441000;  // 10 s at 44100 Hz
constexpr long kGuard = 1100;      // beyond the filters' reach of 1024

// A signal with guard bands, like a store: index -kGuard .. n + kGuard - 1.
struct Signal {
    explicit Signal(long n) : n(n), data(static_cast<size_t>(n + 2 * kGuard), KCOMPLEX_KFLOAT{0.0, 0.0}) {}
    KCOMPLEX_KFLOAT* at0() { return data.data() + kGuard; }
    long n;
    std::vector<KCOMPLEX_KFLOAT> data;
};

void FillSpeechLike(Signal& s, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    for (long i = 0; i < s.n; ++i)
        s.at0()[i].re = 0.4 * std::sin(0.031 * i) * std::sin(0.0007 * i) + dist(gen);
}

// The seven layers of one channel, layer 0 filled.
std::vector<Signal> MakeLayers(unsigned seed) {
    std::vector<Signal> layers;
    for (int j = 0; j < 8; ++j) layers.emplace_back(kSamples >> j);
    FillSpeechLike(layers[0], seed);
    return layers;
}

void BM_Analytic10s(benchmark::State& state) {
    Signal s(kSamples);
    FillSpeechLike(s, 1);
    for (auto _ : state) {
        HilbertFilter filter(2049);
        if (!filter.Init()) state.SkipWithError("no memory");
        filter.Apply(s.at0(), s.n, nullptr, 1);
        benchmark::DoNotOptimize(s.at0()[s.n / 2].im);
    }
}
BENCHMARK(BM_Analytic10s)->Unit(benchmark::kMillisecond);

void BM_AnalyticDirect10s(benchmark::State& state) {
    Signal s(kSamples);
    FillSpeechLike(s, 1);
    std::vector<double> coefficients(2049);
    for (auto _ : state) {
        HilbertFilter::MakeCoefficients(2049, coefficients.data());
        const double* c = coefficients.data() + 1024;
        KCOMPLEX_KFLOAT* x = s.at0();
        for (long n = 0; n < s.n; ++n) {
            double sum = 0.0;
            for (long k = -1024; k <= 1024; ++k) sum += c[k] * x[n + k].re;
            x[n].im = sum;
        }
        benchmark::DoNotOptimize(x[s.n / 2].im);
    }
}
BENCHMARK(BM_AnalyticDirect10s)->Unit(benchmark::kMillisecond);

void BM_Decimate10sStereo(benchmark::State& state) {
    std::vector<Signal> channels[2] = {MakeLayers(2), MakeLayers(3)};
    for (auto _ : state) {
        HalfBandDecimator decimator;
        if (!decimator.Init()) state.SkipWithError("no memory");
        for (auto& layers : channels) {
            for (int j = 1; j <= 7; ++j) {
                decimator.Decimate(layers[j - 1].at0(), layers[j - 1].n, layers[j].at0(), nullptr, 1);
            }
        }
        benchmark::DoNotOptimize(channels[1][7].at0()[1].re);
    }
}
BENCHMARK(BM_Decimate10sStereo)->Unit(benchmark::kMillisecond);

void BM_DecimateDirect10sStereo(benchmark::State& state) {
    std::vector<Signal> channels[2] = {MakeLayers(2), MakeLayers(3)};
    std::vector<double> coefficients(2049);
    for (auto _ : state) {
        HalfBandDecimator::MakeCoefficients(coefficients.data());
        const double* h = coefficients.data();
        for (auto& layers : channels) {
            for (int j = 1; j <= 7; ++j) {
                const KCOMPLEX_KFLOAT* src = layers[j - 1].at0();
                KCOMPLEX_KFLOAT* dst = layers[j].at0();
                const long n = layers[j - 1].n;
                for (long e = 0; e < n; e += 2) {
                    double sum = 0.0;
                    for (long i = 0; i <= 2048; ++i) sum += h[i] * src[e - 1024 + i].re;
                    dst[e / 2].re = sum;
                }
            }
        }
        benchmark::DoNotOptimize(channels[1][7].at0()[1].re);
    }
}
BENCHMARK(BM_DecimateDirect10sStereo)->Unit(benchmark::kMillisecond);

}  // namespace
