#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include "ChildFrame.h"
#include "DocTemplate.h"
#include "Icons.h"
#include "KSonogramView.h"
#include "MainWindow.h"
#include "ResourceIds.h"
#include "ScalePainter.h"
#include "View.h"

CMainFrame::CMainFrame() {
    setWindowTitle(QString::fromUtf8(res::kAppName));
    setWindowIcon(res::ApplicationIcon());
    setObjectName(QStringLiteral("MainFrame"));
    // Opens maximized, whatever state it was asked to start in.
    setWindowState(windowState() | Qt::WindowMaximized);
    m_router.SetRoute([this] { return Route(); });
    m_actions = new platform::CommandActions(&m_router, this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    if (platform::GetMainWindow() == this) platform::SetMainWindow(nullptr);
}

bool CMainFrame::LoadFrame() {
    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("MdiClient"));
    setCentralWidget(m_mdiArea);
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this] { OnActiveWindowChanged(); });
    ScalePainter::LoadSetting();
    CreateToolBar();
    CreateStatusBar();
    CreateMenus();
    CreateAccelerators();
    setAcceptDrops(true);
    qApp->installEventFilter(this);  // lock keys for the indicators
    ShowMenu(res::IDR_MAINFRAME);
    UpdateCommandStates();
    return true;
}

void CMainFrame::CreateToolBar() {
    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar128"));
    m_toolBar->setIconSize(QSize(res::kButtonImageWidth, res::kButtonImageHeight));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    for (int id : res::ToolbarButtons()) {
        if (id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = m_actions->Action(id);
        action->setIcon(res::CommandIcon(id));
        m_toolBar->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    // The cursor's field, left of the lock keys, wide enough for a long
    // recording's read-out so that moving the cursor does not shift it.
    m_cursorField = new QLabel(bar);
    m_cursorField->setObjectName(QStringLiteral("Cursor"));
    m_cursorField->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_cursorField->setMinimumWidth(m_cursorField->fontMetrics().horizontalAdvance(
                                       QString::fromUtf8("00000.000 c, 00000.0 Гц, -000.00 дБ")) +
                                   8);
    bar->addPermanentWidget(m_cursorField);
    const char* const texts[3] = {"CAP", "NUM", "SCRL"};
    const int ids[3] = {res::ID_INDICATOR_CAPS, res::ID_INDICATOR_NUM, res::ID_INDICATOR_SCRL};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(texts[i]));
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(texts[i])) + 8);
        m_indicators[i] = label;
        bar->addPermanentWidget(label);
        SetIndicator(ids[i], false);
    }
    // The message pane falls back to the idle text whenever no prompt is shown.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& text) {
        if (text.isEmpty()) bar->showMessage(QString::fromUtf8(res::kIdleMessage));
    });
    bar->showMessage(QString::fromUtf8(res::kIdleMessage));
}

void CMainFrame::SetIndicator(int indicatorId, bool on) {
    const int index = indicatorId - res::ID_INDICATOR_CAPS;
    if (index < 0 || index >= 3 || m_indicators[index] == nullptr) return;
    m_bIndicatorOn[index] = on;
    static const char* const texts[3] = {"CAP", "NUM", "SCRL"};
    m_indicators[index]->setText(on ? QString::fromLatin1(texts[index]) : QString());
}

void CMainFrame::UpdateCursorField() {
    if (m_cursorField == nullptr) return;
    QString text;
    if (CChildFrame* child = GetActiveFrame()) {
        auto* pane = dynamic_cast<CKSonogramView*>(child->GetActiveView());
        if (pane == nullptr) pane = dynamic_cast<CKSonogramView*>(child->GetPane(1));
        if (pane != nullptr) text = QString::fromStdString(pane->GetCursorReadout());
    }
    m_cursorField->setText(text);
}

bool CMainFrame::IsIndicatorOn(int indicatorId) const {
    const int index = indicatorId - res::ID_INDICATOR_CAPS;
    return index >= 0 && index < 3 && m_bIndicatorOn[index];
}

void CMainFrame::FillMenu(QMenu* menu, const std::vector<res::MenuEntry>& entries) {
    for (const res::MenuEntry& entry : entries) {
        switch (entry.kind) {
            case res::MenuEntry::Kind::Separator:
                menu->addSeparator();
                break;
            case res::MenuEntry::Kind::Popup: {
                QMenu* sub = menu->addMenu(QString::fromStdString(entry.text));
                FillMenu(sub, entry.children);
                break;
            }
            case res::MenuEntry::Kind::RecentFiles: {
                auto* placeholder = new QAction(QString::fromStdString(entry.text), menu);
                placeholder->setEnabled(false);
                placeholder->setStatusTip(QString::fromUtf8(res::kRecentFilePrompt));
                menu->addAction(placeholder);
                m_recentBlocks.push_back({menu, nullptr, placeholder});
                break;
            }
            case res::MenuEntry::Kind::Item: {
                QAction* action = m_actions->Action(entry.id);
                if (action->text().isEmpty()) action->setText(QString::fromStdString(entry.text));
                menu->addAction(action);
                break;
            }
        }
    }
}

