// The main window: menus switching with the active document, accelerators,
// toolbar, status bar, window commands, disabled commands and the banner.
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

#include "ResourceIds.h"
#include "ShellFixture.h"
#include "StaticSplitter.h"

namespace {

using MainFrameTest = ShellFixture;

const std::vector<QString> kMenu128{"&File", "&View", "&Help"};
const std::vector<QString> kMenu129{"&File", "&Edit", "&View", "&Действия", "&Window", "&Help"};

// Captions of a menu's entries, sub-menus by title, separators as "-".
std::vector<QString> Captions(QMenu* menu) {
    std::vector<QString> captions;
    for (QAction* a : menu->actions()) {
        if (!a->isVisible()) continue;
        captions.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    return captions;
}

TEST_F(MainFrameTest, MainWindowIsMaximizedAndRegistered) {
    EXPECT_TRUE(frame->isMaximized());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid"));
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(DocumentCount(), 0u);
}

TEST_F(MainFrameTest, MenuFollowsTheActiveDocument) {
    EXPECT_EQ(frame->GetShownMenu(), 128);
    EXPECT_EQ(VisibleMenuTitles(), kMenu128);
    EXPECT_EQ(Captions(frame->GetMenus(128)[0]),
              (std::vector<QString>{"&New\tCtrl+N", "&Open...\tCtrl+O", "-", "P&rint Setup...", "-",
                                    "Recent File", "-", "&Close", "E&xit"}));

    OpenWithKeyboard(Wav("a.wav"));
    ASSERT_EQ(Windows().size(), 1);
    EXPECT_EQ(frame->GetShownMenu(), 129);
    EXPECT_EQ(VisibleMenuTitles(), kMenu129);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [a.wav]"));
    QMenu* view = frame->GetMenus(129)[2];
    EXPECT_EQ(Captions(view),
              (std::vector<QString>{"Традиционная амплитудная сонограмма", "AM сонограмма", "FM сонограмма",
                                    "Инвертированная сонограмма", "-", "Уровни визаулизации", "-", "Шкалы",
                                    "-", "&Toolbar", "&Status Bar"}));

    Trigger(res::ID_FILE_CLOSE);
    EXPECT_TRUE(Windows().isEmpty());
    EXPECT_EQ(DocumentCount(), 0u);
    EXPECT_EQ(VisibleMenuTitles(), kMenu128);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid"));
}

TEST_F(MainFrameTest, OpenedDocumentWindowIsMaximizedWithItsThreeRows) {
    OpenWithKeyboard(Wav("a.wav"));
    ASSERT_EQ(Windows().size(), 1);
    CChildFrame* child = frame->GetActiveFrame();
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(child->isMaximized());
    platform::StaticSplitter* splitter = child->GetSplitter();
    EXPECT_EVENTUALLY_EQ(child->GetPane(0)->GetWidget()->height(), 100);
    EXPECT_EQ(child->GetPane(1)->GetWidget()->height(), 532);
    EXPECT_EQ(child->GetPane(2)->GetWidget()->height(),
              splitter->height() - 2 * splitter->handleWidth() - 632);
    EXPECT_EQ(RowOfActiveView(frame), 1);
    EXPECT_EVENTUALLY_EQ(QApplication::focusWidget(), child->GetPane(1)->GetWidget());
    // The document tells the upper sonogram, the lower sonogram, then the FGT pane.
    const auto& views = child->GetDocument()->GetViews();
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0], child->GetPane(1));
    EXPECT_EQ(views[1], child->GetPane(2));
    EXPECT_EQ(views[2], child->GetPane(0));
}

TEST_F(MainFrameTest, F6CyclesThePanesAndShiftF6GoesBack) {
    OpenWithKeyboard(Wav("a.wav"));
    ASSERT_EQ(RowOfActiveView(frame), 1);
    std::vector<int> rows;
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(Target(frame), Qt::Key_F6);
        rows.push_back(RowOfActiveView(frame));
    }
    EXPECT_EQ(rows, (std::vector<int>{2, 0, 1}));
    rows.clear();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(Target(frame), Qt::Key_F6, Qt::ShiftModifier);
        rows.push_back(RowOfActiveView(frame));
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(QApplication::focusWidget(), frame->GetActiveFrame()->GetPane(1)->GetWidget());
}

