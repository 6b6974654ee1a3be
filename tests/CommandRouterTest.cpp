// Command routing: the first target on the route that handles a command
// decides its state and carries it out; a command nobody handles is disabled
// and never runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <map>
#include <set>
#include <vector>

#include "CommandActions.h"
#include "CommandRouter.h"

namespace {

// A target that handles a fixed set of commands, records what it carried out
// and reports a configurable state.
class RecordingTarget : public platform::CommandTarget {
public:
    RecordingTarget(std::string name, std::set<int> handled, std::vector<std::string>* log)
        : m_name(std::move(name)), m_handled(std::move(handled)), m_log(log) {}

    bool OnCommand(int id) override {
        if (m_handled.count(id) == 0) return false;
        m_log->push_back(m_name + ":" + std::to_string(id));
        return true;
    }
    bool OnUpdateCommand(int id, platform::CommandState& state) override {
        if (m_handled.count(id) == 0) return false;
        auto it = m_states.find(id);
        if (it != m_states.end()) state = it->second;
        return true;
    }
    void SetState(int id, bool enabled, bool checked) { m_states[id] = {enabled, checked}; }

private:
    std::string m_name;
    std::set<int> m_handled;
    std::vector<std::string>* m_log;
    std::map<int, platform::CommandState> m_states;
};

struct RouteFixture : ::testing::Test {
    std::vector<std::string> log;
    RecordingTarget view{"view", {10, 11}, &log};
    RecordingTarget document{"document", {11, 12}, &log};
    RecordingTarget frame{"frame", {13}, &log};
    RecordingTarget app{"app", {12, 14}, &log};
    std::vector<platform::CommandTarget*> route{&view, &document, &frame, &app};
    platform::CommandRouter router{[this] { return route; }};
};

TEST_F(RouteFixture, FirstHandlerOnTheRouteCarriesTheCommandOut) {
    EXPECT_TRUE(router.Execute(11));  // view and document both handle it
    EXPECT_TRUE(router.Execute(12));  // document before application
    EXPECT_TRUE(router.Execute(13));
    EXPECT_TRUE(router.Execute(14));
    EXPECT_EQ(log, (std::vector<std::string>{"view:11", "document:12", "frame:13", "app:14"}));
}

TEST_F(RouteFixture, CommandNobodyHandlesIsDisabledAndNeverRuns) {
    const platform::CommandState state = router.QueryState(99);
    EXPECT_FALSE(state.enabled);
    EXPECT_FALSE(state.checked);
    EXPECT_FALSE(router.IsHandled(99));
    EXPECT_FALSE(router.Execute(99));
    EXPECT_TRUE(log.empty());
}

TEST_F(RouteFixture, HandledCommandWithoutUpdateHandlerIsEnabledUnchecked) {
    const platform::CommandState state = router.QueryState(13);
    EXPECT_TRUE(state.enabled);
    EXPECT_FALSE(state.checked);
}

TEST_F(RouteFixture, StateComesFromTheFirstHandlerAndDisabledCommandsDoNotRun) {
    view.SetState(11, false, false);
    document.SetState(11, true, true);  // never asked: the view answers first
    EXPECT_FALSE(router.QueryState(11).enabled);
    EXPECT_FALSE(router.Execute(11));
    EXPECT_TRUE(log.empty());

    view.SetState(10, true, true);
    EXPECT_TRUE(router.QueryState(10).checked);
}

TEST_F(RouteFixture, RouteFollowsItsProviderAtEveryCall) {
    EXPECT_TRUE(router.QueryState(10).enabled);
    route = {nullptr, &document, nullptr, &app};  // no active view any more
    EXPECT_FALSE(router.QueryState(10).enabled);
    EXPECT_EQ(router.GetRoute().size(), 2u);
    EXPECT_TRUE(router.Execute(11));
    EXPECT_EQ(log, (std::vector<std::string>{"document:11"}));
}

TEST(CommandRouter, WithoutRouteEverythingIsDisabled) {
    platform::CommandRouter router;
    EXPECT_TRUE(router.GetRoute().empty());
    EXPECT_FALSE(router.QueryState(57600).enabled);
    EXPECT_FALSE(router.Execute(57600));
}

TEST_F(RouteFixture, ActionsCarryTheirCommandAndFollowTheState) {
    platform::CommandActions actions(&router);
    QAction* a10 = actions.Action(10);
    QAction* a99 = actions.Action(99);
    EXPECT_EQ(actions.Action(10), a10);  // one action per command
    EXPECT_EQ(platform::CommandActions::CommandId(a10), 10);
    EXPECT_EQ(actions.Find(55), nullptr);

    view.SetState(10, true, true);
    actions.UpdateAll();
    EXPECT_TRUE(a10->isEnabled());
    EXPECT_TRUE(a10->isChecked());
    EXPECT_FALSE(a99->isEnabled());

    view.SetState(10, true, false);
    a10->trigger();
    EXPECT_EQ(log, (std::vector<std::string>{"view:10"}));
    // Refreshed after the command: the check mark follows the handler, not the toggle.
    EXPECT_FALSE(a10->isChecked());
    EXPECT_FALSE(a10->isCheckable());
}

TEST_F(RouteFixture, MenuIsRefreshedWhenItOpens) {
    platform::CommandActions actions(&router);
    QMenu menu;
    QMenu* sub = menu.addMenu(QStringLiteral("sub"));
    menu.addAction(actions.Action(13));
    sub->addAction(actions.Action(12));
    actions.WatchMenu(&menu);
    actions.UpdateAll();
    EXPECT_TRUE(actions.Find(12)->isEnabled());

    route = {&view};  // neither 12 nor 13 is handled now
    emit menu.aboutToShow();
    EXPECT_FALSE(actions.Find(13)->isEnabled());
    EXPECT_FALSE(actions.Find(12)->isEnabled());
}

TEST_F(RouteFixture, BoundForeignActionsAreRoutedToo) {
    platform::CommandActions actions(&router);
    QAction popupItem(QStringLiteral("popup"));
    actions.Bind(&popupItem, 14);
    popupItem.trigger();
    EXPECT_EQ(log, (std::vector<std::string>{"app:14"}));
}

}  // namespace
