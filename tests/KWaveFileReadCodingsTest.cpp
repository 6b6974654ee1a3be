// The codings the reader accepts besides plain PCM, in the layouts today's
// recorders and converters give them, and the signal depth it derives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "KWaveFileRead.h"
#include "MessageCapture.h"
#include "WavWriter.h"
#include "WaveMemoryByteSource.h"
#include "WriterLayouts.h"

using testwav::Bytes;

namespace {

// RIFF/WAVE with a format chunk and a data chunk.
std::vector<uint8_t> Wave(const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& data) {
    Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", fmt).chunk("data", data);
    return b.fixRiffSize().data();
}

}  // namespace

// Files laid out as today's writers lay them out: the reader steps over
// their "fact", "LIST" and "PEAK" chunks, takes the coding from the tag or
// the extension, and hands out exactly the sample bytes.
class KWaveFileReadWriters : public ::testing::TestWithParam<std::tuple<testwav::WriterLayout, int>> {};

TEST_P(KWaveFileReadWriters, OpenOnTheirSamplesWithTheCodingTheyName) {
    const auto [layout, channels] = GetParam();
    std::vector<double> v(static_cast<size_t>(channels) * 301);
    for (size_t i = 0; i < v.size(); ++i) v[i] = std::sin(0.01 * static_cast<double>(i));
    const std::vector<uint8_t> file = testwav::WriteAs(layout, 96000, static_cast<uint16_t>(channels), v);
    const int container = testwav::LayoutContainerBits(layout) / 8;
    const size_t dataBytes = v.size() * static_cast<size_t>(container);
    MessageCapture messages;
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(file), "writer.wav"));
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(r.IsFloat(), testwav::LayoutIsFloat(layout));
    // Float files are treated as 24-bit, the same depth as the 24-bit ones.
    EXPECT_EQ(r.GetSignalBits(), 24);
    EXPECT_EQ(r.GetNChannels(), channels);
    EXPECT_EQ(r.GetFrADC(), 96000u);
    EXPECT_EQ(r.GetBlockAlign(), channels * container);
    EXPECT_EQ(r.GetSizeInSamples(), 301);
    // The data chunk is the last one of every layout, padded to an even size.
    const size_t offset = file.size() - dataBytes - dataBytes % 2;
    EXPECT_EQ(r.GetDataOffset(), offset);
    // One read asks for more than there is and gets exactly the samples.
    std::vector<uint8_t> got(dataBytes + 64);
    ASSERT_EQ(r.ReadNextBytes(got.data(), static_cast<long>(got.size())), static_cast<long>(dataBytes));
    got.resize(dataBytes);
    EXPECT_EQ(got, std::vector<uint8_t>(file.begin() + static_cast<long>(offset),
                                        file.begin() + static_cast<long>(offset + dataBytes)));
}

INSTANTIATE_TEST_SUITE_P(Layouts, KWaveFileReadWriters,
                         ::testing::Combine(::testing::Values(testwav::WriterLayout::Sox24,
                                                              testwav::WriterLayout::Ffmpeg24,
                                                              testwav::WriterLayout::FfmpegFloat32,
                                                              testwav::WriterLayout::FfmpegFloat64,
                                                              testwav::WriterLayout::EditorFloat32,
                                                              testwav::WriterLayout::Float64Tag3),
                                            ::testing::Values(1, 2)),
                         [](const ::testing::TestParamInfo<std::tuple<testwav::WriterLayout, int>>& info) {
                             return testwav::LayoutName(std::get<0>(info.param)) +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(KWaveFileReadCodings, SignalDepthIsTheSignificantBitsOfIntegerData) {
    const std::vector<uint8_t> data(24, 0x5A);
    MessageCapture messages;
    CKWaveFileRead r;
    // The plain record's bits, below the container or filling it.
    for (uint16_t bits : {12, 16, 20, 24}) {
        const auto file = Wave(Bytes::fmtPayload(1, 1, 8000, bits), data);
        ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(file), "plain.wav"));
        EXPECT_EQ(r.GetSignalBits(), bits);
        EXPECT_FALSE(r.IsFloat());
    }
    // The extension's valid bits; 0 there means the whole container.
    for (uint16_t valid : {0, 18, 24}) {
        const auto file = Wave(testwav::ExtensibleFmt(1, 8000, 24, valid, 4, 1), data);
        ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(file), "ext.wav"));
        EXPECT_EQ(r.GetSignalBits(), valid == 0 ? 24 : valid);
    }
    // Nothing of a float file stays with the next one.
    const auto f = Wave(Bytes::fmtPayload(3, 1, 8000, 32), data);
    ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(f), "float.wav"));
    EXPECT_TRUE(r.IsFloat());
    const auto p = Wave(Bytes::fmtPayload(1, 1, 8000, 8), data);
    ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(p), "pcm.wav"));
    EXPECT_FALSE(r.IsFloat());
    EXPECT_EQ(r.GetSignalBits(), 8);
    EXPECT_EQ(messages.count(), 0u);
}
