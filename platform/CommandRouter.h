// Routes commands by their numeric id. The route is the ordered list of
// targets that may handle a command right now (the active view, its
// document, its frame, the main window, the application); the owner of the
// router supplies it as a function, so it is recomputed at every call and
// always follows the active window and view.
//
// A command's state comes from the first target on the route whose
// OnUpdateCommand handles it; a command that no target handles is disabled.
// A disabled command is never carried out.
#pragma once

#include <functional>
#include <vector>

#include "CommandTarget.h"
#include "FonacoreApi.h"

namespace platform {

class FONACORE_API CommandRouter {
public:
    using RouteFunction = std::function<std::vector<CommandTarget*>()>;

    CommandRouter() = default;
    explicit CommandRouter(RouteFunction route) : m_route(std::move(route)) {}
    CommandRouter(const CommandRouter&) = delete;
    CommandRouter& operator=(const CommandRouter&) = delete;

    void SetRoute(RouteFunction route) { m_route = std::move(route); }
    // The current route; null targets are left out.
    std::vector<CommandTarget*> GetRoute() const;

    // The enable and check state of command `id` on the current route.
    CommandState QueryState(int id) const;
    // True when a target on the route handles `id`.
    bool IsHandled(int id) const;

    // Offers command `id` to the targets of the route in order, when it is
    // enabled; returns true when a target carried it out.
    bool Execute(int id);

private:
    RouteFunction m_route;
};

}  // namespace platform
