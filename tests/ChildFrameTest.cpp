// Document windows: the three panes made in the order row 1, row 2, row 0,
// the static row layout 100 / 532 / rest, the active view and pane cycling.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "ChildFrame.h"
#include "Eventually.h"
#include "Document.h"
#include "StaticSplitter.h"
#include "View.h"

namespace {

// A pane that records what the frame and the document tell it.
class StandInPane : public QWidget, public platform::View {
public:
    StandInPane(int row, std::vector<std::string>* log) : m_row(row), m_log(log) {
        setFocusPolicy(Qt::StrongFocus);
        setObjectName(QStringLiteral("row%1").arg(row));
    }
    QWidget* GetWidget() override { return this; }
    void OnInitialUpdate() override { m_log->push_back("init" + std::to_string(m_row)); }
    void OnUpdate(platform::View*, long hint, void*) override {
        m_log->push_back("update" + std::to_string(m_row) + ":" + std::to_string(hint));
    }
    void OnActivateView(bool activate, platform::View*, platform::View*) override {
        m_log->push_back((activate ? "on" : "off") + std::to_string(m_row));
    }
    int m_row;

private:
    std::vector<std::string>* m_log;
};

struct ChildFrameFixture : ::testing::Test {
    std::vector<std::string> log;
    platform::Document document;
    std::vector<int> made;
    PaneFactory panes = [this](int row) -> platform::View* {
        made.push_back(row);
        return new StandInPane(row, &log);
    };
    void TearDown() override {
        // Nothing that a test made stays on screen.
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
};

int RowOf(platform::View* view) { return view == nullptr ? -1 : static_cast<StandInPane*>(view)->m_row; }

TEST_F(ChildFrameFixture, PanesAreMadeRowOneRowTwoRowZeroAndBroadcastInThatOrder) {
    std::unique_ptr<CChildFrame> frame(CChildFrame::Create(&document, panes));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(made, (std::vector<int>{1, 2, 0}));
    ASSERT_EQ(document.GetViews().size(), 3u);
    EXPECT_EQ(RowOf(document.GetViews()[0]), 1);
    EXPECT_EQ(RowOf(document.GetViews()[1]), 2);
    EXPECT_EQ(RowOf(document.GetViews()[2]), 0);
    // The splitter shows them top to bottom by row.
    for (int row = 0; row < CChildFrame::kRows; ++row) {
        EXPECT_EQ(frame->GetSplitter()->widget(row), frame->GetPane(row)->GetWidget());
        EXPECT_EQ(frame->GetRow(frame->GetPane(row)), row);
    }
    log.clear();
    document.UpdateAllViews(nullptr, 1);
    EXPECT_EQ(log, (std::vector<std::string>{"update1:1", "update2:1", "update0:1"}));
}

TEST_F(ChildFrameFixture, UpperSonogramIsActiveFromTheStart) {
    std::unique_ptr<CChildFrame> frame(CChildFrame::Create(&document, panes));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(RowOf(frame->GetActiveView()), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"on1"}));
}

TEST_F(ChildFrameFixture, RowsAre100And532AndTheRest) {
    QMdiArea area;
    area.resize(900, 1000);
    CChildFrame* frame = CChildFrame::Create(&document, panes);
    ASSERT_NE(frame, nullptr);
    area.addSubWindow(frame);
    area.show();
    frame->showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    EXPECT_TRUE(frame->isMaximized());
    platform::StaticSplitter* splitter = frame->GetSplitter();
    EXPECT_EVENTUALLY_EQ(frame->GetPane(0)->GetWidget()->height(), 100);
    EXPECT_EQ(frame->GetPane(1)->GetWidget()->height(), 532);
    const int rest = splitter->height() - 2 * splitter->handleWidth() - 632;
    EXPECT_GT(rest, 0);
    EXPECT_EQ(frame->GetPane(2)->GetWidget()->height(), rest);

    // A taller window gives all of its extra height to the last row.
    area.resize(900, 1100);
    EXPECT_EVENTUALLY_EQ(frame->GetPane(2)->GetWidget()->height(),
                 splitter->height() - 2 * splitter->handleWidth() - 632);
    EXPECT_EQ(frame->GetPane(0)->GetWidget()->height(), 100);
    EXPECT_EQ(frame->GetPane(1)->GetWidget()->height(), 532);
    area.close();
}

