// Edit, Copy (Ctrl+C) puts the active pane's picture on the clipboard: the
// pixels the pane shows, without the blinking cursor.
#include <QClipboard>

#include "KFGTransformerView.h"
#include "KSonogramView.h"
#include "ResourceIds.h"
#include "ShellFixture.h"

namespace {

class PaneCopyTest : public ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        OpenWithKeyboard(Wav("a.wav"));
        child = frame->GetActiveFrame();
        ASSERT_NE(child, nullptr);
        QApplication::clipboard()->clear();
    }

    static QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB32); }

    // The clipboard's image after Ctrl+C, as RGB32.
    QImage CopyWithKeyboard() {
        QTest::keyClick(Target(frame), Qt::Key_C, Qt::ControlModifier);
        return Rgb(QApplication::clipboard()->image());
    }

    CChildFrame* child = nullptr;
};

TEST_F(PaneCopyTest, SonogramCopyIsThePaneWithoutItsCursorCross) {
    auto* pane = dynamic_cast<CKSonogramView*>(child->GetActiveView());
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(frame->GetRouter().QueryState(res::ID_EDIT_COPY).enabled);
    ASSERT_EQ(pane->devicePixelRatioF(), 1.0);
    // The cross is due on screen when the copy is made.
    pane->DrawCursor();
    const QImage copied = CopyWithKeyboard();
    ASSERT_FALSE(copied.isNull());
    ASSERT_EQ(copied.size(), pane->viewport()->size());

    // The screen with the cross, then without it (the paint that draws the
    // cross is the one it was requested for).
    const QImage withCross = Rgb(pane->viewport()->grab().toImage());
    const QImage plain = Rgb(pane->viewport()->grab().toImage());
    const int x = pane->GetCursor().x() - pane->GetScrollPosition().x();
    ASSERT_GE(x, 0);
    ASSERT_LT(x, plain.width());
    EXPECT_EQ(withCross.pixelColor(x, plain.height() / 2), QColor(255, 0, 0));
    EXPECT_NE(plain.pixelColor(x, plain.height() / 2), QColor(255, 0, 0));
    EXPECT_EQ(copied, plain);
}

TEST_F(PaneCopyTest, FgtCopyIsThePaneWithoutItsCentreLine) {
    CKFGTransformerView* pane = ComputedFgtPane();
    ASSERT_NE(pane, nullptr);
    const QImage copied = CopyWithKeyboard();
    const QImage shown = Rgb(pane->viewport()->grab().toImage());
    ASSERT_EQ(copied.size(), shown.size());
    const int mid = shown.width() / 2;
    int redInCopy = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (x == mid) {
                EXPECT_EQ(shown.pixelColor(x, y), QColor(255, 0, 0)) << y;
                redInCopy += copied.pixelColor(x, y) == QColor(255, 0, 0) ? 1 : 0;
            } else if (copied.pixel(x, y) != shown.pixel(x, y)) {
                ADD_FAILURE() << "differs at " << x << ", " << y;
                return;
            }
        }
    }
    // The FGT's grey values take the centre column's place.
    EXPECT_EQ(redInCopy, 0);
}

TEST_F(PaneCopyTest, WithoutADocumentCopyStaysDisabled) {
    Trigger(res::ID_FILE_CLOSE);
    frame->UpdateCommandStates();
    EXPECT_FALSE(frame->GetActions().Find(res::ID_EDIT_COPY)->isEnabled());
    QTest::keyClick(Target(frame), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());
}

}  // namespace
