// CKSonogramView: colouring, the paint pass, the local-maximum markers and the
// blinking cursor cross.
//
// Qt paints only in paint events, so the cross keeps its shown/hidden state
// machine but is drawn by the paint that the timer asks for: DrawCursor
// requests it and invalidates the cross's two one-pixel strips, the paint
// draws it and marks it shown; EraseCursor invalidates the same strips, and
// the paint that redraws them from the bitmap marks it hidden.
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

#include "KSonogramView.h"
#include "KWave.h"
#include "PlayheadPainter.h"
#include "ScalePainter.h"
#include "SonogramColours.h"
#include "SonogramPainter.h"

namespace {

const QColor kMarkerAmplitude(255, 255, 0);
const QColor kMarkerOther(0, 0, 128);

}  // namespace

void CKSonogramView::ColourVisibleColumns() {
    if (m_pWave == nullptr || !sonogram::ModeHasColouring(m_nMode)) return;
    const int slotCount = m_ring.GetSlots();
    const int rows = m_ring.GetRows();
    uint32_t* const pixels = m_ring.Pixels();
    if (slotCount <= 0 || rows <= 0 || pixels == nullptr) return;
    const int x0 = GetScrollPosition().x();
    const int columns = GetColumnCount();
    const long long end = static_cast<long long>(x0) + slotCount;
    for (long long xl = x0; xl < end;) {
        const int x = static_cast<int>(xl);
        const int s = x % slotCount;
        if (m_ring.PixelTag(s) == x) {
            ++xl;
            continue;
        }
        if (x < 0 || x >= columns) {
            sonogram::BlankColumn(m_nMode, rows, pixels + s, slotCount);
            m_ring.SetPixelTag(s, x);
            ++xl;
            continue;
        }
        // Neighbouring slots that need their colours are coloured together.
        int run = 1;
        while (xl + run < end && s + run < slotCount && x + run < columns && m_ring.PixelTag(s + run) != x + run)
            ++run;
        sonogram::ColourColumns(m_nMode, m_ring.Levels(s), m_ring.PhaseSteps(s), rows, run, m_dUpperLevel,
                                m_dLowerLevel, pixels + s, slotCount);
        for (int i = 0; i < run; ++i) m_ring.SetPixelTag(s + i, x + i);
        xl += run;
    }
}

void CKSonogramView::OnDraw(QPainter& painter, const QRect& clip) {
    (void)clip;
    if (m_pDoc == nullptr || m_pWave == nullptr) return;
    const QPoint origin = GetScrollPosition();
    const int x0 = origin.x();
    const int w = viewport()->width();
    const int h = viewport()->height();
    const int slotCount = m_ring.GetSlots();
    const int rows = m_ring.GetRows();
    SonogramPainter::PaintFills(painter, x0, origin.y(), w, h, rows);
    if (slotCount <= 0 || rows <= 0 || m_image.isNull()) {
        if (!IsPaintingCopy()) m_bCursorShown = false;
        return;
    }

    ComputeVisibleSpectra();
    ColourVisibleColumns();
    SonogramPainter::PaintRing(painter, m_image, x0);

    if (m_bShowMaxima) DrawMaxima(painter, x0);
    if (ScalePainter::IsShown()) PaintScales(painter);
    // The cursor's column may have just been computed.
    if (!IsPaintingCopy()) UpdateCursorReadout();
    // A copy is the picture alone: the cross and the play-head stay on screen.
    if (IsPaintingCopy()) return;
    PaintPlayhead(painter);

    m_bCursorShown = false;
    if (m_bCursorRequested) {
        m_bCursorRequested = false;
        PaintCursorCross(painter);
    }
}

void CKSonogramView::DrawMaxima(QPainter& painter, int x0) const {
    const QColor colour = m_nMode == sonogram::kModeAmplitude ? kMarkerAmplitude : kMarkerOther;
    const int slotCount = m_ring.GetSlots();
    const int rows = m_ring.GetRows();
    const int columns = GetColumnCount();
    for (long long xl = x0; xl < static_cast<long long>(x0) + slotCount; ++xl) {
        const int x = static_cast<int>(xl);
        if (x < 0 || x >= columns) continue;
        const int s = x % slotCount;
        if (m_ring.SpectrumTag(s) != x) continue;
        for (int k = 0; k < rows; ++k) {
            if (IsLocalMaximum(s, k)) painter.fillRect(QRect(x, rows - k - 2, 1, 3), colour);
        }
    }
}

