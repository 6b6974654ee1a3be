#include "PlayheadMapping.h"

#include <algorithm>
#include <cmath>

PlayheadMapping::PlayheadMapping(long startSample, long endSample, double frADC)
    : m_nStart(startSample), m_nEnd(std::max(startSample, endSample)), m_dFrADC(frADC > 0.0 ? frADC : 1.0) {}

int64_t PlayheadMapping::GetDurationUs() const {
    return static_cast<int64_t>(std::llround((m_nEnd - m_nStart) * 1e6 / m_dFrADC));
}

long PlayheadMapping::SampleAt(int64_t processedUs) const {
    if (processedUs <= 0) return m_nStart;
    // Rates are whole numbers of hertz in practice: then the product is exact
    // in 128 bits and the floor is the true one.
    const double rounded = std::round(m_dFrADC);
    long long played = 0;
    if (rounded == m_dFrADC && rounded < 9.2e12) {
        const __int128 product = static_cast<__int128>(processedUs) * static_cast<long long>(rounded);
        played = static_cast<long long>(std::min<__int128>(product / 1000000, m_nEnd - m_nStart));
    } else {
        played = static_cast<long long>(std::min<double>(std::floor(processedUs * m_dFrADC / 1e6),
                                                         static_cast<double>(m_nEnd - m_nStart)));
    }
    return m_nStart + static_cast<long>(played);
}

int PlayheadMapping::Column(long sample, int layer, int stepSamples, long columns) {
    if (columns <= 0 || stepSamples <= 0 || layer < 0 || layer > 30) return 0;
    if (sample <= 0) return 0;
    // floor(n / (2^L S) + 1/2) = floor((2n + 2^L S) / (2^(L+1) S))
    const long long span = (1LL << layer) * stepSamples;
    const long long column = (2LL * sample + span) / (2 * span);
    return static_cast<int>(std::min<long long>(column, columns - 1));
}

int PlayheadMapping::LayerOf(double frADC, double layerRate) {
    if (!(frADC > 0.0) || !(layerRate > 0.0) || layerRate >= frADC) return 0;
    return static_cast<int>(std::lround(std::log2(frADC / layerRate)));
}
