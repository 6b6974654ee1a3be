#include "FGTPainter.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

void FGTPainter::PaintRows(QPainter& painter, int width, int height, double cursorTime, int rows,
                           const int* rowLength, const double* sigmaT, const uint32_t* pixels) {
    if (rows <= 0 || rowLength == nullptr || sigmaT == nullptr || pixels == nullptr || width <= 0) return;
    const int mid = width / 2;
    const long long fullWidth = width;
    QImage span(width, 1, QImage::Format_RGB32);
    if (span.isNull()) return;
    long offset = 0;
    for (int i = 0; i < rows; ++i) {
        const int length = rowLength[i];
        const int y = rows - i;
        const double column = std::trunc(cursorTime / sigmaT[i]);
        // Rows that are off the surface, or a cursor beyond any row, draw nothing.
        if (length > 0 && y >= 0 && y < height && std::fabs(column) < 4e9) {
            // Column k of the row lands at x + k; only the part inside the
            // surface is copied, opaque.
            const long long x = mid - static_cast<long long>(column);
            const long long first = std::max<long long>(0, -x);
            const long long last = std::min<long long>(length, fullWidth - x);
            if (first < last) {
                auto* to = reinterpret_cast<uint32_t*>(span.scanLine(0));
                const uint32_t* from = pixels + offset;
                for (long long k = first; k < last; ++k) to[k - first] = from[k] | 0xFF000000u;
                painter.drawImage(QPoint(static_cast<int>(x + first), y), span,
                                  QRect(0, 0, static_cast<int>(last - first), 1));
            }
        }
        offset += length;
    }
}

void FGTPainter::PaintCentreLine(QPainter& painter, int width) {
    // A column one logical pixel wide, like the rows' pixels beside it, at
    // any device pixel ratio (a cosmetic pen would thin it to one device pixel).
    painter.fillRect(QRect(width / 2, 0, 1, 1001), CentreLineColour());
}
