// The samples a playback sends to the sound sink: a stretch of layer 0 of one
// or two channels (the real parts of the film's complex samples, full scale
// +-1), interleaved frame by frame as 16-bit integers or 32-bit floats, at the
// file's own rate or converted to the device's rate by a real resampler
// (libsoxr, high quality). Frames are produced on demand, a block at a time,
// so that starting costs nothing however long the stretch is.
//
// The feed reads the channels' stores without owning them: whoever starts a
// playback stops it (and destroys the feed) before the stores go. No Qt here:
// the feed runs on the playback thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "KComplex.h"

class PlaybackFeed {
public:
    enum class SampleType { Int16, Float32 };

    // `channels` holds one or two pointers to sample 0 of a channel; frames
    // [startSample, endSample) of them are played. `outputRate` equal to
    // `frADC` sends the samples as they are.
    PlaybackFeed(std::vector<const KCOMPLEX_KFLOAT*> channels, long startSample, long endSample, double frADC,
                 int outputRate, SampleType type);
    ~PlaybackFeed();
    PlaybackFeed(const PlaybackFeed&) = delete;
    PlaybackFeed& operator=(const PlaybackFeed&) = delete;

    // False when the resampler could not be made (then Read gives nothing).
    bool IsValid() const { return m_bValid; }
    bool IsResampling() const { return m_pSoxr != nullptr; }
    int GetChannels() const { return static_cast<int>(m_channels.size()); }
    int GetBytesPerFrame() const;
    // The number of output frames the whole stretch makes.
    long long GetTotalFrames() const { return m_nTotalOut; }
    long long GetTotalBytes() const { return m_nTotalOut * GetBytesPerFrame(); }
    long long GetProducedFrames() const { return m_nProducedOut; }
    bool AtEnd() const { return m_nProducedOut >= m_nTotalOut; }

    // Writes up to `maxBytes` bytes (whole frames) of the next output into
    // `out`; returns the bytes written, 0 at the end.
    size_t Read(char* out, size_t maxBytes);

private:
    // Fills `frames` interleaved floats from the source, advancing it.
    void ReadSource(float* to, long frames);
    void Emit(const float* from, long frames, char* out) const;

    std::vector<const KCOMPLEX_KFLOAT*> m_channels;
    long m_nNext;
    long m_nEnd;
    SampleType m_type;
    long long m_nTotalOut = 0;
    long long m_nProducedOut = 0;
    bool m_bValid = true;
    void* m_pSoxr = nullptr;  // soxr_t while resampling
    std::vector<float> m_in;
    std::vector<float> m_out;
};
