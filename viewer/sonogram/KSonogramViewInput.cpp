// CKSonogramView: commands and their states, cursor moves, Ctrl+click, the
// pointer read-out, the context menu and the document's notifications.
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <optional>

#include "FonavidDoc.h"
#include "KMultiWaveFilm.h"
#include "KSonogramView.h"
#include "KWave.h"
#include "LevelSteps.h"
#include "PlaybackController.h"
#include "PlayheadMapping.h"
#include "ResourceIds.h"
#include "SonogramComputation.h"
#include "SonogramReadout.h"

namespace {

// The entries of the pane's context menu: command id and text, 0 for a
// separator.
struct PopupEntry {
    int id;
    const char* text;
};
constexpr PopupEntry kPopupEntries[] = {
    {res::ID_TUNE_PAS_FILM, "Частотно-временная настройка ФАС-фильма"},
    {0, ""},
    {res::ID_PREPARE_HIGH_QUALITY, "Подготовить данные для сонограммы повышенного качества"},
    {res::ID_SHOW_LOCAL_MAXIMA, "Показать локальные максимумы"},
};

}  // namespace

bool CKSonogramView::OnCommand(int id) {
    if (CPlaybackController::Instance().OnCommand(id, m_pDoc, GetVisibleEndTime())) return true;
    switch (id) {
        case res::ID_SONOGRAM_AMPLITUDE:
        case res::ID_SONOGRAM_AM:
        case res::ID_SONOGRAM_FM: {
            const sonogram::SonogramMode kind = id == res::ID_SONOGRAM_AMPLITUDE ? sonogram::kModeAmplitude
                                                : id == res::ID_SONOGRAM_AM      ? sonogram::kModeAM
                                                                                 : sonogram::kModeFM;
            m_nMode = sonogram::WithKind(m_nMode, kind);
            ClearPixelCache();
            return true;
        }
        case res::ID_SONOGRAM_INVERTED:
            m_nMode = sonogram::WithInversionToggled(m_nMode);
            ClearPixelCache();
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
            LevelSteps::Apply(id, m_dUpperLevel, m_dLowerLevel);
            ClearPixelCache();
            return true;
        case res::ID_LEVELS_DEFAULT:
            SetDefaultLevels();
            return true;
        case res::ID_CURSOR_RIGHT:
            MoveCursor(1, 0);
            return true;
        case res::ID_CURSOR_RIGHT_FAST:
            MoveCursor(10, 0);
            return true;
        case res::ID_CURSOR_LEFT:
            MoveCursor(-1, 0);
            return true;
        case res::ID_CURSOR_LEFT_FAST:
            MoveCursor(-10, 0);
            return true;
        case res::ID_CURSOR_UP:
            MoveCursor(0, 1);
            return true;
        case res::ID_CURSOR_UP_FAST:
            MoveCursor(0, 10);
            return true;
        case res::ID_CURSOR_DOWN:
            MoveCursor(0, -1);
            return true;
        case res::ID_CURSOR_DOWN_FAST:
            MoveCursor(0, -10);
            return true;
        case res::ID_CURSOR_FIRST:
            MoveCursor(-m_ptCursor.x(), 0);
            return true;
        case res::ID_CURSOR_LAST:
            MoveCursor(GetColumnCount() - 1 - m_ptCursor.x(), 0);
            return true;
        case res::ID_CURSOR_PAGE_LEFT:
            MoveCursor(-viewport()->width(), 0);
            return true;
        case res::ID_CURSOR_PAGE_RIGHT:
            MoveCursor(viewport()->width(), 0);
            return true;
        case res::ID_CURSOR_TO_VIEW:
            // After a scroll the cursor may be out of sight; it comes to the
            // middle of the columns in view, and the view stays where it is.
            MoveCursor(std::clamp(GetScrollPosition().x() + viewport()->width() / 2, 0,
                                  std::max(0, GetColumnCount() - 1)) -
                           m_ptCursor.x(),
                       0);
            return true;
        case res::ID_PREPARE_HIGH_QUALITY:
            // The command is offered only for a real signal; a second call
            // must not raise the levels again.
            if (m_pWave == nullptr || m_pWave->IsSignalRealyComplex()) return true;
            PrepareHighQuality();
            return true;
        case res::ID_SHOW_LOCAL_MAXIMA:
            m_bShowMaxima = !m_bShowMaxima;
            viewport()->update();
            return true;
        case res::ID_TUNE_PAS_FILM:
            TuneFasFilm();
            return true;
        case res::ID_EDIT_COPY:
            CopyToClipboard();
            return true;
        case res::ID_CALCULATE_DECIMATED:
            if (m_pDoc == nullptr || m_pDoc->m_film.GetDecimateWaveAreCalculated()) return true;
            if (m_pDoc->m_film.CalculateDecimateWaves()) {
                ClearSpectrumCache();
                ClearPixelCache();
            }
            return true;
        default:
            return false;
    }
}

