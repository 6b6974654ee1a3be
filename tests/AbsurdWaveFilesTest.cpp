// Files whose headers declare absurd sizes, rates or channel counts, and a
// file cut short by another process while it loads: each loads correctly or
// ends in one clear message, without reading the declared bytes and without
// leaving a signal file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "DocFolderFixture.h"
#include "FilmSpace.h"
#include "FonavidDoc.h"

namespace {

std::string TooLong(long long samples) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Звуковой файл слишком длинный: %lld отсчетов в канале.\n\nДокумент открыт не будет!",
                  samples);
    return text;
}

const char kTooManyChannels[] =
    "Эта программа не работает со стандартными звуковыми файлами, у которых чтсло каналов больше двух.";

// A canonical 44-byte header for `dataBytes` bytes of data that are not
// written: the file is then extended to its full size without data blocks.
std::vector<uint8_t> Header(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t dataBytes) {
    testwav::Bytes b;
    // The RIFF size saturates where 36 + dataBytes no longer fits, as writers leave it.
    b.tag("RIFF").u32(dataBytes > 0xFFFFFFFFu - 36u ? 0xFFFFFFFFu : 36u + dataBytes).tag("WAVE");
    b.chunk("fmt ", testwav::Bytes::fmtPayload(1, channels, rate, bits));
    b.tag("data").u32(dataBytes);
    return b.data();
}

}  // namespace

using AbsurdWaveFiles = DocFolderFixture;

TEST_F(AbsurdWaveFiles, FourGigabytesOfDataInASparseFileEndInOneMessage) {
    // Mono 8-bit: more frames than a signal may have. Stereo 16-bit: frames
    // that a signal can have, in stores of about 16 GiB each, which only a
    // disk with that much free lets through; elsewhere the shortage is the
    // one message.
    struct Case {
        uint16_t channels, bits;
        long long frames;
    };
    for (const Case c : {Case{1, 8, 0xFFFFFFFCLL}, Case{2, 16, 0xFFFFFFFCLL / 4}}) {
        SCOPED_TRACE(c.channels);
        m_messages.clear();
        const long long required = FilmSpace::GetRequiredBytes(
            44100, c.channels, static_cast<int>(std::min(c.frames, 2147483647LL)));
        unsigned long long freeBytes = 0;
        ASSERT_TRUE(FilmSpace::GetFreeBytes(m_temp.path(), freeBytes));
        const std::string expected = c.frames > 2147483647LL
                                         ? TooLong(c.frames)
                                         : FilmSpace::GetShortageMessage(m_temp.path(), required, freeBytes);
        // A disk that holds the stores would load four gigabytes of zeros.
        if (expected.empty()) continue;
        const uint32_t dataBytes = 0xFFFFFFFCu;
        const std::string path = Write("huge.wav", Header(c.channels, 44100, c.bits, dataBytes));
        ASSERT_EQ(truncate(path.c_str(), 44 + static_cast<off_t>(dataBytes)), 0);
        {
            CFonavidDoc doc;
            EXPECT_FALSE(doc.OnOpenDocument(path));
            EXPECT_EQ(TempFiles(), 0u);
        }
        ASSERT_EQ(m_messages.count(), 1u);
        const std::string& shown = m_messages.last();
        if (c.frames > 2147483647LL) {
            EXPECT_EQ(shown, expected);
        } else {
            // The free space moves while other processes write: the figures may differ.
            EXPECT_EQ(shown.substr(0, shown.find("свободно")), expected.substr(0, expected.find("свободно")));
            EXPECT_EQ(shown.substr(shown.find("байт.")), expected.substr(expected.find("байт.")));
        }
        EXPECT_EQ(TempFiles(), 0u);
    }
}

TEST_F(AbsurdWaveFiles, HighestRateEndsInOneMessage) {
    const std::string path = Write("rate.wav", testwav::pcm16(4294967295u, 1, {1, 2, 3, 4}));
    {
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path));
    }
    EXPECT_EQ(m_messages.count(), 1u);
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(AbsurdWaveFiles, MostChannelsEndInTheChannelMessage) {
    testwav::Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", testwav::Bytes::fmtPayload(1, 65535, 8000, 8));
    b.chunk("data", std::vector<uint8_t>(65535, 0x80));
    const std::string path = Write("channels.wav", b.fixRiffSize().data());
    {
        CFonavidDoc doc;
        EXPECT_FALSE(doc.OnOpenDocument(path));
    }
    EXPECT_EQ(m_messages.texts(), std::vector<std::string>{kTooManyChannels});
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(AbsurdWaveFiles, OneFrameLoads) {
    const std::string path = Write("one.wav", testwav::pcm16(44100, 2, {-16384, 8192}));
    {
        CFonavidDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(m_messages.count(), 0u);
        EXPECT_EQ(TempFiles(), 2u);
        const CKMultiWaveFilm* film = doc.GetFilm();
        EXPECT_EQ(film->GetChannels(), 2);
        const CKWave* left = doc.GetFilm()->GetKWave(0, 0);
        const CKWave* right = doc.GetFilm()->GetKWave(0, 1);
        ASSERT_EQ(left->GetNSamples(), 1);
        EXPECT_EQ(left->GetFirstComplexSample()[0].re, -0.5);
        EXPECT_EQ(right->GetFirstComplexSample()[0].re, 0.25);
        // The guard bands on either side stay zero.
        EXPECT_EQ(left->GetFirstComplexSample()[-1].re, 0.0);
        EXPECT_EQ(left->GetFirstComplexSample()[1].re, 0.0);
        for (int layer = 1; layer < CKMultiWaveFilm::kLayers; ++layer)
            EXPECT_EQ(doc.GetFilm()->GetKWave(layer, 0)->GetNSamples(), 0);
    }
    EXPECT_EQ(TempFiles(), 0u);
}

TEST_F(AbsurdWaveFiles, FileCutShortByAnotherProcessWhileItLoads) {
    // 10 s of stereo 16-bit at 44100 Hz, every sample 5. Another process
    // waits until the film's first signal file appears and then cuts the
    // file to a few frames; whatever the load saw, each sample is the one
    // written or zero, and nothing stays behind.
    constexpr long kFrames = 441000;
    const std::string path = Write("cut.wav", testwav::pcm16(44100, 2, std::vector<int16_t>(2 * kFrames, 5)));
    const pid_t cutter = fork();
    ASSERT_GE(cutter, 0);
    if (cutter == 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_temp.tempSignalFiles().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        _exit(truncate(path.c_str(), 44 + 4 * 100) == 0 ? 0 : 1);
    }
    bool opened;
    {
        CFonavidDoc doc;
        opened = doc.OnOpenDocument(path);
        if (opened) {
            EXPECT_EQ(m_messages.count(), 0u);
            for (int channel = 0; channel < 2; ++channel) {
                const CKWave* wave = doc.GetFilm()->GetKWave(0, channel);
                ASSERT_EQ(wave->GetNSamples(), kFrames);
                long odd = 0;
                for (long i = 0; i < kFrames; ++i) {
                    const double v = wave->GetFirstComplexSample()[i].re;
                    if (v != 0.0 && v != 5.0 / 32768.0) ++odd;
                }
                EXPECT_EQ(odd, 0);
            }
        } else {
            EXPECT_EQ(m_messages.count(), 1u);
        }
    }
    int status = 0;
    ASSERT_EQ(waitpid(cutter, &status, 0), cutter);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TempFiles(), 0u);
}
