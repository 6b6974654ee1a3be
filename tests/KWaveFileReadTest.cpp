#include "KWaveFileRead.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "FileDialogs.h"
#include "MessageCapture.h"
#include "WavWriter.h"
#include "WaveMemoryByteSource.h"
#include "WriterLayouts.h"

using testwav::Bytes;

namespace {

const std::string kChunkNotFound =
    "The end of the file (or the end of the parent chunk, if given) was reached before the desired chunk was "
    "found.\n\nКонец файла (или конец родительского чанка, если задан) был достигнут прежде, чем желаемый "
    "WAVE-чанк был найден.";
const std::string kFormatReadError = "Ошибка чтения чанка формата.";
const std::string kNotRegular =
    "The path does not name a regular file.\n\nУказанный путь не является обычным файлом (это папка, канал "
    "или "
    "устройство), и WAVE-файлом он быть не может.";

std::string TagMessage(int tag) {
    return "Номер формата данных = " + std::to_string(tag) +
           ".\n\nДокумент открыт не будет!\n\nЗвуковой файл должен быть только: WAVE_FORMAT_PCM формата "
           "(номер "
           "формата данных = 1)";
}

const std::string kNoChannels =
    "Число каналов = 0.\n\nДокумент открыт не будет!\n\nЗвуковой файл должен содержать хотя бы один канал.";
const std::string kNoRate =
    "Частота дискретизации = 0 Гц.\n\nДокумент открыт не будет!\n\nЧастота дискретизации звукового файла "
    "должна "
    "быть больше нуля.";
const std::string kNoBlockAlign =
    "Размер блока отсчётов (nBlockAlign) = 0.\n\nДокумент открыт не будет!\n\nРазмер блока отсчётов должен "
    "быть "
    "больше нуля.";

std::string AlignMessage(unsigned align, unsigned channels, unsigned bits, unsigned expected) {
    return "Размер блока отсчётов (nBlockAlign) = " + std::to_string(align) +
           ".\n\nДокумент открыт не будет!\n\nПри " + std::to_string(channels) + " канал(ах) по " +
           std::to_string(bits) + " бит размер блока отсчётов должен быть равен " + std::to_string(expected) +
           " байт.";
}

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
    return v;
}

// RIFF/WAVE with the given inner chunks; the RIFF size is fixed afterwards.
Bytes Wave() {
    Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE");
    return b;
}

std::vector<uint8_t> Pcm16Fmt(uint16_t channels, uint32_t rate) {
    return Bytes::fmtPayload(1, channels, rate, 16);
}

// Reads every byte the reader hands out, in requests of `block`.
std::vector<uint8_t> ReadAll(CKWaveFileRead& r, long block) {
    std::vector<uint8_t> all;
    std::vector<uint8_t> buffer(static_cast<size_t>(block));
    for (;;) {
        const long n = r.ReadNextBytes(buffer.data(), block);
        if (n <= 0) break;
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    }
    return all;
}

// One malformed or unusual file and what it gets: acceptance with a number
// of frames, or exactly one message.
struct BadInput {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;  // empty: accepted
    long frames = 0;
};

