// The application's wait cursor for the length of a scope: the hourglass shows
// from construction to destruction. Nests like the override-cursor stack it
// sits on, and does nothing when there is no GUI application (command-line use,
// library tests without a QApplication).
#pragma once

#include "FonacoreApi.h"

namespace platform {

class FONACORE_API WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // True while this object holds a wait cursor on the override stack.
    bool IsActive() const { return m_bActive; }

private:
    bool m_bActive = false;
};

}  // namespace platform
