#include "WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace platform {

WaitCursor::WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_bActive = true;
}

WaitCursor::~WaitCursor() {
    // The application may have gone in between; restoring then has no stack to pop.
    if (m_bActive && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace platform
