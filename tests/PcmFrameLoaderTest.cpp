#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "PcmFrameLoader.h"

namespace {

// Little-endian bytes of `values` (already offset for 8-bit data) in
// containers of `width` bytes, written independently of the loader.
std::vector<unsigned char> Encode(const std::vector<int64_t>& values, int width) {
    std::vector<unsigned char> bytes;
    for (int64_t v : values) {
        const uint64_t u = static_cast<uint64_t>(v);
        for (int i = 0; i < width; ++i) bytes.push_back(static_cast<unsigned char>((u >> (8 * i)) & 0xFF));
    }
    return bytes;
}

// Destination stores with sentinels before and after the signal, so that a
// write outside 0..n-1 shows.
struct Store {
    explicit Store(long n)
        : samples(static_cast<size_t>(n + 2 * kPad), KCOMPLEX_KFLOAT{kSentinel, kSentinel}) {
        for (long i = 0; i < n; ++i) at(i) = KCOMPLEX_KFLOAT{0.0, 0.0};
        size = n;
    }
    KCOMPLEX_KFLOAT& at(long i) { return samples[static_cast<size_t>(i + kPad)]; }
    KCOMPLEX_KFLOAT* first() { return &samples[kPad]; }
    bool sentinelsIntact() const {
        for (long i = 0; i < kPad; ++i) {
            const KCOMPLEX_KFLOAT& a = samples[static_cast<size_t>(i)];
            const KCOMPLEX_KFLOAT& b = samples[static_cast<size_t>(kPad + size + i)];
            if (a.re != kSentinel || a.im != kSentinel || b.re != kSentinel || b.im != kSentinel)
                return false;
        }
        return true;
    }
    static constexpr long kPad = 64;
    static constexpr double kSentinel = 12345.0;
    std::vector<KCOMPLEX_KFLOAT> samples;
    long size = 0;
};

// A data chunk served in reads: records the byte count of each request and
// may answer a chosen read short, with an error, or with too much.
class FakeData {
public:
    explicit FakeData(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}
    long Read(unsigned char* buffer, long count) {
        requests.push_back(count);
        const size_t index = requests.size() - 1;
        if (index == errorAt) return -1;
        long n = std::min<long>(count, static_cast<long>(m_bytes.size() - m_pos));
        if (index == shortAt) n = std::min(n, shortBytes);
        if (n > 0) std::memcpy(buffer, m_bytes.data() + m_pos, static_cast<size_t>(n));
        m_pos += static_cast<size_t>(n);
        if (index == excessAt) return count + 4096;  // claims more than it was asked for
        return n;
    }
    PcmFrameLoader::ReadFunction Function() {
        return [this](unsigned char* b, long c) { return Read(b, c); };
    }
    std::vector<long> requests;
    size_t errorAt = SIZE_MAX;
    size_t shortAt = SIZE_MAX;
    size_t excessAt = SIZE_MAX;
    long shortBytes = 0;

private:
    std::vector<unsigned char> m_bytes;
    size_t m_pos = 0;
};

}  // namespace

TEST(PcmFrameLoader, SixteenBitValuesAtFullScale) {
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(1, 16, 2));
    EXPECT_EQ(loader.GetDivisor(), 32768.0);
    const std::vector<unsigned char> bytes = {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF};
    Store s(4);
    KCOMPLEX_KFLOAT* dest[] = {s.first()};
    loader.ConvertFrames(bytes.data(), 4, dest);
    EXPECT_EQ(s.at(0).re, -1.0);
    EXPECT_EQ(s.at(1).re, 0.999969482421875);
    EXPECT_EQ(s.at(2).re, 0.000030517578125);
    EXPECT_EQ(s.at(3).re, -0.000030517578125);
    for (long i = 0; i < 4; ++i) EXPECT_EQ(s.at(i).im, 0.0);
    EXPECT_TRUE(s.sentinelsIntact());
}

