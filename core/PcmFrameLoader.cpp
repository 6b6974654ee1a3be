#include "PcmFrameLoader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

// Little-endian two's complement value of `Bytes` bytes, sign-extended.
template <int Bytes>
inline int32_t SignedValue(const unsigned char* p) {
    uint32_t u = 0;
    for (int i = 0; i < Bytes; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    if constexpr (Bytes < 4) {
        const uint32_t sign = 1u << (8 * Bytes - 1);
        u = (u ^ sign) - sign;  // sign extension without a shift of a negative value
    }
    return static_cast<int32_t>(u);
}

template <int Bytes>
inline double SampleValue(const unsigned char* p, double scale) {
    if constexpr (Bytes == 1) {
        return (static_cast<int>(p[0]) - 128) * scale;
    } else {
        return SignedValue<Bytes>(p) * scale;
    }
}

template <int Bytes, int Channels>
void ConvertBlock(const unsigned char* bytes, long nFrames, double divisor,
                  KCOMPLEX_KFLOAT* const* destinations) {
    // Multiplying by the reciprocal of a power of two is exact, so this equals
    // the division sample by sample.
    const double scale = 1.0 / divisor;
    KCOMPLEX_KFLOAT* left = destinations[0];
    if constexpr (Channels == 1) {
        for (long i = 0; i < nFrames; ++i) left[i].re = SampleValue<Bytes>(bytes + i * Bytes, scale);
    } else {
        KCOMPLEX_KFLOAT* right = destinations[1];
        for (long i = 0; i < nFrames; ++i) {
            const unsigned char* frame = bytes + i * (2 * Bytes);
            left[i].re = SampleValue<Bytes>(frame, scale);
            right[i].re = SampleValue<Bytes>(frame + Bytes, scale);
        }
    }
}

template <int Channels>
void ConvertByWidth(int containerBytes, const unsigned char* bytes, long nFrames, double divisor,
                    KCOMPLEX_KFLOAT* const* destinations) {
    switch (containerBytes) {
        case 1:
            ConvertBlock<1, Channels>(bytes, nFrames, divisor, destinations);
            break;
        case 2:
            ConvertBlock<2, Channels>(bytes, nFrames, divisor, destinations);
            break;
        case 3:
            ConvertBlock<3, Channels>(bytes, nFrames, divisor, destinations);
            break;
        case 4:
            ConvertBlock<4, Channels>(bytes, nFrames, divisor, destinations);
            break;
        default:
            break;
    }
}

// The largest float sample magnitude kept: playback converts samples to
// 32-bit floats, and squares and sums of such values stay far inside the
// range of the doubles the analysis works in.
constexpr double kLargestFloatSample = std::numeric_limits<float>::max();

// Little-endian IEEE value of a 4- or 8-byte container. On a little-endian
// machine the bytes are the value as they stand, and one plain load of them
// keeps float data as fast to convert as 16-bit integers.
template <int Bytes>
inline double FloatValue(const unsigned char* p) {
    using Bits = std::conditional_t<Bytes == 4, uint32_t, uint64_t>;
    using Value = std::conditional_t<Bytes == 4, float, double>;
    Bits u = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&u, p, Bytes);
    } else {
        for (int i = 0; i < Bytes; ++i) u |= static_cast<Bits>(p[i]) << (8 * i);
    }
    return std::bit_cast<Value>(u);
}

inline bool Usable(double v) { return std::fabs(v) <= kLargestFloatSample; }  // false for NaN too

// Converts every frame, then, only if some sample was unusable, finds the
// first frame that holds one; returns the frames before it. The test inside
// the loop has no branch, so the conversion runs at full speed.
template <int Bytes, int Channels>
long ConvertFloatBlock(const unsigned char* bytes, long nFrames, KCOMPLEX_KFLOAT* const* destinations) {
    bool usable = true;
    for (long i = 0; i < nFrames; ++i) {
        const unsigned char* frame = bytes + i * (Channels * Bytes);
        for (int c = 0; c < Channels; ++c) {
            const double v = FloatValue<Bytes>(frame + c * Bytes);
            usable &= Usable(v);
            destinations[c][i].re = v;
        }
    }
    if (usable) return nFrames;
    for (long i = 0; i < nFrames; ++i)
        for (int c = 0; c < Channels; ++c)
            if (!Usable(destinations[c][i].re)) return i;
    return nFrames;
}

