// A view that shows a logical surface larger than its window and scrolls
// over it, the base of the sonogram, FGT and plain views.
//
// Positions and sizes are pixels: logical point (x, y) of the surface is drawn
// at viewport pixel (x - x0, y - y0), where (x0, y0) = GetScrollPosition().
// The position runs from (0, 0) to (total - viewport size), never below 0, so
// a surface smaller than the window stays at the top left. The scroll bars
// carry the position as plain ints, so surfaces wider than 65535 pixels scroll
// like any other.
//
// Scrolling moves the pixels already on screen and repaints only the strip
// that the move uncovers; OnDraw then receives a painter already translated
// by (-x0, -y0) and the logical rectangle that needs painting. The viewport is
// opaque: unless background erase is switched on, OnDraw must cover what it
// is asked to paint.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "FonacoreApi.h"
#include "View.h"

class QPainter;

namespace platform {

class FONACORE_API ScrollView : public QAbstractScrollArea, public View {
    Q_OBJECT

public:
    explicit ScrollView(QWidget* parent = nullptr);
    ~ScrollView() override;

    QWidget* GetWidget() override { return this; }

    // Total extent of the surface, the distance of a page step and of a line
    // step. An empty page is a tenth of the total, an empty line a tenth of
    // the page (at least one pixel). The position is kept within the new range.
    void SetScrollSizes(const QSize& total, const QSize& page = QSize(0, 0), const QSize& line = QSize(0, 0));
    QSize GetTotalSize() const { return m_sizeTotal; }
    QSize GetPageSize() const { return m_sizePage; }
    QSize GetLineSize() const { return m_sizeLine; }

    // The logical point shown at the viewport's top left corner.
    QPoint GetScrollPosition() const;
    // Scrolls so that `position` is at the top left corner, limited to the range.
    void ScrollToPosition(const QPoint& position);
    // The largest position along each axis for the current viewport size.
    QPoint GetMaxScrollPosition() const;

    // Whether the area to paint is filled with the palette's base colour
    // before OnDraw (on by default; views that cover every pixel switch it off).
    void SetBackgroundErase(bool erase) { m_bEraseBackground = erase; }
    bool GetBackgroundErase() const { return m_bEraseBackground; }

    // The default repaints the viewport.
    void OnUpdate(View* sender, long hint, void* hintObject) override;

    // The viewport's picture as a paint of all of it draws it now, one image
    // pixel per viewport pixel. While it is drawn IsPaintingCopy() is true,
    // so that a view leaves out the marks that only belong on screen (a
    // blinking cursor, the play-head) and keeps its screen state untouched.
    QImage PaintCopy();
    // Puts PaintCopy() on the clipboard.
    void CopyToClipboard();

protected:
    // Draws the part `clip` of the surface (logical coordinates) with
    // `painter`, which maps logical coordinates onto the viewport.
    virtual void OnDraw(QPainter& painter, const QRect& clip) = 0;
    bool IsPaintingCopy() const { return m_bPaintingCopy; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Keys are the views' commands, not scroll-bar moves; Shift+F10 opens
    // the context menu.
    void keyPressEvent(QKeyEvent* event) override;
    // The wheel scrolls vertically where there is a vertical range, else
    // horizontally; Shift+wheel and sideways swipes scroll horizontally. A
    // notch moves the system's number of lines, at most a page.
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateScrollBars();

    QSize m_sizeTotal{0, 0};
    QSize m_sizePage{0, 0};
    QSize m_sizeLine{0, 0};
    bool m_bEraseBackground = true;
    bool m_bPaintingCopy = false;
    int m_nWheelRemainder = 0;  // wheel turn not yet scrolled, in 1/120 lines
};

}  // namespace platform
