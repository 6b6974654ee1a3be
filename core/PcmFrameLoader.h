// Turns the interleaved PCM frames of a WAVE data chunk into the real parts
// of one signal store per channel, block by block.
//
// A sample is converted by the width of its container (the frame size over the
// channel count): 8-bit containers hold unsigned values, (v - 128) / 128;
// 16-, 24- and 32-bit containers hold two's complement values divided by
// 32768, 8388608 and 2147483648. A bit depth below the container's width is
// left-justified in it, so the same divisor applies. Float data (IEEE, 4- or
// 8-byte containers) already lies on that scale and is taken as it stands:
// values beyond [-1, 1) are kept, not clipped. A float sample that is not a
// number, infinite, or larger in magnitude than the largest 32-bit float
// (which the 32-bit playback could not carry, and whose square the analysis
// would bring close to overflow) stops the load there, like a short read,
// and the load reports why. Frame i of the data becomes sample
// i of every channel; nothing else of the stores is touched.
//
// Reads ask for whole frames only, so no sample straddles two reads: a mono
// block is up to 16384 bytes, a stereo block up to 8192 bytes (8192 and 2048
// frames of 16-bit data). The data is whole or the load fails: a read that
// returns fewer bytes than asked (the file shrank while it loaded) or fails
// (negative result) ends loading there, after the whole frames it did bring.
#pragma once

#include <functional>

#include "FonacoreApi.h"
#include "KComplex.h"

class FONACORE_API PcmFrameLoader {
public:
    // Reads up to `count` bytes into `buffer`; returns the bytes read, 0 at
    // the end of the data, a negative value on error.
    using ReadFunction = std::function<long(unsigned char* buffer, long count)>;

    static constexpr long kMonoBlockBytes = 16384;
    static constexpr long kStereoBlockBytes = 8192;
    static constexpr int kMaxChannels = 2;

    // Why a load ended.
    enum class LoadEnd { Complete, ShortRead, UnusableSample };

    // Takes the format of the data; false when it cannot be converted: a
    // channel count other than 1 or 2, a frame that does not split into
    // containers of 1 to 4 bytes (4 or 8 for float data), or a bit depth of 0
    // or wider than the container.
    bool SetFormat(int nChannels, int nBitsPerSample, int nBlockAlign, bool isFloat = false);

    int GetChannels() const { return m_nChannels; }
    int GetContainerBytes() const { return m_nContainerBytes; }
    int GetFrameBytes() const { return m_nChannels * m_nContainerBytes; }
    // Frames asked for per read.
    long GetBlockFrames() const;
    // Full scale of the container: 2^(8 * container bytes - 1); 1 for float data.
    double GetDivisor() const { return m_dDivisor; }
    bool IsFloat() const { return m_bFloat; }

    // Reads `nFrames` frames through `read` and writes channel c of frame i
    // to destinations[c][i].re. Returns the number of frames loaded from the
    // first on: `nFrames` when every read brought what it was asked for,
    // fewer after a short or failed read or before an unusable float sample
    // (the caller treats that as a failed load, `end` says which), 0 without a format.
    long Load(const ReadFunction& read, long nFrames, KCOMPLEX_KFLOAT* const* destinations,
              LoadEnd* end = nullptr) const;

    // Converts `nFrames` whole frames of `bytes`, channel c of frame i into
    // destinations[c][i].re. Returns the frames converted: `nFrames`, or the
    // index of the first frame holding an unusable float sample (that frame
    // and the rest of these frames then hold no meaning).
    long ConvertFrames(const unsigned char* bytes, long nFrames, KCOMPLEX_KFLOAT* const* destinations) const;

private:
    int m_nChannels = 0;
    int m_nContainerBytes = 0;
    double m_dDivisor = 0.0;
    bool m_bFloat = false;
};
