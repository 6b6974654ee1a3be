// The scales the panes can draw over their pictures ("Шкалы" in the View
// menu): ticks at round values with their labels along the bottom edge
// (time) and the left edge (frequency), drawn over the pixels already there,
// so that neither the pane's size nor the picture under them changes. Each
// tick is a white line with black sides and each label white on black, so
// they read on every ground the panes paint.
//
// Whether the panes draw them is one setting of the viewer, off until the
// main window reads it from the profile, and remembered there when changed.
// Every painting function works in the surface's device pixels.
#pragma once

#include <QColor>
#include <QString>
#include <utility>
#include <vector>

class QPainter;

class ScalePainter {
public:
    static bool IsShown();
    // Takes the setting from the profile (off when it holds none).
    static void LoadSetting();
    // Changes the setting and writes it to the profile.
    static void SetShown(bool shown);

    static QColor TickColour() { return QColor(255, 255, 255); }
    static QColor GroundColour() { return QColor(0, 0, 0); }
    // How far a tick reaches in from its edge.
    static constexpr int kTickLength = 6;
    // Ticks closer than this many pixels are thinned to the next round step.
    static constexpr int kTimeSpacing = 80;
    static constexpr int kFrequencySpacing = 40;

    // Time ticks along the bottom edge of a `width` x `height` surface on
    // which time t is at x = (t - timeAtLeft) · pixelsPerSecond, for the
    // times from `firstTime` to `lastTime` that fall on it.
    static void PaintTimeScale(QPainter& painter, int width, int height, double timeAtLeft,
                               double pixelsPerSecond, double firstTime, double lastTime);

    // Frequency ticks along the left edge of a `width` x `height` surface on
    // which frequency f is at y = yAtZero - f · pixelsPerHertz, for the
    // frequencies from 0 to `lastHertz` that fall on it.
    static void PaintFrequencyScale(QPainter& painter, int width, int height, double yAtZero,
                                    double pixelsPerHertz, double lastHertz);

    // Labelled ticks along the left edge at the given (y, text) marks; those
    // outside the surface's `height` are left out.
    static void PaintLeftMarks(QPainter& painter, int height,
                               const std::vector<std::pair<int, QString>>& marks);

    // The tick at x on the bottom edge, and its label right of it.
    static void PaintBottomMark(QPainter& painter, int height, int x, const QString& text);
    // The tick at y on the left edge, and its label right of it.
    static void PaintLeftMark(QPainter& painter, int y, const QString& text);
};
