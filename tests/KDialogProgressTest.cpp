#include "KDialogProgress.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "MainWindow.h"

namespace {

// Each test starts with no registered main window and ends checking that no
// top-level window was left behind.
class KDialogProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMainWindow(nullptr);
        m_nTopLevelBefore = QApplication::topLevelWidgets().size();
    }
    void TearDown() override {
        platform::SetMainWindow(nullptr);
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::topLevelWidgets().size(), m_nTopLevelBefore);
    }

    qsizetype m_nTopLevelBefore = 0;
};

QProgressBar* Bar(const CKDialogProgress& dlg) { return dlg.GetWindow()->findChild<QProgressBar*>(); }

}  // namespace

TEST_F(KDialogProgressTest, PercentagesOverThousandSteps) {
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    dlg.SetRange(0, 1000);
    dlg.SetPos(0);
    EXPECT_EQ(dlg.GetPercentText(), "0%");
    dlg.SetStep(10);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(dlg.StepIt(), 10 * i);
    EXPECT_EQ(dlg.GetPos(), 370);
    EXPECT_EQ(Bar(dlg)->value(), 370);
    EXPECT_EQ(dlg.GetPercentText(), "37%");
    EXPECT_EQ(dlg.SetPos(1000), 370);
    EXPECT_EQ(dlg.GetPercentText(), "100%");
    // A step past the end shows the figure starting over, like the bar does.
    EXPECT_EQ(dlg.StepIt(), 1000);
    EXPECT_EQ(dlg.GetPercentText(), "1%");
    EXPECT_EQ(dlg.GetPos(), 10);
    EXPECT_EQ(Bar(dlg)->value(), 10);
    dlg.SetPos(1000);
    dlg.SetPos(1010);
    EXPECT_EQ(dlg.GetPercentText(), "1%");
    EXPECT_EQ(dlg.GetPos(), 1000);  // the bar itself stops at its upper bound
}

TEST_F(KDialogProgressTest, PercentagesOverHundred) {
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    dlg.SetRange(0, 100);
    dlg.SetPos(250);
    EXPECT_EQ(dlg.GetPercentText(), "50%");
    dlg.SetPos(200);
    EXPECT_EQ(dlg.GetPercentText(), "0%");
    dlg.SetPos(-5);
    EXPECT_EQ(dlg.GetPercentText(), "-5%");
    dlg.SetPos(100);
    EXPECT_EQ(dlg.GetPercentText(), "100%");
    dlg.SetPos(199);
    EXPECT_EQ(dlg.GetPercentText(), "99%");
    // An offset range: (p - lower) * 100 / (upper - lower), truncated.
    dlg.SetRange(-300, 300);
    dlg.SetPos(-1);
    EXPECT_EQ(dlg.GetPercentText(), "49%");
}

TEST_F(KDialogProgressTest, TemplateTextUntilFirstUpdateAndTextSetOnlyOnChange) {
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(dlg.GetPercentText(), "Static");
    EXPECT_EQ(dlg.GetPercentTextChanges(), 0);
    dlg.SetRange(0, 1000);
    dlg.SetStep(1);
    dlg.SetPos(0);
    EXPECT_EQ(dlg.GetPercentTextChanges(), 1);
    for (int i = 0; i < 9; ++i) dlg.StepIt();
    dlg.SetPos(5);
    EXPECT_EQ(dlg.GetPercentText(), "0%");
    EXPECT_EQ(dlg.GetPercentTextChanges(), 1);
    dlg.SetPos(10);
    EXPECT_EQ(dlg.GetPercentText(), "1%");
    EXPECT_EQ(dlg.GetPercentTextChanges(), 2);
    dlg.StepIt();
    EXPECT_EQ(dlg.GetPercentTextChanges(), 2);
}

