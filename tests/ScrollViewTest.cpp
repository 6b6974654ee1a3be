#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <string>
#include <vector>

#include "ScrollView.h"
#include "Eventually.h"

namespace {

// The colour a test surface shows at logical point (x, y): every pixel of a
// surface up to 2^24 pixels wide gets its own colour along x, so a pixel drawn
// at the wrong place cannot go unnoticed.
QRgb SurfaceColour(int x, int y) {
    const unsigned v = static_cast<unsigned>(x) * 7u + static_cast<unsigned>(y) * 131u;
    return qRgb(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                static_cast<int>((v >> 16) & 0xFF));
}

// A scroll view that paints SurfaceColour pixel by pixel and records every
// logical rectangle it was asked to draw, and the viewport region of every
// paint event (in logical coordinates).
class PatternView : public platform::ScrollView {
public:
    PatternView() { SetBackgroundErase(false); }
    std::vector<QRect> clips;
    QRegion painted;
    bool paintNothing = false;

protected:
    void paintEvent(QPaintEvent* event) override {
        painted += event->region().translated(GetScrollPosition());
        platform::ScrollView::paintEvent(event);
    }
    void OnDraw(QPainter& painter, const QRect& clip) override {
        clips.push_back(clip);
        if (paintNothing) return;
        QImage image(clip.size(), QImage::Format_RGB32);
        for (int y = 0; y < clip.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < clip.width(); ++x) row[x] = SurfaceColour(clip.left() + x, clip.top() + y);
        }
        painter.drawImage(clip.topLeft(), image);
    }
};

// Shows `view` with a viewport of about w x h pixels and waits until it is painted.
void ShowAndSettle(PatternView& view, int w, int h) {
    view.resize(w, h);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EVENTUALLY(!view.clips.empty(), 5000);
    QApplication::processEvents();
}

// Number of viewport pixels whose colour differs from the surface at the current position.
int WrongPixels(PatternView& view) {
    const QImage image = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = view.GetScrollPosition();
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != (SurfaceColour(origin.x() + x, origin.y() + y) & 0xFFFFFF))
                ++wrong;
    return wrong;
}

}  // namespace

TEST(ScrollView, PositionIsKeptWithinTheRange) {
    PatternView view;
    ShowAndSettle(view, 300, 200);
    view.SetScrollSizes(QSize(1000, 700), QSize(100, 50), QSize(1, 1));
    QApplication::processEvents();
    const QSize area = view.viewport()->size();
    const QPoint max(1000 - area.width(), 700 - area.height());
    ASSERT_GT(max.x(), 0);
    ASSERT_GT(max.y(), 0);
    EXPECT_EQ(view.GetMaxScrollPosition(), max);

    view.ScrollToPosition(QPoint(-40, -3));
    EXPECT_EQ(view.GetScrollPosition(), QPoint(0, 0));
    view.ScrollToPosition(QPoint(123, 45));
    EXPECT_EQ(view.GetScrollPosition(), QPoint(123, 45));
    view.ScrollToPosition(QPoint(5000, 5000));
    EXPECT_EQ(view.GetScrollPosition(), max);

    // A smaller surface pulls the position back into the new range.
    view.SetScrollSizes(QSize(area.width() + 10, area.height() + 5), QSize(100, 50), QSize(1, 1));
    QApplication::processEvents();
    const QSize after = view.viewport()->size();
    EXPECT_EQ(view.GetScrollPosition(), QPoint(std::max(0, area.width() + 10 - after.width()),
                                               std::max(0, area.height() + 5 - after.height())));

    // A surface smaller than the window does not scroll at all.
    view.SetScrollSizes(QSize(50, 40));
    QApplication::processEvents();
    view.ScrollToPosition(QPoint(10, 10));
    EXPECT_EQ(view.GetScrollPosition(), QPoint(0, 0));
    EXPECT_EQ(view.GetMaxScrollPosition(), QPoint(0, 0));
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view.verticalScrollBar()->isVisible());
}

TEST(ScrollView, GrowingTheWindowPullsThePositionBack) {
    PatternView view;
    ShowAndSettle(view, 300, 200);
    view.SetScrollSizes(QSize(1000, 150), QSize(100, 50), QSize(1, 1));
    view.ScrollToPosition(QPoint(100000, 0));
    QApplication::processEvents();
    const int before = view.GetScrollPosition().x();
    EXPECT_EQ(before, 1000 - view.viewport()->width());
    view.resize(600, 200);
    QApplication::processEvents();
    EXPECT_EQ(view.GetScrollPosition().x(), 1000 - view.viewport()->width());
    EXPECT_LT(view.GetScrollPosition().x(), before);
}