void CMainFrame::CreateMenus() {
    for (int menuId : {res::IDR_MAINFRAME, res::IDR_FONAVIDTYPE}) {
        std::vector<QMenu*>& menus = menuId == res::IDR_MAINFRAME ? m_mainMenus : m_documentMenus;
        for (const res::MenuEntry& popup : res::MenuBar(menuId)) {
            auto* menu = new QMenu(QString::fromStdString(popup.text), this);
            const size_t firstBlock = m_recentBlocks.size();
            FillMenu(menu, popup.children);
            if (menuId == res::IDR_FONAVIDTYPE && popup.text == "&Window") {
                connect(menu, &QMenu::aboutToShow, this, [this, menu] { RebuildWindowList(menu); });
            }
            for (size_t b = firstBlock; b < m_recentBlocks.size(); ++b) {
                // The list sits between the placeholder and the next entry.
                const QList<QAction*> actions = menu->actions();
                const qsizetype at = actions.indexOf(m_recentBlocks[b].placeholder);
                m_recentBlocks[b].anchor = at + 1 < actions.size() ? actions[at + 1] : nullptr;
                connect(menu, &QMenu::aboutToShow, this, [this, menu] { RebuildRecentFiles(menu); });
            }
            m_actions->WatchMenu(menu);
            menus.push_back(menu);
        }
    }
    // Every command action carries its prompt and tooltip from the string table.
    for (auto& [id, action] : m_actions->Actions()) {
        // Menus show check marks, not the toolbar's pictures: a checked
        // picture is hard to tell from an unchecked one.
        action->setIconVisibleInMenu(false);
        action->setStatusTip(QString::fromStdString(res::CommandPrompt(id)));
        const std::string tip = res::CommandTooltip(id);
        if (!tip.empty()) action->setToolTip(QString::fromStdString(tip));
        if (action->text().isEmpty()) action->setText(QString::fromStdString(tip));
    }
    for (int i = 0; i < res::kRecentFileCount; ++i) {
        m_actions->Action(res::ID_FILE_MRU_FILE1 + i)
            ->setStatusTip(QString::fromUtf8(res::kRecentFilePrompt));
    }
}

void CMainFrame::RebuildRecentFiles(QMenu* fileMenu) {
    const std::vector<std::string> files = m_recentFiles ? m_recentFiles() : std::vector<std::string>();
    for (const RecentBlock& block : m_recentBlocks) {
        if (block.menu != fileMenu) continue;
        for (int i = 0; i < res::kRecentFileCount; ++i) {
            fileMenu->removeAction(m_actions->Action(res::ID_FILE_MRU_FILE1 + i));
        }
        block.placeholder->setVisible(files.empty());
        const size_t shown = std::min<size_t>(files.size(), res::kRecentFileCount);
        for (size_t i = 0; i < shown; ++i) {
            QAction* action = m_actions->Action(res::ID_FILE_MRU_FILE1 + static_cast<int>(i));
            const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QStringLiteral("%1").arg(i + 1);
            QString path = QString::fromStdString(files[i]);
            path.replace(QLatin1Char('&'), QStringLiteral("&&"));
            action->setText(number + QLatin1Char(' ') + path);
            fileMenu->insertAction(block.anchor, action);
        }
    }
}

void CMainFrame::CreateAccelerators() {
    for (const res::Accelerator& accel : res::AcceleratorTable()) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(accel.key)), this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        const int id = accel.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { m_actions->Execute(id); });
    }
    for (bool next : {true, false}) {
        for (const char* key : next ? res::NextWindowKeys() : res::PreviousWindowKeys()) {
            auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(key)), this);
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, next] {
                if (next) {
                    m_mdiArea->activateNextSubWindow();
                } else {
                    m_mdiArea->activatePreviousSubWindow();
                }
            });
        }
    }
}

void CMainFrame::RebuildWindowList(QMenu* windowMenu) {
    for (QAction* action : m_windowListActions) {
        windowMenu->removeAction(action);
        action->deleteLater();
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    if (windows.isEmpty()) return;
    m_windowListActions.push_back(windowMenu->addSeparator());
    QMdiSubWindow* active = m_mdiArea->activeSubWindow();
    for (qsizetype i = 0; i < windows.size() && i < res::kListedWindowCount; ++i) {
        QString title = windows[i]->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = windowMenu->addAction(QStringLiteral("&%1 ").arg(i + 1) + title);
        // Only the active window's entry carries a check mark.
        action->setCheckable(windows[i] == active);
        action->setChecked(windows[i] == active);
        QPointer<QMdiSubWindow> window = windows[i];
        connect(action, &QAction::triggered, this, [this, window] {
            if (window) ActivateFrame(window);
        });
        m_windowListActions.push_back(action);
    }
    if (windows.size() > res::kListedWindowCount) {
        QAction* more = windowMenu->addAction(QString::fromUtf8(res::kMoreWindows));
        connect(more, &QAction::triggered, this, [this] { ChooseFromAllWindows(); });
        m_windowListActions.push_back(more);
    }
}

void CMainFrame::ChooseFromAllWindows() {
    const QList<QMdiSubWindow*> windows = m_mdiArea->subWindowList();
    QStringList titles;
    for (QMdiSubWindow* window : windows) titles << window->windowTitle();
    const int current = std::max<int>(0, static_cast<int>(windows.indexOf(m_mdiArea->activeSubWindow())));
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("Windows"), QStringLiteral("Windows:"),
                                                 titles, current, false, &ok);
    const qsizetype at = titles.indexOf(chosen);
    if (ok && at >= 0 && at < windows.size()) ActivateFrame(windows[at]);
}