TEST_F(KDialogProgressTest, InitialStateAndLayout) {
    CKDialogProgress dlg;
    EXPECT_FALSE(dlg.HasWindow());
    EXPECT_EQ(dlg.GetRangeLower(), 0);
    EXPECT_EQ(dlg.GetRangeUpper(), 100);
    EXPECT_EQ(dlg.GetStep(), 10);
    EXPECT_FALSE(dlg.IsOwnerDisabled());
    dlg.SetRange(20, 80);
    ASSERT_TRUE(dlg.Create(nullptr));
    QWidget* w = dlg.GetWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->isVisible());  // created hidden
    EXPECT_TRUE(w->isWindow());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("K"));
    QProgressBar* bar = Bar(dlg);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 20);
    EXPECT_EQ(bar->maximum(), 80);
    EXPECT_EQ(bar->value(), 20);
    const auto labels = w->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    const auto buttons = w->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    // Status line on top, the percentage below it, the bar under both; the
    // bar spans nearly the whole width of the window.
    QLabel* status = labels[0]->geometry().y() < labels[1]->geometry().y() ? labels[0] : labels[1];
    QLabel* percent = status == labels[0] ? labels[1] : labels[0];
    EXPECT_LT(status->geometry().bottom(), bar->geometry().top());
    EXPECT_LT(percent->geometry().bottom(), bar->geometry().top());
    EXPECT_GT(bar->width(), w->width() * 9 / 10);
    EXPECT_LT(bar->geometry().right(), w->width());
    EXPECT_LT(bar->geometry().bottom(), w->height());
    EXPECT_GT(w->width(), 4 * w->height());

    dlg.SetStatusText("Децимируется канал 1");
    EXPECT_EQ(dlg.GetStatusText(), "Децимируется канал 1");
    EXPECT_EQ(status->text(), QStringLiteral("Децимируется канал 1"));
    dlg.ShowWindow(true);
    EXPECT_TRUE(w->isVisible());
    dlg.ShowWindow(false);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(KDialogProgressTest, DisablesTheMainWindowAndEnablesItOnce) {
    QWidget main;
    main.show();
    platform::SetMainWindow(&main);
    {
        CKDialogProgress dlg;
        ASSERT_TRUE(dlg.Create(nullptr));
        EXPECT_EQ(dlg.GetOwner(), &main);
        EXPECT_FALSE(main.isEnabled());
        EXPECT_TRUE(dlg.IsOwnerDisabled());
        dlg.ShowWindow(true);
        EXPECT_TRUE(dlg.GetWindow()->isEnabled());  // the dialog stays usable
        EXPECT_TRUE(dlg.DestroyWindow());
        EXPECT_TRUE(main.isEnabled());
        EXPECT_FALSE(dlg.IsOwnerDisabled());
        EXPECT_FALSE(dlg.HasWindow());
        // Something else disables the window now; the destructor must not
        // enable it a second time.
        main.setEnabled(false);
    }
    EXPECT_FALSE(main.isEnabled());
}

TEST_F(KDialogProgressTest, DestructorEnablesTheOwner) {
    QWidget main;
    QWidget* child = new QWidget(&main);
    {
        CKDialogProgress dlg;
        ASSERT_TRUE(dlg.Create(child));  // the owner is the top-level window above
        EXPECT_EQ(dlg.GetOwner(), &main);
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(KDialogProgressTest, AlreadyDisabledOwnerStaysDisabled) {
    QWidget main;
    main.setEnabled(false);
    platform::SetMainWindow(&main);
    {
        CKDialogProgress dlg;
        ASSERT_TRUE(dlg.Create(nullptr));
        EXPECT_FALSE(dlg.IsOwnerDisabled());
        dlg.SetRange(0, 1000);
        dlg.SetPos(500);
        dlg.DestroyWindow();
        EXPECT_FALSE(main.isEnabled());
    }
    EXPECT_FALSE(main.isEnabled());
}

TEST_F(KDialogProgressTest, OwnerDestroyedWhileUp) {
    auto main = std::make_unique<QWidget>();
    platform::SetMainWindow(main.get());
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    main.reset();
    EXPECT_EQ(dlg.GetOwner(), nullptr);
    EXPECT_EQ(platform::GetMainWindow(), nullptr);
    EXPECT_TRUE(dlg.DestroyWindow());
}

TEST_F(KDialogProgressTest, KeysButtonsAndCloseLeaveItUp) {
    QWidget main;
    main.show();
    platform::SetMainWindow(&main);
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    dlg.ShowWindow(true);
    QWidget* w = dlg.GetWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(w, key);
        EXPECT_TRUE(w->isVisible()) << key;
    }
    for (QPushButton* button : w->findChildren<QPushButton*>()) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(w->isVisible()) << button->text().toStdString();
    }
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(dlg.HasWindow());
    EXPECT_FALSE(main.isEnabled());
    // The computation goes on updating it.
    dlg.SetRange(0, 100);
    dlg.SetPos(42);
    EXPECT_EQ(dlg.GetPercentText(), "42%");
    dlg.DestroyWindow();
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(KDialogProgressTest, UpdatesProcessPendingEvents) {
    CKDialogProgress dlg;
    ASSERT_TRUE(dlg.Create(nullptr));
    int ran = 0;
    QTimer::singleShot(0, [&ran] { ++ran; });
    dlg.SetPos(1);
    EXPECT_EQ(ran, 1);
    QTimer::singleShot(0, [&ran] { ++ran; });
    dlg.StepIt();
    EXPECT_EQ(ran, 2);
}

TEST_F(KDialogProgressTest, WorksWithoutWindow) {
    CKDialogProgress dlg;  // Create never called: nothing visible, bookkeeping goes on
    dlg.SetStatusText("x");
    dlg.SetRange(0, 1000);
    dlg.SetStep(100);
    EXPECT_EQ(dlg.SetPos(300), 0);
    EXPECT_EQ(dlg.StepIt(), 300);
    EXPECT_EQ(dlg.GetPos(), 400);
    dlg.ShowWindow(true);
    EXPECT_EQ(dlg.GetWindow(), nullptr);
    EXPECT_EQ(dlg.GetPercentText(), "");
    EXPECT_FALSE(dlg.DestroyWindow());
}
