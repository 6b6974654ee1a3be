// The menu items and toolbar buttons of commands: one QAction per command id,
// shared by every menu and toolbar that shows the command. Triggering an
// action carries the command out through the router; the actions' enabled
// and checked state is refreshed from the router's update handlers when a
// menu opens and whenever the owner asks (active window or view changed,
// after every command).
#pragma once

#include <QObject>
#include <map>

#include "CommandRouter.h"
#include "FonacoreApi.h"

class QAction;
class QMenu;

namespace platform {

class FONACORE_API CommandActions : public QObject {
    Q_OBJECT
public:
    explicit CommandActions(CommandRouter* router, QObject* parent = nullptr);

    // The action of command `id`, created on first use.
    QAction* Action(int id);
    // The action of `id` when it exists, else null.
    QAction* Find(int id) const;
    const std::map<int, QAction*>& Actions() const { return m_actions; }

    // The command id an action carries, 0 for an action that is not a command.
    static int CommandId(const QAction* action);
    // Marks `action` as carrying command `id` and routes its triggering,
    // for actions that live outside this set (pop-up menus).
    void Bind(QAction* action, int id);

    // Carries out command `id` through the router, then refreshes every action.
    bool Execute(int id);

    // Refreshes the state of one action, of the command actions of `menu`
    // and its sub-menus, or of every action.
    void Update(QAction* action);
    void UpdateMenu(QMenu* menu);
    void UpdateAll();
    // Refreshes `menu` every time it is about to open.
    void WatchMenu(QMenu* menu);

signals:
    // After a command was carried out.
    void commandExecuted(int id);

private:
    CommandRouter* m_router;
    std::map<int, QAction*> m_actions;
};

}  // namespace platform
