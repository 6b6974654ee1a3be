// Opening a WAVE file: reading it, creating the layer-0 stores of a stereo
// film and filling them; a minute at 44100 Hz and an hour at 48000 Hz.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "BenchFolder.h"
#include "FonavidDoc.h"
#include "WavWriter.h"

namespace {

// A 16-bit stereo PCM file of two tones.
bool WriteStereoFile(const std::string& path, uint32_t rate, uint32_t frames) {
    const double w = 8.0 * std::atan(1.0) / rate;
    return testwav::writeLongPcm16(path, rate, 2, frames, [w](uint32_t n, int16_t* frame) {
        frame[0] = static_cast<int16_t>(12000.0 * std::sin(w * 440.0 * n));
        frame[1] = static_cast<int16_t>(9000.0 * std::sin(w * 1250.0 * n));
    });
}

void LoadStereo(benchmark::State& state, uint32_t rate, uint32_t seconds) {
    const BenchFolder folder;
    const std::string wav = folder.file("stereo.wav");
    const uint32_t frames = seconds * rate;
    if (!folder.Ready() || !WriteStereoFile(wav, rate, frames)) {
        state.SkipWithError("cannot write the benchmark's files");
        return;
    }
    for (auto _ : state) {
        auto doc = std::make_unique<CFonavidDoc>();
        if (!doc->OnOpenDocument(wav)) {
            state.SkipWithError("the file did not open");
            break;
        }
        benchmark::DoNotOptimize(doc->GetFilm()->GetMainKWave(1)->GetFirstComplexSample()[frames - 1].re);
        state.PauseTiming();
        doc.reset();  // closing is not part of opening
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * frames);
}

void BM_Load60sStereo(benchmark::State& state) { LoadStereo(state, 44100, 60); }

// About 690 MB of WAVE data and 5.5 GB of stores in the temporary folder.
void BM_Load60minStereo48k(benchmark::State& state) { LoadStereo(state, 48000, 3600); }

}  // namespace

BENCHMARK(BM_Load60sStereo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load60minStereo48k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
