// The two 2049-tap filters of the signal core on 10 s of 44100 Hz audio:
// ours (odd taps only, fast correlation) against the direct form done well:
// the real parts split into even and odd samples, only the odd taps summed
// (the others are zero), each symmetric pair of taps folded into one product,
// sixteen outputs at a time in AVX2 registers with fused multiply-adds.
#include <benchmark/benchmark.h>
#include <immintrin.h>

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

// out[q] = sum over j < taps of g[j] * (a[q + j] +/- b[q - j]), q = 0..count-1.
template <bool Add>
__attribute__((target("avx2,fma"))) void FoldedSums(const double* g, int taps, const double* a,
                                                    const double* b, long count, double* out) {
    long q = 0;
    for (; q + 16 <= count; q += 16) {
        __m256d acc[4] = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
        for (int j = 0; j < taps; ++j) {
            const __m256d c = _mm256_broadcast_sd(g + j);
            for (int v = 0; v < 4; ++v) {
                const __m256d x = _mm256_loadu_pd(a + q + j + 4 * v);
                const __m256d y = _mm256_loadu_pd(b + q - j + 4 * v);
                __m256d pair;
                if constexpr (Add) {
                    pair = _mm256_add_pd(x, y);
                } else {
                    pair = _mm256_sub_pd(x, y);
                }
                acc[v] = _mm256_fmadd_pd(c, pair, acc[v]);
            }
        }
        for (int v = 0; v < 4; ++v) _mm256_storeu_pd(out + q + 4 * v, acc[v]);
    }
    for (; q < count; ++q) {
        double sum = 0.0;
        for (int j = 0; j < taps; ++j) sum += g[j] * (Add ? a[q + j] + b[q - j] : a[q + j] - b[q - j]);
        out[q] = sum;
    }
}

// The real parts of samples 2m (even) and 2m + 1 (odd) as plain arrays,
// m = -kSplitGuard .. n/2 + kSplitGuard; element kSplitGuard is m = 0.
constexpr long kSplitGuard = 540;
struct Split {
    std::vector<double> even, odd;
    void From(const KCOMPLEX_KFLOAT* x, long n) {
        const long half = (n + 1) / 2 + 2 * kSplitGuard;
        even.resize(static_cast<size_t>(half));
        odd.resize(static_cast<size_t>(half));
        for (long m = 0; m < half; ++m) {
            even[static_cast<size_t>(m)] = x[2 * (m - kSplitGuard)].re;
            odd[static_cast<size_t>(m)] = x[2 * (m - kSplitGuard) + 1].re;
        }
    }
    const double* Even() const { return even.data() + kSplitGuard; }
    const double* Odd() const { return odd.data() + kSplitGuard; }
};

// The 512 odd taps k = 2j + 1 on the positive side of a 2049-tap filter.
std::vector<double> OddTaps(const std::vector<double>& coefficients) {
    std::vector<double> g(512);
    for (size_t j = 0; j < g.size(); ++j) g[j] = coefficients[1024 + 2 * j + 1];
    return g;
}

// The Hilbert filter is odd (c[-k] = -c[k]) with zero even taps:
// im[2q] = sum g[j] (x[2q + 2j + 1] - x[2q - 2j - 1]) and
// im[2q + 1] = sum g[j] (x[2q + 2j + 2] - x[2q - 2j]).
void AnalyticDirect(Signal& s, const std::vector<double>& g, Split& split, std::vector<double> out[2]) {
    KCOMPLEX_KFLOAT* x = s.at0();
    split.From(x, s.n);
    const long evens = (s.n + 1) / 2, odds = s.n / 2;
    out[0].resize(static_cast<size_t>(evens));
    out[1].resize(static_cast<size_t>(odds));
    FoldedSums<false>(g.data(), 512, split.Odd(), split.Odd() - 1, evens, out[0].data());
    FoldedSums<false>(g.data(), 512, split.Even() + 1, split.Even(), odds, out[1].data());
    for (long q = 0; q < evens; ++q) x[2 * q].im = out[0][static_cast<size_t>(q)];
    for (long q = 0; q < odds; ++q) x[2 * q + 1].im = out[1][static_cast<size_t>(q)];
}

