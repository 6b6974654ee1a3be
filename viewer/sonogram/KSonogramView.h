// CKSonogramView: the pane that shows the sonogram of one signal (one layer
// and channel of the document's film), computed column by column with a
// Gaussian-windowed FFT of N = 1024 points.
//
// Grid: column x (0 <= x < F, F = samples / step) is the frame centred on
// sample x * m_nStepSamples; row k (0 <= k < N/2) is bin k, frequency
// k * Fs / N, drawn at logical y = N/2 - k (row 0 at the bottom, the image's
// top edge at y = 1). One logical unit is one pixel and the logical x of a
// column is its index, so horizontal scrolling moves through the signal.
//
// Caches: every per-column buffer is a ring of M slots (M = the widest
// client width seen so far, never shrinking); column x lives in slot x mod M
// and a slot is valid for x only when its tag equals x. Spectra are cleared
// whenever the signal, the window or the grid change; pixels whenever the mode
// or the levels change as well. A paint computes only the columns whose slot
// holds another column and colours only the stale slots.
//
// The view owns its buffers; the document, the film and the bound wave
// belong to the document. All of it runs on the user-interface thread.
#pragma once

#include <QImage>
#include <QPen>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "KComplex.h"
#include "ColumnRing.h"
#include "KFFT.h"
#include "ScrollView.h"
#include "SonogramColours.h"

class CFonavidDoc;
class CKWave;

class CKSonogramView : public platform::ScrollView, public CKFFT {
    Q_OBJECT

public:
    explicit CKSonogramView(QWidget* parent = nullptr);
    ~CKSonogramView() override;

    // platform::View
    void OnInitialUpdate() override;
    void OnUpdate(platform::View* sender, long hint, void* hintObject) override;
    void OnActivateView(bool activate, platform::View* activateView, platform::View* deactiveView) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

    // Sets N, derives the sonel size and the step; returns the sonel size
    // (0 and nothing changed while no wave is bound).
    double SetFFTSize(int n);
    // Sizes the buffers and the scroll extent for a client width.
    void ResizeBuffers(int width);
    void ClearSpectrumCache();
    void ClearPixelCache();
    void SetDefaultLevels();

    int ColumnFromTime(double t) const;
    int RowFromFrequency(double f) const;
    double TimeFromColumn(int x) const;
    double FrequencyFromRow(int k) const;
    std::pair<double, double> GetCursorTimeFrequency() const;

    void ShowMemoryError(int code);
    // Codes of the pane's own allocations; the ring's are ColumnRing's.
    static constexpr int kWindowFailed = 252;
    static constexpr int kFFTBufferFailed = 253;

    // Computation.
    void FillWindow();
    void ComputeRefLevel();
    void ComputeVisibleSpectra();
    void PrepareHighQuality();
    bool IsLocalMaximum(int slot, int k) const;

    // Rendering.
    void ColourVisibleColumns();
    void DrawCursor();
    void EraseCursor();

    // Command 32787: the FAS-film dialog, then the pane rebound to the
    // channel, layer, sonel size and step chosen there.
    void TuneFasFilm();

    // Takes the document's cursor, converts it to this pane's column and row
    // and scrolls so that it is centred.
    void SyncCursorFromDocument();

    // The number of columns of the bound signal (F).
    int GetColumnCount() const;
    // The column of the document's play-head, -1 while nothing plays.
    int GetPlayheadColumn() const { return m_nPlayheadColumn; }
    // The time where the visible columns end: a playback started here stops there.
    double GetVisibleEndTime() const;

