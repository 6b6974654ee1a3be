// What shapes a sonogram pane's pixels besides the signal: the grid (FFT
// length, sonel size, column step), the mode and the two levels. A pane
// binding to a signal and the renderer start from the same Bound() settings
// and change them through the same functions, so that a picture on screen and
// in a file cannot drift apart.
#pragma once

#include "SonogramColours.h"

class CKWave;

namespace sonogram {

struct PaneSettings {
    int fftSize = 1024;
    double sonelFreqHz = 0.0;
    int stepSamples = 1;
    SonogramMode mode = kModeAmplitude;
    double upperLevel = 0.0;
    double lowerLevel = 0.0;

    // A pane just bound to a signal of rate `frADC` and `bits` bits: the grid
    // derived from the FFT length, the amplitude mode, the default levels.
    static PaneSettings Bound(double frADC, int bits, int fftSize);

    // The levels a pane starts with: 0 dB and the quantisation floor
    // -20 lg 2^bits.
    static constexpr double kDefaultUpperLevel = 0.0;
    static double DefaultLowerLevel(int bits);

    // The rise of both levels when the pane turns to the analytic signal:
    // 10 ln 2, since the analytic signal doubles the power of the positive
    // frequencies and the reference level then adds 20 lg 2.
    static double HighQualityRiseDb();
    void RaiseForHighQuality();

    // The columns of `wave` with this grid (see sonogram::ColumnCount).
    int ColumnCount(const CKWave* wave) const;

    // Sets the column step so that a range of `samples` samples takes at
    // most `columns` columns: the samples over the columns rounded up, at
    // least one sample and at most INT_MAX; the sonel (the window) is kept.
    // Nothing changes when either is not positive.
    void FitStepToColumns(double samples, long columns);
};

// The number of columns of `wave` with the column step `stepSamples`: its
// samples over the step, at most INT_MAX. None when the wave has no samples
// to read, the step is not positive or a frame of `fftSize` reaches beyond
// the guard bands.
int ColumnCount(const CKWave* wave, int fftSize, int stepSamples);

}  // namespace sonogram
