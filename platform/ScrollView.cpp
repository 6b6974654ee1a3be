#include "ScrollView.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>

namespace platform {
namespace {

int DefaultStep(int given, int whole) {
    if (given > 0) return given;
    return std::max(1, whole / 10);
}

}  // namespace

ScrollView::ScrollView(QWidget* parent) : QAbstractScrollArea(parent) {
    // The view paints every pixel it is asked for, so Qt neither clears the
    // viewport nor repaints what a scroll merely moved.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent, true);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    UpdateScrollBars();
}

ScrollView::~ScrollView() = default;

void ScrollView::SetScrollSizes(const QSize& total, const QSize& page, const QSize& line) {
    m_sizeTotal = QSize(std::max(0, total.width()), std::max(0, total.height()));
    m_sizePage = QSize(DefaultStep(page.width(), m_sizeTotal.width()),
                       DefaultStep(page.height(), m_sizeTotal.height()));
    m_sizeLine =
        QSize(DefaultStep(line.width(), m_sizePage.width()), DefaultStep(line.height(), m_sizePage.height()));
    UpdateScrollBars();
}

QPoint ScrollView::GetScrollPosition() const {
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QPoint ScrollView::GetMaxScrollPosition() const {
    return QPoint(horizontalScrollBar()->maximum(), verticalScrollBar()->maximum());
}

void ScrollView::ScrollToPosition(const QPoint& position) {
    // QScrollBar limits the value to its range; each change ends up in
    // scrollContentsBy, which moves the pixels.
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

void ScrollView::OnUpdate(View* sender, long hint, void* hintObject) {
    (void)sender;
    (void)hint;
    (void)hintObject;
    viewport()->update();
}

void ScrollView::UpdateScrollBars() {
    // The range ends where the last pixel of the surface reaches the edge of
    // the viewport. Showing a bar narrows the viewport, which resizes it and
    // brings us back here with the final size.
    const QSize area = viewport()->size();
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, std::max(0, m_sizeTotal.width() - area.width()));
    v->setRange(0, std::max(0, m_sizeTotal.height() - area.height()));
    h->setPageStep(std::max(1, m_sizePage.width()));
    v->setPageStep(std::max(1, m_sizePage.height()));
    h->setSingleStep(std::max(1, m_sizeLine.width()));
    v->setSingleStep(std::max(1, m_sizeLine.height()));
}

void ScrollView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void ScrollView::scrollContentsBy(int dx, int dy) {
    // Moves what is on screen; Qt repaints only the uncovered strip.
    viewport()->scroll(dx, dy);
}

void ScrollView::keyPressEvent(QKeyEvent* event) { event->ignore(); }

void ScrollView::paintEvent(QPaintEvent* event) {
    const QPoint origin = GetScrollPosition();
    QPainter painter(viewport());
    if (m_bEraseBackground) {
        for (const QRect& rect : event->region()) painter.fillRect(rect, palette().base());
    }
    painter.translate(-origin);
    OnDraw(painter, event->rect().translated(origin));
}

}  // namespace platform
