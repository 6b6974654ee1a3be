#include "SonogramColours.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "CpuLevels.h"

namespace {

using sonogram::SonogramMode;

// The mode words as the tests spell them: 1 amplitude, 2 AM, 4 FM, 8 inverted.
constexpr SonogramMode Mode(int word) { return static_cast<SonogramMode>(word); }

constexpr uint32_t kSentinel = 0xDEADBEEFu;

uint32_t Grey(int g) { return static_cast<uint32_t>(g) * 0x010101u; }

}  // namespace

TEST(SonogramGrey, LevelsMapToGreyFromDarkToLight) {
    EXPECT_EQ(sonogram::GreyLevel(-48.165, 0.0, -96.33), 127);
    EXPECT_EQ(sonogram::GreyLevel(3.0, 0.0, -96.33), 0);
    EXPECT_EQ(sonogram::GreyLevel(0.0, 0.0, -96.33), 0);
    EXPECT_EQ(sonogram::GreyLevel(-120.0, 0.0, -96.33), 255);
    EXPECT_EQ(sonogram::GreyLevel(-96.33, 0.0, -96.33), 255);
    EXPECT_EQ(sonogram::GreyLevel(-INFINITY, 0.0, -96.33), 255);
    EXPECT_EQ(sonogram::GreyLevel(NAN, 0.0, -96.33), 255);
    // Truncation toward zero: 255 * 10 / 30 = 85 exactly, 255 * 11 / 30 = 93.5.
    EXPECT_EQ(sonogram::GreyLevel(-10.0, 0.0, -30.0), 85);
    EXPECT_EQ(sonogram::GreyLevel(-11.0, 0.0, -30.0), 93);
    // A range shifted above zero.
    EXPECT_EQ(sonogram::GreyLevel(5.5, 6.0, 5.0), 127);
    // Levels that bound no range stay inside 0..255.
    const int degenerate = sonogram::GreyLevel(-3.0, 0.0, 0.0);
    EXPECT_GE(degenerate, 0);
    EXPECT_LE(degenerate, 255);

    int previous = -1;
    for (double v = 5.0; v >= -110.0; v -= 0.25) {
        const int g = sonogram::GreyLevel(v, 0.0, -96.33);
        ASSERT_GE(g, previous) << "weaker levels are never darker, v = " << v;
        previous = g;
    }
}

TEST(SonogramGrey, AMTintSaturatesAtOneMilliradian) {
    EXPECT_EQ(sonogram::AMColour(100, 0.0), Grey(100));
    // Half way to saturation: 100 + 155 / 2 = 177.5, truncated.
    EXPECT_EQ(sonogram::AMColour(100, 0.0005), (100u << 16) | (177u << 8) | 100u);
    EXPECT_EQ(sonogram::AMColour(100, -0.0005), (177u << 16) | (100u << 8) | 100u);
    EXPECT_EQ(sonogram::AMColour(0, 0.5), 0x00FF00u);
    EXPECT_EQ(sonogram::AMColour(0, -3.0), 0xFF0000u);
    EXPECT_EQ(sonogram::AMColour(255, 1.0), 0xFFFFFFu);
    EXPECT_EQ(sonogram::AMColour(255, -1.0), 0xFFFFFFu);
}

TEST(SonogramColumnColours, ModesPaintOnlyTheirColumn) {
    constexpr int kRows = 6, kStride = 3;
    const std::vector<double> levels = {0.0, -10.0, -20.0, -30.0, 4.0, -40.0};
    const std::vector<double> zeroSteps(kRows, 0.0);
    const std::vector<double> steps = {0.01, -0.01, 0.0, 0.0005, -0.01, 0.01};
    auto paint = [&](SonogramMode mode, const std::vector<double>& p) {
        std::vector<uint32_t> image(kRows * kStride, kSentinel);
        sonogram::ColourColumn(mode, levels.data(), p.data(), kRows, 0.0, -40.0, image.data() + 1, kStride);
        for (int k = 0; k < kRows; ++k) {
            EXPECT_EQ(image[k * kStride], kSentinel) << "mode " << mode << " wrote outside its column";
            EXPECT_EQ(image[k * kStride + 2], kSentinel) << "mode " << mode << " wrote outside its column";
        }
        std::vector<uint32_t> column;
        for (int k = 0; k < kRows; ++k) column.push_back(image[k * kStride + 1]);
        return column;
    };
    // Greys 0, 63, 127, 191, 0, 255 by 255 * (0 - v) / 40.
    const std::vector<uint32_t> amplitude = paint(Mode(1), zeroSteps);
    EXPECT_EQ(amplitude,
              (std::vector<uint32_t>{Grey(0), Grey(63), Grey(127), Grey(191), Grey(0), Grey(255)}));

    const std::vector<uint32_t> inverted = paint(Mode(9), zeroSteps);
    EXPECT_EQ(inverted,
              (std::vector<uint32_t>{Grey(255), Grey(192), Grey(128), Grey(64), Grey(255), 0xFF0000u}));

    EXPECT_EQ(paint(Mode(2), zeroSteps), amplitude) << "AM with no phase steps is the amplitude image";
    const std::vector<uint32_t> am = paint(Mode(2), steps);
    EXPECT_EQ(am[0], 0x00FF00u);
    EXPECT_EQ(am[1], (255u << 16) | (63u << 8) | 63u);
    EXPECT_EQ(am[2], Grey(127));
    EXPECT_EQ(am[3], (191u << 16) | (223u << 8) | 191u);
    EXPECT_EQ(am[4], 0xFF0000u);
    EXPECT_EQ(am[5], 0xFFFFFFu);

    for (const SonogramMode mode : {Mode(4), Mode(10), Mode(12)}) {
        EXPECT_FALSE(sonogram::ModeHasColouring(mode));
        EXPECT_EQ(paint(mode, steps), std::vector<uint32_t>(kRows, kSentinel)) << "mode " << mode;
    }
    for (const SonogramMode mode : {Mode(1), Mode(2), Mode(9)}) EXPECT_TRUE(sonogram::ModeHasColouring(mode));
}

