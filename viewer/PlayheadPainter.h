// How the play-head looks in every pane: a one-pixel line of cyan dashes on
// black, which stays visible on the white, black, grey and coloured grounds
// of every sonogram mode and of the FGT, and differs from the red cursor in
// colour and in style.
#pragma once

#include <QColor>
#include <QPolygon>

class QPainter;

class PlayheadPainter {
public:
    static QColor DashColour() { return QColor(0, 255, 255); }
    static QColor GroundColour() { return QColor(0, 0, 0); }
    // Draws the play-head through `points` (a vertical line has two).
    static void Paint(QPainter& painter, const QPolygon& points);
};