TEST_F(MainFrameTest, NewWindowAddsThreeViewsToTheSameDocument) {
    OpenWithKeyboard(Wav("a.wav"));
    platform::Document* document = frame->GetActiveDocument();
    ASSERT_NE(document, nullptr);
    Trigger(res::ID_WINDOW_NEW);
    ASSERT_EQ(Windows().size(), 2);
    EXPECT_EQ(DocumentCount(), 1u);
    EXPECT_EQ(document->GetViews().size(), 6u);
    EXPECT_EQ(frame->GetActiveDocument(), document);
    EXPECT_EQ(RowOfActiveView(frame), 1);
    EXPECT_EQ(Windows()[0]->windowTitle(), QStringLiteral("a.wav:1"));
    EXPECT_EQ(Windows()[1]->windowTitle(), QStringLiteral("a.wav:2"));

    // Closing one window keeps the document; closing the last one ends it.
    Windows()[1]->close();
    EXPECT_EVENTUALLY_EQ(Windows().size(), 1);
    EXPECT_EQ(DocumentCount(), 1u);
    EXPECT_EVENTUALLY_EQ(document->GetViews().size(), 3u);  // the window goes once its deletion comes round
    EXPECT_EVENTUALLY_EQ(Windows()[0]->windowTitle(), QStringLiteral("a.wav"));
    Windows()[0]->close();
    EXPECT_EVENTUALLY_EQ(DocumentCount(), 0u);
    EXPECT_EVENTUALLY_EQ(frame->GetShownMenu(), 128);
}

TEST_F(MainFrameTest, WindowCommandsArrangeTheDocumentWindows) {
    OpenWithKeyboard(Wav("a.wav"));
    OpenWithKeyboard(Wav("b.wav"));
    ASSERT_EQ(Windows().size(), 2);
    Trigger(res::ID_WINDOW_CASCADE);
    for (QMdiSubWindow* w : Windows()) EXPECT_FALSE(w->isMaximized());
    EXPECT_NE(Windows()[0]->pos(), Windows()[1]->pos());
    Trigger(res::ID_WINDOW_TILE_HORZ);
    const QRect a = Windows()[0]->geometry();
    const QRect b = Windows()[1]->geometry();
    EXPECT_FALSE(a.intersects(b));
    Trigger(res::ID_WINDOW_ARRANGE);  // nothing minimized: nothing moves
    EXPECT_EQ(Windows()[0]->geometry(), a);
}

TEST_F(MainFrameTest, CommandsWithoutHandlerAreDisabled) {
    OpenWithKeyboard(Wav("a.wav"));
    ASSERT_NE(frame->GetActiveView(), nullptr);
    frame->UpdateCommandStates();
    for (int id :
         {res::ID_EDIT_UNDO, res::ID_EDIT_CUT, res::ID_EDIT_PASTE, res::ID_FILE_PRINT,
          res::ID_FILE_PRINT_PREVIEW, res::ID_FILE_SAVE, res::ID_FILE_SAVE_AS, res::ID_WINDOW_SPLIT}) {
        EXPECT_FALSE(frame->GetRouter().QueryState(id).enabled) << id;
        EXPECT_FALSE(frame->GetActions().Find(id)->isEnabled()) << id;
    }
    for (int id : {res::ID_FILE_NEW, res::ID_FILE_OPEN, res::ID_FILE_PRINT_SETUP, res::ID_APP_ABOUT,
                   res::ID_FILE_CLOSE, res::ID_WINDOW_NEW, res::ID_APP_EXIT, res::ID_NEXT_PANE}) {
        EXPECT_TRUE(frame->GetRouter().QueryState(id).enabled) << id;
    }
    // Their keys do nothing.
    QTest::keyClick(Target(frame), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(Target(frame), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(messages.texts().empty());
    EXPECT_EQ(Windows().size(), 1);
}

TEST_F(MainFrameTest, WithoutDocumentTheDocumentCommandsAreDisabled) {
    frame->UpdateCommandStates();
    for (int id : {res::ID_FILE_CLOSE, res::ID_WINDOW_NEW, res::ID_NEXT_PANE, res::ID_SONOGRAM_AM}) {
        EXPECT_FALSE(frame->GetRouter().QueryState(id).enabled) << id;
    }
    EXPECT_TRUE(frame->GetRouter().QueryState(res::ID_FILE_OPEN).enabled);
}

TEST_F(MainFrameTest, ToolbarHasItsTwentyTwoButtonsAndDocksOnEverySide) {
    QToolBar* bar = frame->GetToolBar();
    std::vector<int> ids;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator()) continue;
        ids.push_back(platform::CommandActions::CommandId(a));
        EXPECT_FALSE(a->icon().isNull());
    }
    EXPECT_EQ(ids, (std::vector<int>{57600, 57601, 57603, 57635, 57634, 57637, 57607, 57664, 57669, 32777,
                                     32776, 32778, 32779, 32785, 32789, 32790, 32798, 32792, 32793,
                                     // the play commands, with their scalable icons
                                     32840, 32841, 32842}));
    EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(bar->isMovable());
    EXPECT_EQ(frame->toolBarArea(bar), Qt::TopToolBarArea);
    for (Qt::ToolBarArea area : {Qt::LeftToolBarArea, Qt::BottomToolBarArea, Qt::RightToolBarArea}) {
        frame->addToolBar(area, bar);
        EXPECT_EQ(frame->toolBarArea(bar), area);
    }
    // View, Toolbar hides it and unchecks itself.
    frame->UpdateCommandStates();
    EXPECT_TRUE(frame->GetActions().Find(res::ID_VIEW_TOOLBAR)->isChecked());
    Trigger(res::ID_VIEW_TOOLBAR);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(frame->GetActions().Find(res::ID_VIEW_TOOLBAR)->isChecked());
    Trigger(res::ID_VIEW_STATUS_BAR);
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->GetActions().Find(res::ID_VIEW_STATUS_BAR)->isChecked());
}