TEST_F(ChildFrameFixture, NextAndPreviousPaneCycleThroughTheRows) {
    std::unique_ptr<CChildFrame> frame(CChildFrame::Create(&document, panes));
    ASSERT_NE(frame, nullptr);
    std::vector<int> rows;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(frame->OnCommand(57680));
        rows.push_back(RowOf(frame->GetActiveView()));
    }
    EXPECT_EQ(rows, (std::vector<int>{2, 0, 1, 2}));
    rows.clear();
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(frame->OnCommand(57681));
        rows.push_back(RowOf(frame->GetActiveView()));
    }
    EXPECT_EQ(rows, (std::vector<int>{1, 0, 2, 1}));
    // Both views hear of each change.
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3),
              (std::vector<std::string>{"on1", "off1", "on2"}));
    platform::CommandState state;
    EXPECT_TRUE(frame->OnUpdateCommand(57680, state));
    EXPECT_TRUE(state.enabled);
    EXPECT_FALSE(frame->OnUpdateCommand(57607, state));  // printing is nobody's here
}

TEST_F(ChildFrameFixture, ClickingAPaneMakesItActive) {
    QMdiArea area;
    area.resize(800, 1000);
    CChildFrame* frame = CChildFrame::Create(&document, panes);
    ASSERT_NE(frame, nullptr);
    area.addSubWindow(frame);
    area.show();
    frame->showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    QApplication::setActiveWindow(&area);
    QTest::mouseClick(frame->GetPane(2)->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EVENTUALLY_EQ(RowOf(frame->GetActiveView()), 2);
    QTest::mouseClick(frame->GetPane(0)->GetWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EVENTUALLY_EQ(RowOf(frame->GetActiveView()), 0);
    area.close();
}

TEST_F(ChildFrameFixture, PaneThatCannotBeMadeGivesNoFrame) {
    PaneFactory failing = [this](int row) -> platform::View* {
        made.push_back(row);
        return row == 0 ? nullptr : new StandInPane(row, &log);
    };
    CChildFrame* frame = CChildFrame::Create(&document, failing);
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(made, (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(document.GetViews().empty());  // the panes already made left the document
}

TEST_F(ChildFrameFixture, ClosingTheFrameDetachesItsViews) {
    CChildFrame* frame = CChildFrame::Create(&document, panes);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(document.GetViews().size(), 3u);
    delete frame;
    EXPECT_TRUE(document.GetViews().empty());
}

TEST(StaticRowHeights, IdealHeightsWhileTheyFitTheLastRowTheRest) {
    const std::vector<int> ideal{100, 532, 532};
    const std::vector<int> minimum{0, 0, 0};
    EXPECT_EQ(platform::StaticRowHeights(900, ideal, minimum), (std::vector<int>{100, 532, 268}));
    EXPECT_EQ(platform::StaticRowHeights(632, ideal, minimum), (std::vector<int>{100, 532, 0}));
    EXPECT_EQ(platform::StaticRowHeights(400, ideal, minimum), (std::vector<int>{100, 300, 0}));
    EXPECT_EQ(platform::StaticRowHeights(60, ideal, minimum), (std::vector<int>{60, 0, 0}));
    EXPECT_EQ(platform::StaticRowHeights(0, ideal, minimum), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(platform::StaticRowHeights(-5, ideal, minimum), (std::vector<int>{0, 0, 0}));
    // A row whose minimum no longer fits is hidden and leaves the room to the last.
    EXPECT_EQ(platform::StaticRowHeights(150, ideal, {0, 80, 0}), (std::vector<int>{100, 0, 50}));
    for (int available = 0; available < 1500; available += 37) {
        const std::vector<int> h = platform::StaticRowHeights(available, ideal, minimum);
        EXPECT_EQ(h[0] + h[1] + h[2], available);
    }
}

}  // namespace
