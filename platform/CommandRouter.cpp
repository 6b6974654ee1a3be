#include "CommandRouter.h"

#include <algorithm>

namespace platform {

std::vector<CommandTarget*> CommandRouter::GetRoute() const {
    std::vector<CommandTarget*> route;
    if (m_route) route = m_route();
    route.erase(std::remove(route.begin(), route.end(), nullptr), route.end());
    return route;
}

CommandState CommandRouter::QueryState(int id) const {
    for (CommandTarget* target : GetRoute()) {
        CommandState state;
        if (target->OnUpdateCommand(id, state)) return state;
    }
    CommandState disabled;
    disabled.enabled = false;
    return disabled;
}

bool CommandRouter::IsHandled(int id) const {
    for (CommandTarget* target : GetRoute()) {
        CommandState state;
        if (target->OnUpdateCommand(id, state)) return true;
    }
    return false;
}

bool CommandRouter::Execute(int id) {
    // The route is taken once: a handler may close windows of the route, and
    // the loop ends at the first target that carries the command out.
    const std::vector<CommandTarget*> route = GetRoute();
    bool enabled = false;
    for (CommandTarget* target : route) {
        CommandState state;
        if (target->OnUpdateCommand(id, state)) {
            enabled = state.enabled;
            break;
        }
    }
    if (!enabled) return false;
    for (CommandTarget* target : route) {
        if (target->OnCommand(id)) return true;
    }
    return false;
}

}  // namespace platform
