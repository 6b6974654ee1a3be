// Banner numbers: layout in proportion to the client area and the wave
// packet's points, checked against the closed forms computed here in double
// precision.
#include <gtest/gtest.h>

#include <cmath>

#include "BannerLayout.h"

namespace {

// The packet row in double precision: base * (1 + sin(i*6.28/xM - atan 1.4) * exp(-i^2 / (2 (xM/5)^2))).
double ReferenceRow(int x, int xM, int height) {
    const double base = (3 * height) / 4;
    const double sigma = xM / 5.0;
    const double i = x - xM;
    return base * (1.0 + std::sin(i * 6.28 / xM - std::atan(1.4)) * std::exp(-i * i / (2.0 * sigma * sigma)));
}

TEST(BannerLayout, NumbersOfA1280x800Area) {
    const BannerLayout l = ComputeBannerLayout(1280, 800);
    EXPECT_EQ(l.nSmallFontHeight, 24);  // 0.6 * 40
    EXPECT_EQ(l.nSmallFontWidth, 9);    // 0.6 * 16 = 9.6
    EXPECT_EQ(l.nTitleFontHeight, 100);
    EXPECT_EQ(l.nTitleFontWidth, 36);  // 1280 / 35 = 36.57
    EXPECT_EQ(l.nBottomFontHeight, 26);
    EXPECT_EQ(l.nBottomFontWidth, 10);
    EXPECT_EQ(l.nPenWidth, 2);
    EXPECT_EQ(l.xCentre, 768);
    EXPECT_EQ(l.yTitle, 600);
    EXPECT_EQ(l.nTitleGap, 12);
}

TEST(BannerLayout, IntegerDivisionsTruncateBeforeScaling) {
    for (int w : {1, 79, 80, 159, 160, 641, 1919, 4001}) {
        for (int h : {1, 19, 20, 299, 300, 599, 600, 1201}) {
            const BannerLayout l = ComputeBannerLayout(w, h);
            EXPECT_EQ(l.nSmallFontHeight, static_cast<int>(std::floor(0.6 * std::floor(h / 20.0))));
            EXPECT_EQ(l.nSmallFontWidth, static_cast<int>(std::floor(0.6 * std::floor(w / 80.0))));
            EXPECT_EQ(l.nTitleFontHeight, static_cast<int>(std::floor(h / 8.0)));
            EXPECT_EQ(l.nTitleFontWidth, static_cast<int>(std::floor(w / 35.0)));
            EXPECT_EQ(l.nBottomFontHeight, static_cast<int>(std::floor(h / 30.0)));
            EXPECT_EQ(l.nBottomFontWidth, static_cast<int>(std::floor(w / 120.0)));
            EXPECT_EQ(l.nPenWidth, static_cast<int>(std::floor(h / 300.0)));
            EXPECT_EQ(l.xCentre, static_cast<int>(std::floor(0.6 * w)));
            EXPECT_EQ(l.yTitle, static_cast<int>(std::floor(0.75 * h)));
            EXPECT_EQ(l.nTitleGap, static_cast<int>(std::floor(std::floor(h / 8.0) / 8.0)));
        }
    }
}

TEST(BannerLayout, LowAreaGivesPenWidthsZeroOneTwo) {
    const BannerLayout l = ComputeBannerLayout(640, 299);
    EXPECT_EQ(l.nPenWidth, 0);
    EXPECT_EQ(l.nPenWidth + 1, 1);
    EXPECT_EQ(ComputeBannerLayout(640, 300).nPenWidth, 1);
}

TEST(WavePacket, EndsAndCentreOfAWideArea) {
    const WavePacket p = ComputeWavePacket(1280, 800, 768, 150);
    EXPECT_EQ(p.xR, 918);
    EXPECT_EQ(p.x0, (1280 - 918) / 2);
    EXPECT_EQ(p.xM, (181 - 150 + 768) / 2);
    ASSERT_EQ(p.y.size(), static_cast<size_t>(p.xR - p.x0));
}

TEST(WavePacket, NarrowAreaStartsAtColumnOne) {
    // Title reaches the right edge: x0 = 1; the envelope centre stays inside.
    WavePacket p = ComputeWavePacket(100, 200, 60, 50);
    EXPECT_EQ(p.x0, 1);
    EXPECT_EQ(p.xM, 5);
    EXPECT_EQ(p.y.size(), static_cast<size_t>(110 - 1));
    // Title also reaches past the left edge: xM = 1 as well.
    p = ComputeWavePacket(100, 200, 60, 70);
    EXPECT_EQ(p.x0, 1);
    EXPECT_EQ(p.xM, 1);
    EXPECT_EQ(p.xR, 130);
    EXPECT_EQ(p.y.size(), 129u);
}

TEST(WavePacket, NoLineWhenStartIsNotLeftOfTitleEnd) {
    const WavePacket p = ComputeWavePacket(10, 100, 0, 0);  // xR = 0, x0 = 5
    EXPECT_EQ(p.x0, 5);
    EXPECT_EQ(p.xR, 0);
    ASSERT_EQ(p.y.size(), 1u);  // the starting point only
    EXPECT_EQ(p.y[0], WavePacketRow(5, p.xM, 100));
}

TEST(WavePacket, RowsFollowTheGaussianSine) {
    const int h = 800;
    const WavePacket p = ComputeWavePacket(1280, h, 768, 150);
    int exact = 0;
    for (size_t i = 0; i < p.y.size(); ++i) {
        const int x = p.x0 + static_cast<int>(i);
        const double ref = ReferenceRow(x, p.xM, h);
        // Single precision may move a value across an integer boundary: one row at most.
        EXPECT_NEAR(p.y[i], std::trunc(ref), 1.0) << "column " << x;
        if (p.y[i] == static_cast<int>(std::trunc(ref))) ++exact;
    }
    EXPECT_GT(exact, static_cast<int>(p.y.size() * 9 / 10));
}

TEST(WavePacket, FlatFarAwayAndHighestNearTheCentre) {
    const int h = 900;
    const int base = (3 * h) / 4;
    const int xM = 300;
    // Twenty envelope widths away the curve lies on the base row.
    EXPECT_EQ(WavePacketRow(xM + 1200, xM, h), base);
    EXPECT_EQ(WavePacketRow(xM - 1000, xM, h), base);
    // At the centre: base * (1 - 1.4 / sqrt(2.96)), about 0.14 of the height.
    const double centre = base * (1.0 - 1.4 / std::sqrt(1.0 + 1.4 * 1.4));
    EXPECT_NEAR(WavePacketRow(xM, xM, h), centre, 1.0);
    EXPECT_NEAR(WavePacketRow(xM, xM, h) / static_cast<double>(h), 0.14, 0.005);
}

TEST(WavePacket, HugeAreaDoesNotOverflow) {
    const WavePacket p = ComputeWavePacket(200000, 1000, 120000, 40000);
    ASSERT_FALSE(p.y.empty());
    EXPECT_EQ(p.y.back(), (3 * 1000) / 4);  // far right of the envelope
    for (int y : p.y) {
        EXPECT_GE(y, 0);
        EXPECT_LE(y, 2 * 750);
    }
}

}  // namespace
