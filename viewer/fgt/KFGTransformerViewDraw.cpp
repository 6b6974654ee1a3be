// Drawing, the frequency read-out and the context menu of the FGT pane.
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "AxisTicks.h"
#include "FGTComputation.h"
#include "FGTPainter.h"
#include "FonavidDoc.h"
#include "FrequencyText.h"
#include "KFGTransformerView.h"
#include "KMultiWaveFilm.h"
#include "Messages.h"
#include "PlayheadPainter.h"
#include "ResourceIds.h"
#include "ScalePainter.h"

namespace {

const char* const kNotInitialised = "FGT не проинициализированно - ";
const char* const kNotReady = "FGT не готово.";

}  // namespace

void CKFGTransformerView::OnDraw(QPainter& painter, const QRect& clip) {
    (void)clip;
    m_strText.clear();
    if (!m_bInitialised) {
        m_strPiece = kNotInitialised;
        m_strText += m_strPiece;
    }
    if (!m_bReady) {
        m_strPiece = kNotReady;
        m_strText += m_strPiece;
    }
    if (!m_strText.empty()) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(10, 10, 100000, 1000), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(m_strText));
    }

    if (m_bReady && m_fgt.IsBound()) {
        const double t = m_pDoc != nullptr ? m_pDoc->GetTimeFrequencyCursor().time : 0.0;
        const int width = viewport()->width();
        const int height = viewport()->height();
        // Asks for what is missing and draws what is there; the workers'
        // values bring the next paint.
        if (m_fgt.Request(width, height, t, m_dLowerLevel, m_dUpperLevel)) {
            const int drawn = FGTPainter::PaintRows(painter, width, height, t, m_fgt);
            if (drawn > 0 || !m_fgt.Pending())
                m_pWait.reset();
            else if (!m_pWait)
                m_pWait = std::make_unique<platform::WaitCursor>();
        } else {
            // No box inside a paint: the message follows once it is over.
            ResetFGT();
            QMetaObject::invokeMethod(
                this, [] { platform::ShowMessage(FGTOnDemand::kOutOfMemoryText); }, Qt::QueuedConnection);
        }
    }
    if (ScalePainter::IsShown()) PaintScales(painter);
    // The centre line is the pane's cursor: like the play-head it stays on
    // screen and out of a copy.
    if (IsPaintingCopy()) return;
    FGTPainter::PaintCentreLine(painter, viewport()->width());
    PlayheadPainter::Paint(painter, PlayheadPoints());
}

void CKFGTransformerView::PaintScales(QPainter& painter) const {
    if (!m_bReady || m_pFrequency == nullptr) return;
    const int y0 = GetScrollPosition().y();
    std::vector<std::pair<int, QString>> marks;
    // Row j is on the line rows - j; the lowest row is 8 Hz, so the octave
    // rows carry the nominal names of octave bands (31.5, 63, 125 ...).
    for (int j = 0; j < m_nRows; j += fgt::kRowsPerOctave) {
        marks.emplace_back(
            m_nRows - j - y0,
            QString::fromStdString(axis::NominalFrequencyLabel(m_pFrequency[j])) + QString::fromUtf8(" Гц"));
    }
    painter.save();
    painter.resetTransform();
    ScalePainter::PaintLeftMarks(painter, viewport()->height(), marks);
    painter.restore();
}

void CKFGTransformerView::scrollContentsBy(int dx, int dy) {
    platform::ScrollView::scrollContentsBy(dx, dy);
    // The labels stay at the left edge while the rows move under them.
    if (ScalePainter::IsShown()) viewport()->update();
}

double CKFGTransformerView::GetVisibleEndTime() const {
    const double cursor = m_pDoc != nullptr ? m_pDoc->GetTimeFrequencyCursor().time : 0.0;
    if (!m_bReady || m_pSigmaT == nullptr || m_nRows <= 0) {
        // Without rows there is no time scale: everything after the cursor.
        return m_pDoc != nullptr ? m_pDoc->GetFilm()->GetTimeLength_in_seconds() : 0.0;
    }
    const int mid = viewport()->width() / 2;
    return (std::trunc(cursor / m_pSigmaT[0]) + (viewport()->width() - mid)) * m_pSigmaT[0];
}

QPolygon CKFGTransformerView::PlayheadPoints() const {
    QPolygon points;
    if (m_pDoc == nullptr || !m_bReady || m_pSigmaT == nullptr || m_pDoc->GetPlayheadSample() < 0)
        return points;
    const double rate = m_pDoc->GetFilm()->GetFrADC();
    if (!(rate > 0.0)) return points;
    const double cursor = m_pDoc->GetTimeFrequencyCursor().time;
    const double play = m_pDoc->GetPlayheadSample() / rate;
    const int mid = viewport()->width() / 2;
    for (int i = 0; i < m_nRows; ++i) {
        const double x = mid - std::trunc(cursor / m_pSigmaT[i]) + std::trunc(play / m_pSigmaT[i]);
        // Rows whose column is far off the surface pull the line along its edge.
        const double clamped = std::clamp(x, -1.0, static_cast<double>(viewport()->width()));
        points << QPoint(static_cast<int>(clamped), m_nRows - i);
    }
    return points;
}

void CKFGTransformerView::mouseMoveEvent(QMouseEvent* event) {
    OnMouseMove(event->position().toPoint());
    platform::ScrollView::mouseMoveEvent(event);
}

void CKFGTransformerView::OnMouseMove(const QPoint& point) {
    m_strToolTip.clear();
    const int row = m_nRows - point.y();
    if (row >= 0 && row < m_nRows && m_pFrequency != nullptr) {
        m_strText = readout::FormatFrequency(m_pFrequency[row]);
        m_strToolTip += m_strText;
        m_ToolTip = QString::fromStdString(m_strToolTip);
        // A tip already on screen follows the pointer's row at once.
        if (QToolTip::isVisible()) QToolTip::showText(viewport()->mapToGlobal(point), m_ToolTip, viewport());
    }
}

bool CKFGTransformerView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (m_ToolTip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), m_ToolTip, viewport());
        return true;
    }
    return platform::ScrollView::viewportEvent(event);
}

void CKFGTransformerView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint p = event->globalPos();
    // The menu key opens the menu near the pane's top left corner.
    if (event->reason() == QContextMenuEvent::Keyboard)
        p = viewport()->mapToGlobal(QPoint(0, 0)) + QPoint(5, 5);
    OnContextMenu(p);
    event->accept();
}

void CKFGTransformerView::OnContextMenu(QPoint screenPoint) {
    QMenu menu(this);
    menu.setObjectName(QString::number(res::IDR_FGT_POPUP));
    QAction* calculate = menu.addAction(QString::fromUtf8("Создать FGT"));
    calculate->setData(res::ID_FGT_CALCULATE);
    QAction* setP = menu.addAction(QString::fromUtf8("Установить параметр Р"));
    setP->setData(res::ID_FGT_SET_P);
    for (QAction* action : menu.actions()) {
        platform::CommandState state;
        OnUpdateCommand(action->data().toInt(), state);
        action->setEnabled(state.enabled);
    }
    // The pane the menu was opened on is the active view, so its commands
    // come straight back to it.
    if (QAction* chosen = menu.exec(screenPoint)) OnCommand(chosen->data().toInt());
}