std::vector<BadInput> BadInputs() {
    std::vector<BadInput> cases;
    const std::vector<uint8_t> frames4 = Counting(40);  // ten stereo 16-bit frames
    auto canonical = [&](const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& data) {
        return Wave().chunk("fmt ", fmt).chunk("data", data).fixRiffSize().data();
    };
    cases.push_back({"Empty", {}, kChunkNotFound});
    cases.push_back({"FourBytes", Bytes().tag("RIFF").data(), kChunkNotFound});
    cases.push_back({"ElevenBytes", Bytes().tag("RIFF").u32(3).raw({'W', 'A', 'V'}).data(), kChunkNotFound});
    std::vector<uint8_t> rifx = canonical(Pcm16Fmt(1, 8000), frames4);
    std::memcpy(rifx.data(), "RIFX", 4);
    cases.push_back({"Rifx", rifx, kChunkNotFound});
    std::vector<uint8_t> rf64 = canonical(Pcm16Fmt(1, 8000), frames4);
    std::memcpy(rf64.data(), "RF64", 4);
    cases.push_back({"Rf64", rf64, kChunkNotFound});
    std::vector<uint8_t> avi = canonical(Pcm16Fmt(1, 8000), frames4);
    std::memcpy(avi.data() + 8, "AVI ", 4);
    cases.push_back({"OtherFormType", avi, kChunkNotFound});
    const std::string text = "This is a plain text file, not a sound.\nSecond line.\n";
    cases.push_back({"TextFile", std::vector<uint8_t>(text.begin(), text.end()), kChunkNotFound});
    cases.push_back({"NoFmt", Wave().chunk("data", frames4).fixRiffSize().data(), kChunkNotFound});
    cases.push_back({"NoData", Wave().chunk("fmt ", Pcm16Fmt(1, 8000)).fixRiffSize().data(), kChunkNotFound});
    cases.push_back({"DataBeforeFmt",
                     Wave().chunk("data", frames4).chunk("fmt ", Pcm16Fmt(1, 8000)).fixRiffSize().data(),
                     kChunkNotFound});

    // Format records of every length.
    const std::vector<uint8_t> fmt16 = Pcm16Fmt(2, 8000);
    cases.push_back({"Fmt0", canonical({}, frames4), TagMessage(0)});
    cases.push_back(
        {"Fmt4", canonical(std::vector<uint8_t>(fmt16.begin(), fmt16.begin() + 4), frames4), kNoRate});
    cases.push_back({"Fmt14", canonical(std::vector<uint8_t>(fmt16.begin(), fmt16.begin() + 14), frames4),
                     AlignMessage(4, 2, 0, 0)});
    cases.push_back({"Fmt16", canonical(fmt16, frames4), "", 10});
    std::vector<uint8_t> fmt17 = fmt16;
    fmt17.push_back(0xAB);
    cases.push_back({"Fmt17WithPad", canonical(fmt17, frames4), "", 10});
    std::vector<uint8_t> fmt18 = fmt16;
    fmt18.insert(fmt18.end(), {0, 0});
    cases.push_back({"Fmt18", canonical(fmt18, frames4), "", 10});
    // The two extra bytes look like the start of a chunk header to a search
    // that does not step over the whole format chunk.
    std::vector<uint8_t> fmt20 = fmt16;
    fmt20.insert(fmt20.end(), {2, 0, 'd', 'a'});
    cases.push_back({"Fmt20", canonical(fmt20, frames4), "", 10});
    std::vector<uint8_t> fmt40 = fmt16;
    fmt40.insert(fmt40.end(), {22, 0});
    fmt40.resize(40, 0x11);
    cases.push_back({"Fmt40", canonical(fmt40, frames4), "", 10});

    // Tags and fields.
    for (int tag : {0, 2, 3, 0xFFFE})
        cases.push_back({"Tag",
                         canonical(Bytes::fmtPayload(static_cast<uint16_t>(tag), 2, 8000, 16), frames4),
                         TagMessage(tag)});
    cases.push_back({"Channels0", canonical(Bytes::fmtPayload(1, 0, 8000, 16, 4), frames4), kNoChannels});
    cases.push_back({"Channels65535Bits16", canonical(Bytes::fmtPayload(1, 65535, 8000, 16), frames4),
                     AlignMessage(65534, 65535, 16, 131070)});
    cases.push_back(
        {"Channels65535Bits8", canonical(Bytes::fmtPayload(1, 65535, 8000, 8), Counting(65535 * 2)), "", 2});
    cases.push_back({"Rate0", canonical(Bytes::fmtPayload(1, 2, 0, 16), frames4), kNoRate});
    cases.push_back({"BlockAlign0", canonical(Bytes::fmtPayload(1, 2, 8000, 16, 0), frames4), kNoBlockAlign});
    cases.push_back({"BlockAlignInconsistent", canonical(Bytes::fmtPayload(1, 2, 8000, 16, 3), frames4),
                     AlignMessage(3, 2, 16, 4)});
    cases.push_back({"Bits12InTwoBytes", canonical(Bytes::fmtPayload(1, 2, 8000, 12), frames4), "", 10});

    // Extensible records: what the extension names decides, by the same
    // tag message as before for whatever is not PCM or float.
    using testwav::ExtensibleFmt;
    cases.push_back({"ExtensiblePcm16", canonical(ExtensibleFmt(2, 8000, 16, 16, 3, 1), frames4), "", 10});
    cases.push_back(
        {"ExtensibleValidBits0", canonical(ExtensibleFmt(2, 8000, 16, 0, 0, 1), frames4), "", 10});
    cases.push_back({"ExtensibleFloat32", canonical(ExtensibleFmt(1, 8000, 32, 32, 4, 3), frames4), "", 10});
    cases.push_back(
        {"ExtensibleSixChannels", canonical(ExtensibleFmt(6, 8000, 16, 16, 0x3F, 1), Counting(120)), "", 10});
    cases.push_back(
        {"ExtensibleAdpcm", canonical(ExtensibleFmt(2, 8000, 16, 16, 3, 2), frames4), TagMessage(0xFFFE)});
    cases.push_back({"ExtensibleFloat24", canonical(ExtensibleFmt(2, 8000, 24, 24, 3, 3), Counting(60)),
                     TagMessage(0xFFFE)});
    {
        std::vector<uint8_t> otherGuid = ExtensibleFmt(2, 8000, 16, 16, 3, 1);
        otherGuid.back() ^= 0x01;
        cases.push_back({"ExtensibleForeignGuid", canonical(otherGuid, frames4), TagMessage(0xFFFE)});
        std::vector<uint8_t> noCb = ExtensibleFmt(2, 8000, 16, 16, 3, 1);
        noCb[16] = 21;
        cases.push_back({"ExtensibleCbSize21", canonical(noCb, frames4), TagMessage(0xFFFE)});
        std::vector<uint8_t> short18(noCb.begin(), noCb.begin() + 18);
        short18[16] = 22;
        cases.push_back({"Extensible18Bytes", canonical(short18, frames4), TagMessage(0xFFFE)});
        const std::vector<uint8_t> whole = canonical(ExtensibleFmt(2, 8000, 16, 16, 3, 1), frames4);
        cases.push_back({"CutInExtension", std::vector<uint8_t>(whole.begin(), whole.begin() + 20 + 30),
                         kFormatReadError});
    }
    cases.push_back(
        {"ExtensibleValidBitsAbove", canonical(ExtensibleFmt(2, 8000, 16, 17, 3, 1), frames4),
         "Число значащих бит отсчета = 17.\n\nДокумент открыт не будет!\n\nОтсчет занимает 16 бит, и "
         "значащих бит в нем не может быть больше."});
    cases.push_back({"Float32Tag3", canonical(Bytes::fmtPayload(3, 2, 8000, 32), frames4), "", 5});
    cases.push_back({"Float64Tag3", canonical(Bytes::fmtPayload(3, 1, 8000, 64), frames4), "", 5});
    cases.push_back(
        {"Float24Tag3", canonical(Bytes::fmtPayload(3, 1, 8000, 24), Counting(30)), TagMessage(3)});

    // Other chunks between fmt and data.
    cases.push_back({"ListJunkOddChunks",
                     Wave()
                         .chunk("fmt ", fmt16)
                         .chunk("LIST", Counting(26))
                         .chunk("JUNK", Counting(4))
                         .chunk("abcd", Counting(5))
                         .chunk("data", frames4)
                         .fixRiffSize()
                         .data(),
                     "", 10});
    // A chunk whose size, added in 32 bits, would lead back to the format chunk.
    {
        Bytes b = Wave().chunk("fmt ", fmt16);
        const uint32_t junkAt = static_cast<uint32_t>(b.size());
        b.tag("JUNK").u32(0u - (junkAt + 8 - 12)).chunk("data", frames4);
        b.data()[4] = b.data()[5] = b.data()[6] = b.data()[7] = 0xFF;
        cases.push_back({"SizeThatWouldWrap", b.data(), kChunkNotFound});
    }
    {
        Bytes b = Wave().chunk("fmt ", fmt16);
        for (int i = 0; i < 100000; ++i) b.tag("JUNK").u32(0);
        cases.push_back(
            {"HundredThousandEmptyChunks", b.chunk("data", frames4).fixRiffSize().data(), "", 10});
    }
    // A RIFF size too small to hold the format chunk bounds the search.
    {
        std::vector<uint8_t> v = canonical(fmt16, frames4);
        v[4] = 4;
        v[5] = v[6] = v[7] = 0;
        cases.push_back({"RiffSizeTooSmall", v, kChunkNotFound});
    }

    // Truncations.
    const std::vector<uint8_t> whole = canonical(fmt16, frames4);
    cases.push_back(
        {"CutInFmtHeader", std::vector<uint8_t>(whole.begin(), whole.begin() + 16), kChunkNotFound});
    cases.push_back(
        {"CutInFmtRecord", std::vector<uint8_t>(whole.begin(), whole.begin() + 30), kFormatReadError});
    cases.push_back(
        {"CutInDataHeader", std::vector<uint8_t>(whole.begin(), whole.begin() + 40), kChunkNotFound});
    cases.push_back({"CutInFrame", std::vector<uint8_t>(whole.begin(), whole.begin() + 44 + 23), "", 5});
    cases.push_back({"DataSize0", canonical(fmt16, {}), "", 0});
    for (uint32_t declared : {0x7FFFF000u, 0x80000000u, 0xFFFFFFFFu, 41u}) {
        cases.push_back(
            {"DataPastEnd",
             Wave().chunk("fmt ", fmt16).chunkDeclared("data", declared, Counting(37)).fixRiffSize().data(),
             "", 9});
    }
    return cases;
}

