// The application's main window as the library sees it: the window that long
// computations disable while their progress dialog is up. The shell registers
// its top-level window once it exists; the registration forgets a window that
// has been destroyed, so a stale pointer is never handed out.
#pragma once

#include "FonacoreApi.h"

class QWidget;

namespace platform {

// Registers `window` as the main window (nullptr clears it).
FONACORE_API void SetMainWindow(QWidget* window);

// The registered main window, or nullptr when none is registered or it has
// been destroyed.
FONACORE_API QWidget* GetMainWindow();

}  // namespace platform
