// The play-head's place from the sink's processed time, and the samples the
// sink is fed, against independent computations.
#include "PlayheadMapping.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "PlaybackFeed.h"

namespace {

const double kPi = 4.0 * std::atan(1.0);

// Rate, layer, step.
class PlayheadColumns : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

// column = floor((s0 + floor(us Fs / 10^6)) / (2^L S) + 1/2), in long double:
// every operand is an integer well inside 64 bits of mantissa, so the only
// rounding is that of the division, far below the distance to a half.
long long ClosedForm(long start, long end, int rate, int layer, int step, long long us, long columns) {
    const long double played = std::floor(static_cast<long double>(us) * rate / 1000000.0L);
    const long double sample = std::min<long double>(start + played, end);
    const long double column = std::floor(sample / (std::ldexp(1.0L, layer) * step) + 0.5L);
    return std::min<long long>(static_cast<long long>(column), columns - 1);
}

TEST_P(PlayheadColumns, FollowTheProcessedMicrosecondsExactly) {
    const auto [rate, layer, step] = GetParam();
    const long length = 60L * 60 * rate;  // an hour
    const long columns = (length >> layer) / step;
    std::mt19937_64 random(static_cast<uint64_t>(rate * 131 + layer * 17 + step));
    for (long start : {0L, 1L, static_cast<long>(step) << layer, length / 3 + 7}) {
        const long end = std::min(length, start + 30L * 60 * rate);
        const PlayheadMapping mapping(start, end, rate);
        EXPECT_EQ(mapping.GetDurationUs(), std::llround((end - start) * 1e6 / rate));
        std::vector<long long> times{
            0, 1, 999, 1000000, mapping.GetDurationUs(), mapping.GetDurationUs() + 5000000};
        for (int i = 0; i < 400; ++i) times.push_back(static_cast<long long>(random() % 1900000000ULL));
        // Microseconds at which a column boundary falls: the sample where
        // the rounding turns, and the microsecond just before it.
        for (long k = 1; k < 6; ++k) {
            const long long boundary = (2 * k + 1) * (static_cast<long long>(step) << layer) / 2;
            const long long us = (boundary * 1000000 + rate - 1) / rate;
            times.push_back(us);
            times.push_back(us - 1);
        }
        for (long long us : times) {
            const long sample = mapping.SampleAt(us);
            ASSERT_GE(sample, start);
            ASSERT_LE(sample, end);
            EXPECT_EQ(PlayheadMapping::Column(sample, layer, step, columns),
                      ClosedForm(start, end, rate, layer, step, us, columns))
                << "rate " << rate << " layer " << layer << " step " << step << " start " << start << " us "
                << us;
        }
        EXPECT_EQ(mapping.SampleAt(mapping.GetDurationUs() + 1000000), end);
        EXPECT_EQ(mapping.SampleAt(-5), start);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayerAndStep, PlayheadColumns,
                         ::testing::Combine(::testing::Values(8000, 22050, 44100, 48000),
                                            ::testing::Range(0, 8),
                                            ::testing::Values(1, 3, 16, 57, 221, 1000)));

TEST(PlayheadMapping, LayerFromRatesAndEdgeColumns) {
    for (int layer = 0; layer < 8; ++layer)
        EXPECT_EQ(PlayheadMapping::LayerOf(44100, std::ldexp(44100.0, -layer)), layer);
    EXPECT_EQ(PlayheadMapping::LayerOf(0, 100), 0);
    EXPECT_EQ(PlayheadMapping::Column(-3, 0, 10, 100), 0);
    EXPECT_EQ(PlayheadMapping::Column(1000000, 0, 10, 100), 99);
    EXPECT_EQ(PlayheadMapping::Column(5, 0, 10, 0), 0);
    // Exactly half-way between two frame centres rounds up, as the panes do.
    EXPECT_EQ(PlayheadMapping::Column(5, 0, 10, 100), 1);
    EXPECT_EQ(PlayheadMapping::Column(4, 0, 10, 100), 0);
}

// One or two channels of samples with room before and after, as a store has.
struct Source {
    explicit Source(long n, int channels, double (*f)(long, int)) {
        for (int c = 0; c < channels; ++c) {
            data.emplace_back(static_cast<size_t>(n + 20), KCOMPLEX_KFLOAT{0.0, 0.0});
            for (long i = 0; i < n; ++i) data[c][static_cast<size_t>(i + 10)].re = f(i, c);
        }
    }
    std::vector<const KCOMPLEX_KFLOAT*> Pointers() const {
        std::vector<const KCOMPLEX_KFLOAT*> p;
        for (const auto& d : data) p.push_back(d.data() + 10);
        return p;
    }
    std::vector<std::vector<KCOMPLEX_KFLOAT>> data;
};

double Ramp(long i, int c) { return ((i * 37 + c * 11) % 2001 - 1000) / 1000.0; }

TEST(PlaybackFeed, AtTheFileRateSendsTheSamplesThemselvesInWholeFrames) {
    const Source source(5000, 2, Ramp);
    for (auto type : {PlaybackFeed::SampleType::Int16, PlaybackFeed::SampleType::Float32}) {
        PlaybackFeed feed(source.Pointers(), 123, 4321, 22050, 22050, type);
        ASSERT_TRUE(feed.IsValid());
        EXPECT_FALSE(feed.IsResampling());
        const int width = type == PlaybackFeed::SampleType::Int16 ? 2 : 4;
        EXPECT_EQ(feed.GetBytesPerFrame(), 2 * width);
        EXPECT_EQ(feed.GetTotalBytes(), (4321 - 123) * 2 * width);
        std::vector<char> out;
        std::vector<char> chunk(1001);  // not a whole number of frames
        while (size_t n = feed.Read(chunk.data(), chunk.size())) {
            ASSERT_EQ(n % feed.GetBytesPerFrame(), 0u);
            out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<long>(n));
        }
        ASSERT_EQ(static_cast<long long>(out.size()), feed.GetTotalBytes());
        for (long i = 0; i < 4321 - 123; ++i) {
            for (int c = 0; c < 2; ++c) {
                const double v = Ramp(i + 123, c);
                const char* at = out.data() + (i * 2 + c) * width;
                if (width == 2) {
                    int16_t s;
                    std::memcpy(&s, at, 2);
                    ASSERT_EQ(s, static_cast<int16_t>(std::min(32767.0, std::nearbyint(v * 32768.0)))) << i;
                } else {
                    float s;
                    std::memcpy(&s, at, 4);
                    ASSERT_EQ(s, static_cast<float>(v)) << i;
                }
            }
        }
    }
}

double Tone(long i, int c) { return 0.5 * std::sin(2 * kPi * 1000.0 * i / 11025.0 + c); }

TEST(PlaybackFeed, ADifferentDeviceRateIsReachedByARealResampler) {
    // A 1 kHz tone at 11025 Hz sent to a 48000 Hz device must come out as the
    // same tone at the new rate: compared with the sine itself, the error
    // stays below -60 dB away from the ends. Repeating the nearest sample
    // would be off by up to a quarter of the amplitude.
    const long n = 11025;
    const Source source(n, 2, Tone);
    PlaybackFeed feed(source.Pointers(), 0, n, 11025, 48000, PlaybackFeed::SampleType::Float32);
    ASSERT_TRUE(feed.IsValid());
    ASSERT_TRUE(feed.IsResampling());
    EXPECT_EQ(feed.GetTotalFrames(), 48000);
    std::vector<float> out(static_cast<size_t>(feed.GetTotalFrames()) * 2);
    size_t at = 0;
    while (size_t got = feed.Read(reinterpret_cast<char*>(out.data()) + at, 3000 * 8)) at += got;
    ASSERT_EQ(at, out.size() * sizeof(float));
    double worst = 0.0;
    for (long m = 4800; m < 43200; ++m) {
        for (int c = 0; c < 2; ++c) {
            const double expected = 0.5 * std::sin(2 * kPi * 1000.0 * m / 48000.0 + c);
            worst = std::max(worst, std::fabs(out[static_cast<size_t>(m * 2 + c)] - expected));
        }
    }
    EXPECT_LT(worst, 0.5e-3);
}

}  // namespace
