// The top pane of a document window: the FGT of the document's first channel
// (layer 0), computed on request and drawn as one grey row of pixels per
// frequency row, every row aligned so that the document's cursor time falls
// on the pane's centre line (red). Row 0 (8 Hz) is the lowest on screen, at
// y = m_nRows; the top row is at y = 1. Column k of row i is the value at time
// k·σ_i, drawn unscaled at x = mid - trunc(t/σ_i) + k.
//
// The view owns its FGT (an FGTOnDemand: the grid, and the values of what
// the pane draws, computed when it is painted; released by ResetFGT and the
// destructor; the m_p members point into its grid) and holds non-owning
// pointers to its document and signal. The numbers are computed and drawn by
// the GUI-free FGTOnDemand and FGTPainter.
#pragma once

#include <QPolygon>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "FGTOnDemand.h"
#include "ScrollView.h"
#include "WaitCursor.h"

class CFonavidDoc;
class CKWave;

class CKFGTransformerView : public platform::ScrollView {
    Q_OBJECT
public:
    explicit CKFGTransformerView(QWidget* parent = nullptr);
    ~CKFGTransformerView() override;

    // Binds to the document and to layer 0, channel 0 of its film.
    void OnInitialUpdate() override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

    // Sets the grid of the FGT of `wave` with the current P and marks it
    // ready; the values are computed as the pane draws them. False, with the
    // view left empty, when there is no ready wave or when a row would hold
    // more values than can be indexed (after a message).
    bool CalculateFGT(CKWave* wave);
    // Releases every FGT array and clears both flags; P and the levels stay.
    void ResetFGT();
    // Maps every computed value to its grey pixel with the current levels and repaints.
    void BuildFGTImage();
    // The values computed so far.
    const FGTOnDemand& GetFGT() const { return m_fgt; }
    // True while values the pane asked for are still being computed.
    bool IsComputingFGT() { return m_fgt.Pending(); }

    // The text the read-out tool shows: the last frequency the mouse was over.
    const QString& GetToolTipText() const { return m_ToolTip; }
    // The time where the pane's widest row (row 0) leaves the surface on the
    // right: a playback of what is visible stops there.
    double GetVisibleEndTime() const;
    // The play-head through every row: row i at x = mid - trunc(tc/σ_i) +
    // trunc(tp/σ_i), the column of the play time tp in that row. Empty while
    // nothing plays or no FGT is ready.
    QPolygon PlayheadPoints() const;

    CFonavidDoc* m_pDoc = nullptr;
    CKWave* m_pWave = nullptr;
    bool m_bInitialised = false;
    bool m_bReady = false;
    double m_dP = 2.0;
    int m_nRows = 0;
    const double* m_pFrequency = nullptr;
    const double* m_pSigmaT = nullptr;
    const int* m_pRowLength = nullptr;
    long m_nTotal = 0;
    std::string m_strText;
    std::string m_strPiece;
    std::string m_strToolTip;
    double m_dLowerLevel = 0.0;
    double m_dUpperLevel = 50.0;

protected:
    void OnDraw(QPainter& painter, const QRect& clip) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // The octaves of the lowest row, labelled at the surface's left edge.
    void PaintScales(QPainter& painter) const;
    void OnMouseMove(const QPoint& point);
    void OnContextMenu(QPoint screenPoint);
    void OnFGTCalculate();
    void OnFGTSetP();
    void OnLevelCommand(int id);

    // The text of the view's one read-out tool; the tip shows it on hover.
    QString m_ToolTip;
    // Owns the arrays the FGT members above point into.
    FGTOnDemand m_fgt;
    // Held while the pane can draw nothing of its FGT yet.
    std::unique_ptr<platform::WaitCursor> m_pWait;
};
