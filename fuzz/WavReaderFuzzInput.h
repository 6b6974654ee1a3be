// One input of the WAVE reader fuzzer: arbitrary bytes go through the same
// chunk search the program runs on a file (via the in-memory byte source),
// and an accepted file has its data chunk read to the end and its frames
// converted the way the document fills its signal stores.
//
// Shared by the libFuzzer target and by the replay test of the ordinary
// suite, so that every saved input is checked under g++ and the sanitizers
// too. Returns an empty string when every property held, otherwise a
// description of the first one that failed.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KComplex.h"
#include "KWaveFileRead.h"
#include "Messages.h"
#include "PcmFrameLoader.h"
#include "WaveMemoryByteSource.h"

namespace fuzzwav {

// The most frames converted per input: enough to cross several read blocks
// of the loader, few enough to keep each run short.
constexpr long kMaxConvertedFrames = 1L << 15;

inline std::string RunOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> messages;
    platform::MessageSink previous = platform::SetMessageSink(
        [&messages](const std::string& text, const std::string&) { messages.push_back(text); });
    struct RestoreSink {
        platform::MessageSink& sink;
        ~RestoreSink() { platform::SetMessageSink(std::move(sink)); }
    } restore{previous};

    CKWaveFileRead reader;
    const bool opened =
        reader.OpenWaveSource(std::make_unique<WaveMemoryByteSource>(data, size), "/fuzz/input.wav");
    if (opened != reader.FileIsOpened()) return "open result and FileIsOpened disagree";
    if (!opened) {
        if (messages.size() != 1)
            return "a refused input gave " + std::to_string(messages.size()) + " messages";
        if (messages[0].empty()) return "a refused input gave an empty message";
        return {};
    }
    if (!messages.empty()) return "an accepted input gave a message: " + messages[0];

    const WAVEFORMATEX format = reader.GetFormat();
    if (format.nChannels == 0 || format.nSamplesPerSec == 0 || format.nBlockAlign == 0)
        return "an accepted format has a zero channel count, rate or frame size";
    if (format.nBlockAlign != format.nChannels * ((format.wBitsPerSample + 7) / 8))
        return "an accepted format has frames that do not split into samples";
    const long frames = reader.GetSizeInSamples();
    const long long bytes = reader.GetSizeInBytes();
    if (frames < 0 || bytes != static_cast<long long>(frames) * format.nBlockAlign)
        return "the data size is not a whole number of frames";
    if (static_cast<unsigned long long>(reader.GetDataOffset()) + static_cast<unsigned long long>(bytes) >
        size)
        return "the data chunk reaches past the end of the bytes";
    if (reader.SeekFileTheVeryBeginingOfWaveData() != static_cast<long>(reader.GetDataOffset()))
        return "seeking to the data does not land on the data offset";

    PcmFrameLoader loader;
    if (reader.GetSignalBits() < 1 || reader.GetSignalBits() > 8 * (format.nBlockAlign / format.nChannels))
        return "an accepted format has a signal depth its container cannot hold";
    if (!loader.SetFormat(format.nChannels, reader.GetSignalBits(), format.nBlockAlign, reader.IsFloat())) {
        // Formats the document refuses: read the data through anyway, in
        // odd-sized pieces. The chunk may end in part of a frame, which the
        // reads hand out too; nothing beyond the chunk or the bytes comes back.
        std::vector<unsigned char> buffer(4099);
        long long total = 0;
        for (;;) {
            const long n = reader.ReadNextBytes(buffer.data(), static_cast<long>(buffer.size()));
            if (n < 0) return "a read inside memory failed";
            if (n == 0) break;
            total += n;
            if (total - bytes >= format.nBlockAlign) return "reads return more than the data chunk";
            if (static_cast<unsigned long long>(total) > size - reader.GetDataOffset())
                return "reads return more than the bytes after the data offset";
        }
        if (total < bytes) return "reads return less than the data chunk";
        if (!messages.empty()) return "reading gave a message";
        return {};
    }

    const long converted = std::min(frames, kMaxConvertedFrames);
    std::vector<KCOMPLEX_KFLOAT> channel0(static_cast<size_t>(converted) + 1);
    std::vector<KCOMPLEX_KFLOAT> channel1(static_cast<size_t>(converted) + 1);
    // A sentinel after the last frame catches a conversion that runs over.
    const float sentinel = 12345.0f;
    channel0[static_cast<size_t>(converted)].re = sentinel;
    channel1[static_cast<size_t>(converted)].re = sentinel;
    KCOMPLEX_KFLOAT* destinations[PcmFrameLoader::kMaxChannels] = {
        channel0.data(), format.nChannels == 2 ? channel1.data() : nullptr};
    long long handed = 0;
    PcmFrameLoader::LoadEnd end = PcmFrameLoader::LoadEnd::Complete;
    const long loaded = loader.Load(
        [&](unsigned char* buffer, long count) {
            const long n = reader.ReadNextBytes(buffer, count);
            if (n > 0) handed += n;
            return n;
        },
        converted, destinations, &end);
    if (end == PcmFrameLoader::LoadEnd::UnusableSample) {
        // The load stops inside the block that holds the unusable sample.
        if (!loader.IsFloat()) return "an integer sample was called unusable";
        if (loaded >= converted || handed <= static_cast<long long>(loaded) * loader.GetFrameBytes())
            return "a load stopped by an unusable sample does not end inside the block read";
    } else if (loaded != converted || handed != static_cast<long long>(converted) * loader.GetFrameBytes()) {
        return "the loader did not read exactly the frames it converted";
    }
    if (channel0[static_cast<size_t>(converted)].re != sentinel ||
        channel1[static_cast<size_t>(converted)].re != sentinel)
        return "the conversion wrote past the last frame";
    // Integer samples lie in [-1, 1); float ones are finite and no larger
    // than the largest 32-bit float.
    const double low = loader.IsFloat() ? -3.5e38 : -1.0;
    const double high = loader.IsFloat() ? 3.5e38 : 1.0;
    for (long i = 0; i < loaded; ++i) {
        for (const std::vector<KCOMPLEX_KFLOAT>* channel : {&channel0, &channel1}) {
            const double v = (*channel)[static_cast<size_t>(i)].re;
            if (!(v >= low && v < high)) return "a converted sample lies outside the coding's range";
        }
    }
    if (!messages.empty()) return "converting gave a message";
    return {};
}

}  // namespace fuzzwav
