// The program's main window: the workspace of document windows with the
// banner behind them, the menu bar (menu 128 while no document window is
// open, menu 129 while one is active), the accelerators, the dockable
// toolbar, the status bar with its prompts and lock-key indicators, and the
// window and help commands. Commands from menus, toolbar and accelerators go
// through one router along the route: active view, its document, its
// document window, this window, the application.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>
#include <vector>

#include "CommandActions.h"
#include "CommandRouter.h"
#include "CommandTarget.h"
#include "KMainFrameClient.h"
#include "MenuTables.h"

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class CChildFrame;

namespace platform {
class DocTemplate;
class Document;
class View;
}  // namespace platform

class CMainFrame : public QMainWindow, public platform::CommandTarget {
    Q_OBJECT

public:
    CMainFrame();
    ~CMainFrame() override;

    // Builds the toolbar, the status bar, the menus and the accelerators.
    bool LoadFrame();

    // The last targets of the command route (the application) and the
    // template whose windows this frame shows.
    void SetApplicationTarget(platform::CommandTarget* app) { m_pApp = app; }
    void SetDocTemplate(platform::DocTemplate* docTemplate) { m_pTemplate = docTemplate; }
    // Opens a file dropped on the window.
    void SetOpenFileHandler(std::function<bool(const std::string&)> open) { m_openFile = std::move(open); }
    // The recent files shown in the File menus.
    void SetRecentFileSource(std::function<std::vector<std::string>()> source) {
        m_recentFiles = std::move(source);
    }

    // Takes a new document window into the workspace, maximized.
    void AddDocumentFrame(QWidget* frame);
    void ActivateFrame(QWidget* frame);

    QMdiArea* GetMdiArea() const { return m_mdiArea; }
    CKMainFrameClient& GetClientWnd() { return m_clientWnd; }
    QToolBar* GetToolBar() const { return m_toolBar; }
    // 128 or 129: the menu now in the menu bar.
    int GetShownMenu() const { return m_nShownMenu; }
    // The top-level menus of menu 128 or 129.
    const std::vector<QMenu*>& GetMenus(int menuId) const;

    CChildFrame* GetActiveFrame() const;
    platform::View* GetActiveView() const;
    platform::Document* GetActiveDocument() const;

    platform::CommandRouter& GetRouter() { return m_router; }
    platform::CommandActions& GetActions() { return *m_actions; }
    // Refreshes the enable and check state of every command.
    void UpdateCommandStates();
    // Follows a change of the active document window: menu, title, commands.
    void OnActiveWindowChanged();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

    // Whether the indicator of a lock key is lit.
    bool IsIndicatorOn(int indicatorId) const;
    // The status-bar field of the time-frequency cursor.
    QLabel* GetCursorField() const { return m_cursorField; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateToolBar();
    void CreateStatusBar();
    void CreateMenus();
    void CreateAccelerators();
    void FillMenu(QMenu* menu, const std::vector<res::MenuEntry>& entries);
    void RebuildRecentFiles(QMenu* fileMenu);
    void ShowMenu(int menuId);
    void UpdateTitle();
    // The Window menu's list of document windows, refreshed when it opens.
    void RebuildWindowList(QMenu* windowMenu);
    void ChooseFromAllWindows();
    void SetIndicator(int indicatorId, bool on);
    // Shows the cursor of the active document window: its active sonogram
    // pane's, or its upper pane's while the FGT pane is active; empty
    // without a document window.
    void UpdateCursorField();
    std::vector<platform::CommandTarget*> Route() const;

    CKMainFrameClient m_clientWnd;
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_indicators[3] = {nullptr, nullptr, nullptr};
    bool m_bIndicatorOn[3] = {false, false, false};
    QLabel* m_cursorField = nullptr;

    platform::CommandRouter m_router;
    platform::CommandActions* m_actions = nullptr;
    platform::CommandTarget* m_pApp = nullptr;
    platform::DocTemplate* m_pTemplate = nullptr;
    std::function<bool(const std::string&)> m_openFile;
    std::function<std::vector<std::string>()> m_recentFiles;

    std::vector<QMenu*> m_mainMenus;      // menu 128
    std::vector<QMenu*> m_documentMenus;  // menu 129
    struct RecentBlock {
        QMenu* menu;
        QAction* anchor;       // the separator after the list
        QAction* placeholder;  // "Recent File", grayed, while the list is empty
    };
    std::vector<RecentBlock> m_recentBlocks;
    int m_nShownMenu = 0;
    std::vector<QAction*> m_windowListActions;  // separator, numbered windows, "Windows..."
    bool m_bSettingTitle = false;
};
