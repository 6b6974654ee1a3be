// The whole FGT of 10 s of 44100 Hz audio at P = 2: ours (BM_FGT10s) against
// a straightforward loop with the kernel precomputed per row and one
// accumulator per sum (BM_FGTDirect10s), kept here as the reference.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "CpuFeatures.h"
#include "FGTComputation.h"
#include "FGTSums.h"

namespace {

constexpr double kRate = 44100.0;
constexpr long kSamples = 441000;
constexpr double kP = 2.0;

// Ten seconds of a few tones in noise, in a store with its guard bands.
struct BenchSignal {
    std::vector<KCOMPLEX_KFLOAT> store;
    fgt::SignalRef ref;

    BenchSignal() {
        const double maxSigma = 1.0 / ((std::pow(2.0, 1.0 / 48.0) - 1.0) * 8.0 * std::atan(1.0) * 8.0);
        const int guard = 1 + static_cast<int>(5.0 * maxSigma * kRate);
        store.assign(static_cast<size_t>(kSamples + 2L * guard), KCOMPLEX_KFLOAT{0.0, 0.0});
        ref = fgt::SignalRef{store.data() + guard, kSamples, kRate, guard};
        std::mt19937 random(3);
        std::uniform_real_distribution<double> noise(-0.05, 0.05);
        const double twoPi = 8.0 * std::atan(1.0);
        for (long n = 0; n < kSamples; ++n) {
            const double t = n / kRate;
            store[static_cast<size_t>(guard + n)].re = 0.3 * std::sin(twoPi * 220.0 * t) +
                                                       0.2 * std::sin(twoPi * 1760.0 * t * (1.0 + 0.01 * t)) +
                                                       noise(random);
        }
    }
};

const BenchSignal& Signal() {
    static const BenchSignal signal;
    return signal;
}

struct Grid {
    int rows = 0;
    std::vector<double> frequency, sigma;
    std::vector<int> length;
    double total = 0.0;
};

Grid MakeGrid(const fgt::SignalRef& s) {
    Grid g;
    g.rows = fgt::RowCount(s.frADC);
    g.frequency.resize(static_cast<size_t>(g.rows));
    g.sigma.resize(static_cast<size_t>(g.rows));
    g.length.resize(static_cast<size_t>(g.rows));
    fgt::FillGrid(kP, s, g.rows, g.frequency.data(), g.sigma.data(), g.length.data(), g.total);
    return g;
}

// The reference: per row the kernel into three arrays, then per analysis
// point the two sums with one accumulator each, reading the real parts of
// the complex samples in place.
void DirectFGT(const fgt::SignalRef& s, const Grid& g, double* levels) {
    const double twoPi = 8.0 * std::atan(1.0);
    const int S = s.guard;
    std::vector<double> gauss(2 * static_cast<size_t>(S) + 1), cosine(gauss.size()), sine(gauss.size());
    long offset = 0;
    for (int j = 0; j < g.rows; ++j) {
        const double f = g.frequency[static_cast<size_t>(j)], sigma = g.sigma[static_cast<size_t>(j)];
        const int L = g.length[static_cast<size_t>(j)];
        const int E = fgt::KernelHalfLength(s.frADC, sigma, S);
        for (int m = -E; m < E; ++m) {
            gauss[static_cast<size_t>(S + m)] =
                std::exp(-0.5 * std::pow(m / s.frADC / sigma, 2)) / (sigma * twoPi);
            cosine[static_cast<size_t>(S + m)] = std::cos(twoPi * f * m / s.frADC);
            sine[static_cast<size_t>(S + m)] = std::sin(twoPi * f * m / s.frADC);
        }
        double* row = levels + offset;
        double t = 0.0;
        for (int k = 0; k < L; ++k) {
            const long n = static_cast<long>(t * s.frADC + 0.5);
            double a = 0.0, b = 0.0;
            for (int m = -E; m < E; ++m) {
                const double x = s.first[n + m].re * gauss[static_cast<size_t>(S + m)];
                a += x * cosine[static_cast<size_t>(S + m)];
                b += x * sine[static_cast<size_t>(S + m)];
            }
            row[k] = 10.0 * std::log10(a * a + b * b);
            t += sigma;
        }
        fgt::SmoothRow(row, L);
        offset += L;
    }
}

void BM_FGT10s(benchmark::State& state) {
    const fgt::SignalRef& s = Signal().ref;
    for (auto _ : state) {
        // As the pane does it: arrays allocated, not cleared, then filled,
        // the pixels with the levels.
        const Grid g = MakeGrid(s);
        const long total = static_cast<long>(g.total);
        std::unique_ptr<double[]> levels(new double[static_cast<size_t>(total)]);
        std::unique_ptr<uint32_t[]> pixels(new uint32_t[static_cast<size_t>(total)]);
        const fgt::RowImage image{pixels.get(), 0.0, 50.0};
        fgt::ComputeLevels(s, g.rows, g.frequency.data(), g.sigma.data(), g.length.data(), levels.get(), 2,
                           &image);
        benchmark::DoNotOptimize(pixels.get());
    }
}

void BM_FGTDirect10s(benchmark::State& state) {
    const fgt::SignalRef& s = Signal().ref;
    for (auto _ : state) {
        const Grid g = MakeGrid(s);
        std::vector<double> levels(static_cast<size_t>(g.total));
        std::vector<uint32_t> pixels(levels.size());
        DirectFGT(s, g, levels.data());
        // The image the plain way too: one thread, no vectors.
        const cpu::LevelCap portable(cpu::Level::Portable);
        fgt::BuildImage(levels.data(), pixels.data(), static_cast<long>(levels.size()), 0.0, 50.0, 1);
        benchmark::DoNotOptimize(pixels.data());
    }
}

}  // namespace

// Both report wall time (UseRealTime): BM_FGT10s shares the rows between
// two threads, so its CPU time (the process's, MeasureProcessCPUTime) is
// the sum over both and its wall time is what the user waits.
BENCHMARK(BM_FGT10s)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_FGTDirect10s)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
