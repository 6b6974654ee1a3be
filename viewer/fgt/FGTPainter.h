// Where the FGT's pixels go on a surface, free of any widget: the FGT pane's
// paint pass and the command-line renderer both draw through it, so that a
// picture written to a file has exactly the pane's pixels.
//
// Row i of the FGT (row 0 = 8 Hz) is drawn one pixel high at y = rows - i, so
// the lowest row is at the bottom and the top row at y = 1. Column k of row i
// is the value at time k·σ_i; the row is placed so that its column
// trunc(t/σ_i), t the cursor time, lands on the centre line x = width / 2
// (fgt::DrawnValues). Pixels are 0x00RRGGBB.
#pragma once

#include <QColor>
#include <cstdint>

class QPainter;
class FGTOnDemand;

class FGTPainter {
public:
    // The colour of the centre line.
    static QColor CentreLineColour() { return QColor(255, 0, 0); }

    // Draws the visible part of every row on a surface of `width` x `height`
    // pixels, as far as `fgt` has its values; rows outside it, and rows whose
    // centre column is far beyond any signal, draw nothing. Pixels the rows
    // do not cover are left as they are. Returns the rows that drew any pixel.
    static int PaintRows(QPainter& painter, int width, int height, double cursorTime, const FGTOnDemand& fgt);

    // The one-pixel red line at x = width / 2, from the top down.
    static void PaintCentreLine(QPainter& painter, int width);
};
