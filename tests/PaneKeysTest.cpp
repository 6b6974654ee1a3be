// Moving through a long recording with the keys of the sonogram panes: Home,
// End, Page Up and Page Down move the cursor like the arrows do (same ends,
// both panes and the document follow, the view centres on the cursor), and
// Shift+Home brings the cursor into the columns a scroll-bar drag uncovered.
#include <QMenu>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>

#include "FonavidDoc.h"
#include "KSonogramView.h"
#include "ShellFixture.h"

namespace {

class PaneKeysTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        OpenWithKeyboard(Wav("long.wav", 45.0));
        child = frame->GetActiveFrame();
        ASSERT_NE(child, nullptr);
        upper = dynamic_cast<CKSonogramView*>(child->GetPane(1));
        lower = dynamic_cast<CKSonogramView*>(child->GetPane(2));
        ASSERT_NE(upper, nullptr);
        ASSERT_NE(lower, nullptr);
        last = upper->GetColumnCount() - 1;
        ASSERT_GT(last, 3 * upper->viewport()->width());
    }

    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Target(frame), key, modifiers);
    }

    // The cursor is where it should be in both panes and in the document,
    // and each pane is centred on it the way the arrows leave it.
    void ExpectCursorAt(int column, int row) {
        for (CKSonogramView* pane : {upper, lower}) {
            EXPECT_EQ(pane->GetCursor(), QPoint(column, row));
            const int w = pane->viewport()->width();
            EXPECT_EQ(pane->GetScrollPosition().x(),
                      std::clamp(column - w / 2, 0, pane->horizontalScrollBar()->maximum()));
        }
        auto* doc = dynamic_cast<CFonavidDoc*>(child->GetDocument());
        EXPECT_NEAR(doc->GetTimeFrequencyCursor().time, upper->TimeFromColumn(column), 1e-9);
    }

    CChildFrame* child = nullptr;
    CKSonogramView* upper = nullptr;
    CKSonogramView* lower = nullptr;
    int last = 0;
};

TEST_F(PaneKeysTest, HomeEndAndPageKeysMoveTheCursorWithinTheSignal) {
    const int row = upper->GetCursor().y();
    Press(Qt::Key_End);
    ExpectCursorAt(last, row);
    Press(Qt::Key_PageDown);  // at the end it stays
    ExpectCursorAt(last, row);
    const int page = upper->viewport()->width();
    Press(Qt::Key_PageUp);
    ExpectCursorAt(last - page, row);
    Press(Qt::Key_PageUp);
    ExpectCursorAt(last - 2 * page, row);
    Press(Qt::Key_Home);
    ExpectCursorAt(0, row);
    Press(Qt::Key_PageUp);  // at the start it stays
    ExpectCursorAt(0, row);
    Press(Qt::Key_PageDown);
    ExpectCursorAt(page, row);
    // The lower pane, once active, takes the same keys.
    Press(Qt::Key_F6);
    ASSERT_EQ(child->GetActiveView(), lower);
    Press(Qt::Key_End);
    ExpectCursorAt(last, row);
    Press(Qt::Key_PageUp);
    ExpectCursorAt(last - lower->viewport()->width(), row);
}

TEST_F(PaneKeysTest, ShiftHomeBringsTheCursorToTheMiddleOfAScrolledView) {
    const QPoint start = upper->GetCursor();
    const int row = start.y();
    // Drag the scroll bar's handle far to the right with the mouse.
    QScrollBar* bar = upper->horizontalScrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    const QPoint handle =
        bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar).center();
    const QPoint to(bar->width() / 2, handle.y());
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, handle);
    QTest::mouseMove(bar, (handle + to) / 2);
    QTest::mouseMove(bar, to);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, to);
    const int scrolled = upper->GetScrollPosition().x();
    ASSERT_GT(scrolled, upper->viewport()->width());
    EXPECT_EQ(upper->GetCursor(), start);  // a drag only moves the view
    Press(Qt::Key_Home, Qt::ShiftModifier);
    const int centre = scrolled + upper->viewport()->width() / 2;
    ExpectCursorAt(centre, row);
    // From there the arrows go on from the new place.
    Press(Qt::Key_Right);
    ExpectCursorAt(centre + 1, row);
}

}  // namespace

namespace {

TEST_F(PaneKeysTest, ShiftF10OpensTheActivePanesContextMenu) {
    const std::vector<std::pair<int, QString>> panes{{1, "Частотно-временная настройка ФАС-фильма"},
                                                     {0, "Создать FGT"}};
    for (const auto& [row, first] : panes) {
        for (int i = 0; i < CChildFrame::kRows && child->GetRow(child->GetActiveView()) != row; ++i)
            Press(Qt::Key_F6);
        ASSERT_EQ(child->GetRow(child->GetActiveView()), row)
            << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className()
                                             : "none");
        // (The menu key reaches the pane as a context-menu event from the
        // window system, which the offscreen platform does not make.)
        for (auto [key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
            // The menu runs its own loop inside the key's handling: a timer
            // looks at it and closes it.
            QString shown;
            bool polled = false;
            auto* poll = new QTimer;
            poll->setInterval(10);
            QObject::connect(poll, &QTimer::timeout, [&shown, &polled, poll] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    if (!menu->actions().isEmpty()) shown = menu->actions().front()->text();
                    menu->close();
                    polled = true;
                    poll->stop();
                    poll->deleteLater();
                }
            });
            poll->start();
            Press(key, modifiers);
            EXPECT_TRUE(Eventually([&] { return polled; }));
            EXPECT_EQ(shown, first) << row << " " << key;
            if (!polled) delete poll;
            // The offscreen platform leaves no window active once a pop-up
            // closes; a window manager gives the activation back.
            QApplication::setActiveWindow(frame);
        }
    }
}

}  // namespace
