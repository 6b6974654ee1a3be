// Anything that can take a command by its numeric id: views, documents,
// frames, the main window and the application. The router offers a command
// to the targets of the active route in order; the first that handles it wins,
// and a command that nobody on the route handles is shown disabled.
#pragma once

#include "FonacoreApi.h"

namespace platform {

// What an update handler says about a menu item or toolbar button.
struct CommandState {
    bool enabled = true;
    bool checked = false;
};

class FONACORE_API CommandTarget {
public:
    virtual ~CommandTarget() = default;

    // Carries out command `id`; returns true when this target handles it.
    virtual bool OnCommand(int id) {
        (void)id;
        return false;
    }

    // Fills the state of command `id` and returns true when this target
    // handles it (a handled command without an update handler stays enabled
    // and unchecked).
    virtual bool OnUpdateCommand(int id, CommandState& state) {
        (void)id;
        (void)state;
        return false;
    }
};

}  // namespace platform
