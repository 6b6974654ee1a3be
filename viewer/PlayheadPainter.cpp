#include "PlayheadPainter.h"

#include <QPainter>
#include <QPen>

void PlayheadPainter::Paint(QPainter& painter, const QPolygon& points) {
    if (points.size() < 2) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(GroundColour(), 0, Qt::SolidLine));
    painter.drawPolyline(points);
    QPen dashes(DashColour(), 0, Qt::CustomDashLine);
    dashes.setDashPattern({4, 4});
    painter.setPen(dashes);
    painter.drawPolyline(points);
    painter.restore();
}
