// The status bar's cursor field: time, frequency and level of the
// time-frequency cursor of the active document window, following the keys,
// Ctrl+click and the change of window, empty without a document.
#include <QLabel>
#include <QRegularExpression>
#include <cstdio>

#include "KSonogramView.h"
#include "ResourceIds.h"
#include "ShellFixture.h"

namespace {

class CursorStatusFieldTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        field = frame->GetCursorField();
        ASSERT_NE(field, nullptr);
    }

    CKSonogramView* OpenPane(const std::string& name) {
        OpenWithKeyboard(Wav(name, 3.0));
        CChildFrame* child = frame->GetActiveFrame();
        return child != nullptr ? dynamic_cast<CKSonogramView*>(child->GetActiveView()) : nullptr;
    }

    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(Target(frame), key, modifiers);
    }

    // "<t> c, <f> Гц" of column x and bin k at 8000 Hz and N = 1024, written
    // here with printf: three decimals for the time, and for the frequency
    // four from 0.1 Hz, three from 10 Hz, two from 100 Hz, one from 1 kHz
    // (three at 0 Hz).
    static QString TimeAndFrequency(const CKSonogramView* pane, int x, int k) {
        char text[100];
        const double hz = k * 8000.0 / 1024.0;
        const int decimals = hz >= 1000 ? 1 : hz >= 100 ? 2 : hz >= 10 ? 3 : hz >= 0.1 ? 4 : 3;
        std::snprintf(text, sizeof text, "%.3f c, %.*f Гц", x * pane->GetStepSamples() / 8000.0, decimals,
                      hz);
        return QString::fromUtf8(text);
    }

    // The level in a read-out's text after `prefix`.
    static double LevelAfter(const QString& text, const QString& prefix) {
        const QRegularExpression re(QRegularExpression::escape(prefix) +
                                    QStringLiteral("(-?[0-9]+\\.[0-9]{2}) дБ"));
        const QRegularExpressionMatch m = re.match(text);
        EXPECT_TRUE(m.hasMatch()) << text.toStdString() << " / " << prefix.toStdString();
        return m.hasMatch() ? m.captured(1).toDouble() : 1e9;
    }

    QLabel* field = nullptr;
};

TEST_F(CursorStatusFieldTest, FollowsTheKeysWithTheLevelTheToolTipReads) {
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(field->isVisibleTo(frame));
    CKSonogramView* pane = OpenPane("tone.wav");
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->GetFFTSize(), 1024);
    Press(Qt::Key_Home);
    for (int i = 0; i < 60; ++i) Press(Qt::Key_Down, Qt::ShiftModifier);  // to bin 0
    for (int i = 0; i < 5; ++i) Press(Qt::Key_Right);
    for (int i = 0; i < 5; ++i) Press(Qt::Key_Up, Qt::ShiftModifier);
    for (int i = 0; i < 6; ++i) Press(Qt::Key_Up);
    // 56 bins of 7.8125 Hz: 437.5 Hz, the bin next to the 440 Hz tone.
    ASSERT_EQ(pane->GetCursor(), QPoint(5, 56));
    const QString prefix = TimeAndFrequency(pane, 5, 56) + QStringLiteral(", ");
    EXPECT_EVENTUALLY(field->text().startsWith(prefix), 5000);
    const double level = LevelAfter(field->text(), prefix);

    // The pointer on the cursor's pixel: the tool tip reads the same level.
    const QPoint origin = pane->GetScrollPosition();
    const QPoint at(5 - origin.x(), pane->GetFFTSize() / 2 - 1 - 56 - origin.y());
    QTest::mouseMove(pane->viewport(), at);
    const QString tip = QString::fromStdString(pane->GetToolTipText());
    EXPECT_DOUBLE_EQ(LevelAfter(tip, QStringLiteral("(437.50 Гц, ")), level) << tip.toStdString();

    // Far from the tone the level is far lower.
    for (int i = 0; i < 20; ++i) Press(Qt::Key_Up, Qt::ShiftModifier);
    const QString far = TimeAndFrequency(pane, 5, 256) + QStringLiteral(", ");
    EXPECT_EVENTUALLY(field->text().startsWith(far), 5000);
    EXPECT_LT(LevelAfter(field->text(), far), level - 20.0);

    // A jump to the end: the level comes with the paint of the last column.
    Press(Qt::Key_End);
    const int last = pane->GetColumnCount() - 1;
    const QString end = TimeAndFrequency(pane, last, 256) + QStringLiteral(", ");
    EXPECT_EVENTUALLY(field->text().startsWith(end) && field->text().endsWith(QStringLiteral(" дБ")), 5000);

    Trigger(res::ID_FILE_CLOSE);
    EXPECT_TRUE(field->text().isEmpty());
}

TEST_F(CursorStatusFieldTest, FollowsCtrlClickAndTheActiveWindow) {
    CKSonogramView* first = OpenPane("first.wav");
    ASSERT_NE(first, nullptr);
    Press(Qt::Key_Home);
    const QString atFirst = field->text();
    EXPECT_TRUE(atFirst.startsWith(TimeAndFrequency(first, 0, first->GetCursor().y())));

    CKSonogramView* second = OpenPane("second.wav");
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, first);
    // Ctrl+click moves the second document's cursor.
    const QPoint origin = second->GetScrollPosition();
    const int column = origin.x() + 40;
    const int bin = 100;
    QTest::mouseClick(second->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(40, second->GetFFTSize() / 2 - 1 - bin - origin.y()));
    ASSERT_EQ(second->GetCursor(), QPoint(column, bin));
    const QString atSecond = TimeAndFrequency(second, column, bin);
    EXPECT_EVENTUALLY(field->text().startsWith(atSecond + QStringLiteral(", ")), 5000);

    // The other window brings its own cursor, and back.
    Press(Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(frame->GetActiveFrame()->GetActiveView(), first);
    EXPECT_EVENTUALLY_EQ(field->text(), atFirst);
    Press(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EVENTUALLY(field->text().startsWith(atSecond), 5000);

    // The FGT pane active: the upper pane's cursor stays in the field.
    Press(Qt::Key_F6);
    Press(Qt::Key_F6);
    EXPECT_EQ(RowOfActiveView(frame), 0);
    EXPECT_TRUE(field->text().startsWith(atSecond));
}

}  // namespace
