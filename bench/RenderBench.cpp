// The command-line renderer end to end on 60 s of 44100 Hz mono audio at the
// default grid, FGT off: loading the file into the film, computing and
// colouring 30068 columns, composing the picture and writing it as PNG with
// the program's default compression; the same with the levels written as
// CSV or NumPy files beside it, or with axes around the picture. And the
// columns of a 1920-column picture of 1 and of 60 minutes, after loading. And
// ten seconds from the middle of 10 minutes of 48 kHz stereo, with and
// without the FGT, rendered from the stretch they read and, as the baseline,
// from the whole file loaded as the viewer loads it.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchFolder.h"
#include "DataFile.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "OutputFile.h"
#include "PaneSettings.h"
#include "RenderOptions.h"
#include "Renderer.h"
#include "SonogramRenderer.h"
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

// Axes draw text: a GUI application on the platform that draws off screen.
void EnsureGuiApplication() {
    static int argc = 1;
    static char name[] = "fonavid_bench";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: it outlives every benchmark and the threads Qt made for it.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
}

// The 60 s input in a folder that is also the program's temporary folder.
class Input60s {
public:
    Input60s() {
        m_ok = m_folder.Ready() &&
               testwav::writeFile(m_folder.file("speech.wav"), testwav::pcm16(kRate, 1, Material()));
    }

    // False after telling the benchmark, when the input could not be written.
    bool Ready(benchmark::State& state) const {
        if (!m_ok) state.SkipWithError("cannot write the input");
        return m_ok;
    }
    std::string file(const std::string& name) const { return m_folder.file(name); }
    // The options of a render of the input into "speech.png", with the
    // levels into the data file `data` unless empty.
    RenderOptions Options(const std::string& data) const {
        RenderOptions options;
        options.input = m_folder.file("speech.wav");
        options.output = m_folder.file("speech.png");
        options.dataFile = data.empty() ? data : m_folder.file(data);
        return options;
    }

private:
    BenchFolder m_folder;
    bool m_ok = false;
};

// What a case adds to the plain render: 0 nothing, 1 a CSV file, 2 a NumPy
// file and its companions, 3 the axes.
void BM_Render60s(benchmark::State& state) {
    const int extra = static_cast<int>(state.range(0));
    if (extra == 3) EnsureGuiApplication();
    const Input60s input;
    if (!input.Ready(state)) return;
    RenderOptions options = input.Options(extra == 1 ? "levels.csv" : extra == 2 ? "levels.npy" : "");
    options.axes = extra == 3;
    QImage picture;
    for (auto _ : state) {
        DataFile::SonogramLevels levels;
        {
            Renderer renderer;
            if (!renderer.Render(options, picture)) {
                state.SkipWithError("rendering failed");
                break;
            }
            levels = std::move(renderer.Levels());
        }
        std::vector<std::pair<std::string, OutputFile::Writer>> writes;
        if (extra == 1) writes.emplace_back(options.dataFile, DataFile::SonogramCsv(levels));
        if (extra == 2) {
            writes.emplace_back(options.dataFile, DataFile::SonogramNpy(levels));
            writes.emplace_back(DataFile::CompanionName(options.dataFile, "times"),
                                DataFile::VectorNpy(levels.times));
            writes.emplace_back(DataFile::CompanionName(options.dataFile, "frequencies"),
                                DataFile::VectorNpy(levels.frequencies));
        }
        writes.emplace_back(options.output, OutputFile::PngWriter(picture, options.compression));
        // As fonavid-render writes them: all at once, put in place together.
        std::vector<std::unique_ptr<OutputFile>> files;
        std::vector<std::pair<OutputFile*, OutputFile::Writer>> prepared;
        for (const auto& [path, write] : writes) {
            files.push_back(std::make_unique<OutputFile>(path, "file"));
            prepared.emplace_back(files.back().get(), write);
        }
        bool written = OutputFile::PrepareAll(prepared);
        for (const auto& file : files) written = written && file->Commit();
        if (!written) {
            state.SkipWithError("writing failed");
            break;
        }
    }
    state.counters["columns"] = picture.width();
    std::remove(options.output.c_str());
    for (const char* name : {"levels.csv", "levels.npy", "levels.times.npy", "levels.frequencies.npy"})
        std::remove(input.file(name).c_str());
}

