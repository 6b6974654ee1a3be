// The program's icons: every toolbar command has a scalable image that is
// drawn at the resolution asked for (sharp at twice the size and more, not a
// small bitmap blown up) and stands out on a light toolbar and a dark one.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "Icons.h"
#include "MenuTables.h"

namespace {

// The share of pixels of `icon` drawn at `size` over `background` that
// differ clearly from it (luminance apart by more than a fifth of the range).
// Line drawings of 16 x 15 pixels cover an eighth and more of their square;
// black ink on a dark toolbar covers next to nothing.
double ContrastingShare(const QIcon& icon, QSize size, QColor background) {
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(background);
    {
        QPainter painter(&canvas);
        icon.paint(&painter, QRect(QPoint(0, 0), size));
    }
    const auto luminance = [](QRgb c) { return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c); };
    const double back = luminance(background.rgb());
    int contrasting = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (std::abs(luminance(canvas.pixel(x, y)) - back) > 51) ++contrasting;
        }
    }
    return static_cast<double>(contrasting) / (size.width() * size.height());
}

std::vector<int> ToolbarCommands() {
    std::vector<int> ids;
    for (int id : res::ToolbarButtons()) {
        if (id != 0) ids.push_back(id);
    }
    return ids;
}

class ToolbarIcon : public ::testing::TestWithParam<int> {};

TEST_P(ToolbarIcon, IsScalableAndSeenOnLightAndDarkToolbars) {
    const QIcon icon = res::CommandIcon(GetParam());
    ASSERT_FALSE(icon.isNull());
    for (const int scale : {1, 2, 3}) {
        const QSize size(res::kButtonImageWidth * scale, res::kButtonImageHeight * scale);
        // A bitmap icon would come back at its own, smaller size.
        EXPECT_EQ(icon.pixmap(size).size(), size) << "scale " << scale;
        // A light toolbar (the usual window colour) and a dark theme's.
        EXPECT_GT(ContrastingShare(icon, size, QColor(239, 239, 239)), 0.12) << "light, scale " << scale;
        EXPECT_GT(ContrastingShare(icon, size, QColor(42, 42, 42)), 0.12) << "dark, scale " << scale;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryButton, ToolbarIcon, ::testing::ValuesIn(ToolbarCommands()));

TEST(ProgramIcons, AreScalableAndCommandsWithoutAnImageHaveNone) {
    for (const QIcon& icon : {res::ApplicationIcon(), res::DocumentIcon()}) {
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.pixmap(QSize(128, 128)).size(), QSize(128, 128));
        EXPECT_GT(ContrastingShare(icon, QSize(64, 64), QColor(239, 239, 239)), 0.3);
    }
    EXPECT_TRUE(res::CommandIcon(0).isNull());
}

}  // namespace
