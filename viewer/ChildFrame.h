// One document window: a sub-window of the main window's workspace, opened
// maximized, whose client is a static splitter of three rows: the FGT pane
// (100 pixels), the upper sonogram pane (532 pixels) and the lower sonogram
// pane (the rest). The views are made in the order row 1, row 2, row 0 and
// attached to the document in that order, so the document's broadcasts reach
// the upper sonogram, the lower sonogram and then the FGT pane. The frame
// tracks its active view (the one that receives commands) and moves it with
// the next/previous pane commands.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <array>

#include "CommandTarget.h"
#include "PaneFactory.h"

namespace platform {
class Document;
class StaticSplitter;
class View;
}  // namespace platform

class CChildFrame : public QMdiSubWindow, public platform::CommandTarget {
    Q_OBJECT

public:
    static constexpr int kRows = 3;
    static constexpr int kIdealRowHeight[kRows] = {100, 532, 532};

    // A document window on `document` with panes from `panes`; null (and
    // nothing attached) when a pane cannot be made.
    static CChildFrame* Create(platform::Document* document, const PaneFactory& panes = CreateStandardPane);
    ~CChildFrame() override;

    platform::Document* GetDocument() const { return m_pDocument; }
    platform::StaticSplitter* GetSplitter() const { return m_splitter; }
    // The view of `row`, or null.
    platform::View* GetPane(int row) const;
    // The row of `view`, or -1.
    int GetRow(const platform::View* view) const;

    platform::View* GetActiveView() const { return m_pActiveView; }
    // Makes `view` (a pane of this frame) the active view, telling both the
    // old and the new one when `notify` is set, and gives it the focus.
    void SetActiveView(platform::View* view, bool notify = true);
    // Moves the active view to the next (or previous) row, wrapping round.
    void ActivateNext(bool previous = false);

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, platform::CommandState& state) override;

signals:
    void activeViewChanged(platform::View* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CChildFrame(platform::Document* document);
    bool OnCreateClient(const PaneFactory& panes);

    platform::Document* m_pDocument;
    platform::StaticSplitter* m_splitter = nullptr;
    std::array<platform::View*, kRows> m_pPanes{};
    platform::View* m_pActiveView = nullptr;
};
