// The FGT computed for what a pane draws, on a 60-minute 44100 Hz synthetic
// signal at P = 2 with the cursor in its middle: the first full pane of
// 1920 x 549 rows (BM_FGTScreen/550) and the default 100-pixel pane
// (BM_FGTScreen/100), from a freshly bound FGT each time; one Right-arrow
// step of the cursor (one column of the default grid, 88 samples) with the
// full pane drawn (BM_FGTCursorStep). The whole-signal computation of 10 s
// (BM_FGT10s) is the baseline: the whole 60 minutes would take 360 times it.
// BM_FGTScreenMemory reports the resident memory the FGT of a 60-minute
// 48000 Hz recording adds in a 1920 x 1080 window when the cursor visits the
// whole signal (counter AddedMiB).
#include <sys/mman.h>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <random>

#include "FGTOnDemand.h"

namespace {

// A signal of `seconds` at `rate` in anonymous memory: only the `filled`
// seconds around the middle are written (tones in noise), the rest reads as
// zero without taking memory, as a long quiet recording would on disk.
class LongSignal {
public:
    LongSignal(double rate, double seconds, double filled) {
        m_nSamples = static_cast<long>(rate * seconds);
        const double maxSigma = 1.0 / ((std::pow(2.0, 1.0 / 48.0) - 1.0) * 8.0 * std::atan(1.0) * 8.0);
        m_nGuard = 1 + static_cast<int>(5.0 * maxSigma * rate);
        m_nBytes = static_cast<size_t>(m_nSamples + 2L * m_nGuard) * sizeof(KCOMPLEX_KFLOAT);
        void* p = mmap(nullptr, m_nBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                       -1, 0);
        m_pStore = p == MAP_FAILED ? nullptr : static_cast<KCOMPLEX_KFLOAT*>(p);
        if (m_pStore == nullptr) return;
        KCOMPLEX_KFLOAT* first = m_pStore + m_nGuard;
        std::mt19937 random(3);
        std::uniform_real_distribution<double> noise(-0.05, 0.05);
        const double twoPi = 8.0 * std::atan(1.0);
        const long from = std::max(0L, static_cast<long>(m_nSamples / 2 - filled / 2 * rate));
        const long to = std::min(m_nSamples, static_cast<long>(m_nSamples / 2 + filled / 2 * rate));
        for (long n = from; n < to; ++n) {
            const double t = n / rate;
            first[n].re =
                0.3 * std::sin(twoPi * 220.0 * t) + 0.2 * std::sin(twoPi * 1760.0 * t) + noise(random);
        }
        m_ref = fgt::SignalRef{first, m_nSamples, rate, m_nGuard};
    }
    ~LongSignal() {
        if (m_pStore != nullptr) munmap(m_pStore, m_nBytes);
    }
    const fgt::SignalRef& Ref() const { return m_ref; }
    double Duration() const { return m_nSamples / m_ref.frADC; }

private:
    KCOMPLEX_KFLOAT* m_pStore = nullptr;
    size_t m_nBytes = 0;
    long m_nSamples = 0;
    int m_nGuard = 0;
    fgt::SignalRef m_ref{};
};

const LongSignal& Signal44() {
    static const LongSignal signal(44100.0, 3600.0, 300.0);
    return signal;
}

constexpr int kWidth = 1920;
constexpr double kStep = 88.0 / 44100.0;

void BM_FGTScreen(benchmark::State& state) {
    const LongSignal& s = Signal44();
    const int height = static_cast<int>(state.range(0));
    for (auto _ : state) {
        FGTOnDemand fgt;
        fgt.Bind(s.Ref(), 2.0);
        if (!fgt.Prepare(kWidth, height, s.Duration() / 2, 0.0, 50.0)) state.SkipWithError("no memory");
        benchmark::DoNotOptimize(fgt.CachedValues());
    }
}

void BM_FGTCursorStep(benchmark::State& state) {
    const LongSignal& s = Signal44();
    FGTOnDemand fgt;
    fgt.Bind(s.Ref(), 2.0);
    double t = s.Duration() / 2;
    fgt.Prepare(kWidth, 550, t, 0.0, 50.0);
    for (auto _ : state) {
        t += kStep;
        if (!fgt.Prepare(kWidth, 550, t, 0.0, 50.0)) state.SkipWithError("no memory");
    }
}

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * 4096;
}

void BM_FGTScreenMemory(benchmark::State& state) {
    // One channel is what the pane reads; the stereo file's second channel
    // is the document's, not the FGT's.
    const LongSignal s(48000.0, 3600.0, 0.0);
    double added = 0.0;
    for (auto _ : state) {
        const long before = ResidentBytes();
        long most = before;
        FGTOnDemand fgt;
        fgt.Bind(s.Ref(), 2.0);
        for (double t = 0.0; t < s.Duration(); t += 97.0) {
            fgt.Prepare(kWidth, 1080, t, 0.0, 50.0);
            most = std::max(most, ResidentBytes());
        }
        added = static_cast<double>(most - before) / 1048576.0;
    }
    state.counters["AddedMiB"] = added;
}

}  // namespace

BENCHMARK(BM_FGTScreen)
    ->Arg(550)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(BM_FGTCursorStep)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_FGTScreenMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
