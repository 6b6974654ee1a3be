// One signal store: creating, zeroing and removing the temporary file of
// ten seconds of one 44100 Hz channel (16.7 MB with its guard bands).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "KWave.h"

namespace {

class StoreBenchFolder {
public:
    StoreBenchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fonavid-store-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~StoreBenchFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Creates the store of `nSamples` samples at 44100 Hz and removes it; with
// `touch`, writes every element first (all 16 bytes of each, guard bands
// included), as a full explicit zeroing would.
void RunStore(benchmark::State& state, bool touch) {
    StoreBenchFolder folder;
    if (folder.path().empty()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    int64_t bytes = 0;
    for (auto _ : state) {
        CKWave wave;
        bytes = wave.CreateKWave(folder.path(), 44100.0, 16, 441000, 0.0);
        if (bytes <= 0) {
            state.SkipWithError("store not created");
            return;
        }
        KCOMPLEX_KFLOAT* first = wave.GetFirstComplexSample();
        if (touch) {
            const long s = wave.GetStartSampleNumber();
            for (long i = -s; i < wave.GetNSamples() + s; ++i) first[i] = {0.0, 0.0};
        }
        benchmark::DoNotOptimize(first);
        benchmark::ClobberMemory();
        wave.DeleteKWave();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// The store as the program makes it: reserved and mapped; a fresh file reads as zeros.
void BM_CreateStore10s(benchmark::State& state) { RunStore(state, false); }
BENCHMARK(BM_CreateStore10s)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CreateStore10sWrittenThrough(benchmark::State& state) { RunStore(state, true); }
BENCHMARK(BM_CreateStore10sWrittenThrough)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