    // State, for the frame, the dialogs and the tests.
    CFonavidDoc* GetFonavidDoc() const { return m_pDoc; }
    CKWave* GetWave() const { return m_pWave; }
    double GetSonelFreqHz() const { return m_dSonelFreqHz; }
    int GetFFTSize() const { return m_nFFTSize; }
    int GetStepSamples() const { return m_nStepSamples; }
    QPoint GetCursor() const { return m_ptCursor; }
    bool IsCursorShown() const { return m_bCursorShown; }
    bool IsShowingMaxima() const { return m_bShowMaxima; }
    QSize GetBufferSize() const { return QSize(m_ring.GetSlots(), m_ring.GetRows()); }
    double GetRefLevel() const { return m_dRefLevel; }
    double GetUpperLevel() const { return m_dUpperLevel; }
    double GetLowerLevel() const { return m_dLowerLevel; }
    sonogram::SonogramMode GetMode() const { return m_nMode; }
    const QPen* GetCursorPen() const { return m_pCursorPen; }
    const std::string& GetToolTipText() const { return m_strToolTip; }
    // The levels, phase steps and tags of one slot; null while unallocated.
    const double* GetSlotSpectrum(int slot) const;
    const double* GetSlotPhaseStep(int slot) const;
    int GetSpectrumTag(int slot) const;
    int GetPixelTag(int slot) const;
    const double* GetWindow() const { return m_pWindow.get(); }
    // Who carries out the commands of the context menu; by default the view
    // itself. The shell routes them like the main menu's.
    void SetPopupCommandHandler(std::function<void(int id)> handler) {
        m_popupCommandHandler = std::move(handler);
    }

    // Transforms run since the view was made: the work the column cache saves.
    long GetTransformCount() const { return m_nTransformCount; }

    // The cursor as the status bar shows it: its time, its frequency and,
    // once a paint has computed its column, the level there; empty while no
    // signal is bound.
    const std::string& GetCursorReadout() const { return m_strCursorReadout; }

signals:
    // The cursor's read-out text changed: the cursor moved, or the level of
    // its column arrived.
    void cursorReadoutChanged();

protected:
    void OnDraw(QPainter& painter, const QRect& clip) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // True when the bound wave has samples that a frame may read.
    bool HasReadableSignal() const;
    void ReleaseBuffers();
    void DrawMaxima(QPainter& painter, int x0) const;
    void PaintCursorCross(QPainter& painter);
    // Time and frequency scales at the surface's bottom and left edges.
    void PaintScales(QPainter& painter) const;
    void MoveCursor(int dx, int dy);
    void UpdateReadout(const QPoint& point);
    // The computed levels of column x (one per bin), null while its slot
    // holds another column or x is outside the signal.
    const double* ComputedLevels(int x) const;
    void UpdateCursorReadout();
    // Follows the document's play-head: repaints the old and new line and
    // scrolls when it leaves the visible columns.
    void UpdatePlayhead();
    void PaintPlayhead(QPainter& painter) const;

    CFonavidDoc* m_pDoc = nullptr;
    CKWave* m_pWave = nullptr;
    double m_dSonelFreqHz = 0.0;
    int m_nFFTSize = 0;
    int m_nStepSamples = 0;
    QPoint m_ptCursor{0, 0};
    int m_nTimerID = 0;
    bool m_bCursorShown = false;
    QPen m_penActive;
    QPen m_penInactive;
    const QPen* m_pCursorPen = nullptr;
    bool m_bShowMaxima = false;
    QSize m_sizeTotal{0, 0};
    QSize m_sizePage{0, 0};
    QSize m_sizeLine{0, 0};
    double m_dRefLevel = 0.0;
    // The column slots: M = its slots, R = its rows.
    sonogram::ColumnRing m_ring;
    std::unique_ptr<double[]> m_pWindow;
    std::unique_ptr<KCOMPLEX_DOUBLE[]> m_pFFTBuffer;
    double m_dUpperLevel = 0.0;
    double m_dLowerLevel = 0.0;
    sonogram::SonogramMode m_nMode = sonogram::kModeAmplitude;
    std::string m_strMessage;
    std::string m_strToolTip;
    std::string m_strCursorReadout;

    // The image over the ring's pixels (M x R, bottom row first), made once per
    // allocation so that painting allocates nothing.
    QImage m_image;
    // The timer asked for the cross; the next paint draws it.
    bool m_bCursorRequested = false;
    long m_nTransformCount = 0;
    int m_nPlayheadColumn = -1;
    std::function<void(int id)> m_popupCommandHandler;
};