// Each bad input is run through a file and through the in-memory source.
class KWaveFileReadBadInput : public ::testing::TestWithParam<std::tuple<size_t, bool>> {};

TEST_P(KWaveFileReadBadInput, GetsAcceptanceOrExactlyOneMessage) {
    static const std::vector<BadInput> cases = BadInputs();
    const auto [index, throughFile] = GetParam();
    const BadInput& c = cases.at(index);
    SCOPED_TRACE(c.name);
    testwav::TempDir dir;
    MessageCapture messages;
    CKWaveFileRead r;
    bool opened;
    if (throughFile) {
        const std::string path = dir.file("input.wav");
        ASSERT_TRUE(testwav::writeFile(path, c.bytes));
        opened = r.OpenWaveFile(path);
    } else {
        opened = r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(c.bytes), "memory.wav");
    }
    EXPECT_EQ(r.FileIsOpened(), opened);
    if (c.message.empty()) {
        ASSERT_TRUE(opened) << (messages.count() ? messages.last() : std::string());
        EXPECT_EQ(messages.count(), 0u);
        EXPECT_EQ(r.GetSizeInSamples(), c.frames);
        EXPECT_EQ(r.GetSizeInBytes(), c.frames * r.GetBlockAlign());
        // Everything handed out lies inside the file and ends at the data's end.
        const std::vector<uint8_t> got = ReadAll(r, 7);
        EXPECT_LE(r.GetDataOffset() + got.size(), c.bytes.size());
        EXPECT_EQ(got, std::vector<uint8_t>(c.bytes.begin() + r.GetDataOffset(),
                                            c.bytes.begin() + r.GetDataOffset() + got.size()));
        EXPECT_GE(static_cast<long>(got.size()), r.GetSizeInBytes());
    } else {
        EXPECT_FALSE(opened);
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last(), c.message);
        std::vector<uint8_t> buffer(16);
        EXPECT_EQ(r.ReadNextBytes(buffer.data(), 16), -1);  // closed
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, KWaveFileReadBadInput,
                         ::testing::Combine(::testing::Range<size_t>(0, BadInputs().size()),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, bool>>& info) {
                             static const std::vector<BadInput> cases = BadInputs();
                             const size_t index = std::get<0>(info.param);
                             return std::string(cases.at(index).name) + std::to_string(index) +
                                    (std::get<1>(info.param) ? "File" : "Memory");
                         });