bool CKSonogramView::OnUpdateCommand(int id, platform::CommandState& state) {
    if (CPlaybackController::Instance().OnUpdateCommand(id, m_pDoc, state)) return true;
    switch (id) {
        case res::ID_SONOGRAM_AMPLITUDE:
            state.checked = sonogram::HasFlag(m_nMode, sonogram::kModeAmplitude);
            return true;
        case res::ID_SONOGRAM_AM:
            state.checked = sonogram::HasFlag(m_nMode, sonogram::kModeAM);
            return true;
        case res::ID_SONOGRAM_FM:
            state.checked = sonogram::HasFlag(m_nMode, sonogram::kModeFM);
            return true;
        case res::ID_SONOGRAM_INVERTED:
            state.checked = sonogram::HasFlag(m_nMode, sonogram::kModeInverted);
            return true;
        case res::ID_SHOW_LOCAL_MAXIMA:
            state.checked = m_bShowMaxima;
            return true;
        case res::ID_PREPARE_HIGH_QUALITY:
            state.enabled = m_pWave != nullptr && !m_pWave->IsSignalRealyComplex();
            return true;
        case res::ID_CALCULATE_DECIMATED:
            state.enabled = m_pDoc != nullptr && !m_pDoc->m_film.GetDecimateWaveAreCalculated();
            return true;
        case res::ID_TUNE_PAS_FILM:
            state.enabled = m_pDoc != nullptr && m_pWave != nullptr;
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
        case res::ID_LEVELS_DEFAULT:
        case res::ID_CURSOR_RIGHT:
        case res::ID_CURSOR_RIGHT_FAST:
        case res::ID_CURSOR_LEFT:
        case res::ID_CURSOR_LEFT_FAST:
        case res::ID_CURSOR_UP:
        case res::ID_CURSOR_UP_FAST:
        case res::ID_CURSOR_DOWN:
        case res::ID_CURSOR_DOWN_FAST:
        case res::ID_CURSOR_FIRST:
        case res::ID_CURSOR_LAST:
        case res::ID_CURSOR_PAGE_LEFT:
        case res::ID_CURSOR_PAGE_RIGHT:
        case res::ID_CURSOR_TO_VIEW:
        case res::ID_EDIT_COPY:
            return true;
        default:
            return false;
    }
}

void CKSonogramView::MoveCursor(int dx, int dy) {
    if (m_pDoc == nullptr) return;
    EraseCursor();
    const int lastColumn = std::max(0, GetColumnCount() - 1);
    const int lastRow = std::max(0, m_nFFTSize / 2 - 1);
    // A step that reaches past an end stops at it.
    long long x = static_cast<long long>(m_ptCursor.x()) + dx;
    long long y = static_cast<long long>(m_ptCursor.y()) + dy;
    if (dx > 0 && x > lastColumn) x = lastColumn;
    if (dx < 0 && x < 0) x = 0;
    if (dy > 0 && y > lastRow) y = lastRow;
    if (dy < 0 && y < 0) y = 0;
    m_ptCursor = QPoint(static_cast<int>(x), static_cast<int>(y));
    const std::pair<double, double> tf = GetCursorTimeFrequency();
    m_pDoc->SetTimeFrequencyCursor(tf.first, tf.second);
}

void CKSonogramView::OnUpdate(platform::View* sender, long hint, void* hintObject) {
    (void)hintObject;
    if (sender == nullptr && hint == CFonavidDoc::kHintCursorMoved) SyncCursorFromDocument();
    if (hint == CFonavidDoc::kHintPlayheadMoved) UpdatePlayhead();
}

double CKSonogramView::GetVisibleEndTime() const {
    const long long end = static_cast<long long>(GetScrollPosition().x()) + viewport()->width();
    return TimeFromColumn(static_cast<int>(std::min<long long>(end, GetColumnCount())));
}

void CKSonogramView::UpdatePlayhead() {
    int column = -1;
    if (m_pDoc != nullptr && HasReadableSignal() && m_pDoc->GetPlayheadSample() >= 0) {
        const int layer = PlayheadMapping::LayerOf(m_pDoc->GetFilm()->GetFrADC(), m_pWave->GetFrADC());
        column =
            PlayheadMapping::Column(m_pDoc->GetPlayheadSample(), layer, m_nStepSamples, GetColumnCount());
    }
    if (column == m_nPlayheadColumn) return;
    const QPoint origin = GetScrollPosition();
    const int h = viewport()->height();
    if (m_nPlayheadColumn >= 0) viewport()->update(QRect(m_nPlayheadColumn - origin.x() - 1, 0, 3, h));
    m_nPlayheadColumn = column;
    if (column < 0) return;
    const int w = viewport()->width();
    if (column < origin.x() || column >= origin.x() + w) {
        // The view follows the sound a page at a time, the play-head an
        // eighth of the width in from the left.
        ScrollToPosition(QPoint(std::max(0, column - w / 8), origin.y()));
        viewport()->update();
    } else {
        viewport()->update(QRect(column - origin.x() - 1, 0, 3, h));
    }
}