template <int Channels>
long ConvertFloatByWidth(int containerBytes, const unsigned char* bytes, long nFrames,
                         KCOMPLEX_KFLOAT* const* destinations) {
    if (containerBytes == 4) return ConvertFloatBlock<4, Channels>(bytes, nFrames, destinations);
    return ConvertFloatBlock<8, Channels>(bytes, nFrames, destinations);
}

}  // namespace

bool PcmFrameLoader::SetFormat(int nChannels, int nBitsPerSample, int nBlockAlign, bool isFloat) {
    m_nChannels = 0;
    m_nContainerBytes = 0;
    m_dDivisor = 0.0;
    m_bFloat = false;
    if (nChannels < 1 || nChannels > kMaxChannels) return false;
    if (nBlockAlign <= 0 || nBlockAlign % nChannels != 0) return false;
    const int container = nBlockAlign / nChannels;
    if (isFloat ? (container != 4 && container != 8) : (container < 1 || container > 4)) return false;
    if (nBitsPerSample < 1 || nBitsPerSample > 8 * container) return false;
    m_nChannels = nChannels;
    m_nContainerBytes = container;
    m_bFloat = isFloat;
    m_dDivisor = isFloat ? 1.0 : static_cast<double>(1LL << (8 * container - 1));
    return true;
}

long PcmFrameLoader::GetBlockFrames() const {
    if (m_nChannels == 0) return 0;
    const long blockBytes = (m_nChannels == 1) ? kMonoBlockBytes : kStereoBlockBytes;
    return blockBytes / GetFrameBytes();
}

long PcmFrameLoader::ConvertFrames(const unsigned char* bytes, long nFrames,
                                   KCOMPLEX_KFLOAT* const* destinations) const {
    if (nFrames <= 0 || m_nChannels == 0) return 0;
    if (m_bFloat) {
        return m_nChannels == 1 ? ConvertFloatByWidth<1>(m_nContainerBytes, bytes, nFrames, destinations)
                                : ConvertFloatByWidth<2>(m_nContainerBytes, bytes, nFrames, destinations);
    }
    if (m_nChannels == 1) {
        ConvertByWidth<1>(m_nContainerBytes, bytes, nFrames, m_dDivisor, destinations);
    } else {
        ConvertByWidth<2>(m_nContainerBytes, bytes, nFrames, m_dDivisor, destinations);
    }
    return nFrames;
}

long PcmFrameLoader::Load(const ReadFunction& read, long nFrames, KCOMPLEX_KFLOAT* const* destinations,
                          LoadEnd* end) const {
    if (end != nullptr) *end = LoadEnd::Complete;
    const long blockFrames = GetBlockFrames();
    if (nFrames <= 0) return 0;
    if (blockFrames <= 0) {
        if (end != nullptr) *end = LoadEnd::ShortRead;
        return 0;
    }
    const long frameBytes = GetFrameBytes();
    std::array<unsigned char, kMonoBlockBytes> buffer;
    std::array<KCOMPLEX_KFLOAT*, kMaxChannels> at{};
    for (long b = 0; b < nFrames; b += blockFrames) {
        const long want = std::min(blockFrames, nFrames - b);
        const long got = read(buffer.data(), want * frameBytes);
        // A reader that returns more than it was asked for cannot push
        // samples past the block.
        const long frames = (got > 0) ? std::min(got / frameBytes, want) : 0;
        for (int c = 0; c < m_nChannels; ++c) at[static_cast<size_t>(c)] = destinations[c] + b;
        const long converted = ConvertFrames(buffer.data(), frames, at.data());
        if (converted < frames) {
            if (end != nullptr) *end = LoadEnd::UnusableSample;
            return b + converted;
        }
        // Anything but the whole block would shift every later block or
        // leave silence that the file does not hold: the load stops here.
        if (frames < want) {
            if (end != nullptr) *end = LoadEnd::ShortRead;
            return b + frames;
        }
    }
    return nFrames;
}