TEST(SonogramColumnColours, BlankColumnsAreWhiteExceptWhenInverted) {
    EXPECT_EQ(sonogram::BlankColour(Mode(1)), 0xFFFFFFu);
    EXPECT_EQ(sonogram::BlankColour(Mode(2)), 0xFFFFFFu);
    EXPECT_EQ(sonogram::BlankColour(Mode(9)), 0x000000u);
    std::vector<uint32_t> image(8, kSentinel);
    sonogram::BlankColumn(Mode(9), 4, image.data(), 2);
    EXPECT_EQ(image, (std::vector<uint32_t>{0, kSentinel, 0, kSentinel, 0, kSentinel, 0, kSentinel}));
    sonogram::BlankColumn(Mode(1), 4, image.data() + 1, 2);
    EXPECT_EQ(image, (std::vector<uint32_t>{0, 0xFFFFFFu, 0, 0xFFFFFFu, 0, 0xFFFFFFu, 0, 0xFFFFFFu}));
}

TEST(SonogramColumnColours, BothInstructionSetsPaintWhatTheSingleLevelRulesGive) {
    // Random levels with the awkward ones mixed in, columns of every length
    // around the blocks the greys are computed in: each pixel must be the
    // colour GreyLevel and AMColour give for its row alone.
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double awkward[] = {nan, inf, -inf, 0.0, -0.0, -96.33, -48.165, 1e300, -1e300, -10.0};
    std::mt19937_64 random(31);
    std::uniform_real_distribution<double> level(-130.0, 10.0);
    std::uniform_real_distribution<double> step(-0.003, 0.003);
    constexpr int kStride = 3;
    for (int rows : {1, 3, 4, 5, 63, 64, 65, 130, 512}) {
        for (const auto& [upper, lower] :
             {std::pair{0.0, -96.33}, std::pair{-3.0, -20.0}, std::pair{0.0, 0.0}}) {
            std::vector<double> levels(rows), steps(rows);
            for (int k = 0; k < rows; ++k) {
                levels[k] = random() % 8 == 0 ? awkward[random() % std::size(awkward)] : level(random);
                steps[k] = random() % 8 == 0 ? 0.0 : step(random);
            }
            for (const SonogramMode mode : {Mode(1), Mode(2), Mode(9)}) {
                std::vector<uint32_t> want(rows);
                for (int k = 0; k < rows; ++k) {
                    const int g = sonogram::GreyLevel(levels[k], upper, lower);
                    want[k] = mode == 1   ? Grey(g)
                              : mode == 2 ? sonogram::AMColour(g, steps[k])
                                          : Grey(255 - g);
                }
                if (mode == 9) want[rows - 1] = 0xFF0000u;
                for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
                    const cpu::LevelCap cap(level);
                    std::vector<uint32_t> image(rows * kStride, kSentinel);
                    sonogram::ColourColumn(mode, levels.data(), steps.data(), rows, upper, lower,
                                           image.data() + 1, kStride);
                    for (int k = 0; k < rows; ++k) {
                        ASSERT_EQ(image[k * kStride + 1], want[k])
                            << "mode " << mode << ", " << LevelName(level) << ", rows " << rows << ", row "
                            << k << ", level " << levels[k];
                        ASSERT_EQ(image[k * kStride], kSentinel) << "wrote outside its column";
                        ASSERT_EQ(image[k * kStride + 2], kSentinel) << "wrote outside its column";
                    }
                }
            }
        }
    }
}

TEST(SonogramColumnColours, RunsOfColumnsAreColouredAsEachAlone) {
    // Runs of every width around the quads and tiles, of heights around the
    // quads, in every mode and with both instruction sets: each pixel is the
    // one the column gets alone, and nothing outside the run is written.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::mt19937_64 random(37);
    std::uniform_real_distribution<double> level(-130.0, 10.0);
    std::uniform_real_distribution<double> step(-0.003, 0.003);
    for (int rows : {1, 3, 4, 7, 64, 66}) {
        for (int columns : {1, 3, 4, 5, 8, 9, 16, 17, 23}) {
            const int stride = columns + 3;
            std::vector<double> levels(static_cast<size_t>(rows) * columns), steps(levels.size());
            for (size_t i = 0; i < levels.size(); ++i) {
                levels[i] = random() % 9 == 0 ? nan : level(random);
                steps[i] = step(random);
            }
            for (const SonogramMode mode : {Mode(1), Mode(2), Mode(9)}) {
                for (cpu::Level level : LevelsToTest(cpu::Level::Avx2)) {
                    const cpu::LevelCap cap(level);
                    std::vector<uint32_t> alone(static_cast<size_t>(rows) * stride, kSentinel);
                    for (int c = 0; c < columns; ++c)
                        sonogram::ColourColumn(mode, levels.data() + c * rows, steps.data() + c * rows, rows,
                                               -3.0, -90.0, alone.data() + 1 + c, stride);
                    std::vector<uint32_t> run(alone.size(), kSentinel);
                    sonogram::ColourColumns(mode, levels.data(), steps.data(), rows, columns, -3.0, -90.0,
                                            run.data() + 1, stride);
                    ASSERT_EQ(run, alone) << "mode " << mode << ", " << LevelName(level) << ", rows " << rows
                                          << ", columns " << columns;
                }
            }
        }
    }
}
