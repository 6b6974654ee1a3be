// The buddy-less arrow pair, driven with real mouse and key events.
#include "StepUpDown.h"
#include "Eventually.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

namespace {

class StepUpDownTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ud.resize(20, 30);
        m_ud.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_ud));
    }
    void TearDown() override {
        m_ud.hide();
        for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
    }
    QPoint upper() const { return QPoint(10, 3); }
    QPoint lower() const { return QPoint(10, 27); }
    int delta(const QSignalSpy& spy, int i) const { return spy.at(i).at(0).toInt(); }

    StepUpDown m_ud;
};

// Pixels of one half of a grabbed image, for comparing looks.
QImage half(const QImage& img, bool upperHalf) {
    const int h = img.height() / 2;
    return img.copy(0, upperHalf ? 0 : img.height() - h, img.width(), h);
}

}  // namespace

TEST_F(StepUpDownTest, EachClickProposesOneStep) {
    QSignalSpy spy(&m_ud, &StepUpDown::deltaPos);
    QTest::mouseClick(&m_ud, Qt::LeftButton, {}, upper());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(delta(spy, 0), 1);
    QTest::mouseClick(&m_ud, Qt::LeftButton, {}, lower());
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(delta(spy, 1), -1);
    // Other buttons do nothing.
    QTest::mouseClick(&m_ud, Qt::RightButton, {}, upper());
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(StepUpDownTest, ArrowKeysWhileFocused) {
    QSignalSpy spy(&m_ud, &StepUpDown::deltaPos);
    QTest::keyClick(&m_ud, Qt::Key_Up);
    QTest::keyClick(&m_ud, Qt::Key_Down);
    QTest::keyClick(&m_ud, Qt::Key_Down);
    QTest::keyClick(&m_ud, Qt::Key_Left);
    QTest::keyClick(&m_ud, Qt::Key_A);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(delta(spy, 0), 1);
    EXPECT_EQ(delta(spy, 1), -1);
    EXPECT_EQ(delta(spy, 2), -1);
}

TEST_F(StepUpDownTest, DisabledControlProposesNothing) {
    m_ud.setEnabled(false);
    QSignalSpy spy(&m_ud, &StepUpDown::deltaPos);
    QTest::mouseClick(&m_ud, Qt::LeftButton, {}, upper());
    QTest::mouseClick(&m_ud, Qt::LeftButton, {}, lower());
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(StepUpDownTest, HeldArrowRepeatsUntilReleased) {
    QSignalSpy spy(&m_ud, &StepUpDown::deltaPos);
    QTest::mousePress(&m_ud, Qt::LeftButton, {}, lower());
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EVENTUALLY(spy.count() >= 3, 5000);
    QTest::mouseRelease(&m_ud, Qt::LeftButton, {}, lower());
    const int after = spy.count();
    for (int i = 0; i < after; ++i) EXPECT_EQ(delta(spy, i), -1) << i;
    // Nothing more once released: wait longer than a repeat period.
    const int rate = m_ud.style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatRate, nullptr, &m_ud);
    QTest::qWait(3 * rate);
    EXPECT_EQ(spy.count(), after);
}

TEST_F(StepUpDownTest, HidingStopsTheRepeat) {
    QSignalSpy spy(&m_ud, &StepUpDown::deltaPos);
    QTest::mousePress(&m_ud, Qt::LeftButton, {}, upper());
    m_ud.hide();
    const int threshold =
        m_ud.style()->styleHint(QStyle::SH_SpinBox_ClickAutoRepeatThreshold, nullptr, &m_ud);
    QTest::qWait(threshold + 200);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(StepUpDownTest, PressedArrowLooksPressed) {
    const QImage idle = m_ud.grab().toImage();
    QTest::mousePress(&m_ud, Qt::LeftButton, {}, upper());
    const QImage pressedUpper = m_ud.grab().toImage();
    QTest::mouseRelease(&m_ud, Qt::LeftButton, {}, upper());
    QTest::mousePress(&m_ud, Qt::LeftButton, {}, lower());
    const QImage pressedLower = m_ud.grab().toImage();
    QTest::mouseRelease(&m_ud, Qt::LeftButton, {}, lower());
    const QImage released = m_ud.grab().toImage();

    EXPECT_NE(half(pressedUpper, true), half(idle, true));
    EXPECT_EQ(half(pressedUpper, false), half(idle, false));
    EXPECT_NE(half(pressedLower, false), half(idle, false));
    EXPECT_EQ(half(pressedLower, true), half(idle, true));
    EXPECT_EQ(released, idle);
    // The two arrows differ from each other (one points up, the other down).
    EXPECT_NE(half(idle, true), half(idle, false));
}
