#include "SonogramComputation.h"

#include <algorithm>
#include <cmath>

#include "CpuFeatures.h"
#include "KFFT.h"
#include "SonogramKernels.h"

// The vector helpers are always inlined: their vector arguments never cross
// a call boundary.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonogram {

namespace {

double Pi() { return 4.0 * std::atan(1.0); }

// arg(z1 conj(z0)).
double PhaseStep(const KCOMPLEX_DOUBLE& z1, const KCOMPLEX_DOUBLE& z0) {
    const double re = z1.re * z0.re + z1.im * z0.im;
    const double im = z1.im * z0.re - z1.re * z0.im;
    return std::atan2(im, re);
}

}  // namespace

double WindowEdgeInDeviations(int bitsPerSample, int n) {
    const double dn = n;
    return std::sqrt(2.0 * std::log(2.0) * (bitsPerSample + 1.792) + std::log(dn * std::log(dn)));
}

SonelGrid DeriveSonelGrid(double frADC, int bitsPerSample, int n) {
    SonelGrid grid;
    const double e = WindowEdgeInDeviations(bitsPerSample, n);
    const double pi = Pi();
    grid.sonelFreqHz = frADC * e / (pi * n);
    const double step = frADC * 0.5 / pi / grid.sonelFreqHz;
    // A non-finite or huge quotient must not reach the integer conversion.
    grid.stepSamples =
        (std::isfinite(step) && step >= 1.0) ? static_cast<int>(std::min(step, 2147483647.0)) : 1;
    return grid;
}

void FillWindow(double* window, int n, double sonelFreqHz, double frADC) {
    const double pi = Pi();
    const double scale = std::sqrt(2.0 * pi) * sonelFreqHz / n;
    const double rate = 2.0 * pi * pi * sonelFreqHz * sonelFreqHz / (frADC * frADC);
    for (int k = 0; k <= n / 2; ++k) {
        const double dk = k;
        window[k] = scale * std::exp(-rate * dk * dk);
    }
}

double ComputeRefLevel(const double* window, int n, bool signalIsComplex) {
    double sum = 0.0;
    for (int k = 1; k < n / 2; ++k) sum += window[k];
    double level = 20.0 * std::log10(sum);
    if (signalIsComplex) level += 20.0 * std::log10(2.0);
    return level;
}

