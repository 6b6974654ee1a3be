// The parameter-P dialog, run modally and driven headless with real key and
// mouse events from inside its own event loop.
#include "DialogFHTSetP.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "MessageCapture.h"

namespace {

const std::string kRangeText = "Enter a number between 1e-06 and 1000000.";

class DialogFHTSetPTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    }

    // Runs the dialog modally with `p` and calls `drive` once it is up; a
    // dialog that `drive` leaves open is closed with code 99.
    int Run(CDialogFHT_set_P& dialog, double p, const std::function<void()>& drive) {
        dialog.m_dP = p;
        QTimer::singleShot(0, &dialog, [&dialog, drive]() {
            drive();
            if (dialog.isVisible()) dialog.done(99);
        });
        return dialog.DoModal();
    }

    static QPushButton* Button(CDialogFHT_set_P& dialog, const char* id) {
        return dialog.findChild<QPushButton*>(QString::fromLatin1(id));
    }

    // Replaces the edit's text by typing `keys` after selecting all.
    static void Type(CDialogFHT_set_P& dialog, const QString& keys) {
        QLineEdit* edit = dialog.GetEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, keys);
    }
};

}  // namespace

TEST_F(DialogFHTSetPTest, ShowsPInTheGeneralFormat) {
    for (const auto& [p, text] :
         std::vector<std::pair<double, QString>>{{2.0, "2"},
                                                 {0.1, "0.1"},
                                                 {1.0 / 3.0, "0.333333333333333"},
                                                 {68.7505653390092, "68.7505653390092"},
                                                 {1e-6, "1e-06"},
                                                 {1000000.0, "1000000"}}) {
        CDialogFHT_set_P dialog;
        QString shown;
        bool focused = false;
        const int result = Run(dialog, p, [&]() {
            shown = dialog.GetEdit()->text();
            focused = dialog.focusWidget() == dialog.GetEdit();
            QTest::mouseClick(Button(dialog, "2"), Qt::LeftButton);
        });
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(shown, text) << p;
        EXPECT_TRUE(focused);
    }
    CDialogFHT_set_P fresh;
    EXPECT_EQ(fresh.m_dP, 0.0);
    EXPECT_EQ(fresh.windowTitle(), "Dialog");
    EXPECT_EQ(fresh.objectName(), "137");
    EXPECT_EQ(fresh.GetEdit()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

TEST_F(DialogFHTSetPTest, TypingTakesDigitsOnlyButPasteGoesThrough) {
    CDialogFHT_set_P dialog;
    MessageCapture messages;
    QString typed;
    const int result = Run(dialog, 2.0, [&]() {
        Type(dialog, "1a2.5-e3 x");
        typed = dialog.GetEdit()->text();
        QApplication::clipboard()->setText("1.5e2");
        dialog.GetEdit()->selectAll();
        QTest::keyClick(dialog.GetEdit(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(dialog.GetEdit(), Qt::Key_Return);
    });
    EXPECT_EQ(typed, "1253");
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.m_dP, 150.0);
    EXPECT_EQ(messages.count(), 0u);
}

TEST_F(DialogFHTSetPTest, RefusesValuesOutsideTheRangeAndKeepsTheFocus) {
    CDialogFHT_set_P dialog;
    MessageCapture messages;
    std::vector<bool> openAfter;
    std::vector<bool> focusAfter;
    std::vector<QString> selectedAfter;
    const int result = Run(dialog, 2.0, [&]() {
        for (const char* text : {"0", "1000001"}) {
            Type(dialog, text);
            QTest::mouseClick(Button(dialog, "1"), Qt::LeftButton);
            openAfter.push_back(dialog.isVisible());
            focusAfter.push_back(dialog.focusWidget() == dialog.GetEdit());
            selectedAfter.push_back(dialog.GetEdit()->selectedText());
        }
        EXPECT_EQ(dialog.m_dP, 2.0);
        Type(dialog, "68");
        QTest::mouseClick(Button(dialog, "1"), Qt::LeftButton);
    });
    EXPECT_EQ(messages.texts(), (std::vector<std::string>{kRangeText, kRangeText}));
    EXPECT_EQ(openAfter, (std::vector<bool>{true, true}));
    EXPECT_EQ(focusAfter, (std::vector<bool>{true, true}));
    EXPECT_EQ(selectedAfter, (std::vector<QString>{"0", "1000001"}));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.m_dP, 68.0);
}

TEST_F(DialogFHTSetPTest, PastedTextThatIsNoNumberIsRefused) {
    MessageCapture messages;
    CDialogFHT_set_P dialog;
    ASSERT_TRUE(Run(dialog, 2.0, [&]() {
                    for (const char* text : {"", "abc", "1,5", "nan", "inf", "2 3"}) {
                        dialog.GetEdit()->setText(text);
                        EXPECT_FALSE(dialog.UpdateData(true)) << text;
                        EXPECT_TRUE(dialog.isVisible());
                    }
                    // Bounds themselves are accepted.
                    dialog.GetEdit()->setText("0.000001");
                    EXPECT_TRUE(dialog.UpdateData(true));
                    EXPECT_EQ(dialog.m_dP, 1e-6);
                    dialog.GetEdit()->setText(" 1e6 ");
                    EXPECT_TRUE(dialog.UpdateData(true));
                    EXPECT_EQ(dialog.m_dP, 1e6);
                    dialog.GetEdit()->setText("1e-7");
                    EXPECT_FALSE(dialog.UpdateData(true));
                    QTest::mouseClick(Button(dialog, "2"), Qt::LeftButton);
                }) == QDialog::Rejected);
    std::vector<std::string> expected(6, "Enter a number.");
    expected.push_back(kRangeText);
    EXPECT_EQ(messages.texts(), expected);
}

TEST_F(DialogFHTSetPTest, CancelLeavesPAlone) {
    CDialogFHT_set_P dialog;
    MessageCapture messages;
    const int result = Run(dialog, 5.5, [&]() {
        Type(dialog, "7");
        QTest::mouseClick(Button(dialog, "2"), Qt::LeftButton);
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.m_dP, 5.5);
    const int escaped = Run(dialog, 5.5, [&]() {
        Type(dialog, "0");
        QTest::keyClick(dialog.GetEdit(), Qt::Key_Escape);
    });
    EXPECT_EQ(escaped, QDialog::Rejected);
    EXPECT_EQ(dialog.m_dP, 5.5);
    EXPECT_EQ(messages.count(), 0u);
}
