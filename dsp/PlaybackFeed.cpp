#include "PlaybackFeed.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Frames converted at a time while resampling.
constexpr long kBlockFrames = 4096;

int16_t ToInt16(float v) {
    const float scaled = std::nearbyint(v * 32768.0f);
    return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

PlaybackFeed::PlaybackFeed(std::vector<const KCOMPLEX_KFLOAT*> channels, long startSample, long endSample,
                           double frADC, int outputRate, SampleType type)
    : m_channels(std::move(channels)),
      m_nNext(startSample),
      m_nEnd(std::max(startSample, endSample)),
      m_type(type) {
    const long frames = m_nEnd - m_nNext;
    if (m_channels.empty() || !(frADC > 0.0) || outputRate <= 0) {
        m_bValid = false;
        return;
    }
    if (std::fabs(frADC - outputRate) < 1e-9) {
        m_nTotalOut = frames;
        return;
    }
    m_nTotalOut = static_cast<long long>(std::llround(frames * (outputRate / frADC)));
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_error_t error = nullptr;
    soxr_t soxr = soxr_create(frADC, outputRate, static_cast<unsigned>(m_channels.size()), &error, &io,
                              &quality, nullptr);
    if (error != nullptr || soxr == nullptr) {
        m_bValid = false;
        return;
    }
    m_pSoxr = soxr;
    m_in.resize(static_cast<size_t>(kBlockFrames) * m_channels.size());
}

PlaybackFeed::~PlaybackFeed() {
    if (m_pSoxr != nullptr) soxr_delete(static_cast<soxr_t>(m_pSoxr));
}

int PlaybackFeed::GetBytesPerFrame() const { return GetChannels() * (m_type == SampleType::Int16 ? 2 : 4); }

void PlaybackFeed::ReadSource(float* to, long frames) {
    const size_t channels = m_channels.size();
    for (long i = 0; i < frames; ++i, ++m_nNext) {
        for (size_t c = 0; c < channels; ++c)
            to[i * channels + c] = static_cast<float>(m_channels[c][m_nNext].re);
    }
}

void PlaybackFeed::Emit(const float* from, long frames, char* out) const {
    const size_t values = static_cast<size_t>(frames) * m_channels.size();
    if (m_type == SampleType::Float32) {
        std::memcpy(out, from, values * sizeof(float));
        return;
    }
    for (size_t i = 0; i < values; ++i) {
        const int16_t v = ToInt16(from[i]);
        std::memcpy(out + 2 * i, &v, 2);
    }
}

size_t PlaybackFeed::Read(char* out, size_t maxBytes) {
    if (!m_bValid) return 0;
    const long frameBytes = GetBytesPerFrame();
    long want = static_cast<long>(
        std::min<long long>(static_cast<long long>(maxBytes / frameBytes), m_nTotalOut - m_nProducedOut));
    if (want <= 0) return 0;
    const size_t channels = m_channels.size();
    if (m_pSoxr == nullptr) {
        m_out.resize(static_cast<size_t>(want) * channels);
        ReadSource(m_out.data(), want);
        Emit(m_out.data(), want, out);
        m_nProducedOut += want;
        return static_cast<size_t>(want) * frameBytes;
    }
    auto* soxr = static_cast<soxr_t>(m_pSoxr);
    m_out.resize(static_cast<size_t>(want) * channels);
    long done = 0;
    while (done < want) {
        const long inFrames = std::min<long>(kBlockFrames, m_nEnd - m_nNext);
        ReadSource(m_in.data(), inFrames);
        size_t used = 0;
        size_t made = 0;
        // No input left: a null input tells the resampler to flush its tail.
        const soxr_error_t error =
            soxr_process(soxr, inFrames > 0 ? m_in.data() : nullptr, static_cast<size_t>(inFrames), &used,
                         m_out.data() + done * channels, static_cast<size_t>(want - done), &made);
        // What the resampler did not take goes back to the source.
        m_nNext -= inFrames - static_cast<long>(used);
        done += static_cast<long>(made);
        if (error != nullptr || (inFrames == 0 && made == 0)) break;
    }
    // A tail the resampler could not give is silence: the count stays exact.
    std::fill(m_out.begin() + done * channels, m_out.begin() + want * channels, 0.0f);
    Emit(m_out.data(), want, out);
    m_nProducedOut += want;
    return static_cast<size_t>(want) * frameBytes;
}
