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
#include "SonogramComputation.h"

namespace {

// Every byte 0x80: a tag that is no column index.
constexpr unsigned char kInvalidTagByte = 0x80;
// The largest element count of one per-column buffer (M x R); wider panes
// are refused as a memory shortage instead of overflowing an index.
constexpr long long kMaxBufferElements = std::numeric_limits<int>::max();

}  // namespace

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
    delete[] m_pSpectrum;
    delete[] m_pPhaseStep;
    delete[] m_pPixels;
    delete[] m_pSpectrumTag;
    delete[] m_pPixelTag;
    delete[] m_pWindow;
    delete[] m_pFFTBuffer;
    m_pSpectrum = nullptr;
    m_pPhaseStep = nullptr;
    m_pPixels = nullptr;
    m_pSpectrumTag = nullptr;
    m_pPixelTag = nullptr;
    m_pWindow = nullptr;
    m_pFFTBuffer = nullptr;
    m_sizeBuffer = QSize(0, 0);
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
    m_nMode = 1;
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
    if (!HasReadableSignal()) return 0;
    const long columns = m_pWave->GetNSamples() / m_nStepSamples;
    return columns > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                     : static_cast<int>(columns);
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
    if (m_sizeBuffer.width() < width) {
        delete[] m_pSpectrumTag;
        m_pSpectrumTag = new (std::nothrow) int[width];
        if (m_pSpectrumTag == nullptr) return fail(232);
        delete[] m_pPixelTag;
        m_pPixelTag = new (std::nothrow) int[width];
        if (m_pPixelTag == nullptr) return fail(238);
    }
    if (m_sizeBuffer.height() < rows) {
        delete[] m_pWindow;
        m_pWindow = new (std::nothrow) double[rows + 1];
        if (m_pWindow == nullptr) return fail(252);
        FillWindow();
        delete[] m_pFFTBuffer;
        m_pFFTBuffer = new (std::nothrow) KCOMPLEX_DOUBLE[m_nFFTSize]();
        if (m_pFFTBuffer == nullptr) return fail(252);
    }
    const long long have = static_cast<long long>(m_sizeBuffer.width()) * m_sizeBuffer.height();
    const long long need = static_cast<long long>(width) * rows;
    if (have < need) {
        m_image = QImage();
        delete[] m_pSpectrum;
        delete[] m_pPhaseStep;
        delete[] m_pPixels;
        m_pSpectrum = m_pPhaseStep = nullptr;
        m_pPixels = nullptr;
        m_sizeBuffer = QSize(width, rows);
        if (need > kMaxBufferElements) return fail(264);
        m_pSpectrum = new (std::nothrow) double[need];
        if (m_pSpectrum == nullptr) return fail(264);
        m_pPhaseStep = new (std::nothrow) double[need];
        if (m_pPhaseStep == nullptr) return fail(264);
        m_pPixels = new (std::nothrow) uint32_t[need];
        if (m_pPixels == nullptr) return fail(272);
        // Bottom-up rows: row k of the bitmap is image line k; drawing flips it.
        m_image = QImage(reinterpret_cast<uchar*>(m_pPixels), width, rows, width * 4, QImage::Format_RGB32);
    }
    const int slotCount = m_sizeBuffer.width();
    const int slotRows = m_sizeBuffer.height();
    m_sizePage = QSize(slotCount / 2, slotRows / 2);
    m_sizeLine = QSize(1, 1);
    SetScrollSizes(m_sizeTotal, m_sizePage, m_sizeLine);
    ScrollToPosition(QPoint(GetScrollPosition().x(), std::max(0, rows - viewport()->height())));
    ClearSpectrumCache();
    ClearPixelCache();
    SyncCursorFromDocument();
}

void CKSonogramView::ClearSpectrumCache() {
    const size_t cells = static_cast<size_t>(m_sizeBuffer.width()) * m_sizeBuffer.height();
    if (m_pSpectrum != nullptr) std::fill(m_pSpectrum, m_pSpectrum + cells, 0.0);
    if (m_pPhaseStep != nullptr) std::fill(m_pPhaseStep, m_pPhaseStep + cells, 0.0);
    if (m_pSpectrumTag != nullptr)
        std::memset(m_pSpectrumTag, kInvalidTagByte, sizeof(int) * static_cast<size_t>(m_sizeBuffer.width()));
}

void CKSonogramView::ClearPixelCache() {
    const size_t cells = static_cast<size_t>(m_sizeBuffer.width()) * m_sizeBuffer.height();
    if (m_pPixels != nullptr) std::fill(m_pPixels, m_pPixels + cells, 0u);
    if (m_pPixelTag != nullptr)
        std::memset(m_pPixelTag, kInvalidTagByte, sizeof(int) * static_cast<size_t>(m_sizeBuffer.width()));
    viewport()->update();
}

void CKSonogramView::SetDefaultLevels() {
    m_dUpperLevel = 0.0;
    const int bits = m_pWave != nullptr ? m_pWave->GetNBitsPerSample() : 0;
    m_dLowerLevel = -20.0 * std::log10(std::pow(2.0, bits));
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

const double* CKSonogramView::GetSlotSpectrum(int slot) const {
    if (m_pSpectrum == nullptr || slot < 0 || slot >= m_sizeBuffer.width()) return nullptr;
    return m_pSpectrum + static_cast<size_t>(slot) * m_sizeBuffer.height();
}

const double* CKSonogramView::GetSlotPhaseStep(int slot) const {
    if (m_pPhaseStep == nullptr || slot < 0 || slot >= m_sizeBuffer.width()) return nullptr;
    return m_pPhaseStep + static_cast<size_t>(slot) * m_sizeBuffer.height();
}

int CKSonogramView::GetSpectrumTag(int slot) const {
    if (m_pSpectrumTag == nullptr || slot < 0 || slot >= m_sizeBuffer.width()) return -1;
    return m_pSpectrumTag[slot];
}

int CKSonogramView::GetPixelTag(int slot) const {
    if (m_pPixelTag == nullptr || slot < 0 || slot >= m_sizeBuffer.width()) return -1;
    return m_pPixelTag[slot];
}

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
}

void CKSonogramView::OnActivateView(bool activate, platform::View* activateView,
                                    platform::View* deactiveView) {
    m_pCursorPen = (activate && activateView == this) ? &m_penActive : &m_penInactive;
    platform::ScrollView::OnActivateView(activate, activateView, deactiveView);
}
