// The numbers behind a sonogram pane, free of any window: the Gaussian
// analysis window, the reference level, the time-frequency grid, one column's
// levels and phase steps from a transformed zero-phase frame, the local-maximum
// rule and the spectral peak search of the read-out.
//
// Grid: with FFT length N and column step `step`, column x is the analysis
// frame centred on sample x*step; row k (0 <= k < N/2) is bin k, frequency
// k*Fs/N. Levels are in dB relative to the reference level, so a real sinusoid
// of amplitude A reads close to 20*log10(A) at its peak bin.
#pragma once

#include "KComplex.h"
#include "SampleSpan.h"

class CKFFT;

namespace sonogram {

// Sonel frequency size and column step derived from the FFT length.
struct SonelGrid {
    double sonelFreqHz = 0.0;
    int stepSamples = 1;
};

// The window's edge (N/2 samples from its centre) in standard deviations:
// sqrt(2 ln2 (B + 1.792) + ln(N ln N)). There the window has fallen below the
// quantisation floor of a B-bit signal.
double WindowEdgeInDeviations(int bitsPerSample, int n);

// sigma = Fs e / (pi N) and the step N / (2e) truncated (at least 1): one
// standard deviation of the window in time.
SonelGrid DeriveSonelGrid(double frADC, int bitsPerSample, int n);

// The half window, N/2 + 1 weights: w[k] = (sqrt(2 pi) sigma / N)
// exp(-2 pi^2 sigma^2 k^2 / Fs^2), the weight of the sample k positions away
// from the frame centre.
void FillWindow(double* window, int n, double sonelFreqHz, double frADC);

// 20 log10(w[1] + ... + w[N/2 - 1]), plus 20 log10(2) for a complex signal
// whose analytic spectrum carries the whole power on positive frequencies.
double ComputeRefLevel(const double* window, int n, bool signalIsComplex);

// The zero-phase frame of N points centred on sample p: frame[i] =
// w[i] y[p + i] for i < N/2 and frame[i] = w[N - i] y[p + i - N] above.
// Reads samples p - N/2 .. p + N/2 - 1 of `firstSample`. Runs AVX2 code
// where cpu::UsableLevel() allows it; every level gives the same frame, bit
// for bit.
void BuildZeroPhaseFrame(const KCOMPLEX_KFLOAT* firstSample, long p, const double* window, int n,
                         KCOMPLEX_DOUBLE* frame);
// The samples the frame of N points centred on sample p reads.
inline SampleSpan FrameSamples(long p, int n) { return {p - n / 2, p + n / 2}; }

// From the first `rows` points of the transformed frame X, the rows levels 10 log10|X[k]|^2 - refLevel and
// the phase steps across frequency arg(X[k+1] conj(X[k-1])) (one-sided at both ends).
void ColumnLevelsAndPhaseSteps(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel, double* levels,
                               double* phaseSteps);

// The same arithmetic one bin at a time, with the C library's log10 and
// atan2; the reference the fast path is held to.
void ColumnLevelsAndPhaseStepsScalar(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel,
                                     double* levels, double* phaseSteps);

// One column of the pane: the zero-phase frame centred on sample p, its
// transform in `buffer` (N points), then the levels and phase steps of the
// N/2 rows.
void ComputeColumn(CKFFT& transform, const KCOMPLEX_KFLOAT* firstSample, long p, const double* window, int n,
                   double refLevel, KCOMPLEX_DOUBLE* buffer, double* levels, double* phaseSteps);

// Row k of a column is a local maximum when it is strictly above both
// neighbours (one neighbour at the ends).
bool IsLocalMaximum(const double* levels, int rows, int k);

// The spectral peak nearest to row k in the direction the spectrum rises,
// refined by a parabola through three levels.
struct PeakEstimate {
    int row = 0;               // the peak row found by the search
    double frequencyHz = 0.0;  // interpolated peak frequency (0 at the edges)
    double levelDb = 0.0;      // interpolated peak level (0 at the edges)
};
PeakEstimate FindPeak(const double* levels, int rows, int k, double binWidthHz);

// Coordinate conversions of a pane: `columns` is F, `n` is N.
int ColumnFromTime(double seconds, double frADC, int stepSamples, int columns);
int RowFromFrequency(double hertz, double frADC, int n);
double TimeFromColumn(int column, double frADC, int stepSamples);
double FrequencyFromRow(int row, double frADC, int n);

}  // namespace sonogram
