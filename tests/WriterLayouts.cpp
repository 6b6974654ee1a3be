#include "WriterLayouts.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "WavWriter.h"

namespace testwav {

namespace {

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFloat = 3;

// The 14 bytes that follow the two-byte code in the standard sub-format GUIDs.
const std::vector<uint8_t> kGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::vector<uint8_t> SampleBytes(WriterLayout layout, const std::vector<double>& interleaved) {
    const int bits = LayoutContainerBits(layout);
    Bytes out;
    for (double v : interleaved) {
        if (LayoutIsFloat(layout) && bits == 32) {
            const float f = static_cast<float>(v);
            uint32_t u;
            std::memcpy(&u, &f, sizeof u);
            out.u32(u);
        } else if (LayoutIsFloat(layout)) {
            uint64_t u;
            std::memcpy(&u, &v, sizeof u);
            out.u32(static_cast<uint32_t>(u)).u32(static_cast<uint32_t>(u >> 32));
        } else {
            const double full = 8388608.0;
            const double q = std::clamp(std::nearbyint(v * full), -full, full - 1.0);
            const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(q));
            for (int i = 0; i < 3; ++i) out.data().push_back(static_cast<uint8_t>(u >> (8 * i)));
        }
    }
    return out.data();
}

std::vector<uint8_t> FactPayload(uint32_t frames) { return Bytes().u32(frames).data(); }

std::vector<uint8_t> InfoList() {
    const std::string software = "Lavf59.27.100";
    std::vector<uint8_t> text(software.begin(), software.end());
    text.push_back(0);
    Bytes list;
    list.tag("INFO").chunk("ISFT", text);
    return list.data();
}

std::vector<uint8_t> PeakPayload(uint16_t channels, const std::vector<double>& interleaved) {
    Bytes peak;
    peak.u32(1).u32(0x5F5E1000u);  // version 1, a time stamp
    for (uint16_t c = 0; c < channels; ++c) {
        float best = 0.0f;
        uint32_t at = 0;
        for (size_t i = c; i < interleaved.size(); i += channels) {
            const float v = std::fabs(static_cast<float>(interleaved[i]));
            if (v > best) best = v, at = static_cast<uint32_t>(i / channels);
        }
        uint32_t u;
        std::memcpy(&u, &best, sizeof u);
        peak.u32(u).u32(at);
    }
    return peak.data();
}

}  // namespace

std::string LayoutName(WriterLayout layout) {
    switch (layout) {
        case WriterLayout::Sox24:
            return "Sox24";
        case WriterLayout::Ffmpeg24:
            return "Ffmpeg24";
        case WriterLayout::FfmpegFloat32:
            return "FfmpegFloat32";
        case WriterLayout::FfmpegFloat64:
            return "FfmpegFloat64";
        case WriterLayout::EditorFloat32:
            return "EditorFloat32";
        case WriterLayout::Float64Tag3:
            return "Float64Tag3";
    }
    return "?";
}

int LayoutContainerBits(WriterLayout layout) {
    switch (layout) {
        case WriterLayout::Sox24:
        case WriterLayout::Ffmpeg24:
            return 24;
        case WriterLayout::FfmpegFloat32:
        case WriterLayout::EditorFloat32:
            return 32;
        default:
            return 64;
    }
}

bool LayoutIsFloat(WriterLayout layout) { return LayoutContainerBits(layout) != 24; }

std::vector<uint8_t> ExtensibleFmt(uint16_t channels, uint32_t rate, uint16_t containerBits,
                                   uint16_t validBits, uint32_t channelMask, uint16_t subFormat) {
    Bytes fmt;
    fmt.raw(Bytes::fmtPayload(0xFFFE, channels, rate, containerBits)).u16(22).u16(validBits).u32(channelMask);
    fmt.u16(subFormat).raw(kGuidTail);
    return fmt.data();
}

std::vector<uint8_t> WriteAs(WriterLayout layout, uint32_t rate, uint16_t channels,
                             const std::vector<double>& interleaved) {
    const uint16_t bits = static_cast<uint16_t>(LayoutContainerBits(layout));
    const uint32_t frames = static_cast<uint32_t>(interleaved.size() / channels);
    const uint32_t mask = channels == 1 ? 0x4 : 0x3;
    const uint16_t code = LayoutIsFloat(layout) ? kFloat : kPcm;
    Bytes b;
    b.tag("RIFF").u32(0).tag("WAVE");
    switch (layout) {
        case WriterLayout::Sox24:
            b.chunk("fmt ", ExtensibleFmt(channels, rate, bits, bits, mask, code));
            b.chunk("fact", FactPayload(frames));
            break;
        case WriterLayout::Ffmpeg24:
            b.chunk("fmt ", ExtensibleFmt(channels, rate, bits, bits, mask, code));
            b.chunk("LIST", InfoList());
            break;
        case WriterLayout::FfmpegFloat32:
        case WriterLayout::FfmpegFloat64:
            b.chunk("fmt ", ExtensibleFmt(channels, rate, bits, bits, mask, code));
            b.chunk("fact", FactPayload(frames));
            b.chunk("LIST", InfoList());
            break;
        case WriterLayout::EditorFloat32:
            b.chunk("fmt ", Bytes().raw(Bytes::fmtPayload(kFloat, channels, rate, bits)).u16(0).data());
            b.chunk("fact", FactPayload(frames));
            b.chunk("PEAK", PeakPayload(channels, interleaved));
            break;
        case WriterLayout::Float64Tag3:
            b.chunk("fmt ", Bytes().raw(Bytes::fmtPayload(kFloat, channels, rate, bits)).u16(0).data());
            b.chunk("fact", FactPayload(frames));
            break;
    }
    b.chunk("data", SampleBytes(layout, interleaved));
    return b.fixRiffSize().data();
}

}  // namespace testwav
