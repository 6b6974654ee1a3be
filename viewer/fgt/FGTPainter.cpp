#include "FGTPainter.h"

#include <QImage>
#include <QPainter>
#include <algorithm>

#include "FGTOnDemand.h"

int FGTPainter::PaintRows(QPainter& painter, int width, int height, double cursorTime,
                          const FGTOnDemand& fgt) {
    const int rows = fgt.GetRows();
    if (rows <= 0 || width <= 0) return 0;
    QImage span(width, 1, QImage::Format_RGB32);
    if (span.isNull()) return 0;
    int drawnRows = 0;
    for (int i = std::max(0, fgt::LowestDrawnRow(rows, height)); i < rows; ++i) {
        const int y = rows - i;
        const fgt::DrawnSpan drawn =
            fgt::DrawnValues(width, cursorTime, fgt.GetSigmaT()[i], fgt.GetRowLength()[i]);
        if (drawn.first >= drawn.last) continue;
        // Value k of the row lands at x + k; only the part inside the
        // surface is copied, opaque, as far as its values are ready.
        auto* to = reinterpret_cast<uint32_t*>(span.scanLine(0));
        long long k = drawn.first;
        for (int available = 0; k < drawn.last; k += available) {
            const uint32_t* from = fgt.Pixels(i, k, available);
            if (from == nullptr) break;
            const long long n = std::min<long long>(available, drawn.last - k);
            for (long long m = 0; m < n; ++m) to[k - drawn.first + m] = from[m] | 0xFF000000u;
            available = static_cast<int>(n);
        }
        if (k > drawn.first) {
            painter.drawImage(QPoint(static_cast<int>(drawn.x + drawn.first), y), span,
                              QRect(0, 0, static_cast<int>(k - drawn.first), 1));
            ++drawnRows;
        }
    }
    return drawnRows;
}

void FGTPainter::PaintCentreLine(QPainter& painter, int width) {
    // A column one logical pixel wide, like the rows' pixels beside it, at
    // any device pixel ratio (a cosmetic pen would thin it to one device pixel).
    painter.fillRect(QRect(width / 2, 0, 1, 1001), CentreLineColour());
}
