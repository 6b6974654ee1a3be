#include "ChildFrame.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>

#include "Document.h"
#include "Icons.h"
#include "ResourceIds.h"
#include "StaticSplitter.h"
#include "View.h"

CChildFrame* CChildFrame::Create(platform::Document* document, const PaneFactory& panes) {
    auto* frame = new CChildFrame(document);
    if (!frame->OnCreateClient(panes)) {
        delete frame;
        return nullptr;
    }
    return frame;
}

CChildFrame::CChildFrame(platform::Document* document) : m_pDocument(document) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(res::DocumentIcon());
}

CChildFrame::~CChildFrame() {
    m_pActiveView = nullptr;
    // The views go before the frame does, so the document (and whoever
    // watches the frame) sees them detached when the frame is gone.
    m_pPanes.fill(nullptr);
    delete m_splitter;
    m_splitter = nullptr;
}

bool CChildFrame::OnCreateClient(const PaneFactory& panes) {
    m_splitter = new platform::StaticSplitter(kRows);
    setWidget(m_splitter);
    if (!panes) return false;
    // Rows 1 and 2 first, then row 0: the document lists its views in the
    // order they are made.
    for (int row : {1, 2, 0}) {
        platform::View* view = panes(row);
        QWidget* widget = view != nullptr ? view->GetWidget() : nullptr;
        if (widget == nullptr) {
            delete view;
            return false;
        }
        m_pPanes[row] = view;
        int index = 0;
        for (int r = 0; r < row; ++r) index += m_pPanes[r] != nullptr ? 1 : 0;
        m_splitter->insertWidget(index, widget);
        if (m_pDocument != nullptr) m_pDocument->AddView(view);
        widget->installEventFilter(this);
    }
    for (int row = 0; row < kRows; ++row) {
        m_splitter->SetRowInfo(row, kIdealRowHeight[row], 0);
        m_splitter->setStretchFactor(row, row == kRows - 1 ? 1 : 0);
    }
    m_splitter->RecalcLayout();
    SetActiveView(m_pPanes[1], true);
    return true;
}

platform::View* CChildFrame::GetPane(int row) const {
    return row >= 0 && row < kRows ? m_pPanes[row] : nullptr;
}

int CChildFrame::GetRow(const platform::View* view) const {
    for (int row = 0; row < kRows; ++row) {
        if (view != nullptr && m_pPanes[row] == view) return row;
    }
    return -1;
}

void CChildFrame::SetActiveView(platform::View* view, bool notify) {
    if (view == nullptr || GetRow(view) < 0) return;
    platform::View* old = m_pActiveView;
    m_pActiveView = view;
    if (view != old) {
        if (notify) {
            if (old != nullptr) old->OnActivateView(false, view, old);
            view->OnActivateView(true, view, old);
        }
        emit activeViewChanged(view);
    }
    QWidget* widget = view->GetWidget();
    if (widget != nullptr && !widget->hasFocus()) widget->setFocus(Qt::OtherFocusReason);
}

void CChildFrame::ActivateNext(bool previous) {
    int row = GetRow(m_pActiveView);
    if (row < 0) row = previous ? 0 : kRows - 1;
    for (int step = 1; step <= kRows; ++step) {
        const int next = (row + (previous ? kRows - step : step)) % kRows;
        if (m_pPanes[next] != nullptr) {
            SetActiveView(m_pPanes[next]);
            return;
        }
    }
}

bool CChildFrame::OnCommand(int id) {
    if (id == res::ID_NEXT_PANE || id == res::ID_PREV_PANE) {
        ActivateNext(id == res::ID_PREV_PANE);
        return true;
    }
    return false;
}

bool CChildFrame::OnUpdateCommand(int id, platform::CommandState& state) {
    (void)state;
    return id == res::ID_NEXT_PANE || id == res::ID_PREV_PANE;
}

bool CChildFrame::eventFilter(QObject* watched, QEvent* event) {
    platform::View* active = m_pActiveView;
    QWidget* activeWidget = active != nullptr ? active->GetWidget() : nullptr;
    // A pane that is shown again (its window activated) gets the focus back
    // when it is the active one.
    if (event->type() == QEvent::Show && activeWidget != nullptr && watched == activeWidget) {
        activeWidget->setFocus(Qt::OtherFocusReason);
    }
    if (event->type() == QEvent::FocusIn && activeWidget != nullptr && watched != activeWidget) {
        // Only the user moves the active pane, with a click here or with the
        // pane keys (which set it directly). The focus that the workspace
        // hands to some pane when it tiles, cascades, closes another window
        // or activates this one goes back to the active pane.
        const bool byUser = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        for (platform::View* view : m_pPanes) {
            if (view == nullptr || view->GetWidget() != watched) continue;
            if (byUser) {
                SetActiveView(view);
            } else {
                activeWidget->setFocus(Qt::OtherFocusReason);
            }
            break;
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}