void CKSonogramView::PaintScales(QPainter& painter) const {
    if (!HasReadableSignal()) return;
    const double rate = m_pWave->GetFrADC();
    const QPoint origin = GetScrollPosition();
    const int w = viewport()->width();
    const int h = viewport()->height();
    const int rows = m_ring.GetRows();
    painter.save();
    painter.resetTransform();
    // Column x (time x·step / rate) is at x - x0; bin k (frequency k·rate / N)
    // on the line R - k - y0.
    const double columnsPerSecond = rate / m_nStepSamples;
    ScalePainter::PaintTimeScale(painter, w, h, origin.x() / columnsPerSecond, columnsPerSecond, 0.0,
                                 TimeFromColumn(GetColumnCount() - 1));
    ScalePainter::PaintFrequencyScale(painter, w, h, rows - origin.y(), m_nFFTSize / rate,
                                      FrequencyFromRow(rows - 1));
    painter.restore();
}

void CKSonogramView::scrollContentsBy(int dx, int dy) {
    platform::ScrollView::scrollContentsBy(dx, dy);
    // The scales stay at the edges while the picture moves under them.
    if (ScalePainter::IsShown()) viewport()->update();
}

void CKSonogramView::PaintPlayhead(QPainter& painter) const {
    if (m_nPlayheadColumn < 0) return;
    const int rows = m_ring.GetRows();
    PlayheadPainter::Paint(painter,
                           QPolygon({QPoint(m_nPlayheadColumn, 0), QPoint(m_nPlayheadColumn, rows)}));
}

void CKSonogramView::PaintCursorCross(QPainter& painter) {
    const int slotCount = m_ring.GetSlots();
    const int rows = m_ring.GetRows();
    if (slotCount <= 0 || rows <= 0) return;
    const QPoint origin = GetScrollPosition();
    painter.save();
    // Device coordinates, the scroll position subtracted by hand.
    painter.resetTransform();
    painter.setPen(*m_pCursorPen);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int x = m_ptCursor.x() - origin.x();
    const int y = m_nFFTSize / 2 - origin.y() - m_ptCursor.y() - 1;
    // Both end points are drawn: the lines cover the image's rows 0 .. R-1
    // and slots 0 .. M-1, and nothing beyond them.
    painter.drawLine(x, 0, x, rows - 1);
    painter.drawLine(0, y, slotCount - 1, y);
    painter.restore();
    m_bCursorShown = true;
}

void CKSonogramView::DrawCursor() {
    if (m_ring.GetSlots() <= 0 || m_ring.GetRows() <= 0) return;
    if (m_bCursorShown) EraseCursor();
    m_bCursorRequested = true;
    const QPoint origin = GetScrollPosition();
    const int rows = m_ring.GetRows();
    viewport()->update(QRect(m_ptCursor.x() - origin.x(), 0, 1, rows));
    viewport()->update(QRect(0, m_nFFTSize / 2 - origin.y() - m_ptCursor.y() - 1, m_ring.GetSlots(), 1));
}

void CKSonogramView::EraseCursor() {
    if (m_ring.GetSlots() <= 0 || m_ring.GetRows() <= 0) return;
    m_bCursorRequested = false;
    const QPoint origin = GetScrollPosition();
    const int w = viewport()->width();
    const int h = viewport()->height();
    viewport()->update(QRect(0, m_ring.GetRows() - m_ptCursor.y() - origin.y() - 1, w, 1));
    viewport()->update(QRect(m_ptCursor.x() - origin.x(), 0, 1, h));
}

void CKSonogramView::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_nTimerID) {
        if (m_bCursorShown) {
            EraseCursor();
        } else {
            DrawCursor();
        }
        return;
    }
    platform::ScrollView::timerEvent(event);
}
