// Where a sonogram's pixels go on a surface, free of any widget: the pane's
// paint pass and the command-line renderer both draw through it, so that a
// picture written to a file has exactly the pane's pixels.
//
// The surface is in the pane's logical coordinates (one unit = one pixel,
// the logical x of a column is its index). The image has one row per FFT bin,
// R rows, stored bottom row first (bin 0 first) as the bitmap of the pane's
// ring of M column slots: column x lives in slot x mod M. Bin k is drawn at
// logical y = R - k, so the image's top edge is at y = 1; the line y = 0 above
// it and everything below the image are filled with the band colour.
#pragma once

#include <QColor>

class QImage;
class QPainter;

class SonogramPainter {
public:
    // The colour of the line above the image and of the area below it.
    static QColor FillColour() { return QColor(63, 63, 63); }

    // Fills what the image does not cover in a surface of `width` x `height`
    // pixels scrolled to (x0, y0), for an image of `rows` rows: the area below
    // the image and, when the top is in view, the line above it.
    static void PaintFills(QPainter& painter, int x0, int y0, int width, int height, int rows);

    // Draws the M = ring.width() slots of `ring` so that the columns x0 ..
    // x0 + M - 1 land at their logical x, in two pieces (slots a .. M - 1
    // first, then 0 .. a - 1, a = x0 mod M), flipped so that bin k is at
    // logical y = R - k.
    static void PaintRing(QPainter& painter, const QImage& ring, int x0);
};
