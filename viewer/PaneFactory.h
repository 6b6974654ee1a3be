// The panes of a document window, made by row: row 0 the FGT view, rows 1
// and 2 the sonogram views. Frames take a factory so that tests can put
// stand-in views in the same places.
#pragma once

#include <functional>

namespace platform {
class View;
}

// Makes the view of `row` (0, 1 or 2), not yet attached to a document; null
// when it cannot be made.
using PaneFactory = std::function<platform::View*(int row)>;

// The program's own panes.
platform::View* CreateStandardPane(int row);
