// A view of a document: a widget that the document tells when its data
// changed. Views are attached to at most one document; the document keeps
// them in the order they were added.
#pragma once

#include "CommandTarget.h"
#include "FonacoreApi.h"

class QWidget;

namespace platform {

class Document;

class FONACORE_API View : public CommandTarget {
public:
    View() = default;
    // Detaches the view from its document.
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Document* GetDocument() const { return m_pDocument; }

    // Called once, after the view was attached and its window exists. The
    // default calls OnUpdate(nullptr, 0, nullptr).
    virtual void OnInitialUpdate();
    // Called by Document::UpdateAllViews. The default repaints the widget.
    virtual void OnUpdate(View* sender, long hint, void* hintObject);
    // Called when the view becomes (activate true) or stops being the active
    // view of its frame.
    virtual void OnActivateView(bool activate, View* activateView, View* deactiveView);

    // The view's window.
    virtual QWidget* GetWidget() = 0;

private:
    friend class Document;
    Document* m_pDocument = nullptr;
};

}  // namespace platform
