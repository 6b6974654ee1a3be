// Our radix-4 transform against FFTW on the same in-place blocks.
//
// The unnormalised transform grows its input by up to n per call, so each
// benchmark starts from values near 1e-150 and restores them every
// kRestoreEvery calls: the data never overflow nor become subnormal, and the
// restoring copy, the same for both, is a small share of the time.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cstring>
#include <random>

#include "KFFT.h"

namespace {

constexpr int kRestoreEvery = 32;

void FillInput(double* interleaved, int n) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 0; i < 2 * n; ++i) interleaved[i] = dist(gen) * 1e-150;
}

// A block from FFTW's aligned allocator, used by both benchmarks.
class AlignedBlock {
public:
    explicit AlignedBlock(int n) : n_(n), data_(fftw_alloc_complex(static_cast<size_t>(n))) {}
    ~AlignedBlock() { fftw_free(data_); }
    AlignedBlock(const AlignedBlock&) = delete;
    AlignedBlock& operator=(const AlignedBlock&) = delete;
    fftw_complex* fftw() { return data_; }
    double* doubles() { return &data_[0][0]; }
    size_t bytes() const { return static_cast<size_t>(n_) * sizeof(fftw_complex); }

private:
    int n_;
    fftw_complex* data_;
};

void BM_FFT(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    CKFFT fft;
    AlignedBlock source(n), work(n);
    FillInput(source.doubles(), n);
    std::memcpy(work.doubles(), source.doubles(), work.bytes());
    auto* data = reinterpret_cast<KCOMPLEX_DOUBLE*>(work.doubles());
    int calls = 0;
    for (auto _ : state) {
        if (++calls == kRestoreEvery) {
            std::memcpy(work.doubles(), source.doubles(), work.bytes());
            calls = 0;
        }
        fft.fft(data, n);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_FFTW(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    AlignedBlock source(n), work(n);
    // Planning with FFTW_MEASURE overwrites the block, so fill it afterwards.
    fftw_plan plan = fftw_plan_dft_1d(n, work.fftw(), work.fftw(), FFTW_FORWARD, FFTW_MEASURE);
    FillInput(source.doubles(), n);
    std::memcpy(work.doubles(), source.doubles(), work.bytes());
    int calls = 0;
    for (auto _ : state) {
        if (++calls == kRestoreEvery) {
            std::memcpy(work.doubles(), source.doubles(), work.bytes());
            calls = 0;
        }
        fftw_execute(plan);
        benchmark::DoNotOptimize(work.doubles());
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(BM_FFT)->Arg(16)->Arg(1024)->Arg(65536);
BENCHMARK(BM_FFTW)->Arg(16)->Arg(1024)->Arg(65536);
