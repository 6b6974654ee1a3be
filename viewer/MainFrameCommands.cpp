// The main window's own commands, its close, drops of files and the lock-key
// indicators.
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <QWhatsThis>

#include "ChildFrame.h"
#include "DocTemplate.h"
#include "LocalFileNames.h"
#include "MainFrame.h"
#include "MenuTables.h"
#include "Messages.h"
#include "ResourceIds.h"
#include "ScalePainter.h"
#include "ScrollView.h"

bool CMainFrame::OnUpdateCommand(int id, platform::CommandState& state) {
    switch (id) {
        case res::ID_WINDOW_NEW:
            state.enabled = m_pTemplate != nullptr && GetActiveDocument() != nullptr;
            return true;
        case res::ID_WINDOW_CASCADE:
        case res::ID_WINDOW_TILE_HORZ:
        case res::ID_WINDOW_ARRANGE:
            state.enabled = m_mdiArea != nullptr && !m_mdiArea->subWindowList().isEmpty();
            return true;
        case res::ID_FILE_CLOSE:
            state.enabled = GetActiveFrame() != nullptr;
            return true;
        case res::ID_VIEW_TOOLBAR:
            state.checked = m_toolBar != nullptr && m_toolBar->isVisibleTo(this);
            return true;
        case res::ID_VIEW_STATUS_BAR:
            state.checked = statusBar()->isVisibleTo(this);
            return true;
        case res::ID_VIEW_SCALES:
            state.checked = ScalePainter::IsShown();
            return true;
        case res::ID_APP_EXIT:
        case res::ID_HELP_FINDER:
        case res::ID_HELP:
        case res::ID_DEFAULT_HELP:
        case res::ID_CONTEXT_HELP:
            return true;
        default:
            return false;
    }
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
        case res::ID_WINDOW_NEW: {
            platform::Document* document = GetActiveDocument();
            if (m_pTemplate == nullptr || document == nullptr) return false;
            m_pTemplate->CreateNewFrame(document);
            return true;
        }
        case res::ID_WINDOW_CASCADE:
            m_mdiArea->cascadeSubWindows();
            return true;
        case res::ID_WINDOW_TILE_HORZ:
            m_mdiArea->tileSubWindows();
            return true;
        case res::ID_WINDOW_ARRANGE:
            // Minimized windows line up along the bottom; the others stay.
            for (QMdiSubWindow* window : m_mdiArea->subWindowList()) {
                if (window->isMinimized()) window->showMinimized();
            }
            return true;
        case res::ID_FILE_CLOSE: {
            CChildFrame* frame = GetActiveFrame();
            if (frame == nullptr) return false;
            platform::Document* document = frame->GetDocument();
            if (m_pTemplate != nullptr && document != nullptr) {
                m_pTemplate->CloseDocument(document);
            } else {
                frame->close();
            }
            return true;
        }
        case res::ID_VIEW_TOOLBAR:
            m_toolBar->setVisible(!m_toolBar->isVisibleTo(this));
            return true;
        case res::ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(!statusBar()->isVisibleTo(this));
            return true;
        case res::ID_VIEW_SCALES:
            ScalePainter::SetShown(!ScalePainter::IsShown());
            for (platform::ScrollView* pane : m_mdiArea->findChildren<platform::ScrollView*>())
                pane->viewport()->update();
            return true;
        case res::ID_APP_EXIT:
            close();
            return true;
        case res::ID_HELP_FINDER:
        case res::ID_HELP:
        case res::ID_DEFAULT_HELP:
            platform::ShowMessage(res::kHelpText, res::kAppName);
            return true;
        case res::ID_CONTEXT_HELP:
            QWhatsThis::enterWhatsThisMode();
            statusBar()->showMessage(QString::fromUtf8(res::kContextHelpPrompt));
            return true;
        default:
            return false;
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Every document closes with the main window.
    if (m_pTemplate != nullptr) m_pTemplate->CloseAllDocuments();
    if (m_mdiArea != nullptr) m_mdiArea->closeAllSubWindows();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    // A viewer takes a copy: whatever the source proposes, it is never told
    // that its files were moved (and so never deletes them).
    const QMimeData* data = event->mimeData();
    if (data != nullptr && data->hasUrls() && (event->possibleActions() & Qt::CopyAction)) {
        for (const QUrl& url : data->urls()) {
            if (url.isLocalFile()) {
                event->setDropAction(Qt::CopyAction);
                event->accept();
                return;
            }
        }
    }
    event->ignore();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data == nullptr || !data->hasUrls() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    activateWindow();
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && m_openFile) m_openFile(platform::LocalPathFromUrl(url));
    }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) {
            // Each press of a lock key toggles its indicator.
            switch (key->key()) {
                case Qt::Key_CapsLock:
                    SetIndicator(res::ID_INDICATOR_CAPS, !IsIndicatorOn(res::ID_INDICATOR_CAPS));
                    break;
                case Qt::Key_NumLock:
                    SetIndicator(res::ID_INDICATOR_NUM, !IsIndicatorOn(res::ID_INDICATOR_NUM));
                    break;
                case Qt::Key_ScrollLock:
                    SetIndicator(res::ID_INDICATOR_SCRL, !IsIndicatorOn(res::ID_INDICATOR_SCRL));
                    break;
                default:
                    break;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
