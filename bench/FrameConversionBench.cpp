// Converting one block of stereo frames into the two channels' stores, for
// each coding a file can hold: the cost per sample of the load's inner loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "PcmFrameLoader.h"

namespace {

// Args: container bits and 1 for float data.
void BM_ConvertStereoFrames(benchmark::State& state) {
    const int bits = static_cast<int>(state.range(0));
    const bool isFloat = state.range(1) != 0;
    const int bytes = bits / 8;
    PcmFrameLoader loader;
    if (!loader.SetFormat(2, isFloat ? 24 : bits, 2 * bytes, isFloat)) {
        state.SkipWithError("format refused");
        return;
    }
    const long frames = 1L << 16;
    std::vector<unsigned char> data(static_cast<size_t>(frames * 2 * bytes));
    for (size_t i = 0; i < data.size(); i += static_cast<size_t>(bytes)) {
        const double v = 0.001 * static_cast<double>(i % 997);
        if (isFloat && bytes == 4) {
            const float f = static_cast<float>(v);
            std::memcpy(&data[i], &f, 4);
        } else if (isFloat) {
            std::memcpy(&data[i], &v, 8);
        } else {
            for (int b = 0; b < bytes; ++b)
                data[i + static_cast<size_t>(b)] = static_cast<unsigned char>(i * 37 + b);
        }
    }
    std::vector<KCOMPLEX_KFLOAT> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    KCOMPLEX_KFLOAT* destinations[] = {left.data(), right.data()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(loader.ConvertFrames(data.data(), frames, destinations));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * frames * 2);
}
BENCHMARK(BM_ConvertStereoFrames)->Args({16, 0})->Args({24, 0})->Args({32, 1})->Args({64, 1});

}  // namespace