// A source whose reads fail from a given offset on: a failing disk.
class FailingSource : public WaveByteSource {
public:
    FailingSource(std::vector<uint8_t> bytes, uint64_t failFrom)
        : m_bytes(std::move(bytes)), m_failFrom(failFrom) {}
    long long ReadAt(uint64_t offset, void* buffer, size_t count) override {
        if (offset + count > m_failFrom) return -1;
        if (offset >= m_bytes.size()) return 0;
        const size_t n = std::min<size_t>(count, m_bytes.size() - offset);
        std::memcpy(buffer, m_bytes.data() + offset, n);
        return static_cast<long long>(n);
    }
    uint64_t Size() const override { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_failFrom;
};

size_t OpenDescriptors() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) ++n;
        closedir(d);
    }
    return n;
}

TEST(KWaveFileRead, NewReaderIsClosedAndEmpty) {
    CKWaveFileRead r;
    EXPECT_FALSE(r.FileIsOpened());
    EXPECT_EQ(r.GetFilePathName(), "");
    EXPECT_EQ(r.GetFileTitle(), "");
    unsigned char buffer[4];
    EXPECT_EQ(r.ReadNextBytes(buffer, 4), -1);
    EXPECT_EQ(r.SeekFileTheVeryBeginingOfWaveData(), -1);
    r.CloseWaveFile();
    EXPECT_FALSE(r.FileIsOpened());
}

