// A pair of arrow buttons without a buddy field: every click (and every
// repeat while a button is held, and every Up/Down key while the control has
// the focus) proposes a change of +1 (upper arrow) or -1 (lower arrow). The
// control keeps no position of its own; its owner applies the change to
// whatever value it steers and limits it there.
#pragma once

#include <QBasicTimer>
#include <QWidget>

class StepUpDown : public QWidget {
    Q_OBJECT
public:
    explicit StepUpDown(QWidget* parent = nullptr);
    QSize sizeHint() const override;

signals:
    // The position is about to change by `delta` (+1 or -1).
    void deltaPos(int delta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRect upRect() const;
    QRect downRect() const;
    void stopRepeat();

    int m_nPressed = 0;  // +1 upper arrow held, -1 lower arrow held, 0 none
    QBasicTimer m_repeat;
};