// The half-band filter is even with zero even taps but the centre:
// y[q] = h0 x[2q] + sum g[j] (x[2q + 2j + 1] + x[2q - 2j - 1]).
void DecimateDirect(const Signal& src, Signal& dst, double h0, const std::vector<double>& g, Split& split,
                    std::vector<double>& out) {
    split.From(src.data.data() + kGuard, src.n);
    const long outputs = (src.n + 1) / 2;
    out.resize(static_cast<size_t>(outputs));
    FoldedSums<true>(g.data(), 512, split.Odd(), split.Odd() - 1, outputs, out.data());
    const double* even = split.Even();
    KCOMPLEX_KFLOAT* y = dst.at0();
    for (long q = 0; q < outputs; ++q) y[q].re = h0 * even[q] + out[static_cast<size_t>(q)];
}

// The largest difference between the direct form's values and ours, so
// that a fast direct form is also a right one.
double LargestDifference(const KCOMPLEX_KFLOAT* a, const KCOMPLEX_KFLOAT* b, long n, bool imaginary) {
    double worst = 0.0;
    for (long i = 0; i < n; ++i)
        worst = std::fmax(worst, std::fabs(imaginary ? a[i].im - b[i].im : a[i].re - b[i].re));
    return worst;
}

void BM_AnalyticDirect10s(benchmark::State& state) {
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) {
        state.SkipWithError("no AVX2 and FMA");
        return;
    }
    Signal s(kSamples);
    FillSpeechLike(s, 1);
    Signal ours(kSamples);
    FillSpeechLike(ours, 1);
    HilbertFilter filter(2049);
    if (!filter.Init()) state.SkipWithError("no memory");
    filter.Apply(ours.at0(), ours.n, nullptr, 1);
    std::vector<double> coefficients(2049);
    Split split;
    std::vector<double> out[2];
    for (auto _ : state) {
        HilbertFilter::MakeCoefficients(2049, coefficients.data());
        AnalyticDirect(s, OddTaps(coefficients), split, out);
        benchmark::DoNotOptimize(s.at0()[s.n / 2].im);
    }
    if (LargestDifference(s.at0(), ours.at0(), s.n, true) > 1e-9) state.SkipWithError("differs from ours");
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
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) {
        state.SkipWithError("no AVX2 and FMA");
        return;
    }
    std::vector<Signal> channels[2] = {MakeLayers(2), MakeLayers(3)};
    std::vector<Signal> ours[2] = {MakeLayers(2), MakeLayers(3)};
    HalfBandDecimator decimator;
    if (!decimator.Init()) state.SkipWithError("no memory");
    for (auto& layers : ours)
        for (int j = 1; j <= 7; ++j)
            decimator.Decimate(layers[j - 1].at0(), layers[j - 1].n, layers[j].at0(), nullptr, 1);
    std::vector<double> coefficients(2049);
    Split split;
    std::vector<double> out;
    for (auto _ : state) {
        HalfBandDecimator::MakeCoefficients(coefficients.data());
        const std::vector<double> g = OddTaps(coefficients);
        for (auto& layers : channels)
            for (int j = 1; j <= 7; ++j)
                DecimateDirect(layers[j - 1], layers[j], coefficients[1024], g, split, out);
        benchmark::DoNotOptimize(channels[1][7].at0()[1].re);
    }
    for (int c = 0; c < 2; ++c)
        for (int j = 1; j <= 7; ++j)
            if (LargestDifference(channels[c][j].at0(), ours[c][j].at0(), channels[c][j].n, false) > 1e-9)
                state.SkipWithError("differs from ours");
}
BENCHMARK(BM_DecimateDirect10sStereo)->Unit(benchmark::kMillisecond);

}  // namespace