TEST(KWaveFileRead, TenByteStereoDataGivesTwoFramesAndReadsTenBytes) {
    testwav::TempDir dir;
    const std::vector<uint8_t> data = Counting(10);
    const std::string path = dir.file("ten.wav");
    ASSERT_TRUE(testwav::writeFile(
        path, Wave().chunk("fmt ", Pcm16Fmt(2, 44100)).chunk("data", data).fixRiffSize().data()));
    MessageCapture messages;
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveFile(path));
    EXPECT_EQ(messages.count(), 0u);
    EXPECT_EQ(r.GetNChannels(), 2);
    EXPECT_EQ(r.GetFrADC(), 44100u);
    EXPECT_EQ(r.GetBlockAlign(), 4);
    EXPECT_EQ(r.GetSizeInSamples(), 2);
    EXPECT_EQ(r.GetSizeInBytes(), 8);
    EXPECT_EQ(r.GetDataOffset(), 44u);  // 12 + (8 + 16) + 8
    EXPECT_EQ(r.GetFormat().wBitsPerSample, 16);
    EXPECT_EQ(r.GetFormat().nAvgBytesPerSec, 44100u * 4);
    EXPECT_EQ(r.GetFormat().cbSize, 0);  // a 16-byte record has none

    EXPECT_EQ(r.SeekFileTheVeryBeginingOfWaveData(), 44);
    unsigned char buffer[16] = {};
    ASSERT_EQ(r.ReadNextBytes(buffer, 8), 8);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), std::vector<uint8_t>(data.begin(), data.begin() + 8));
    ASSERT_EQ(r.ReadNextBytes(buffer, 8), 2);
    EXPECT_EQ(buffer[0], data[8]);
    EXPECT_EQ(buffer[1], data[9]);
    EXPECT_EQ(r.ReadNextBytes(buffer, 8), 0);
    EXPECT_EQ(r.ReadNextBytes(buffer, 0), 0);
    EXPECT_EQ(r.ReadNextBytes(buffer, -3), -1);

    // Seeking back starts over.
    EXPECT_EQ(r.SeekFileTheVeryBeginingOfWaveData(), 44);
    EXPECT_EQ(ReadAll(r, 3), data);
}

TEST(KWaveFileRead, PositionIsOnTheFirstDataByteRightAfterOpening) {
    const std::vector<uint8_t> data = Counting(12);
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveSource(
        std::make_unique<WaveMemoryByteSource>(
            Wave().chunk("fmt ", Pcm16Fmt(1, 8000)).chunk("data", data).fixRiffSize().data()),
        "x.wav"));
    EXPECT_EQ(ReadAll(r, 5), data);
}

TEST(KWaveFileRead, ChunkAfterTheDataIsNeverReadAsSamples) {
    const std::vector<uint8_t> data = Counting(8);
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(Wave()
                                                                            .chunk("fmt ", Pcm16Fmt(1, 8000))
                                                                            .chunk("data", data)
                                                                            .chunk("LIST", Counting(30))
                                                                            .fixRiffSize()
                                                                            .data()),
                                 "x.wav"));
    EXPECT_EQ(ReadAll(r, 100), data);
}