TEST(ScrollView, PageAndLineSizesDriveTheScrollBars) {
    PatternView view;
    view.SetScrollSizes(QSize(5000, 900), QSize(400, 300), QSize(3, 2));
    EXPECT_EQ(view.GetPageSize(), QSize(400, 300));
    EXPECT_EQ(view.GetLineSize(), QSize(3, 2));
    EXPECT_EQ(view.horizontalScrollBar()->pageStep(), 400);
    EXPECT_EQ(view.verticalScrollBar()->pageStep(), 300);
    EXPECT_EQ(view.horizontalScrollBar()->singleStep(), 3);
    EXPECT_EQ(view.verticalScrollBar()->singleStep(), 2);

    // Empty page and line sizes: a tenth of the total, a tenth of the page, at least one pixel.
    view.SetScrollSizes(QSize(5000, 900));
    EXPECT_EQ(view.GetTotalSize(), QSize(5000, 900));
    EXPECT_EQ(view.GetPageSize(), QSize(500, 90));
    EXPECT_EQ(view.GetLineSize(), QSize(50, 9));
    view.SetScrollSizes(QSize(100, 5));
    EXPECT_EQ(view.GetPageSize(), QSize(10, 1));
    EXPECT_EQ(view.GetLineSize(), QSize(1, 1));
    view.SetScrollSizes(QSize(-7, -1));
    EXPECT_EQ(view.GetTotalSize(), QSize(0, 0));
}

TEST(ScrollView, DrawsInLogicalCoordinates) {
    PatternView view;
    ShowAndSettle(view, 320, 240);
    view.SetScrollSizes(QSize(4000, 3000), QSize(100, 100), QSize(1, 1));
    view.ScrollToPosition(QPoint(777, 333));
    view.viewport()->update();
    QApplication::processEvents();
    EXPECT_EQ(view.GetScrollPosition(), QPoint(777, 333));
    EXPECT_EQ(WrongPixels(view), 0);
}

TEST(ScrollView, PositionsBeyondSixteenBits) {
    PatternView view;
    ShowAndSettle(view, 320, 120);
    view.SetScrollSizes(QSize(200000, 50), QSize(160, 25), QSize(1, 1));
    QApplication::processEvents();
    EXPECT_EQ(view.GetMaxScrollPosition().x(), 200000 - view.viewport()->width());
    view.ScrollToPosition(QPoint(150000, 0));
    EXPECT_EQ(view.GetScrollPosition().x(), 150000);
    view.ScrollToPosition(QPoint(199990, 0));
    EXPECT_EQ(view.GetScrollPosition().x(), 200000 - view.viewport()->width());
    QApplication::processEvents();
    view.clips.clear();
    view.viewport()->update();
    QApplication::processEvents();
    ASSERT_FALSE(view.clips.empty());
    EXPECT_EQ(view.clips.back().left(), 200000 - view.viewport()->width());
    EXPECT_EQ(WrongPixels(view), 0);
}

TEST(ScrollView, ScrollingRepaintsOnlyTheUncoveredStrip) {
    PatternView view;
    ShowAndSettle(view, 320, 200);
    view.SetScrollSizes(QSize(100000, 1000), QSize(160, 100), QSize(1, 1));
    view.ScrollToPosition(QPoint(5000, 300));
    view.viewport()->update();
    QApplication::processEvents();
    ASSERT_EQ(WrongPixels(view), 0);
    const QSize area = view.viewport()->size();

    // Right by 13 columns: only the 13 new columns at the right edge are drawn.
    view.clips.clear();
    view.painted = QRegion();
    view.ScrollToPosition(QPoint(5013, 300));
    EXPECT_EVENTUALLY(!view.clips.empty(), 5000);
    QRegion drawn;
    for (const QRect& r : view.clips) drawn += r;
    EXPECT_EQ(drawn, QRegion(QRect(5000 + area.width(), 300, 13, area.height())));
    EXPECT_EQ(view.painted, drawn);
    EXPECT_EQ(WrongPixels(view), 0);

    // Left by 40 and up by 7: the strips at the left and top edges. OnDraw
    // may be handed their bounding rectangle; the paint itself is clipped to
    // the strips.
    view.clips.clear();
    view.painted = QRegion();
    view.ScrollToPosition(QPoint(4973, 293));
    EXPECT_EVENTUALLY(!view.clips.empty(), 5000);
    drawn = view.painted;
    const QRegion expected =
        QRegion(QRect(4973, 293, 40, area.height())) + QRegion(QRect(4973, 293, area.width(), 7));
    EXPECT_TRUE((drawn - expected).isEmpty()) << "drew outside the uncovered strips";
    EXPECT_TRUE((expected - drawn).isEmpty()) << "left part of the uncovered strips unpainted";
    EXPECT_EQ(WrongPixels(view), 0);
}

