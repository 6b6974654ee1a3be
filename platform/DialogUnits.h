// Dialog layouts are written in dialog units so that a dialog grows with its
// font: a horizontal unit is a quarter of the font's average letter width
// (the advance of the 52 Latin letters over 26, halved and rounded), a
// vertical unit an eighth of the line height. Rectangles are converted edge by
// edge, so that controls that touch in units touch in pixels.
#pragma once

#include <QRect>

#include "FonacoreApi.h"

class QFont;

class FONACORE_API DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    // Widens the horizontal unit by `factor` (never narrows it), for fonts
    // whose texts run wider than their Latin average.
    void widen(double factor);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int left, int top, int width, int height) const;
    QRect rect(const QRect& units) const { return rect(units.x(), units.y(), units.width(), units.height()); }

private:
    int m_nBaseX = 1;
    int m_nBaseY = 1;
    double m_dScaleX = 1.0;
};