// Formats of every common width; the bytes come back exactly as written.
class KWaveFileReadFormats : public ::testing::TestWithParam<std::tuple<uint32_t, uint16_t, uint16_t>> {};

TEST_P(KWaveFileReadFormats, DescribeAndHandOutTheFramesWritten) {
    const auto [rate, channels, bits] = GetParam();
    const unsigned width = (bits + 7u) / 8u;
    const size_t frames = 1237;
    std::mt19937 random(rate + channels + bits);
    std::vector<int32_t> values(frames * channels);
    const int32_t range = bits >= 32 ? INT32_MAX : (1 << (bits - 1)) - 1;
    std::uniform_int_distribution<int32_t> dist(-range, range);
    for (auto& v : values) v = dist(random);
    const std::vector<uint8_t> file = testwav::pcm(rate, channels, bits, values);

    testwav::TempDir dir;
    const std::string path = dir.file("f.wav");
    ASSERT_TRUE(testwav::writeFile(path, file));
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveFile(path));
    EXPECT_EQ(r.GetFrADC(), rate);
    EXPECT_EQ(r.GetNChannels(), channels);
    EXPECT_EQ(r.GetBlockAlign(), channels * width);
    EXPECT_EQ(r.GetFormat().wBitsPerSample, bits);
    EXPECT_EQ(r.GetSizeInSamples(), static_cast<long>(frames));
    EXPECT_EQ(r.GetDataOffset(), 44u);
    ASSERT_EQ(r.SeekFileTheVeryBeginingOfWaveData(), 44);
    const std::vector<uint8_t> got = ReadAll(r, 2048);
    // An odd data size is followed by a pad byte that is not data.
    const size_t dataBytes = frames * channels * width;
    ASSERT_GE(file.size(), 44 + dataBytes);
    EXPECT_EQ(got, std::vector<uint8_t>(file.begin() + 44, file.begin() + 44 + dataBytes));
}

INSTANTIATE_TEST_SUITE_P(RateChannelsBits, KWaveFileReadFormats,
                         ::testing::Values(std::make_tuple(8000u, uint16_t{1}, uint16_t{8}),
                                           std::make_tuple(44100u, uint16_t{2}, uint16_t{16}),
                                           std::make_tuple(48000u, uint16_t{1}, uint16_t{24}),
                                           std::make_tuple(96000u, uint16_t{2}, uint16_t{32}),
                                           std::make_tuple(22050u, uint16_t{1}, uint16_t{16})));

TEST(KWaveFileRead, TitleIsTheNameWithoutFolderAndExtension) {
    MessageCapture messages;
    const std::vector<uint8_t> ok =
        Wave().chunk("fmt ", Pcm16Fmt(1, 8000)).chunk("data", Counting(4)).fixRiffSize().data();
    const std::pair<std::string, std::string> cases[] = {
        {"/a/b/speech.wav", "speech"},
        {"/a/b.c/archive.tar.wav", "archive.tar"},
        {"noext", "noext"},
        {"/a/b.c/noext", "noext"},
        {"/a/.wav", ""},
        {"/a/Запись речи.wav", "Запись речи"},
    };
    for (const auto& [path, title] : cases) {
        CKWaveFileRead r;
        ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(ok), path));
        EXPECT_EQ(r.GetFilePathName(), path);
        EXPECT_EQ(r.GetFileTitle(), title) << path;
    }
    // A very long name is cut to 255 bytes without splitting a character.
    std::string longName;
    for (int i = 0; i < 200; ++i) longName += "ж";  // two bytes each
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(ok), "/x/" + longName + ".wav"));
    EXPECT_EQ(r.GetFileTitle(), longName.substr(0, 254));
}