void CKSonogramView::mousePressEvent(QMouseEvent* event) {
    // Exactly the left button with Ctrl: Shift or another button cancels.
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton &&
        (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) == Qt::ControlModifier &&
        m_pDoc != nullptr) {
        EraseCursor();
        const QPoint p = GetScrollPosition() + event->position().toPoint();
        const int rows = m_nFFTSize / 2;
        m_ptCursor = QPoint(p.x(), std::clamp(rows - p.y() - 1, 0, std::max(0, rows - 1)));
        const std::pair<double, double> tf = GetCursorTimeFrequency();
        m_pDoc->SetTimeFrequencyCursor(tf.first, tf.second);
    }
    platform::ScrollView::mousePressEvent(event);
}

void CKSonogramView::UpdateReadout(const QPoint& point) {
    m_strToolTip.clear();
    if (m_pWave == nullptr || m_ring.GetSlots() <= 0 || m_ring.GetRows() <= 0) return;
    const QPoint p = GetScrollPosition() + point;
    const int rows = m_ring.GetRows();
    const int k = rows - p.y() - 1;
    const double fp = FrequencyFromRow(k);
    const double binWidth = m_pWave->GetFrADC() / m_nFFTSize;
    const double* levels = ComputedLevels(p.x());
    if (levels == nullptr) return;
    if (fp > 0.0) {
        const double lp = levels[std::clamp(k, 0, rows - 1)];
        const sonogram::PeakEstimate peak = sonogram::FindPeak(levels, rows, k, binWidth);
        m_strMessage = sonogram::FormatPeakReadout(peak.frequencyHz, peak.levelDb, fp, lp);
        m_strToolTip += m_strMessage;
    }
    m_strMessage = sonogram::FormatReadoutTime(TimeFromColumn(p.x()));
    if (!m_strToolTip.empty()) m_strToolTip += "; ";
    m_strToolTip += m_strMessage;
}

const double* CKSonogramView::ComputedLevels(int x) const {
    if (m_ring.GetSlots() <= 0 || x < 0 || x >= GetColumnCount()) return nullptr;
    const int slot = x % m_ring.GetSlots();
    // The slot holds this column only once a paint computed it.
    if (m_ring.SpectrumTag(slot) != x) return nullptr;
    return GetSlotSpectrum(slot);
}

void CKSonogramView::UpdateCursorReadout() {
    std::string text;
    if (HasReadableSignal()) {
        const std::pair<double, double> tf = GetCursorTimeFrequency();
        const double* levels = ComputedLevels(m_ptCursor.x());
        const int rows = m_ring.GetRows();
        std::optional<double> level;
        if (levels != nullptr && rows > 0) level = levels[std::clamp(m_ptCursor.y(), 0, rows - 1)];
        text = sonogram::FormatCursorReadout(tf.first, tf.second, level);
    }
    if (text == m_strCursorReadout) return;
    m_strCursorReadout = std::move(text);
    emit cursorReadoutChanged();
}

void CKSonogramView::mouseMoveEvent(QMouseEvent* event) {
    UpdateReadout(event->position().toPoint());
    const QString text = QString::fromStdString(m_strToolTip);
    viewport()->setToolTip(text);
    if (QToolTip::isVisible()) QToolTip::showText(event->globalPosition().toPoint(), text, viewport());
    platform::ScrollView::mouseMoveEvent(event);
}

bool CKSonogramView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (m_strToolTip.empty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), QString::fromStdString(m_strToolTip), viewport());
        }
        return true;
    }
    return platform::ScrollView::viewportEvent(event);
}

void CKSonogramView::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) at = viewport()->mapToGlobal(QPoint(5, 5));
    QMenu menu(this);
    for (const PopupEntry& entry : kPopupEntries) {
        if (entry.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf8(entry.text));
        action->setData(entry.id);
        platform::CommandState state;
        if (OnUpdateCommand(entry.id, state)) action->setEnabled(state.enabled);
        if (entry.id == res::ID_SHOW_LOCAL_MAXIMA) {
            action->setCheckable(true);
            action->setChecked(state.checked);
        }
    }
    QAction* chosen = menu.exec(at);
    if (chosen != nullptr) {
        const int id = chosen->data().toInt();
        if (m_popupCommandHandler) {
            m_popupCommandHandler(id);
        } else {
            OnCommand(id);
        }
    }
}
