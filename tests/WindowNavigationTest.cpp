// Which document window and which pane the user's next command reaches:
// after a progress dialog, after the window commands and closes, the main
// window's title, the Window menu's list and its keys, the menu bar's
// mnemonics, drops, the Help text and the check mark of the sonogram mode.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QStyleFactory>
#include <QToolBar>
#include <QUrl>

#include "FonavidDoc.h"
#include "KSonogramView.h"
#include "ResourceIds.h"
#include "ShellFixture.h"

namespace {

using WindowNavigationTest = ShellFixture;

CKSonogramView* Sonogram(CChildFrame* child, int row) {
    return dynamic_cast<CKSonogramView*>(child->GetPane(row));
}

// Where the document window and pane stand: title of the active window, row
// of its active view, and whether the keyboard focus is in that pane.
struct Where {
    QString window;
    int row;
    bool focused;
    bool operator==(const Where&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Where& w) {
    return os << w.window.toStdString() << " row " << w.row << (w.focused ? " focused" : " unfocused");
}

Where Current(CMainFrame* frame) {
    CChildFrame* child = frame->GetActiveFrame();
    if (child == nullptr) return {QString(), -1, false};
    QWidget* pane = child->GetActiveView()->GetWidget();
    QWidget* focus = QApplication::focusWidget();
    return {child->windowTitle(), RowOfActiveView(frame),
            focus != nullptr && (focus == pane || pane->isAncestorOf(focus))};
}

// The toolbar's button of command `id`, clicked with the mouse.
void ClickToolbarButton(CMainFrame* frame, int id) {
    frame->UpdateCommandStates();
    QWidget* button = frame->GetToolBar()->widgetForAction(frame->GetActions().Find(id));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST_F(WindowNavigationTest, ProgressDialogLeavesTheActiveWindowAndPaneActive) {
    for (int count : {2, 3}) {
        for (int i = 0; i < count; ++i)
            OpenWithKeyboard(Wav("doc" + std::to_string(count) + std::to_string(i) + ".wav"));
        ASSERT_EQ(Windows().size(), count);
        // The last window opened, with its lower sonogram pane active.
        QTest::keyClick(Target(frame), Qt::Key_F6);
        const Where before = Current(frame);
        ASSERT_EQ(before.row, 2);
        ASSERT_TRUE(before.focused);
        ClickToolbarButton(frame, res::ID_CALCULATE_DECIMATED);
        auto* doc = dynamic_cast<CFonavidDoc*>(frame->GetActiveDocument());
        ASSERT_NE(doc, nullptr);
        EXPECT_TRUE(doc->m_film.GetDecimateWaveAreCalculated());
        QTest::qWait(50);  // the window system's activation follows the dialog's end
        EXPECT_EQ(Current(frame), before) << count << " documents";
        EXPECT_TRUE(frame->isEnabled());
        for (QMdiSubWindow* w : Windows()) w->close();
        ASSERT_TRUE(Eventually([&] { return DocumentCount() == 0u; })) << DocumentCount();
    }
}

TEST_F(WindowNavigationTest, WindowCommandsAndClosesKeepEachWindowsActivePane) {
    OpenWithKeyboard(Wav("a.wav"));
    CChildFrame* a = frame->GetActiveFrame();
    // A new window starts with the upper sonogram pane active.
    EXPECT_EQ(Current(frame), (Where{"a.wav", 1, true}));
    Trigger(res::ID_WINDOW_TILE_HORZ);
    QTest::qWait(20);
    EXPECT_EQ(Current(frame), (Where{"a.wav", 1, true}));
    // The next command reaches the upper pane only.
    const int lowerMode = Sonogram(a, 2)->GetMode();
    Trigger(res::ID_SONOGRAM_INVERTED);
    EXPECT_NE(Sonogram(a, 1)->GetMode(), lowerMode);
    EXPECT_EQ(Sonogram(a, 2)->GetMode(), lowerMode);

    QTest::keyClick(Target(frame), Qt::Key_F6, Qt::ShiftModifier);  // the FGT pane
    ASSERT_EQ(RowOfActiveView(frame), 0);
    OpenWithKeyboard(Wav("b.wav"));
    EXPECT_EQ(Current(frame), (Where{"b.wav", 1, true}));
    QTest::keyClick(Target(frame), Qt::Key_F6);  // b's lower pane
    for (int id : {res::ID_WINDOW_CASCADE, res::ID_WINDOW_TILE_HORZ}) {
        Trigger(id);
        QTest::qWait(20);
        EXPECT_EQ(Current(frame), (Where{"b.wav", 2, true})) << id;
    }
    frame->ActivateFrame(a);
    QTest::qWait(20);
    EXPECT_EQ(Current(frame), (Where{"a.wav", 0, true}));
    a->showMaximized();
    QTest::qWait(20);
    EXPECT_EQ(Current(frame), (Where{"a.wav", 0, true}));
    frame->ActivateFrame(Windows()[1]);
    QTest::qWait(20);
    EXPECT_EQ(Current(frame), (Where{"b.wav", 2, true}));
    // Closing the other window leaves b as it was.
    a->close();
    ASSERT_TRUE(Eventually([&] { return Windows().size() == 1; })) << Windows().size();
    QTest::qWait(20);
    EXPECT_EQ(Current(frame), (Where{"b.wav", 2, true}));
}

TEST_F(WindowNavigationTest, TitleFollowsTheActiveDocumentAtOnce) {
    OpenWithKeyboard(Wav("vowel.wav"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [vowel.wav]"));
    OpenWithKeyboard(Wav("chirp.wav"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [chirp.wav]"));
    QTest::keyClick(Target(frame), Qt::Key_F6, Qt::ControlModifier);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [vowel.wav]"));
    Trigger(res::ID_WINDOW_CASCADE);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - vowel.wav"));
    frame->ActivateFrame(Windows()[1]);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - chirp.wav"));
    Windows()[1]->showMaximized();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [chirp.wav]"));
    // The workspace maximizes the window that follows a maximized one.
    Windows()[1]->close();
    ASSERT_TRUE(Eventually([&] { return Windows().size() == 1; })) << Windows().size();
    ASSERT_TRUE(Windows()[0]->isMaximized());
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - [vowel.wav]"));
    Windows()[0]->showNormal();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Fonavid - vowel.wav"));
    Windows()[0]->close();
    ASSERT_TRUE(Eventually([&] { return frame->windowTitle() == QStringLiteral("Fonavid"); }))
        << frame->windowTitle().toStdString();
}

// The entries of the Window menu after its commands, as shown when it opens.
std::vector<QString> WindowList(CMainFrame* frame, std::vector<bool>* checks = nullptr) {
    QMenu* menu = frame->GetMenus(129)[4];
    emit menu->aboutToShow();
    std::vector<QString> list;
    bool pastSeparator = false;
    for (QAction* a : menu->actions()) {
        if (!a->isVisible()) continue;
        if (a->isSeparator()) {
            pastSeparator = true;
            continue;
        }
        if (!pastSeparator) continue;
        list.push_back(a->text());
        if (checks != nullptr) checks->push_back(a->isChecked());
    }
    return list;
}

TEST_F(WindowNavigationTest, WindowMenuListsTheWindowsAndCtrlF6CyclesThem) {
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) OpenWithKeyboard(Wav(name));
    std::vector<bool> checks;
    EXPECT_EQ(WindowList(frame, &checks), (std::vector<QString>{"&1 a.wav", "&2 b.wav", "&3 c.wav"}));
    EXPECT_EQ(checks, (std::vector<bool>{false, false, true}));

    std::vector<QString> seen;
    for (auto [key, modifiers] : {std::pair{Qt::Key_F6, Qt::ControlModifier},
                                  {Qt::Key_Tab, Qt::ControlModifier},
                                  {Qt::Key_F6, Qt::ControlModifier}}) {
        QTest::keyClick(Target(frame), key, modifiers);
        seen.push_back(frame->GetActiveFrame()->windowTitle());
        EXPECT_TRUE(frame->GetActiveFrame()->isMaximized());
    }
    EXPECT_EQ(seen, (std::vector<QString>{"a.wav", "b.wav", "c.wav"}));
    seen.clear();
    const Qt::KeyboardModifiers back = Qt::ControlModifier | Qt::ShiftModifier;
    for (auto key : {Qt::Key_F6, Qt::Key_Backtab, Qt::Key_F6}) {
        QTest::keyClick(Target(frame), key, back);
        seen.push_back(frame->GetActiveFrame()->windowTitle());
    }
    EXPECT_EQ(seen, (std::vector<QString>{"b.wav", "a.wav", "c.wav"}));

    // Choosing an entry activates its window.
    QMenu* menu = frame->GetMenus(129)[4];
    emit menu->aboutToShow();
    for (QAction* a : menu->actions()) {
        if (a->text() == QStringLiteral("&2 b.wav")) a->trigger();
    }
    EXPECT_EQ(frame->GetActiveFrame()->windowTitle(), QStringLiteral("b.wav"));
    checks.clear();
    WindowList(frame, &checks);
    EXPECT_EQ(checks, (std::vector<bool>{false, true, false}));
}

TEST_F(WindowNavigationTest, WindowMenuShowsNineWindowsThenWindowsDots) {
    for (int i = 0; i < 10; ++i) OpenWithKeyboard(Wav("w" + std::to_string(i) + ".wav"));
    const std::vector<QString> list = WindowList(frame);
    ASSERT_EQ(list.size(), 10u);
    EXPECT_EQ(list[0], QStringLiteral("&1 w0.wav"));
    EXPECT_EQ(list[8], QStringLiteral("&9 w8.wav"));
    EXPECT_EQ(list[9], QStringLiteral("Windows..."));
}

// The pop-up menu that a key opened, or null.
QMenu* OpenPopup() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); }

TEST_F(WindowNavigationTest, OnlyTheVisibleMenuBarsMnemonicsAreLive) {
    OpenWithKeyboard(Wav("a.wav"));
    const std::vector<QMenu*>& menus = frame->GetMenus(129);
    const std::vector<std::pair<int, QMenu*>> keys{
        {Qt::Key_F, menus[0]}, {Qt::Key_E, menus[1]},
        {Qt::Key_V, menus[2]}, {0x0414, menus[3]},  // Д, the first letter of "Действия"
        {Qt::Key_W, menus[4]}, {Qt::Key_H, menus[5]}};
    for (const auto& [key, menu] : keys) {
        const QString text = key < 0x100 ? QString(QChar(key)).toLower() : QString(QChar(key + 0x20));
        QTest::sendKeyEvent(QTest::Press, frame, Qt::Key(key), text, Qt::AltModifier);
        QTest::sendKeyEvent(QTest::Release, frame, Qt::Key(key), text, Qt::AltModifier);
        ASSERT_TRUE(Eventually([&] { return OpenPopup() == menu; })) << key;
        menu->close();
        ASSERT_TRUE(Eventually([&] { return OpenPopup() == nullptr; }));
    }
    EXPECT_EQ(menus[3]->title(), QStringLiteral("&Действия"));
}

TEST_F(WindowNavigationTest, DropsAreAcceptedAsACopy) {
    const std::string path = Wav("dropped.wav");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at(frame->width() / 2, frame->height() / 2);
    // The source offers to move or copy, and Shift makes it propose a move.
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(frame, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(DocumentCount(), 1u);
}

TEST_F(WindowNavigationTest, HelpNamesTheContextMenusKeysAndCommands) {
    QTest::keyClick(frame, Qt::Key_F1);
    ASSERT_EQ(messages.count(), 1u);
    const std::string help = messages.last();
    for (const char* text :
         {"Shift+F10", "контекстное меню", "Частотно-временная настройка ФАС-фильма",
          "Подготовить данные для сонограммы повышенного качества", "Показать локальные максимумы",
          "Создать FGT", "Установить параметр Р", "Home", "End", "Page Up", "Page Down", "Shift+Home",
          "Ctrl+F6", "колесо", "Рассчитать децимированные сигналы", "Инвертированная сонограмма"}) {
        EXPECT_NE(help.find(text), std::string::npos) << text;
    }
    Trigger(res::ID_HELP_FINDER);
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_EQ(messages.last(), help);
}

// The menu as shown, with `palette`.
QImage ShownMenu(QMenu* menu, const QPalette& palette) {
    menu->setPalette(palette);
    menu->adjustSize();
    return menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// How many pixels of the row of `action` in its left margin (where a check
// mark goes) change strongly enough to be seen between two pictures of the
// menu, one with the item checked and one without.
int CheckMarkPixels(QMenu* menu, QAction* action, const QImage& checked, const QImage& unchecked) {
    const QRect row = menu->actionGeometry(action);
    const int margin = std::min(2 * row.height(), row.width());
    int strong = 0;
    for (int y = row.top(); y <= row.bottom(); ++y) {
        for (int x = row.left(); x < row.left() + margin; ++x) {
            if (std::abs(qGray(checked.pixel(x, y)) - qGray(unchecked.pixel(x, y))) > 100) ++strong;
        }
    }
    return strong;
}

TEST_F(WindowNavigationTest, CheckedSonogramModeIsPlainToSeeInLightAndDarkStyles) {
    OpenWithKeyboard(Wav("a.wav"));
    frame->UpdateCommandStates();
    QMenu* view = frame->GetMenus(129)[2];
    QAction* amplitude = frame->GetActions().Find(res::ID_SONOGRAM_AMPLITUDE);
    QAction* am = frame->GetActions().Find(res::ID_SONOGRAM_AM);
    ASSERT_TRUE(amplitude->isChecked());
    ASSERT_FALSE(am->isChecked());
    QPalette dark;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(g, QPalette::Window, QColor(45, 45, 48));
        dark.setColor(g, QPalette::Base, QColor(30, 30, 30));
        dark.setColor(g, QPalette::Button, QColor(45, 45, 48));
        dark.setColor(g, QPalette::WindowText, QColor(230, 230, 230));
        dark.setColor(g, QPalette::Text, QColor(230, 230, 230));
        dark.setColor(g, QPalette::ButtonText, QColor(230, 230, 230));
    }
    const QPalette light = view->palette();
    const QImage lightChecked = ShownMenu(view, light);
    const QImage darkChecked = ShownMenu(view, dark);
    Trigger(res::ID_SONOGRAM_AM);
    frame->UpdateCommandStates();
    ASSERT_FALSE(amplitude->isChecked());
    const int lightMark = CheckMarkPixels(view, amplitude, lightChecked, ShownMenu(view, light));
    const int darkMark = CheckMarkPixels(view, amplitude, darkChecked, ShownMenu(view, dark));
    // A mark of a score of pixels in strong contrast (a faint frame around
    // the picture changes none).
    EXPECT_GE(lightMark, 15);
    EXPECT_GE(darkMark, 15);
    view->setPalette(light);
}

}  // namespace