TEST(ScrollView, KeysAreLeftToTheViewsCommands) {
    PatternView view;
    ShowAndSettle(view, 300, 200);
    view.SetScrollSizes(QSize(3000, 2000), QSize(100, 100), QSize(5, 5));
    view.ScrollToPosition(QPoint(500, 500));
    view.setFocus();
    for (Qt::Key key :
         {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Home})
        QTest::keyClick(&view, key);
    EXPECT_EQ(view.GetScrollPosition(), QPoint(500, 500));
}

TEST(ScrollView, BackgroundEraseFillsWhatTheViewLeavesOut) {
    PatternView view;
    view.SetBackgroundErase(true);
    view.paintNothing = true;
    QPalette palette = view.palette();
    palette.setColor(QPalette::Base, QColor(12, 34, 56));
    view.setPalette(palette);
    ShowAndSettle(view, 200, 150);
    const QImage image = view.viewport()->grab().toImage();
    int other = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0x0C2238u) ++other;
    EXPECT_EQ(other, 0);
}

TEST(ScrollView, UpdateRepaintsTheViewport) {
    PatternView view;
    ShowAndSettle(view, 200, 150);
    view.clips.clear();
    view.OnUpdate(nullptr, 1, nullptr);
    EXPECT_EVENTUALLY(!view.clips.empty(), 5000);
    EXPECT_EQ(view.clips.back(), QRect(QPoint(0, 0), view.viewport()->size()));
}

namespace {

// Sends one wheel notch (or a swipe of `delta`) with `modifiers` to the
// viewport, where the window system delivers it.
void Wheel(PatternView& view, QPoint delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF at(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);
    QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &event);
}

struct WheelCase {
    const char* name;
    int totalHeight;  // taller than the viewport: a vertical range
    QPoint delta;
    Qt::KeyboardModifiers modifiers;
    bool horizontal;  // which position the wheel must move
};

// Printed by its name: GoogleTest would otherwise print the struct's bytes,
// padding included, which are never written.
void PrintTo(const WheelCase& c, std::ostream* os) { *os << c.name; }

class ScrollViewWheel : public ::testing::TestWithParam<WheelCase> {};

TEST_P(ScrollViewWheel, ScrollsAlongTheAxisThatHasARange) {
    const WheelCase& c = GetParam();
    PatternView view;
    view.SetScrollSizes(QSize(5000, c.totalHeight), QSize(200, 100), QSize(4, 3));
    ShowAndSettle(view, 300, 200);
    view.ScrollToPosition(QPoint(1000, 0));
    const QPoint before = view.GetScrollPosition();
    Wheel(view, c.delta, c.modifiers);  // one notch away from the user: towards the end
    const QPoint after = view.GetScrollPosition();
    if (c.horizontal) {
        EXPECT_EQ(after.y(), before.y());
        EXPECT_GT(after.x(), before.x());
        // A notch moves a few lines, never more than a page.
        EXPECT_LE(after.x() - before.x(), 200);
        Wheel(view, -c.delta, c.modifiers);
        EXPECT_EQ(view.GetScrollPosition(), before);
    } else {
        EXPECT_EQ(after.x(), before.x());
        EXPECT_GT(after.y(), before.y());
        EXPECT_LE(after.y() - before.y(), 100);
    }
    EXPECT_EQ(WrongPixels(view), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Axes, ScrollViewWheel,
    ::testing::Values(WheelCase{"VerticalRange", 2000, QPoint(0, -120), Qt::NoModifier, false},
                      WheelCase{"NoVerticalRange", 150, QPoint(0, -120), Qt::NoModifier, true},
                      WheelCase{"ShiftWheel", 2000, QPoint(0, -120), Qt::ShiftModifier, true},
                      WheelCase{"SwipeSideways", 2000, QPoint(-120, 0), Qt::NoModifier, true},
                      WheelCase{"SwipeWithoutVerticalRange", 150, QPoint(-120, 0), Qt::NoModifier, true}),
    [](const ::testing::TestParamInfo<WheelCase>& info) { return std::string(info.param.name); });

}  // namespace