// Where the time of a data file of BM_Render60s goes, on the same levels
// (rendered once): format 0 the CSV, 1 the NumPy matrix; sink 0 /dev/null
// (the making of the bytes alone), 1 a new file without sync (plus the
// copy into the page cache), 2 OutputFile's temporary file, synced and
// renamed into a free name (plus the way to the disk). The picture is not
// written.
void BM_DataFile60s(benchmark::State& state) {
    const bool csv = state.range(0) == 0;
    const int sink = static_cast<int>(state.range(1));
    const Input60s input;
    if (!input.Ready(state)) return;
    const RenderOptions options = input.Options(csv ? "levels.csv" : "levels.npy");
    DataFile::SonogramLevels levels;
    {
        Renderer renderer;
        QImage picture;
        if (!renderer.Render(options, picture)) {
            state.SkipWithError("rendering failed");
            return;
        }
        levels = std::move(renderer.Levels());
    }
    const DataFile::Writer write = csv ? DataFile::SonogramCsv(levels) : DataFile::SonogramNpy(levels);
    double megabytes = 0.0;
    for (auto _ : state) {
        bool written = false;
        std::string reason;
        if (sink == 2) {
            OutputFile file(options.dataFile, "file");
            written = file.Prepare(write) && file.Commit();
        } else {
            const int fd =
                sink == 0 ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                          : open(options.dataFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            written = fd >= 0 && write(fd, reason);
            if (fd >= 0) close(fd);
        }
        if (!written) {
            state.SkipWithError("writing failed");
            break;
        }
        // Each round writes a new file: the old one goes untimed (its pages
        // may still be on their way to the disk, and freeing its blocks is
        // the cost of replacing a file, not of writing one).
        state.PauseTiming();
        struct stat info {};
        if (sink != 0 && stat(options.dataFile.c_str(), &info) == 0)
            megabytes = static_cast<double>(info.st_size) / 1e6;
        std::remove(options.dataFile.c_str());
        state.ResumeTiming();
    }
    state.counters["MB"] = megabytes;
}

// The columns of a picture of `minutes` minutes of 8000 Hz audio fitted into
// 1920 columns, computed and coloured after the file is loaded: the time
// follows the columns, not the length of the file.
void BM_Width1920AfterLoading(benchmark::State& state) {
    const long minutes = state.range(0);
    const BenchFolder folder;
    std::vector<int16_t> samples(static_cast<size_t>(8000 * 60 * minutes));
    std::mt19937 random(3);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            static_cast<int16_t>(4000.0 * std::sin(0.3 * static_cast<double>(i)) + (random() % 512) - 256.0);
    const std::string input = folder.file("long.wav");
    if (!folder.Ready() || !testwav::writeFile(input, testwav::pcm16(8000, 1, samples))) {
        state.SkipWithError("cannot write the input");
        return;
    }
    samples = std::vector<int16_t>();
    {
        CFonavidDoc document;
        if (!document.OnOpenDocument(input)) {
            state.SkipWithError("cannot load the input");
            return;
        }
        const CKWave* wave = document.m_film.GetKWave(0, 0);
        SonogramRenderer::Settings settings;
        static_cast<sonogram::PaneSettings&>(settings) = sonogram::PaneSettings::Bound(8000.0, 16, 1024);
        settings.wave = wave;
        settings.FitStepToColumns(static_cast<double>(wave->GetNSamples()), 1920);
        const int columns = settings.ColumnCount(wave);
        QImage ring;
        for (auto _ : state) {
            if (!SonogramRenderer::Render(settings, 0, columns, ring)) {
                state.SkipWithError("rendering failed");
                break;
            }
        }
        state.counters["columns"] = columns;
        state.counters["step"] = settings.stepSamples;
    }
}

// Writes `minutes` of 48 kHz stereo 16-bit PCM to `path`: a wandering tone
// on the left, a steady one on the right, over noise.
bool WriteLongStereo(const std::string& path, int minutes) {
    constexpr uint32_t kLongRate = 48000;
    std::mt19937 random(48);
    const double twoPi = 8.0 * std::atan(1.0);
    double phase = 0.0;
    return testwav::writeLongPcm16(
        path, kLongRate, 2, kLongRate * 60u * static_cast<uint32_t>(minutes),
        [&](uint32_t n, int16_t* frame) {
            const double t = static_cast<double>(n) / kLongRate;
            phase += twoPi * (150.0 + 50.0 * std::sin(twoPi * 0.5 * t)) / kLongRate;
            const double noise = static_cast<double>(random() % 400) - 200.0;
            frame[0] = static_cast<int16_t>(std::lround(6000.0 * std::sin(phase) + noise));
            frame[1] = static_cast<int16_t>(std::lround(5000.0 * std::sin(twoPi * 1000.0 * t) + noise));
        });
}

// Seconds 300 to 310 of 10 minutes of 48 kHz stereo; `whole` loads the whole
// file instead of the stretch, `fgt` adds the FGT pane.
void BM_RangeOfLongFile(benchmark::State& state) {
    const bool whole = state.range(0) != 0;
    const bool fgt = state.range(1) != 0;
    const BenchFolder folder;
    RenderOptions options;
    options.input = folder.file("long.wav");
    options.output = folder.file("long.png");
    options.startSeconds = 300.0;
    options.endSeconds = 310.0;
    options.fgt = fgt;
    if (!folder.Ready() || !WriteLongStereo(options.input, 10)) {
        state.SkipWithError("cannot write the input");
        return;
    }
    QImage picture;
    long frames = 0;
    for (auto _ : state) {
        Renderer renderer;
        renderer.SetWholeFileLoad(whole);
        if (!renderer.Render(options, picture)) {
            state.SkipWithError("rendering failed");
            break;
        }
        frames = renderer.GetLoadedFrames();
    }
    state.counters["columns"] = picture.width();
    state.counters["frames"] = static_cast<double>(frames);
}

}  // namespace

BENCHMARK(BM_RangeOfLongFile)
    ->ArgNames({"whole", "fgt"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_Render60s)
    ->ArgName("extra")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_DataFile60s)
    ->ArgNames({"format", "sink"})
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_Width1920AfterLoading)
    ->ArgName("minutes")
    ->Arg(1)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