TEST(PcmFrameLoader, StereoFramesSplitIntoTwoChannels) {
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(2, 16, 4));
    const std::vector<unsigned char> bytes = Encode({16384, -16384, -32768, 32767}, 2);
    Store left(2), right(2);
    KCOMPLEX_KFLOAT* dest[] = {left.first(), right.first()};
    loader.ConvertFrames(bytes.data(), 2, dest);
    EXPECT_EQ(left.at(0).re, 0.5);
    EXPECT_EQ(right.at(0).re, -0.5);
    EXPECT_EQ(left.at(1).re, -1.0);
    EXPECT_EQ(right.at(1).re, 32767.0 / 32768.0);
    EXPECT_TRUE(left.sentinelsIntact());
    EXPECT_TRUE(right.sentinelsIntact());
}

// Every container width, mono and stereo, random values and both ends of the range.
class PcmFrameLoaderWidths : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PcmFrameLoaderWidths, ValuesOverFullScaleOfTheContainer) {
    const int channels = std::get<0>(GetParam());
    const int width = std::get<1>(GetParam());
    const int bits = 8 * width;
    const int64_t lo = -(int64_t{1} << (bits - 1));
    const int64_t hi = (int64_t{1} << (bits - 1)) - 1;
    std::mt19937_64 random(static_cast<uint64_t>(channels * 10 + width));
    std::uniform_int_distribution<int64_t> any(lo, hi);
    const long frames = 3001;
    std::vector<int64_t> values;  // signed sample values, interleaved
    for (long i = 0; i < frames * channels; ++i) values.push_back(i < 2 ? (i == 0 ? lo : hi) : any(random));
    std::vector<int64_t> stored = values;
    if (width == 1)
        for (int64_t& v : stored) v += 128;  // 8-bit data is unsigned

    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(channels, bits, channels * width));
    EXPECT_EQ(loader.GetContainerBytes(), width);
    EXPECT_EQ(loader.GetDivisor(), std::ldexp(1.0, bits - 1));
    FakeData data(Encode(stored, width));
    Store a(frames), b(frames);
    KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
    loader.Load(data.Function(), frames, dest);
    for (long i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double expected =
                std::ldexp(static_cast<double>(values[static_cast<size_t>(i * channels + c)]), -(bits - 1));
            ASSERT_EQ((c == 0 ? a : b).at(i).re, expected) << "frame " << i << " channel " << c;
        }
    }
    EXPECT_EQ(a.at(0).re, -1.0);
    EXPECT_TRUE(a.sentinelsIntact());
    EXPECT_TRUE(b.sentinelsIntact());
    if (channels == 1) {
        for (long i = 0; i < frames; ++i) ASSERT_EQ(b.at(i).re, 0.0);
    }
}

INSTANTIATE_TEST_SUITE_P(ChannelsAndWidths, PcmFrameLoaderWidths,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Values(1, 2, 3, 4)));

TEST(PcmFrameLoader, NarrowDepthsAreLeftJustifiedInTheirContainer) {
    // 12 bits in 16-bit containers: the value v sits in the top bits (v << 4).
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(1, 12, 2));
    EXPECT_EQ(loader.GetDivisor(), 32768.0);
    const std::vector<int64_t> twelve = {-2048, 2047, 1, -1, 0};
    std::vector<int64_t> shifted;
    for (int64_t v : twelve) shifted.push_back(v * 16);
    std::vector<unsigned char> bytes = Encode(shifted, 2);
    Store s(5);
    KCOMPLEX_KFLOAT* dest[] = {s.first()};
    loader.ConvertFrames(bytes.data(), 5, dest);
    for (size_t i = 0; i < twelve.size(); ++i) EXPECT_EQ(s.at(static_cast<long>(i)).re, twelve[i] / 2048.0);

    // 20 bits in 24-bit containers.
    ASSERT_TRUE(loader.SetFormat(2, 20, 6));
    EXPECT_EQ(loader.GetDivisor(), 8388608.0);
    bytes = Encode({-524288 * 16, 524287 * 16}, 3);
    Store l(1), r(1);
    KCOMPLEX_KFLOAT* dest2[] = {l.first(), r.first()};
    loader.ConvertFrames(bytes.data(), 1, dest2);
    EXPECT_EQ(l.at(0).re, -1.0);
    EXPECT_EQ(r.at(0).re, 524287.0 / 524288.0);
}

