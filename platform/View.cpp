#include "View.h"

#include <QWidget>

#include "Document.h"

namespace platform {

View::~View() {
    if (m_pDocument != nullptr) m_pDocument->RemoveView(this);
}

void View::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void View::OnUpdate(View* sender, long hint, void* hintObject) {
    (void)sender;
    (void)hint;
    (void)hintObject;
    if (QWidget* widget = GetWidget()) widget->update();
}

void View::OnActivateView(bool activate, View* activateView, View* deactiveView) {
    (void)activate;
    (void)activateView;
    (void)deactiveView;
}

}  // namespace platform