TEST_F(MainFrameTest, StatusBarShowsPromptsAndTheIdleText) {
    QStatusBar* bar = frame->statusBar();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("For Help, press F1"));
    QAction* open = frame->GetActions().Find(res::ID_FILE_OPEN);
    open->showStatusText(frame);
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("Open an existing document"));
    EXPECT_EQ(open->toolTip(), QStringLiteral("Open"));
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(frame, &leave);
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("For Help, press F1"));
    EXPECT_EQ(frame->GetActions().Find(res::ID_SONOGRAM_AM)->statusTip(), QStringLiteral("AM сонограмма"));
    EXPECT_TRUE(frame->GetActions().Find(res::ID_SONOGRAM_AMPLITUDE)->statusTip().isEmpty());
    EXPECT_TRUE(frame->GetActions().Find(res::ID_LEVELS_DEFAULT)->statusTip().isEmpty());
    // The lock indicators light with their keys.
    auto* caps = frame->statusBar()->findChild<QLabel*>(QStringLiteral("CAP"));
    ASSERT_NE(caps, nullptr);
    EXPECT_TRUE(caps->text().isEmpty());
    QTest::keyClick(frame, Qt::Key_CapsLock);
    EXPECT_EQ(caps->text(), QStringLiteral("CAP"));
    EXPECT_TRUE(frame->IsIndicatorOn(res::ID_INDICATOR_CAPS));
    QTest::keyClick(frame, Qt::Key_CapsLock);
    EXPECT_TRUE(caps->text().isEmpty());
}

TEST_F(MainFrameTest, HelpCommandsExplainWithoutAHelpFile) {
    QTest::keyClick(frame, Qt::Key_F1);
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_NE(messages.last().find("F6"), std::string::npos);
    Trigger(res::ID_CONTEXT_HELP);
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Select an object on which to get Help"));
    QTest::keyClick(frame, Qt::Key_Escape);  // leaves help mode
}

TEST_F(MainFrameTest, BannerFillsTheClientAreaBehindTheWindows) {
    QWidget* client = frame->GetMdiArea()->viewport();
    ASSERT_EQ(frame->GetClientWnd().GetClient(), client);
    const QImage image = client->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(1, image.height() / 2), QColor(0, 0, 127));
    int green = 0;
    int yellow = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c == QColor(0, 255, 0)) ++green;
            if (c == QColor(255, 255, 0)) ++yellow;
        }
    }
    EXPECT_GT(green, image.width() / 10);  // the bright line of the wave packet
    EXPECT_GT(yellow, 100);                // the title
}

}  // namespace