TEST(PcmFrameLoader, UnsupportedFormatsAreRefused) {
    PcmFrameLoader loader;
    EXPECT_FALSE(loader.SetFormat(0, 16, 2));
    EXPECT_FALSE(loader.SetFormat(3, 16, 6));
    EXPECT_FALSE(loader.SetFormat(1, 64, 8));  // 64-bit containers
    EXPECT_FALSE(loader.SetFormat(2, 40, 10));
    EXPECT_FALSE(loader.SetFormat(1, 16, 0));
    EXPECT_FALSE(loader.SetFormat(2, 16, 3));  // the frame does not split
    EXPECT_FALSE(loader.SetFormat(1, 0, 2));
    EXPECT_FALSE(loader.SetFormat(1, 17, 2));  // deeper than the container
    EXPECT_EQ(loader.GetChannels(), 0);
    EXPECT_EQ(loader.GetBlockFrames(), 0);
    // A refused format loads nothing.
    FakeData data(std::vector<unsigned char>(64, 0x11));
    Store s(8);
    KCOMPLEX_KFLOAT* dest[] = {s.first()};
    EXPECT_EQ(loader.Load(data.Function(), 8, dest), 0);
    EXPECT_TRUE(data.requests.empty());
    EXPECT_EQ(s.at(0).re, 0.0);
}

TEST(PcmFrameLoader, ReadsWholeFramesInBlocks) {
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(2, 16, 4));
    EXPECT_EQ(loader.GetBlockFrames(), 2048);
    FakeData stereo(std::vector<unsigned char>(5000 * 4, 0));
    Store a(5000), b(5000);
    KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
    EXPECT_EQ(loader.Load(stereo.Function(), 5000, dest), 5000);
    EXPECT_EQ(stereo.requests, (std::vector<long>{2048 * 4, 2048 * 4, 904 * 4}));

    ASSERT_TRUE(loader.SetFormat(1, 16, 2));
    EXPECT_EQ(loader.GetBlockFrames(), 8192);
    FakeData mono(std::vector<unsigned char>(20000 * 2, 0));
    Store m(20000);
    KCOMPLEX_KFLOAT* monoDest[] = {m.first()};
    loader.Load(mono.Function(), 20000, monoDest);
    EXPECT_TRUE(m.sentinelsIntact());
    EXPECT_EQ(mono.requests, (std::vector<long>{16384, 16384, 3616 * 2}));

    // 24-bit stereo: 1365 frames of 6 bytes fit the 8192-byte block.
    ASSERT_TRUE(loader.SetFormat(2, 24, 6));
    EXPECT_EQ(loader.GetBlockFrames(), 1365);
    FakeData wide(std::vector<unsigned char>(3000 * 6, 0));
    loader.Load(wide.Function(), 3000, dest);
    EXPECT_EQ(wide.requests, (std::vector<long>{1365 * 6, 1365 * 6, 270 * 6}));
}

