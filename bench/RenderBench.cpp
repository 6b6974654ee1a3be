// The command-line renderer end to end on 60 s of 44100 Hz mono audio at the
// default grid, FGT off: loading the file into the film, computing and
// colouring 30068 columns, composing the picture and writing it as PNG with
// the program's default compression.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "OutputFile.h"
#include "Profile.h"
#include "RenderOptions.h"
#include "Renderer.h"
#include "WavWriter.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kSeconds = 60;

// Speech-like material: harmonics of a wandering pitch over noise.
std::vector<int16_t> Material() {
    std::vector<int16_t> samples(static_cast<size_t>(kRate) * kSeconds);
    std::mt19937 random(60);
    std::normal_distribution<double> noise(0.0, 200.0);
    const double twoPi = 8.0 * std::atan(1.0);
    double phase = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        phase += twoPi * (150.0 + 50.0 * std::sin(twoPi * 0.5 * t)) / kRate;
        double v = noise(random);
        for (int h = 1; h <= 20; ++h) v += 2500.0 / h * std::sin(h * phase);
        samples[i] = static_cast<int16_t>(std::lround(v));
    }
    return samples;
}

void BM_Render60s(benchmark::State& state) {
    testwav::TempDir folder;
    const std::string profile = folder.file("profile.ini");
    const std::string text = "[Document]\nPathToTemporalFiles=" + folder.path() + "\n";
    const std::string previous = platform::SetProfileFile(profile);
    if (!testwav::writeFile(profile, std::vector<uint8_t>(text.begin(), text.end())) ||
        !testwav::writeFile(folder.file("speech.wav"), testwav::pcm16(kRate, 1, Material()))) {
        platform::SetProfileFile(previous);
        state.SkipWithError("cannot write the input");
        return;
    }
    RenderOptions options;
    options.input = folder.file("speech.wav");
    options.output = folder.file("speech.png");
    QImage picture;
    for (auto _ : state) {
        {
            Renderer renderer;
            if (!renderer.Render(options, picture)) {
                state.SkipWithError("rendering failed");
                break;
            }
        }
        if (!OutputFile::WritePng(picture, options.output, options.compression)) {
            state.SkipWithError("writing failed");
            break;
        }
    }
    state.counters["columns"] = picture.width();
    std::remove(options.output.c_str());
    platform::SetProfileFile(previous);
}

}  // namespace

BENCHMARK(BM_Render60s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(3);
