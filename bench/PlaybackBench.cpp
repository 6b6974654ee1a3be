// Starting playback in a 60-minute recording: the time from the command to
// the first sound the sink reports processed, and how far the play-head shown
// lags behind the sound, in columns of the default sonogram grid (the step of
// an FFT of 1024 points, layer 0): the sink's clock runs on while the value
// the play-head was drawn from ages, so the lag is that age. Needs a sound server (PULSE_SERVER); skipped
// without one. The recording is generated: 8000 Hz mono, a tone, written to a temporary folder and removed
// afterwards.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "BenchFolder.h"
#include "FonavidDoc.h"
#include "PlaybackController.h"
#include "PlayheadMapping.h"
#include "SonogramComputation.h"
#include "WavWriter.h"

namespace {

constexpr uint32_t kRate = 8000;
constexpr uint32_t kFrames = 60u * 60u * kRate;
// The default grid's step for 16-bit samples and N = 1024.
const int kStep = sonogram::DeriveSonelGrid(kRate, 16, 1024).stepSamples;

bool WriteHour(const std::string& path) {
    return testwav::writeLongPcm16(path, kRate, 1, kFrames, [](uint32_t n, int16_t* frame) {
        frame[0] = static_cast<int16_t>(8000 * std::sin(0.3 * n));
    });
}

void BM_PlaybackStartIn60Minutes(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "fonavid_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    CPlaybackController& playback = CPlaybackController::Instance();
    if (!playback.IsAvailable()) {
        state.SkipWithError("no sound server (set PULSE_SERVER)");
        return;
    }
    const BenchFolder folder;
    if (!folder.Ready()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    {
        auto doc = std::make_unique<CFonavidDoc>();
        if (!WriteHour(folder.file("hour.wav")) || !doc->OnOpenDocument(folder.file("hour.wav"))) {
            state.SkipWithError("the recording could not be made");
        } else {
            double worstColumns = 0.0;
            double sumColumns = 0.0;
            long refreshes = 0;
            double startMs = 0.0;
            int starts = 0;
            // Where the sound is now (the sink's last processed time and the
            // time since it was read) against the sample the play-head shows,
            // sampled between the refreshes too.
            auto measure = [&] {
                const long shown = doc->GetPlayheadSample();
                if (shown < 0 || playback.GetProcessedUs() <= 0) return;
                const qint64 age = QDeadlineTimer::current().deadline() - playback.GetProcessedAtMs();
                const long now = playback.GetMapping().SampleAt(playback.GetProcessedUs() + age * 1000);
                const double lag = std::fabs(PlayheadMapping::Column(now, 0, kStep, kFrames / kStep) -
                                             PlayheadMapping::Column(shown, 0, kStep, kFrames / kStep));
                worstColumns = std::max(worstColumns, lag);
                sumColumns += lag;
                ++refreshes;
            };
            for (auto _ : state) {
                const double at = 60.0 * (7 * starts % 59) + 0.5;  // spread over the hour
                QElapsedTimer wait;
                wait.start();
                playback.Play(doc.get(), at, at + 0.6);
                while (playback.GetStartLatencyMs() < 0 && wait.elapsed() < 5000) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                }
                state.SetIterationTime(wait.elapsed() / 1000.0);
                startMs += playback.GetStartLatencyMs();
                // Let it play on a while for the play-head figure, then stop.
                while (wait.elapsed() < 400) {
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                    measure();
                }
                playback.Stop();
                ++starts;
            }
            state.counters["start_ms"] = starts > 0 ? startMs / starts : 0.0;
            state.counters["worst_lag_columns"] = worstColumns;
            state.counters["mean_lag_columns"] = refreshes > 0 ? sumColumns / refreshes : 0.0;
            state.counters["step"] = kStep;
        }
    }
}
BENCHMARK(BM_PlaybackStartIn60Minutes)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
