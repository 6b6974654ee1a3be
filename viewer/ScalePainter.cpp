#include "ScalePainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "AxisTicks.h"
#include "Profile.h"

namespace {

const char kSection[] = "View";
const char kEntry[] = "Scales";

bool& Shown() {
    static bool shown = false;
    return shown;
}

// The labels' font: small enough to leave the picture in view.
QFont LabelFont(const QPainter& painter) {
    QFont font = painter.font();
    font.setPixelSize(10);
    return font;
}

// A label white on black with its top left corner at `at`.
void PaintLabel(QPainter& painter, QPoint at, const QString& text) {
    painter.setFont(LabelFont(painter));
    const QFontMetrics metrics(painter.font());
    const QRect box(at, QSize(metrics.horizontalAdvance(text) + 2, metrics.height()));
    painter.fillRect(box, ScalePainter::GroundColour());
    painter.setPen(ScalePainter::TickColour());
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
}

int LabelHeight(const QPainter& painter) { return QFontMetrics(LabelFont(painter)).height(); }

}  // namespace

bool ScalePainter::IsShown() { return Shown(); }

void ScalePainter::LoadSetting() { Shown() = platform::GetProfileString(kSection, kEntry, "0") == "1"; }

void ScalePainter::SetShown(bool shown) {
    Shown() = shown;
    platform::WriteProfileString(kSection, kEntry, shown ? "1" : "0");
}

void ScalePainter::PaintBottomMark(QPainter& painter, int height, int x, const QString& text) {
    painter.fillRect(QRect(x - 1, height - kTickLength, 3, kTickLength), GroundColour());
    painter.fillRect(QRect(x, height - kTickLength, 1, kTickLength), TickColour());
    PaintLabel(painter, QPoint(x + 2, height - LabelHeight(painter)), text);
}

void ScalePainter::PaintLeftMark(QPainter& painter, int y, const QString& text) {
    painter.fillRect(QRect(0, y - 1, kTickLength, 3), GroundColour());
    painter.fillRect(QRect(0, y, kTickLength, 1), TickColour());
    PaintLabel(painter, QPoint(kTickLength, y - LabelHeight(painter) / 2), text);
}

void ScalePainter::PaintTimeScale(QPainter& painter, int width, int height, double timeAtLeft,
                                  double pixelsPerSecond, double firstTime, double lastTime) {
    if (width <= 0 || height <= 0 || !(pixelsPerSecond > 0.0)) return;
    const double step = axis::TickStep(1.0, pixelsPerSecond, kTimeSpacing);
    const double low = std::max(firstTime, timeAtLeft);
    const double high = std::min(lastTime, timeAtLeft + (width - 1) / pixelsPerSecond);
    for (const double t : axis::Multiples(low, high, step)) {
        const int x = static_cast<int>(std::lround((t - timeAtLeft) * pixelsPerSecond));
        PaintBottomMark(painter, height, x,
                        QString::fromStdString(axis::TickLabel(t, step)) + QStringLiteral(" c"));
    }
}

void ScalePainter::PaintFrequencyScale(QPainter& painter, int width, int height, double yAtZero,
                                       double pixelsPerHertz, double lastHertz) {
    if (width <= 0 || height <= 0 || !(pixelsPerHertz > 0.0)) return;
    const double step = axis::TickStep(1.0, pixelsPerHertz, kFrequencySpacing);
    const axis::FrequencyUnit unit = axis::FrequencyUnitFor(step);
    const double low = std::max(0.0, (yAtZero - (height - 1)) / pixelsPerHertz);
    const double high = std::min(lastHertz, yAtZero / pixelsPerHertz);
    const QString name = QStringLiteral(" ") + QString::fromUtf8(unit.name);
    for (const double f : axis::Multiples(low, high, step)) {
        const int y = static_cast<int>(std::lround(yAtZero - f * pixelsPerHertz));
        PaintLeftMark(painter, y, QString::fromStdString(axis::TickLabel(f, step, unit.hertz)) + name);
    }
}

void ScalePainter::PaintLeftMarks(QPainter& painter, int height,
                                  const std::vector<std::pair<int, QString>>& marks) {
    for (const auto& [y, text] : marks) {
        if (y >= 0 && y < height) PaintLeftMark(painter, y, text);
    }
}