namespace {

typedef double vd4 __attribute__((vector_size(32)));

// frame[i] = w[i] y[i] for i < count, two points per step (count even).
static inline __attribute__((always_inline)) void WeighForward(const KCOMPLEX_KFLOAT* y, const double* window,
                                                               int count, KCOMPLEX_DOUBLE* frame) {
    for (int i = 0; i < count; i += 2) {
        vd4 points;
        __builtin_memcpy(&points, &y[i].re, sizeof points);
        const vd4 weights = {window[i], window[i], window[i + 1], window[i + 1]};
        const vd4 weighed = weights * points;
        __builtin_memcpy(&frame[i].re, &weighed, sizeof weighed);
    }
}

// frame[i] = w[n - i] before[i] for half <= i < n, two points per step.
static inline __attribute__((always_inline)) void WeighBackward(const KCOMPLEX_KFLOAT* before,
                                                                const double* window, int half, int n,
                                                                KCOMPLEX_DOUBLE* frame) {
    for (int i = half; i < n; i += 2) {
        vd4 points;
        __builtin_memcpy(&points, &before[i].re, sizeof points);
        const vd4 weights = {window[n - i], window[n - i], window[n - i - 1], window[n - i - 1]};
        const vd4 weighed = weights * points;
        __builtin_memcpy(&frame[i].re, &weighed, sizeof weighed);
    }
}

static inline __attribute__((always_inline)) void BuildFrame(const KCOMPLEX_KFLOAT* firstSample, long p,
                                                             const double* window, int n,
                                                             KCOMPLEX_DOUBLE* frame) {
    const int half = n / 2;
    // The centre and the samples after it, weights w[0] .. w[N/2 - 1].
    const KCOMPLEX_KFLOAT* y = firstSample + p;
    // The samples before the centre, p - N/2 .. p - 1, weights w[N/2] .. w[1].
    const KCOMPLEX_KFLOAT* before = y - n;
    if (half % 2 == 0) {
        WeighForward(y, window, half, frame);
        WeighBackward(before, window, half, n, frame);
        return;
    }
    // Lengths whose half is odd (only N = 2 among the powers of two), one
    // point at a time.
    for (int i = 0; i < half; ++i) {
        frame[i].re = window[i] * y[i].re;
        frame[i].im = window[i] * y[i].im;
    }
    for (int i = half; i < n; ++i) {
        const double w = window[n - i];
        frame[i].re = w * before[i].re;
        frame[i].im = w * before[i].im;
    }
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void BuildFrameAvx2(const KCOMPLEX_KFLOAT* firstSample, long p,
                                                    const double* window, int n, KCOMPLEX_DOUBLE* frame) {
    BuildFrame(firstSample, p, window, n, frame);
}
#endif

void BuildFramePortable(const KCOMPLEX_KFLOAT* firstSample, long p, const double* window, int n,
                        KCOMPLEX_DOUBLE* frame) {
    BuildFrame(firstSample, p, window, n, frame);
}

}  // namespace

void BuildZeroPhaseFrame(const KCOMPLEX_KFLOAT* firstSample, long p, const double* window, int n,
                         KCOMPLEX_DOUBLE* frame) {
#if defined(__x86_64__) || defined(__i386__)
    if (cpu::UsableLevel() >= cpu::Level::Avx2) {
        BuildFrameAvx2(firstSample, p, window, n, frame);
        return;
    }
#endif
    BuildFramePortable(firstSample, p, window, n, frame);
}

void ColumnLevelsAndPhaseStepsScalar(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel,
                                     double* levels, double* phaseSteps) {
    if (rows <= 0) return;
    for (int k = 0; k < rows; ++k) {
        const double power = spectrum[k].re * spectrum[k].re + spectrum[k].im * spectrum[k].im;
        levels[k] = 10.0 * std::log10(power) - refLevel;
    }
    if (rows == 1) {
        phaseSteps[0] = 0.0;
        return;
    }
    phaseSteps[0] = PhaseStep(spectrum[1], spectrum[0]);
    for (int k = 1; k < rows - 1; ++k) phaseSteps[k] = PhaseStep(spectrum[k + 1], spectrum[k - 1]);
    phaseSteps[rows - 1] = PhaseStep(spectrum[rows - 1], spectrum[rows - 2]);
}

void ColumnLevelsAndPhaseSteps(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel, double* levels,
                               double* phaseSteps) {
    FastLevelsAndPhaseSteps(spectrum, rows, refLevel, levels, phaseSteps);
}

void ComputeColumn(CKFFT& transform, const KCOMPLEX_KFLOAT* firstSample, long p, const double* window, int n,
                   double refLevel, KCOMPLEX_DOUBLE* buffer, double* levels, double* phaseSteps) {
    BuildZeroPhaseFrame(firstSample, p, window, n, buffer);
    transform.fft(buffer, n);
    ColumnLevelsAndPhaseSteps(buffer, n / 2, refLevel, levels, phaseSteps);
}

bool IsLocalMaximum(const double* levels, int rows, int k) {
    if (rows < 2 || k < 0 || k >= rows) return false;
    if (k == 0) return levels[0] > levels[1];
    if (k == rows - 1) return levels[k] > levels[k - 1];
    return levels[k] > levels[k - 1] && levels[k] > levels[k + 1];
}

PeakEstimate FindPeak(const double* levels, int rows, int k, double binWidthHz) {
    PeakEstimate peak;
    if (rows < 3) return peak;
    int j = std::clamp(k, 1, rows - 2);
    auto isPeak = [levels](int r) { return levels[r] >= levels[r - 1] && levels[r] >= levels[r + 1]; };
    if (levels[j + 1] - levels[j - 1] > 0.0) {
        while (j < rows - 1 && !isPeak(j)) ++j;
    } else {
        while (j > 0 && !isPeak(j)) --j;
    }
    peak.row = j;
    if (j == 0 || j == rows - 1) return peak;
    const double a = levels[j - 1];
    const double b = levels[j];
    const double c = levels[j + 1];
    const double d = a - 2.0 * b + c;
    if (d < 0.0) {
        peak.frequencyHz = binWidthHz * (j + (a - c) / (2.0 * d));
        peak.levelDb = b - (a - c) * (a - c) / (8.0 * d);
    } else {
        peak.frequencyHz = j * binWidthHz;
        peak.levelDb = b;
    }
    return peak;
}

int ColumnFromTime(double seconds, double frADC, int stepSamples, int columns) {
    if (columns <= 0 || stepSamples <= 0) return 0;
    const double x = seconds * frADC / stepSamples + 0.5;
    // Limit in floating point first: the integer conversion of a value out
    // of range would be undefined.
    if (!(x >= 0.0)) return 0;
    if (x >= static_cast<double>(columns)) return columns - 1;
    return static_cast<int>(x);
}

int RowFromFrequency(double hertz, double frADC, int n) {
    const int rows = n / 2;
    if (rows <= 0) return 0;
    const double k = hertz / frADC * n;
    if (!(k >= 0.0)) return 0;
    if (k >= static_cast<double>(rows)) return rows - 1;
    return static_cast<int>(k);
}

double TimeFromColumn(int column, double frADC, int stepSamples) {
    return static_cast<double>(column) * stepSamples / frADC;
}

double FrequencyFromRow(int row, double frADC, int n) { return frADC * row / n; }

}  // namespace sonogram
