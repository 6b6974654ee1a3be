#include "StepUpDown.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

StepUpDown::StepUpDown(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::ClickFocus); }

QSize StepUpDown::sizeHint() const { return QSize(16, 24); }

QRect StepUpDown::upRect() const { return QRect(0, 0, width(), height() / 2); }

QRect StepUpDown::downRect() const { return QRect(0, height() / 2, width(), height() - height() / 2); }

void StepUpDown::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const auto drawHalf = [&](const QRect& r, bool pressed, QStyle::PrimitiveElement arrow) {
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = r;
        button.state |= pressed ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &painter, this);
        QStyleOption opt;
        opt.initFrom(this);
        opt.rect = r.adjusted(2, 1, -2, -1);
        style()->drawPrimitive(arrow, &opt, &painter, this);
    };
    drawHalf(upRect(), m_nPressed > 0, QStyle::PE_IndicatorArrowUp);
    drawHalf(downRect(), m_nPressed < 0, QStyle::PE_IndicatorArrowDown);
}

void StepUpDown::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    m_nPressed = upRect().contains(p) ? 1 : (downRect().contains(p) ? -1 : 0);
    if (m_nPressed == 0) return;
    update();
    // Held down, the arrow repeats after the platform's delay at its rate.
    m_repeat.start(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold, nullptr, this), this);
    emit deltaPos(m_nPressed);
}

void StepUpDown::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) stopRepeat();
    QWidget::mouseReleaseEvent(event);
}

void StepUpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        emit deltaPos(1);
    } else if (event->key() == Qt::Key_Down) {
        emit deltaPos(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void StepUpDown::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_repeat.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (m_nPressed == 0) {
        m_repeat.stop();
        return;
    }
    m_repeat.start(style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, this), this);
    emit deltaPos(m_nPressed);
}

void StepUpDown::hideEvent(QHideEvent* event) {
    stopRepeat();
    QWidget::hideEvent(event);
}

void StepUpDown::stopRepeat() {
    m_repeat.stop();
    if (m_nPressed != 0) {
        m_nPressed = 0;
        update();
    }
}
