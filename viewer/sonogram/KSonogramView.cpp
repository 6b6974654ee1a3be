// CKSonogramView: creation, binding, buffers, caches and conversions.
#include "KSonogramView.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "FonavidDoc.h"
#include "KMultiWaveFilm.h"
#include "KWave.h"
#include "Messages.h"
#include "PaneSettings.h"
#include "SonogramComputation.h"

CKSonogramView::CKSonogramView(QWidget* parent)
    : platform::ScrollView(parent),
      m_penActive(QColor(255, 0, 0), 0, Qt::SolidLine),
      m_penInactive(QColor(255, 0, 0), 0, Qt::DashLine) {
    m_pCursorPen = &m_penInactive;
    // The read-out follows the pointer without a button held.
    viewport()->setMouseTracking(true);
    viewport()->setToolTip(QString());
    setFocusPolicy(Qt::StrongFocus);
}

CKSonogramView::~CKSonogramView() { ReleaseBuffers(); }

void CKSonogramView::ReleaseBuffers() {
    m_image = QImage();
    m_ring.Release();
    m_pWindow.reset();
    m_pFFTBuffer.reset();
}

void CKSonogramView::OnInitialUpdate() {
    platform::ScrollView::OnInitialUpdate();
    m_pDoc = dynamic_cast<CFonavidDoc*>(GetDocument());
    if (m_pDoc == nullptr) {
        platform::ShowMessage(
            "Не удалось привязаться к документу. Программу следует прервать!\n\n"
            "CKSonogramView::OnInitialUpdate()");
        return;
    }
    m_pWave = m_pDoc->m_film.GetKWave(0, 0);
    if (m_pWave == nullptr) {
        platform::ShowMessage(
            "Не удалось привязаться к сигналу. Программу следует прервать!\n\n"
            "CKSonogramView::OnInitialUpdate()");
        return;
    }
    // A bound pane covers every pixel itself.
    SetBackgroundErase(false);
    SetFFTSize(1024);
    ResizeBuffers(viewport()->width());
    SetDefaultLevels();
    m_nMode = sonogram::PaneSettings().mode;
    SyncCursorFromDocument();
    if (m_nTimerID == 0) m_nTimerID = startTimer(500);
    m_bCursorShown = false;
    m_bCursorRequested = false;
}

bool CKSonogramView::HasReadableSignal() const {
    // A wave without a store (a document that loaded no file) has no samples
    // to read, and a frame reaches N/2 samples into the guard bands.
    return m_pWave != nullptr && m_pWave->GetFirstComplexSample() != nullptr && m_pWave->GetFrADC() > 0.0 &&
           m_nStepSamples > 0 && m_pWave->GetStartSampleNumber() >= m_nFFTSize / 2;
}

int CKSonogramView::GetColumnCount() const {
    return HasReadableSignal() ? sonogram::ColumnCount(m_pWave, m_nFFTSize, m_nStepSamples) : 0;
}

void CKSonogramView::ResizeBuffers(int width) {
    if (m_pWave == nullptr || m_nStepSamples == 0) {
        m_sizeTotal = m_sizePage = m_sizeLine = QSize(0, 0);
        return;
    }
    const int rows = m_nFFTSize / 2;
    if (width < 0) width = 0;
    m_sizeTotal = QSize(GetColumnCount(), rows);

    auto fail = [this](int code) {
        ReleaseBuffers();
        ShowMemoryError(code);
    };
    const bool longerColumns = m_ring.GetRows() < rows;
    const QSize before = GetBufferSize();
    if (const int failed = m_ring.Reserve(width, rows); failed != 0) return fail(failed);
    if (longerColumns) {
        m_pWindow.reset(new (std::nothrow) double[rows + 1]);
        if (!m_pWindow) return fail(kWindowFailed);
        FillWindow();
        m_pFFTBuffer.reset(new (std::nothrow) KCOMPLEX_DOUBLE[m_nFFTSize]());
        if (!m_pFFTBuffer) return fail(kFFTBufferFailed);
    }
    // M and R change exactly when the ring's arrays are replaced.
    if (m_ring.Pixels() != nullptr && (GetBufferSize() != before || m_image.isNull())) {
        // Bottom-up rows: row k of the bitmap is image line k; drawing flips it.
        m_image = QImage(reinterpret_cast<uchar*>(m_ring.Pixels()), m_ring.GetSlots(), m_ring.GetRows(),
                         m_ring.GetSlots() * 4, QImage::Format_RGB32);
    }
    const int slotCount = m_ring.GetSlots();
    const int slotRows = m_ring.GetRows();
    m_sizePage = QSize(slotCount / 2, slotRows / 2);
    m_sizeLine = QSize(1, 1);
    SetScrollSizes(m_sizeTotal, m_sizePage, m_sizeLine);
    ScrollToPosition(QPoint(GetScrollPosition().x(), std::max(0, rows - viewport()->height())));
    ClearSpectrumCache();
    ClearPixelCache();
    SyncCursorFromDocument();
}