const std::vector<QMenu*>& CMainFrame::GetMenus(int menuId) const {
    return menuId == res::IDR_FONAVIDTYPE ? m_documentMenus : m_mainMenus;
}

void CMainFrame::ShowMenu(int menuId) {
    if (menuId == m_nShownMenu) return;
    m_nShownMenu = menuId;
    // Only the shown menus belong to the bar: a hidden menu would keep its
    // mnemonic, and two menus with Alt+F make the key do nothing.
    menuBar()->clear();
    for (QMenu* menu : GetMenus(menuId)) menuBar()->addMenu(menu);
}

CChildFrame* CMainFrame::GetActiveFrame() const {
    if (m_mdiArea == nullptr) return nullptr;
    return qobject_cast<CChildFrame*>(m_mdiArea->activeSubWindow());
}

platform::View* CMainFrame::GetActiveView() const {
    CChildFrame* frame = GetActiveFrame();
    return frame != nullptr ? frame->GetActiveView() : nullptr;
}

platform::Document* CMainFrame::GetActiveDocument() const {
    CChildFrame* frame = GetActiveFrame();
    if (frame == nullptr) return nullptr;
    if (platform::View* view = frame->GetActiveView()) {
        if (view->GetDocument() != nullptr) return view->GetDocument();
    }
    return frame->GetDocument();
}

std::vector<platform::CommandTarget*> CMainFrame::Route() const {
    CChildFrame* frame = GetActiveFrame();
    platform::View* view = frame != nullptr ? frame->GetActiveView() : nullptr;
    platform::Document* document = view != nullptr ? view->GetDocument() : nullptr;
    return {view, document, frame, const_cast<CMainFrame*>(this), m_pApp};
}

void CMainFrame::UpdateCommandStates() { m_actions->UpdateAll(); }

void CMainFrame::AddDocumentFrame(QWidget* frame) {
    auto* child = qobject_cast<CChildFrame*>(frame);
    QMdiSubWindow* window = child;
    if (window == nullptr) {
        window = m_mdiArea->addSubWindow(frame);
        window->setAttribute(Qt::WA_DeleteOnClose);
    } else {
        m_mdiArea->addSubWindow(child);
        connect(child, &CChildFrame::activeViewChanged, this, [this] {
            UpdateCommandStates();
            UpdateCursorField();
        });
        for (int row = 0; row < CChildFrame::kRows; ++row) {
            if (auto* pane = dynamic_cast<CKSonogramView*>(child->GetPane(row)))
                connect(pane, &CKSonogramView::cursorReadoutChanged, this, [this] { UpdateCursorField(); });
        }
    }
    connect(window, &QWidget::windowTitleChanged, this, [this] { UpdateTitle(); });
    connect(window, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateTitle(); });
    // Document windows open maximized inside the workspace; the size is set
    // first so that the panes are laid out before they bind to the document.
    window->resize(m_mdiArea->viewport()->size());
    window->showMaximized();
    m_mdiArea->setActiveSubWindow(window);
    OnActiveWindowChanged();
}

void CMainFrame::ActivateFrame(QWidget* frame) {
    auto* window = qobject_cast<QMdiSubWindow*>(frame);
    if (window == nullptr && frame != nullptr) window = qobject_cast<QMdiSubWindow*>(frame->parentWidget());
    if (window == nullptr) return;
    if (window->isMinimized()) window->showNormal();
    m_mdiArea->setActiveSubWindow(window);
}

void CMainFrame::OnActiveWindowChanged() {
    const bool active = m_mdiArea != nullptr && m_mdiArea->activeSubWindow() != nullptr;
    ShowMenu(active ? res::IDR_FONAVIDTYPE : res::IDR_MAINFRAME);
    UpdateTitle();
    UpdateCommandStates();
    UpdateCursorField();
}

void CMainFrame::UpdateTitle() {
    // "Fonavid - name" names the active document window, "Fonavid - [name]"
    // a maximized one. The workspace writes its own form into the title when
    // a window is maximized or restored; changeEvent puts this one back.
    const QString app = QString::fromUtf8(res::kAppName);
    QMdiSubWindow* window = m_mdiArea != nullptr ? m_mdiArea->activeSubWindow() : nullptr;
    QString title = app;
    if (window != nullptr && !window->windowTitle().isEmpty()) {
        title += window->isMaximized() ? QStringLiteral(" - [%1]").arg(window->windowTitle())
                                       : QStringLiteral(" - ") + window->windowTitle();
    }
    if (m_bSettingTitle || windowTitle() == title) return;
    m_bSettingTitle = true;
    setWindowTitle(title);
    m_bSettingTitle = false;
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange) UpdateTitle();
}
