#include "CommandActions.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace platform {
namespace {
const char* const kCommandProperty = "platformCommandId";
}

CommandActions::CommandActions(CommandRouter* router, QObject* parent) : QObject(parent), m_router(router) {}

QAction* CommandActions::Action(int id) {
    auto it = m_actions.find(id);
    if (it != m_actions.end()) return it->second;
    auto* action = new QAction(this);
    Bind(action, id);
    m_actions.emplace(id, action);
    return action;
}

QAction* CommandActions::Find(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

int CommandActions::CommandId(const QAction* action) {
    if (action == nullptr) return 0;
    return action->property(kCommandProperty).toInt();
}

void CommandActions::Bind(QAction* action, int id) {
    action->setProperty(kCommandProperty, id);
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
}

bool CommandActions::Execute(int id) {
    // A command may close the window that owns this set; only touch it
    // afterwards while it still exists.
    QPointer<CommandActions> self(this);
    const bool done = m_router->Execute(id);
    if (!self) return done;
    if (done) emit commandExecuted(id);
    if (self) UpdateAll();
    return done;
}

void CommandActions::Update(QAction* action) {
    const int id = CommandId(action);
    if (id == 0) return;
    const CommandState state = m_router->QueryState(id);
    action->setEnabled(state.enabled);
    // Only a checked command shows a check mark; unchecked ones look like
    // plain items, not like empty check boxes.
    if (state.checked) {
        action->setCheckable(true);
        action->setChecked(true);
    } else {
        action->setChecked(false);
        action->setCheckable(false);
    }
}

void CommandActions::UpdateMenu(QMenu* menu) {
    if (menu == nullptr) return;
    for (QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            UpdateMenu(action->menu());
        } else {
            Update(action);
        }
    }
}

void CommandActions::UpdateAll() {
    for (auto& [id, action] : m_actions) Update(action);
}

void CommandActions::WatchMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
}

}  // namespace platform
