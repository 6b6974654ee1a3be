// The coloured columns of a sonogram for one range of columns, computed the
// way a sonogram pane computes and colours its visible columns (the same
// GUI-free functions, the same window and reference level), into an image
// laid out like the pane's ring of column slots: M = width slots, column x in
// slot x mod M, row k (bin k) in image line k, bottom row first. Painted with
// SonogramPainter, it gives the pixels of a pane of that width scrolled to the
// first column.
//
// The columns are shared between a few threads, joined before Render
// returns; every column is computed alone, so the pixels are the same.
#pragma once

#include <QImage>

#include "PaneSettings.h"
#include "SampleSpan.h"

class CKWave;
class ProgressReporter;

class SonogramRenderer {
public:
    // What shapes the pixels: the bound signal and the pane's settings.
    struct Settings : sonogram::PaneSettings {
        const CKWave* wave = nullptr;
    };

    static constexpr int kThreads = 2;
    // Columns computed between two progress steps.
    static constexpr int kColumnsPerStep = 256;

    // The number of columns F of the signal (samples / step); 0 when the
    // signal has no samples or its guard bands are shorter than half a frame.
    static int ColumnCount(const Settings& settings);
    // The samples of the wave that Render reads for columns x0 .. x0 + width - 1
    // (real and imaginary parts); empty when none of them is in the signal.
    static SampleSpan ReadSpan(const Settings& settings, int x0, int width);

    // Computes and colours the columns x0 .. x0 + width - 1 into `ring`
    // (width x N/2 pixels). With `levels`, the dB of column x0 + i, row k go
    // to levels[i · N/2 + k] as well (NaN for a column outside the signal).
    // False when memory ran short (the ring is then null).
    static bool Render(const Settings& settings, int x0, int width, QImage& ring,
                       ProgressReporter* progress = nullptr, double* levels = nullptr);

    // Paints a pane of `width` x (N/2 + 1) pixels scrolled to column x0 from
    // the ring: the line above the image and the image itself. `painter` is
    // in the pane's logical coordinates (the surface's x = column - x0).
    static void Paint(QPainter& painter, const QImage& ring, int x0);
};