TEST(KWaveFileRead, FailedOpenKeepsTheAttemptedNamesAndIsClosed) {
    testwav::TempDir dir;
    MessageCapture messages;
    CKWaveFileRead r;
    const std::string good = dir.file("good.wav");
    ASSERT_TRUE(testwav::writeFile(good, testwav::pcm16(8000, 1, {1, 2, 3, 4, 5})));
    ASSERT_TRUE(r.OpenWaveFile(good));
    ASSERT_EQ(r.GetSizeInSamples(), 5);
    const std::string path = dir.file("broken.wav");
    ASSERT_TRUE(testwav::writeFile(path, {'R', 'I', 'F', 'F'}));
    EXPECT_FALSE(r.OpenWaveFile(path));
    EXPECT_FALSE(r.FileIsOpened());
    EXPECT_EQ(r.GetFilePathName(), path);
    EXPECT_EQ(r.GetFileTitle(), "broken");
    EXPECT_EQ(r.GetSizeInSamples(), 0);  // nothing left over from the good file
    EXPECT_EQ(r.GetFrADC(), 0u);
    EXPECT_EQ(messages.count(), 1u);
}

TEST(KWaveFileRead, OpeningASecondFileClosesTheFirst) {
    testwav::TempDir dir;
    const std::string a = dir.file("a.wav");
    const std::string b = dir.file("b.wav");
    ASSERT_TRUE(testwav::writeFile(a, testwav::pcm16(8000, 1, {1, 2, 3})));
    ASSERT_TRUE(testwav::writeFile(b, testwav::pcm16(16000, 2, {1, 2, 3, 4})));
    const size_t before = OpenDescriptors();
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveFile(a));
    EXPECT_EQ(OpenDescriptors(), before + 1);
    ASSERT_TRUE(r.OpenWaveFile(b));
    EXPECT_EQ(OpenDescriptors(), before + 1);
    EXPECT_EQ(r.GetFrADC(), 16000u);
    EXPECT_EQ(r.GetSizeInSamples(), 2);
    EXPECT_EQ(r.GetFileTitle(), "b");
    r.CloseWaveFile();
    EXPECT_FALSE(r.FileIsOpened());
    EXPECT_EQ(OpenDescriptors(), before);
    unsigned char buffer[4];
    EXPECT_EQ(r.ReadNextBytes(buffer, 4), -1);
}

TEST(KWaveFileRead, PathsThatAreNotFilesGetOneMessage) {
    testwav::TempDir dir;
    const std::string fifo = dir.file("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("missing.wav"), "open_hmmio_file_wave = 257\n\nНеизвестная ошибка открытия WAVE-файла."},
        {dir.file("no-folder/x.wav"),
         "The directory specification is incorrect.\n\nУказанный путь к файлу не верен."},
        {dir.path(), kNotRegular},
        {fifo, kNotRegular},  // must not wait for a writer
        {"/dev/null", kNotRegular},
    };
    for (const auto& [path, message] : cases) {
        MessageCapture messages;
        CKWaveFileRead r;
        EXPECT_FALSE(r.OpenWaveFile(path)) << path;
        ASSERT_EQ(messages.count(), 1u) << path;
        EXPECT_EQ(messages.last(), message) << path;
        EXPECT_FALSE(r.FileIsOpened());
    }
}

TEST(KWaveFileRead, UnreadableFileIsProtected) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    testwav::TempDir dir;
    const std::string path = dir.file("locked.wav");
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {1})));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    MessageCapture messages;
    CKWaveFileRead r;
    EXPECT_FALSE(r.OpenWaveFile(path));
    ASSERT_EQ(messages.count(), 1u);
    EXPECT_EQ(messages.last(),
              "The file is protected and cannot be opened.\n\nФайл защищен и не может быть открыт.");
}

