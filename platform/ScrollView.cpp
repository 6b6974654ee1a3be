#include "ScrollView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

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

void ScrollView::keyPressEvent(QKeyEvent* event) {
    // Shift+F10 opens the view's context menu, as the menu key does (the
    // window system turns that one into a context-menu event itself).
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QPoint at(5, 5);
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at),
                               event->modifiers());
        QCoreApplication::sendEvent(this, &menu);
        event->accept();
        return;
    }
    event->ignore();
}

void ScrollView::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    const bool sideways = std::abs(angle.x()) > std::abs(angle.y());
    const bool shifted = (event->modifiers() & Qt::ShiftModifier) != 0;
    QScrollBar* v = verticalScrollBar();
    QScrollBar* bar = sideways || shifted || v->maximum() <= v->minimum() ? horizontalScrollBar() : v;
    // Positive deltas (the wheel turned away from the user, a swipe to the
    // right) move towards the start, as the scroll bars' arrows do.
    const int delta = sideways ? angle.x() : angle.y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // Fractions of a notch (fine wheels, touchpads) add up until they make a line.
    m_nWheelRemainder += delta * std::max(1, QApplication::wheelScrollLines());
    const int lines = m_nWheelRemainder / 120;
    m_nWheelRemainder -= lines * 120;
    const long long pixels = static_cast<long long>(lines) * bar->singleStep();
    const int page = bar->pageStep();
    bar->setValue(bar->value() - static_cast<int>(std::clamp<long long>(pixels, -page, page)));
    event->accept();
}

void ScrollView::paintEvent(QPaintEvent* event) {
    const QPoint origin = GetScrollPosition();
    QPainter painter(viewport());
    if (m_bEraseBackground) {
        for (const QRect& rect : event->region()) painter.fillRect(rect, palette().base());
    }
    painter.translate(-origin);
    OnDraw(painter, event->rect().translated(origin));
}

QImage ScrollView::PaintCopy() {
    QWidget* surface = viewport();
    QImage image(surface->size(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    // What a paint event leaves under the pixels a view does not cover.
    image.fill(m_bEraseBackground ? palette().base().color()
                                  : surface->palette().color(surface->backgroundRole()));
    const QPoint origin = GetScrollPosition();
    QPainter painter(&image);
    // A painter on an image starts with the application's defaults; the one
    // of a paint event starts with the widget's font and text colour.
    painter.setFont(surface->font());
    painter.setPen(surface->palette().color(surface->foregroundRole()));
    painter.translate(-origin);
    m_bPaintingCopy = true;
    OnDraw(painter, QRect(origin, surface->size()));
    m_bPaintingCopy = false;
    return image;
}

void ScrollView::CopyToClipboard() { QApplication::clipboard()->setImage(PaintCopy()); }

}  // namespace platform
