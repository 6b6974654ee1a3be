#include "SonogramPainter.h"

#include <QImage>
#include <QPainter>

void SonogramPainter::PaintFills(QPainter& painter, int x0, int y0, int width, int height, int rows) {
    if (height > rows) painter.fillRect(QRect(x0, rows, width, height - rows), FillColour());
    // The image starts at logical y = 1; the line above it would otherwise
    // show whatever the surface held before.
    if (y0 == 0) painter.fillRect(QRect(x0, 0, width, 1), FillColour());
}

void SonogramPainter::PaintRing(QPainter& painter, const QImage& ring, int x0) {
    const int slotCount = ring.width();
    const int rows = ring.height();
    if (slotCount <= 0 || rows <= 0) return;
    // The bitmap is stored bottom row first, so image line k goes to logical
    // y = R - k: flip about the line y = (R + 1) / 2.
    const int a = ((x0 % slotCount) + slotCount) % slotCount;
    painter.save();
    painter.translate(0, rows + 1);
    painter.scale(1, -1);
    painter.drawImage(QRect(x0, 0, slotCount - a, rows), ring, QRect(a, 0, slotCount - a, rows));
    if (a > 0) painter.drawImage(QRect(x0 + slotCount - a, 0, a, rows), ring, QRect(0, 0, a, rows));
    painter.restore();
}
