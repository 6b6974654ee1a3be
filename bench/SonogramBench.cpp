// One full sonogram pane: 1920 columns of 10 s of 44100 Hz audio computed and
// coloured from scratch (frame, window, transform, levels, phase steps,
// colours), as a pane does after its caches were cleared.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "KFFT.h"
#include "SonogramColours.h"
#include "SonogramComputation.h"

namespace {

constexpr double kRate = 44100.0;
constexpr long kSamples = 441000;
constexpr long kGuard = 1025;
constexpr int kN = 1024;
constexpr int kRows = kN / 2;
constexpr int kPaneWidth = 1920;
constexpr int kFirstColumn = 1000;

// Speech-like test material: a few harmonics with a wandering pitch over noise.
std::vector<KCOMPLEX_KFLOAT> MakeSignal() {
    std::vector<KCOMPLEX_KFLOAT> samples(kSamples + 2 * kGuard, KCOMPLEX_KFLOAT{0.0, 0.0});
    std::mt19937 gen(2024);
    std::normal_distribution<double> noise(0.0, 0.01);
    const double twoPi = 8.0 * std::atan(1.0);
    double phase = 0.0;
    for (long n = 0; n < kSamples; ++n) {
        const double pitch = 140.0 + 40.0 * std::sin(twoPi * 0.5 * n / kRate);
        phase += twoPi * pitch / kRate;
        double v = noise(gen);
        for (int h = 1; h <= 8; ++h) v += 0.3 / h * std::sin(h * phase);
        samples[kGuard + n].re = v;
    }
    return samples;
}

void BM_SonogramPane(benchmark::State& state) {
    const std::vector<KCOMPLEX_KFLOAT> signal = MakeSignal();
    const KCOMPLEX_KFLOAT* first = signal.data() + kGuard;
    const sonogram::SonelGrid grid = sonogram::DeriveSonelGrid(kRate, 16, kN);
    std::vector<double> window(kRows + 1);
    sonogram::FillWindow(window.data(), kN, grid.sonelFreqHz, kRate);
    const double upper = 0.0;
    const double lower = -20.0 * std::log10(65536.0);
    const long columns = kSamples / grid.stepSamples;

    std::vector<double> levels(static_cast<size_t>(kPaneWidth) * kRows);
    std::vector<double> phases(static_cast<size_t>(kPaneWidth) * kRows);
    std::vector<uint32_t> pixels(static_cast<size_t>(kPaneWidth) * kRows);
    std::vector<int> spectrumTags(kPaneWidth), pixelTags(kPaneWidth);
    std::vector<KCOMPLEX_DOUBLE> buffer(kN);
    CKFFT transform;

    for (auto _ : state) {
        std::memset(spectrumTags.data(), 0x80, sizeof(int) * spectrumTags.size());
        std::memset(pixelTags.data(), 0x80, sizeof(int) * pixelTags.size());
        const double refLevel = sonogram::ComputeRefLevel(window.data(), kN, false);
        for (int x = kFirstColumn; x < kFirstColumn + kPaneWidth; ++x) {
            const int s = x % kPaneWidth;
            if (spectrumTags[s] == x) continue;
            double* columnLevels = levels.data() + static_cast<size_t>(s) * kRows;
            double* columnPhases = phases.data() + static_cast<size_t>(s) * kRows;
            if (x < columns) {
                sonogram::ComputeColumn(transform, first, static_cast<long>(x) * grid.stepSamples,
                                        window.data(), kN, refLevel, buffer.data(), columnLevels,
                                        columnPhases);
            }
            spectrumTags[s] = x;
        }
        // As the pane does: neighbouring slots are coloured together, here
        // the two runs on either side of the ring's seam.
        for (int x = kFirstColumn; x < kFirstColumn + kPaneWidth;) {
            const int s = x % kPaneWidth;
            int run = 1;
            while (x + run < kFirstColumn + kPaneWidth && s + run < kPaneWidth && pixelTags[s + run] != x + run)
                ++run;
            sonogram::ColourColumns(sonogram::kModeAmplitude, levels.data() + static_cast<size_t>(s) * kRows,
                                    phases.data() + static_cast<size_t>(s) * kRows, kRows, run, upper, lower,
                                    pixels.data() + s, kPaneWidth);
            for (int i = 0; i < run; ++i) pixelTags[s + i] = x + i;
            x += run;
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPaneWidth);
}
BENCHMARK(BM_SonogramPane)->Unit(benchmark::kMillisecond);

}  // namespace