void CKSonogramView::ClearSpectrumCache() { m_ring.ClearSpectra(); }

void CKSonogramView::ClearPixelCache() {
    m_ring.ClearPixels();
    viewport()->update();
}

void CKSonogramView::SetDefaultLevels() {
    const int bits = m_pWave != nullptr ? m_pWave->GetNBitsPerSample() : 0;
    m_dUpperLevel = sonogram::PaneSettings::kDefaultUpperLevel;
    m_dLowerLevel = sonogram::PaneSettings::DefaultLowerLevel(bits);
    ClearPixelCache();
}

int CKSonogramView::ColumnFromTime(double t) const {
    if (m_pWave == nullptr) return 0;
    return sonogram::ColumnFromTime(t, m_pWave->GetFrADC(), m_nStepSamples, GetColumnCount());
}

int CKSonogramView::RowFromFrequency(double f) const {
    if (m_pWave == nullptr || !(m_pWave->GetFrADC() > 0.0)) return 0;
    return sonogram::RowFromFrequency(f, m_pWave->GetFrADC(), m_nFFTSize);
}

double CKSonogramView::TimeFromColumn(int x) const {
    if (m_pWave == nullptr || !(m_pWave->GetFrADC() > 0.0)) return 0.0;
    return sonogram::TimeFromColumn(x, m_pWave->GetFrADC(), m_nStepSamples);
}

double CKSonogramView::FrequencyFromRow(int k) const {
    if (m_pWave == nullptr || m_nFFTSize <= 0) return 0.0;
    return sonogram::FrequencyFromRow(k, m_pWave->GetFrADC(), m_nFFTSize);
}

std::pair<double, double> CKSonogramView::GetCursorTimeFrequency() const {
    return {TimeFromColumn(m_ptCursor.x()), FrequencyFromRow(m_ptCursor.y())};
}

void CKSonogramView::ShowMemoryError(int code) {
    char text[160];
    std::snprintf(text, sizeof text, "Не хватило памяти. Программу следует прервать!\n\nКод ошибки - %i",
                  code);
    m_strMessage = text;
    platform::ShowMessage(m_strMessage, "CKSonogramView");
}

const double* CKSonogramView::GetSlotSpectrum(int slot) const { return m_ring.Levels(slot); }

const double* CKSonogramView::GetSlotPhaseStep(int slot) const { return m_ring.PhaseSteps(slot); }

int CKSonogramView::GetSpectrumTag(int slot) const { return m_ring.SpectrumTag(slot); }

int CKSonogramView::GetPixelTag(int slot) const { return m_ring.PixelTag(slot); }

void CKSonogramView::resizeEvent(QResizeEvent* event) {
    platform::ScrollView::resizeEvent(event);
    ResizeBuffers(viewport()->width());
}

void CKSonogramView::SyncCursorFromDocument() {
    if (m_pDoc == nullptr) return;
    if (m_bCursorShown) EraseCursor();
    const TimeFrequencyCursor cursor = m_pDoc->GetTimeFrequencyCursor();
    m_ptCursor = QPoint(ColumnFromTime(cursor.time), RowFromFrequency(cursor.frequency));
    const int w = viewport()->width();
    const int h = viewport()->height();
    const int rows = m_nFFTSize / 2;
    const int x = std::max(0, m_ptCursor.x() - w / 2);
    int y = std::max(0, rows - (h + 1) / 2 - m_ptCursor.y() - 1);
    if (h >= rows) y = 0;
    ScrollToPosition(QPoint(x, y));
    UpdateCursorReadout();
}

void CKSonogramView::OnActivateView(bool activate, platform::View* activateView,
                                    platform::View* deactiveView) {
    m_pCursorPen = (activate && activateView == this) ? &m_penActive : &m_penInactive;
    platform::ScrollView::OnActivateView(activate, activateView, deactiveView);
}