TEST(PcmFrameLoader, ShortAndFailedReadsStopTheLoad) {
    // A file that shrinks or fails while it loads must not turn into later
    // blocks landing early or late, or silence the file does not hold: the
    // load stops and says how many whole frames it brought.
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(2, 16, 4));
    const long frames = 5000;
    std::vector<int64_t> values;
    for (long i = 0; i < frames; ++i) {
        values.push_back(i % 1000 + 1);
        values.push_back(-(i % 1000) - 1);
    }
    const std::vector<unsigned char> bytes = Encode(values, 2);

    // The second read fails: the first block stands, nothing is read after it.
    {
        FakeData data(bytes);
        data.errorAt = 1;
        Store a(frames), b(frames);
        KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
        EXPECT_EQ(loader.Load(data.Function(), frames, dest), 2048);
        EXPECT_EQ(data.requests.size(), 2u);
        for (long i = 0; i < 2048; ++i) ASSERT_EQ(a.at(i).re, (i % 1000 + 1) / 32768.0);
        for (long i = 2048; i < frames; ++i) ASSERT_EQ(a.at(i).re, 0.0);
        EXPECT_TRUE(a.sentinelsIntact());
        EXPECT_TRUE(b.sentinelsIntact());
    }
    // The first read stops inside a frame (1001 bytes: 250 whole frames):
    // those 250 are converted, no half frame, and loading stops.
    {
        FakeData data(bytes);
        data.shortAt = 0;
        data.shortBytes = 1001;
        Store a(frames), b(frames);
        KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
        EXPECT_EQ(loader.Load(data.Function(), frames, dest), 250);
        EXPECT_EQ(data.requests.size(), 1u);
        for (long i = 0; i < 250; ++i) ASSERT_EQ(b.at(i).re, -(i % 1000 + 1) / 32768.0);
        for (long i = 250; i < frames; ++i) ASSERT_EQ(b.at(i).re, 0.0);
        EXPECT_TRUE(a.sentinelsIntact());
        EXPECT_TRUE(b.sentinelsIntact());
    }
    // A reader that claims more than it was asked for cannot push samples
    // past the end of the stores.
    {
        FakeData data(bytes);
        data.excessAt = 2;
        Store a(frames), b(frames);
        KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
        EXPECT_EQ(loader.Load(data.Function(), frames, dest), frames);
        EXPECT_TRUE(a.sentinelsIntact());
        EXPECT_TRUE(b.sentinelsIntact());
        EXPECT_EQ(a.at(frames - 1).re, ((frames - 1) % 1000 + 1) / 32768.0);
    }
    // Data that ends early: the 100 frames there are, then the load stops.
    {
        FakeData data(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 100 * 4));
        Store a(frames), b(frames);
        KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
        EXPECT_EQ(loader.Load(data.Function(), frames, dest), 100);
        EXPECT_EQ(a.at(99).re, 100 / 32768.0);
        for (long i = 100; i < frames; ++i) ASSERT_EQ(a.at(i).re, 0.0);
    }
}

namespace {

// Little-endian IEEE bytes of `values` as 32-bit floats or as doubles,
// written independently of the loader.
std::vector<unsigned char> EncodeFloat(const std::vector<double>& values, int width) {
    std::vector<unsigned char> bytes;
    for (double v : values) {
        uint64_t u = 0;
        if (width == 4) {
            const float f = static_cast<float>(v);
            uint32_t u32;
            std::memcpy(&u32, &f, sizeof u32);
            u = u32;
        } else {
            std::memcpy(&u, &v, sizeof u);
        }
        for (int i = 0; i < width; ++i) bytes.push_back(static_cast<unsigned char>((u >> (8 * i)) & 0xFF));
    }
    return bytes;
}

}  // namespace

// Float data over channels and widths, across several read blocks.
class PcmFrameLoaderFloats : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(PcmFrameLoaderFloats, ValuesAreKeptAsTheyStandBeyondFullScaleToo) {
    const auto [channels, width] = GetParam();
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(channels, 24, channels * width, true));
    EXPECT_EQ(loader.GetDivisor(), 1.0);
    const long frames = 3 * loader.GetBlockFrames() + 17;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> spread(-3.0, 3.0);
    std::vector<double> values(static_cast<size_t>(frames * channels));
    for (double& v : values) v = spread(random);
    // Full scale, just inside it, the smallest normal and subnormal floats, zeros of both signs.
    const std::vector<double> edges = {-1.0, 1.0, 0.99999994, 1.17549435e-38, 1.4e-45, -0.0, 0.0, 3.0e38};
    std::copy(edges.begin(), edges.end(), values.begin());
    FakeData data(EncodeFloat(values, width));
    Store a(frames), b(frames);
    KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
    PcmFrameLoader::LoadEnd end = PcmFrameLoader::LoadEnd::ShortRead;
    EXPECT_EQ(loader.Load(data.Function(), frames, dest, &end), frames);
    EXPECT_EQ(end, PcmFrameLoader::LoadEnd::Complete);
    for (long i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double v = values[static_cast<size_t>(i * channels + c)];
            const double expected = width == 4 ? static_cast<double>(static_cast<float>(v)) : v;
            ASSERT_EQ((c == 0 ? a : b).at(i).re, expected) << i << " " << c;
        }
    }
    EXPECT_TRUE(a.sentinelsIntact());
    EXPECT_TRUE(b.sentinelsIntact());
}

