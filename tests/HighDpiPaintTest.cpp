// The panes' pictures on a surface of device pixel ratio 2: each image pixel
// stays one logical pixel, drawn as a 2 x 2 block of its own colour (no
// smoothing that would mix neighbours), exactly where the same paint puts it
// at ratio 1. Random pixels make any blending or shift visible.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "FGTOnDemand.h"
#include "FGTPainter.h"
#include "SonogramPainter.h"

namespace {

// What `paint` draws on a `width` x `height` logical surface at `ratio`, over grey.
QImage PaintAt(int width, int height, double ratio, const std::function<void(QPainter&)>& paint) {
    QImage surface(static_cast<int>(width * ratio), static_cast<int>(height * ratio), QImage::Format_RGB32);
    surface.setDevicePixelRatio(ratio);
    surface.fill(QColor(128, 128, 128));
    QPainter painter(&surface);
    paint(painter);
    return surface;
}

// Every logical pixel of `single` is the 2 x 2 block at twice its position in `twice`.
void ExpectPixelBlocks(const QImage& single, const QImage& twice) {
    ASSERT_EQ(twice.size(), single.size() * 2);
    int differing = 0;
    for (int y = 0; y < single.height(); ++y) {
        for (int x = 0; x < single.width(); ++x) {
            const QRgb want = single.pixel(x, y);
            for (int j = 0; j < 2; ++j) {
                for (int i = 0; i < 2; ++i) {
                    if (twice.pixel(2 * x + i, 2 * y + j) != want && differing++ < 5) {
                        ADD_FAILURE() << "logical (" << x << "," << y << ") device (" << 2 * x + i << ","
                                      << 2 * y + j << ")";
                    }
                }
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

std::vector<uint32_t> RandomPixels(size_t n) {
    std::mt19937 random(21);
    std::vector<uint32_t> pixels(n);
    for (uint32_t& p : pixels) p = random() & 0xFFFFFFu;
    return pixels;
}

TEST(HighDpiPaint, SonogramRingIsOneColumnPerLogicalPixel) {
    const int slotCount = 37, rows = 23;
    QImage ring(slotCount, rows, QImage::Format_RGB32);
    const std::vector<uint32_t> pixels = RandomPixels(static_cast<size_t>(slotCount) * rows);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < slotCount; ++x) ring.setPixel(x, y, 0xFF000000u | pixels[y * slotCount + x]);
    }
    // A scroll position that splits the ring into its two blits.
    for (const int x0 : {0, 50}) {
        const auto paint = [&](QPainter& p) {
            p.translate(-x0, 0);
            SonogramPainter::PaintFills(p, x0, 0, slotCount, rows + 5, rows);
            SonogramPainter::PaintRing(p, ring, x0);
        };
        const QImage single = PaintAt(slotCount, rows + 5, 1, paint);
        // The ring itself at ratio 1: image line k at y = rows - k.
        EXPECT_EQ(single.pixel(0, rows), ring.pixel(x0 % slotCount, 0));
        EXPECT_EQ(single.pixel(slotCount - 1, 1), ring.pixel((x0 + slotCount - 1) % slotCount, rows - 1));
        ExpectPixelBlocks(single, PaintAt(slotCount, rows + 5, 2, paint));
    }
}

TEST(HighDpiPaint, FgtRowsAndCentreLineAreOneColumnPerLogicalPixel) {
    const int width = 41, height = 20;
    // The FGT of a second of noise at 8000 Hz, computed for what the surface shows.
    const long n = 8000;
    const int guard = 40000;
    std::vector<KCOMPLEX_KFLOAT> store(static_cast<size_t>(n + 2 * guard), KCOMPLEX_KFLOAT{0.0, 0.0});
    std::mt19937 random(9);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (long i = 0; i < n; ++i) store[static_cast<size_t>(guard + i)].re = noise(random);
    FGTOnDemand fgt;
    ASSERT_TRUE(fgt.Bind(fgt::SignalRef{store.data() + guard, n, 8000.0, guard}, 2.0));
    ASSERT_TRUE(fgt.Prepare(width, height, 0.05, 0.0, 50.0));
    const auto paint = [&](QPainter& p) {
        FGTPainter::PaintRows(p, width, height, 0.05, fgt);
        FGTPainter::PaintCentreLine(p, width);
    };
    const QImage single = PaintAt(width, height, 1, paint);
    EXPECT_EQ(single.pixel(width / 2, 0), FGTPainter::CentreLineColour().rgb());
    ExpectPixelBlocks(single, PaintAt(width, height, 2, paint));
}

}  // namespace
