#include "BannerLayout.h"

#include <cmath>
#include <cstdint>

BannerLayout ComputeBannerLayout(int width, int height) {
    BannerLayout l;
    l.nSmallFontHeight = static_cast<int>(0.6 * (height / 20));
    l.nSmallFontWidth = static_cast<int>(0.6 * (width / 80));
    l.nTitleFontHeight = height / 8;
    l.nTitleFontWidth = width / 35;
    l.nBottomFontHeight = height / 30;
    l.nBottomFontWidth = width / 120;
    l.nPenWidth = height / 300;
    l.xCentre = static_cast<int>(0.6 * width);
    l.yTitle = (3 * height) / 4;
    l.nTitleGap = (height / 8) / 8;
    return l;
}

int WavePacketRow(int x, int xM, int height) {
    // Every step in single precision, as the curve has always been drawn.
    const float a = static_cast<float>(xM) / 5.0f;
    const float s = a * (a + a);
    const float k = 6.28f / static_cast<float>(xM);
    const float phase = static_cast<float>(-std::atan(1.4));
    const float base = static_cast<float>((3 * height) / 4);
    const int64_t i = static_cast<int64_t>(x) - xM;
    const float u = static_cast<float>(i) * k + phase;
    const float e = std::exp(static_cast<float>(i * i) / s);
    return static_cast<int>((std::sin(u) / e + 1.0) * base);
}

WavePacket ComputeWavePacket(int width, int height, int xCentre, int halfTitle) {
    WavePacket p;
    p.xR = xCentre + halfTitle;
    p.x0 = (width - p.xR) / 2;
    if (p.x0 <= 0) p.x0 = 1;
    p.xM = (p.x0 - halfTitle + xCentre) / 2;
    if (p.xM <= 0) p.xM = 1;
    p.y.push_back(WavePacketRow(p.x0, p.xM, height));
    for (int x = p.x0 + 1; x < p.xR; ++x) p.y.push_back(WavePacketRow(x, p.xM, height));
    return p;
}