TEST(KWaveFileRead, NoDescriptorLeftIsTooManyOpenFiles) {
    testwav::TempDir dir;
    const std::string path = dir.file("a.wav");
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {1, 2})));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MessageCapture messages;
        CKWaveFileRead r;
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 0;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(10);
        if (r.OpenWaveFile(path)) _exit(11);
        if (messages.count() != 1) _exit(12);
        if (messages.last().rfind("The number of files simultaneously open is at a maximum level.", 0) != 0)
            _exit(13);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(KWaveFileRead, ReadErrorsAreReportedOrPassedOn) {
    const std::vector<uint8_t> file =
        Wave().chunk("fmt ", Pcm16Fmt(1, 8000)).chunk("data", Counting(100)).fixRiffSize().data();
    {
        MessageCapture messages;
        CKWaveFileRead r;  // the format record cannot be read
        EXPECT_FALSE(r.OpenWaveSource(std::make_unique<FailingSource>(file, 30), "x.wav"));
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last(),
                  "Ошибка чтения чанка формата.\n\nПлохая ошибка.\nВозвращен код ошибки -1 при чтении чанка "
                  "формата");
    }
    {
        MessageCapture messages;
        CKWaveFileRead r;  // nor the header of the first chunk
        EXPECT_FALSE(r.OpenWaveSource(std::make_unique<FailingSource>(file, 4), "x.wav"));
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last(), "Неизвестная ошибка поиска WAVE-чанка.");
    }
    {
        MessageCapture messages;
        CKWaveFileRead r;  // the samples fail: the caller gets -1
        ASSERT_TRUE(r.OpenWaveSource(std::make_unique<FailingSource>(file, 60), "x.wav"));
        std::vector<unsigned char> buffer(1000);
        EXPECT_EQ(r.ReadNextBytes(buffer.data(), 1000), -1);
        EXPECT_EQ(messages.count(), 0u);
    }
}

// The open-file dialog is answered by a hook.
class DialogAnswer {
public:
    explicit DialogAnswer(std::optional<std::string> answer) {
        m_previous =
            platform::SetOpenFileHook([this, answer](const std::string& title, const std::string& filter) {
                m_title = title;
                m_filter = filter;
                ++m_calls;
                return answer;
            });
    }
    ~DialogAnswer() { platform::SetOpenFileHook(std::move(m_previous)); }
    std::string m_title;
    std::string m_filter;
    int m_calls = 0;

private:
    platform::OpenFileHook m_previous;
};

TEST(KWaveFileRead, InteractiveOpenAsksWithTitleAndFilter) {
    testwav::TempDir dir;
    const std::string path = dir.file("chosen.wav");
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(11025, 1, {5, 6, 7})));
    MessageCapture messages;
    DialogAnswer dialog(path);
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveFile());
    EXPECT_EQ(dialog.m_calls, 1);
    EXPECT_EQ(dialog.m_title, "С каким звуковым файлом будем работать?");
    EXPECT_EQ(dialog.m_filter, "WAV файлы (*.wav)|*.wav|Все файлы (*.*)|*.*||");
    EXPECT_EQ(r.GetFilePathName(), path);
    EXPECT_EQ(r.GetFileTitle(), "chosen");
    EXPECT_EQ(r.GetFrADC(), 11025u);
    EXPECT_EQ(r.GetSizeInSamples(), 3);
    EXPECT_EQ(messages.count(), 0u);
}

TEST(KWaveFileRead, InteractiveCancelClosesAndSaysNothing) {
    testwav::TempDir dir;
    const std::string path = dir.file("open.wav");
    ASSERT_TRUE(testwav::writeFile(path, testwav::pcm16(8000, 1, {1})));
    MessageCapture messages;
    CKWaveFileRead r;
    ASSERT_TRUE(r.OpenWaveFile(path));
    DialogAnswer dialog(std::nullopt);
    EXPECT_FALSE(r.OpenWaveFile());
    EXPECT_FALSE(r.FileIsOpened());
    EXPECT_EQ(dialog.m_calls, 1);
    EXPECT_EQ(messages.count(), 0u);
}

TEST(KWaveFileRead, InteractiveFailureAddsItsOwnSecondMessage) {
    testwav::TempDir dir;
    const std::string path = dir.file("notes.txt");
    ASSERT_TRUE(testwav::writeFile(path, {'h', 'e', 'l', 'l', 'o'}));
    MessageCapture messages;
    DialogAnswer dialog(path);
    CKWaveFileRead r;
    EXPECT_FALSE(r.OpenWaveFile());
    ASSERT_EQ(messages.count(), 2u);
    EXPECT_EQ(messages.texts()[0], kChunkNotFound);
    EXPECT_EQ(messages.texts()[1],
              "Не удается открыть указанный Вами файл:\n" + path + "\n\nМожет быть он не звуковой?");
    EXPECT_EQ(r.GetFileTitle(), "notes");
}

}  // namespace
