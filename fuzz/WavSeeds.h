// Starting inputs of the load fuzzer, made by code rather than kept as
// binaries: canonical files of every accepted width and channel count, and
// the malformed shapes the reader must refuse or clamp. The seed program
// writes them to a folder for libFuzzer; the replay test runs them directly.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "WavWriter.h"
#include "WriterLayouts.h"

namespace fuzzwav {

using Seed = std::pair<std::string, std::vector<uint8_t>>;

inline std::vector<Seed> MakeSeeds() {
    using testwav::Bytes;
    std::vector<Seed> seeds;
    // A short ramp, so that converted samples differ from one another.
    auto ramp = [](size_t n, int32_t step, int32_t limit) {
        std::vector<int32_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = static_cast<int32_t>((static_cast<int64_t>(i) * step) % limit);
        return v;
    };
    // Every container width, mono and stereo; the 24- and 32-bit stereo
    // files are long enough to cross a read block (1365 and 1024 frames).
    seeds.emplace_back("pcm8_mono", testwav::pcm(8000, 1, 8, ramp(64, 3, 127)));
    seeds.emplace_back("pcm8_stereo", testwav::pcm(8000, 2, 8, ramp(2 * 50, 5, 127)));
    seeds.emplace_back("pcm16_mono", testwav::pcm(16000, 1, 16, ramp(70, 997, 32767)));
    seeds.emplace_back("pcm16_stereo", testwav::pcm(44100, 2, 16, ramp(96, 701, 32767)));
    seeds.emplace_back("pcm24_mono", testwav::pcm(48000, 1, 24, ramp(40, 100003, 8388607)));
    seeds.emplace_back("pcm24_stereo", testwav::pcm(96000, 2, 24, ramp(2 * 1400, 100003, 8388607)));
    seeds.emplace_back("pcm32_mono", testwav::pcm(32000, 1, 32, ramp(40, 50000017, 2147483647)));
    seeds.emplace_back("pcm32_stereo", testwav::pcm(22050, 2, 32, ramp(2 * 1100, 50000017, 2147483647)));
    seeds.emplace_back("pcm20_stereo", testwav::pcm(768000, 2, 20, ramp(2 * 30, 70001 * 16, 8388607)));
    seeds.emplace_back("pcm12_mono", testwav::pcm(11025, 1, 12, ramp(30, 77, 2047)));

    // Chunks around and between fmt and data, one of odd size with its pad.
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE");
        b.chunk("JUNK", std::vector<uint8_t>(7, 0x55));
        b.chunk("fmt ", Bytes::fmtPayload(1, 1, 44100, 16));
        b.chunk("LIST", {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0});
        b.chunk("data", std::vector<uint8_t>(32, 0x10));
        seeds.emplace_back("chunks_between", b.fixRiffSize().data());
    }
    // An extensible format record (40 bytes) and an 18-byte one.
    {
        Bytes fmt;
        fmt.raw(Bytes::fmtPayload(0xFFFE, 2, 44100, 16)).u16(22).zeros(22);
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", fmt.data()).chunk("data", std::vector<uint8_t>(16, 1));
        seeds.emplace_back("fmt_extensible", b.fixRiffSize().data());
    }
    {
        Bytes fmt;
        fmt.raw(Bytes::fmtPayload(1, 1, 8000, 8)).u16(0);
        Bytes b;
        b.tag("RIFF")
            .u32(0)
            .tag("WAVE")
            .chunk("fmt ", fmt.data())
            .chunk("data", std::vector<uint8_t>(9, 200));
        seeds.emplace_back("fmt_18", b.fixRiffSize().data());
    }
    // A data size that runs past the end, as streaming writers leave it.
    {
        Bytes b;
        b.tag("RIFF").u32(0xFFFFFFFF).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 2, 44100, 16));
        b.chunkDeclared("data", 0x7FFFF000, std::vector<uint8_t>(27, 0x33));
        seeds.emplace_back("data_past_end", b.data());
    }
    // Data before fmt, a missing data chunk, a wrong form type, a big-endian form.
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("data", std::vector<uint8_t>(8, 0));
        b.chunk("fmt ", Bytes::fmtPayload(1, 1, 8000, 8));
        seeds.emplace_back("data_before_fmt", b.fixRiffSize().data());
    }
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 1, 8000, 8));
        seeds.emplace_back("no_data", b.fixRiffSize().data());
    }
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("AVI ").chunk("fmt ", Bytes::fmtPayload(1, 1, 8000, 8));
        seeds.emplace_back("not_wave", b.fixRiffSize().data());
    }
    {
        Bytes b;
        b.tag("RIFX").u32(0).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 1, 8000, 8));
        seeds.emplace_back("rifx", b.fixRiffSize().data());
    }
    // Absurd but well-formed formats.
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 2, 4294967295u, 8));
        b.chunk("data", std::vector<uint8_t>(2, 0x80));
        seeds.emplace_back("rate_max", b.fixRiffSize().data());
    }
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 65535, 8000, 8));
        b.chunk("data", std::vector<uint8_t>(65535, 0x80));
        seeds.emplace_back("channels_max", b.fixRiffSize().data());
    }
    // A chunk whose size would wrap a 32-bit offset.
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", Bytes::fmtPayload(1, 1, 8000, 8));
        b.chunkDeclared("JUNK", 0xFFFFFFF0u, {}).chunk("data", std::vector<uint8_t>(4, 1));
        seeds.emplace_back("wrapping_chunk", b.fixRiffSize().data());
    }
    // Today's writers' layouts of 24-bit and float files, mono and stereo;
    // the stereo ones cross a read block.
    for (testwav::WriterLayout layout :
         {testwav::WriterLayout::Sox24, testwav::WriterLayout::Ffmpeg24, testwav::WriterLayout::FfmpegFloat32,
          testwav::WriterLayout::FfmpegFloat64, testwav::WriterLayout::EditorFloat32,
          testwav::WriterLayout::Float64Tag3}) {
        for (uint16_t channels : {1, 2}) {
            std::vector<double> v(channels == 1 ? 48 : 2 * 1100);
            for (size_t i = 0; i < v.size(); ++i) v[i] = std::sin(0.37 * static_cast<double>(i)) * 1.25;
            seeds.emplace_back(testwav::LayoutName(layout) + (channels == 1 ? "_mono" : "_stereo"),
                               testwav::WriteAs(layout, 48000, channels, v));
        }
    }
    // Float data the load must stop at, and extensible records it must refuse.
    seeds.emplace_back("float_nan", testwav::WriteAs(testwav::WriterLayout::EditorFloat32, 8000, 1,
                                                     {0.5, std::nan(""), 0.25}));
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", testwav::ExtensibleFmt(1, 8000, 16, 20, 4, 1));
        seeds.emplace_back("extensible_valid_bits_above", b.chunk("data", {1, 2, 3, 4}).fixRiffSize().data());
    }
    {
        Bytes b;
        b.tag("RIFF").u32(0).tag("WAVE").chunk("fmt ", testwav::ExtensibleFmt(2, 8000, 16, 16, 3, 2));
        seeds.emplace_back("extensible_adpcm", b.chunk("data", {1, 2, 3, 4}).fixRiffSize().data());
    }
    seeds.emplace_back("empty", std::vector<uint8_t>{});
    seeds.emplace_back("riff_only", std::vector<uint8_t>{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'});
    return seeds;
}

}  // namespace fuzzwav
