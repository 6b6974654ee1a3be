#include "RiffCursor.h"

#include <gtest/gtest.h>

#include <climits>

#include "WavWriter.h"
#include "WaveMemoryByteSource.h"

using testwav::Bytes;

namespace {

RiffCursor Over(const std::vector<uint8_t>& bytes) {
    return RiffCursor(std::make_unique<WaveMemoryByteSource>(bytes));
}

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 131 + 17) & 0xFF);
    return v;
}

}  // namespace

TEST(RiffCursor, ReadMovesThePositionAndStopsAtTheEnd) {
    const std::vector<uint8_t> bytes = Pattern(1000);
    RiffCursor c = Over(bytes);
    EXPECT_EQ(c.Size(), 1000u);
    uint8_t buffer[600];
    ASSERT_EQ(c.Read(buffer, 10), 10);  // through the window
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 10),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10));
    ASSERT_EQ(c.Read(buffer, 600), 600);  // straight from the source
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 600),
              std::vector<uint8_t>(bytes.begin() + 10, bytes.begin() + 610));
    EXPECT_EQ(c.Position(), 610u);
    EXPECT_EQ(c.Read(buffer, 600), 390);
    EXPECT_EQ(c.Read(buffer, 600), 0);
    EXPECT_EQ(c.Read(buffer, 0), 0);
    EXPECT_EQ(c.Read(buffer, -1), -1);
    EXPECT_EQ(c.Read(nullptr, 4), -1);
}

TEST(RiffCursor, SeekFromStartCurrentAndEnd) {
    RiffCursor c = Over(Pattern(100));
    EXPECT_EQ(c.Seek(40, 0), 40);
    EXPECT_EQ(c.Seek(0, 1), 40);
    EXPECT_EQ(c.Seek(-15, 1), 25);
    EXPECT_EQ(c.Seek(-10, 2), 90);
    EXPECT_EQ(c.Seek(-1, 0), -1);
    EXPECT_EQ(c.Position(), 90u);  // a refused seek does not move
    EXPECT_EQ(c.Seek(5, 7), -1);
    EXPECT_EQ(c.Seek(500, 0), 500);  // past the end is allowed; reads give 0 there
    uint8_t b;
    EXPECT_EQ(c.Read(&b, 1), 0);
    EXPECT_EQ(c.Seek(LLONG_MAX, 1), -1);
}

TEST(RiffCursor, FindRiffStepsOverOtherChunksAndForms) {
    Bytes b;
    b.chunk("JUNK", Pattern(3));                          // 0: 8 + 3 + pad
    b.tag("RIFF").u32(8).tag("AVI ").tag("xxxx");         // 12: another form
    b.tag("RIFF").u32(12).tag("WAVE").chunk("abcd", {});  // 28: the one searched
    RiffCursor c = Over(b.data());
    MMCKINFO riffChunk;
    riffChunk.fccType = MakeFourCC('W', 'A', 'V', 'E');
    ASSERT_EQ(c.Descend(riffChunk, nullptr, riff::MMIO_FINDRIFF), 0u);
    EXPECT_EQ(riffChunk.ckid, MakeFourCC('R', 'I', 'F', 'F'));
    EXPECT_EQ(riffChunk.cksize, 12u);
    EXPECT_EQ(riffChunk.dwDataOffset, 36u);  // the form type
    EXPECT_EQ(c.Position(), 40u);            // after the form type

    MMCKINFO missing;
    missing.fccType = MakeFourCC('W', 'A', 'V', 'E');
    EXPECT_EQ(c.Descend(missing, nullptr, riff::MMIO_FINDRIFF), riff::MMIOERR_CHUNKNOTFOUND);
}

TEST(RiffCursor, FindChunkStaysInsideItsParent) {
    Bytes b;
    b.tag("RIFF").u32(4 + 8 + 5 + 1).tag("WAVE");
    b.chunk("odd ", Pattern(5));  // 12: odd size with its pad byte
    b.chunk("data", Pattern(4));  // 26: outside the parent's declared size
    RiffCursor c = Over(b.data());
    MMCKINFO riffChunk;
    riffChunk.fccType = MakeFourCC('W', 'A', 'V', 'E');
    ASSERT_EQ(c.Descend(riffChunk, nullptr, riff::MMIO_FINDRIFF), 0u);
    const uint64_t afterForm = c.Position();

    MMCKINFO odd;
    odd.ckid = MakeFourCC('o', 'd', 'd', ' ');
    ASSERT_EQ(c.Descend(odd, &riffChunk, riff::MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(odd.cksize, 5u);
    EXPECT_EQ(odd.dwDataOffset, 20u);
    EXPECT_EQ(c.Position(), 20u);

    MMCKINFO data;
    data.ckid = MakeFourCC('d', 'a', 't', 'a');
    EXPECT_EQ(c.Descend(data, &riffChunk, riff::MMIO_FINDCHUNK), riff::MMIOERR_CHUNKNOTFOUND);
    // Without the parent the same search finds it, past the pad byte.
    EXPECT_EQ(c.Seek(static_cast<long long>(afterForm), 0), static_cast<long long>(afterForm));
    ASSERT_EQ(c.Descend(data, nullptr, riff::MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(data.dwDataOffset, 34u);
    EXPECT_EQ(data.cksize, 4u);
}

// Headers that straddle the edge of the read window, and many of them.
TEST(RiffCursor, HeadersAcrossTheReadWindowAreFound) {
    Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE");
    // A chunk that ends 6 bytes before the 64 KiB edge, so the next header
    // starts in one window and ends in the next.
    b.chunk("JUNK", std::vector<uint8_t>(65536 - 6 - 12 - 8, 0));
    ASSERT_EQ(b.size(), 65530u);
    for (int i = 0; i < 20000; ++i) b.tag("pad ").u32(2).u16(0);
    b.chunk("data", Pattern(6));
    b.fixRiffSize();
    RiffCursor c = Over(b.data());
    MMCKINFO riffChunk;
    riffChunk.fccType = MakeFourCC('W', 'A', 'V', 'E');
    ASSERT_EQ(c.Descend(riffChunk, nullptr, riff::MMIO_FINDRIFF), 0u);
    MMCKINFO data;
    data.ckid = MakeFourCC('d', 'a', 't', 'a');
    ASSERT_EQ(c.Descend(data, &riffChunk, riff::MMIO_FINDCHUNK), 0u);
    EXPECT_EQ(data.dwDataOffset, 65530u + 20000u * 10u + 8u);
    uint8_t got[6];
    ASSERT_EQ(c.Read(got, 6), 6);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 6), Pattern(6));
}