TEST_P(PcmFrameLoaderFloats, UnusableSampleStopsTheLoadAtItsFrame) {
    // NaN, either infinity, and (for doubles) a magnitude beyond the
    // largest float stop the load at their frame, in whichever channel.
    const auto [channels, width] = GetParam();
    PcmFrameLoader loader;
    ASSERT_TRUE(loader.SetFormat(channels, 24, channels * width, true));
    const long frames = 2 * loader.GetBlockFrames() + 5;
    const long bad = loader.GetBlockFrames() + 3;
    std::vector<double> unusable = {std::nan(""), INFINITY, -INFINITY};
    if (width == 8) unusable.push_back(-3.5e38);
    for (double u : unusable) {
        SCOPED_TRACE(u);
        std::vector<double> values(static_cast<size_t>(frames * channels), 0.25);
        values[static_cast<size_t>(bad * channels + channels - 1)] = u;
        FakeData data(EncodeFloat(values, width));
        Store a(frames), b(frames);
        KCOMPLEX_KFLOAT* dest[] = {a.first(), b.first()};
        PcmFrameLoader::LoadEnd end = PcmFrameLoader::LoadEnd::Complete;
        EXPECT_EQ(loader.Load(data.Function(), frames, dest, &end), bad);
        EXPECT_EQ(end, PcmFrameLoader::LoadEnd::UnusableSample);
        // The frames before it are in, no read follows, and nothing of the next block is written.
        EXPECT_EQ(data.requests.size(), 2u);
        for (long i = 0; i < bad; ++i) ASSERT_EQ(a.at(i).re, 0.25);
        for (long i = 2 * loader.GetBlockFrames(); i < frames; ++i) ASSERT_EQ(a.at(i).re, 0.0);
        EXPECT_TRUE(a.sentinelsIntact());
        EXPECT_TRUE(b.sentinelsIntact());
    }
}

INSTANTIATE_TEST_SUITE_P(ChannelsAndWidths, PcmFrameLoaderFloats,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Values(4, 8)));

TEST(PcmFrameLoader, FloatContainersAreFourOrEightBytesAndLoadsSayHowTheyEnded) {
    PcmFrameLoader loader;
    EXPECT_FALSE(loader.SetFormat(1, 16, 2, true));
    EXPECT_FALSE(loader.SetFormat(2, 24, 6, true));
    EXPECT_TRUE(loader.SetFormat(2, 24, 16, true));
    EXPECT_TRUE(loader.IsFloat());
    // The integer path is unchanged by the same loader having held float data.
    ASSERT_TRUE(loader.SetFormat(1, 16, 2));
    EXPECT_FALSE(loader.IsFloat());
    const std::vector<unsigned char> bytes = Encode({-32768, 16384, 32767}, 2);
    Store s(4);
    KCOMPLEX_KFLOAT* dest[] = {s.first()};
    PcmFrameLoader::LoadEnd end = PcmFrameLoader::LoadEnd::UnusableSample;
    FakeData whole(bytes);
    EXPECT_EQ(loader.Load(whole.Function(), 3, dest, &end), 3);
    EXPECT_EQ(end, PcmFrameLoader::LoadEnd::Complete);
    EXPECT_EQ(s.at(0).re, -1.0);
    EXPECT_EQ(s.at(1).re, 0.5);
    FakeData shorter(bytes);
    EXPECT_EQ(loader.Load(shorter.Function(), 4, dest, &end), 3);
    EXPECT_EQ(end, PcmFrameLoader::LoadEnd::ShortRead);
}
