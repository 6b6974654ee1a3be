#include "SonogramRenderer.h"

#include <QPainter>
#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "KFFT.h"
#include "KWave.h"
#include "ProgressReporter.h"
#include "SonogramColours.h"
#include "SonogramComputation.h"
#include "SonogramPainter.h"

namespace {

// One thread's work arrays: the FFT handle, the frame and one column's
// levels and phase steps.
struct ColumnWorkspace {
    CKFFT transform;
    std::unique_ptr<KCOMPLEX_DOUBLE[]> frame;
    std::unique_ptr<double[]> levels;
    std::unique_ptr<double[]> phaseSteps;

    bool Allocate(int n) {
        frame.reset(new (std::nothrow) KCOMPLEX_DOUBLE[static_cast<size_t>(n)]());
        levels.reset(new (std::nothrow) double[static_cast<size_t>(n / 2)]);
        phaseSteps.reset(new (std::nothrow) double[static_cast<size_t>(n / 2)]);
        return frame && levels && phaseSteps;
    }
};

}  // namespace

int SonogramRenderer::ColumnCount(const Settings& s) { return s.ColumnCount(s.wave); }

SampleSpan SonogramRenderer::ReadSpan(const Settings& s, int x0, int width) {
    const long long first = std::max<long long>(x0, 0);
    const long long last = std::min<long long>(static_cast<long long>(x0) + width, ColumnCount(s)) - 1;
    if (last < first) return {};
    const long step = s.stepSamples;
    return sonogram::FrameSamples(static_cast<long>(first) * step, s.fftSize)
        .Hull(sonogram::FrameSamples(static_cast<long>(last) * step, s.fftSize));
}

bool SonogramRenderer::Render(const Settings& s, int x0, int width, QImage& ring, ProgressReporter* progress,
                              double* levels) {
    const int n = s.fftSize;
    const int rows = n / 2;
    ring = QImage();
    if (width <= 0 || rows <= 0 || s.wave == nullptr) return false;
    QImage image(width, rows, QImage::Format_RGB32);
    std::unique_ptr<double[]> window(new (std::nothrow) double[static_cast<size_t>(rows) + 1]);
    if (image.isNull() || !window) return false;
    sonogram::FillWindow(window.get(), n, s.sonelFreqHz, s.wave->GetFrADC());
    const double refLevel = sonogram::ComputeRefLevel(window.get(), n, s.wave->IsSignalRealyComplex());

    // The handles are made before any thread starts: a construction refills
    // the shared cosine table that the transforms read.
    std::vector<std::unique_ptr<ColumnWorkspace>> workspaces;
    for (int t = 0; t < kThreads; ++t) {
        auto work = std::unique_ptr<ColumnWorkspace>(new (std::nothrow) ColumnWorkspace);
        if (!work || !work->Allocate(n)) return false;
        workspaces.push_back(std::move(work));
    }

    const int columns = ColumnCount(s);
    const KCOMPLEX_KFLOAT* first = s.wave->GetFirstComplexSample();
    auto* pixels = reinterpret_cast<uint32_t*>(image.bits());
    const int stride = static_cast<int>(image.bytesPerLine() / 4);
    const bool colours = sonogram::ModeHasColouring(s.mode);
    // Modes without colouring keep the black of a cleared pixel cache.
    if (!colours) image.fill(0u);

    const int chunks = (width + kColumnsPerStep - 1) / kColumnsPerStep;
    std::atomic<int> nextChunk{0};
    std::atomic<int> doneChunks{0};
    auto work = [&](ColumnWorkspace& w, bool reports) {
        int reported = 0;
        for (int c = nextChunk.fetch_add(1); c < chunks; c = nextChunk.fetch_add(1)) {
            const int begin = c * kColumnsPerStep;
            const int end = std::min(width, begin + kColumnsPerStep);
            for (int i = begin; i < end && (colours || levels != nullptr); ++i) {
                const long long xl = static_cast<long long>(x0) + i;
                const int x = static_cast<int>(xl);
                const int slot = x % width;
                double* kept = levels != nullptr ? levels + static_cast<size_t>(i) * rows : nullptr;
                if (x < 0 || x >= columns) {
                    if (colours) sonogram::BlankColumn(s.mode, rows, pixels + slot, stride);
                    if (kept != nullptr)
                        std::fill(kept, kept + rows, std::numeric_limits<double>::quiet_NaN());
                    continue;
                }
                const long p = static_cast<long>(x) * s.stepSamples;
                sonogram::ComputeColumn(w.transform, first, p, window.get(), n, refLevel, w.frame.get(),
                                        w.levels.get(), w.phaseSteps.get());
                if (colours)
                    sonogram::ColourColumn(s.mode, w.levels.get(), w.phaseSteps.get(), rows, s.upperLevel,
                                           s.lowerLevel, pixels + slot, stride);
                if (kept != nullptr) std::copy(w.levels.get(), w.levels.get() + rows, kept);
            }
            const int done = doneChunks.fetch_add(1) + 1;
            if (reports && progress != nullptr)
                for (; reported < done; ++reported) progress->StepIt();
        }
        return reported;
    };

    std::vector<std::thread> helpers;
    for (int t = 1; t < kThreads; ++t) {
        try {
            helpers.emplace_back([&, t] { work(*workspaces[static_cast<size_t>(t)], false); });
        } catch (const std::system_error&) {
            break;  // fewer threads: the columns are shared among those that run
        }
    }
    int reported = work(*workspaces[0], true);
    for (std::thread& helper : helpers) helper.join();
    if (progress != nullptr)
        for (; reported < chunks; ++reported) progress->StepIt();
    ring = std::move(image);
    return true;
}

void SonogramRenderer::Paint(QPainter& painter, const QImage& ring, int x0) {
    const int width = ring.width();
    const int rows = ring.height();
    SonogramPainter::PaintFills(painter, x0, 0, width, rows + 1, rows);
    SonogramPainter::PaintRing(painter, ring, x0);
}
