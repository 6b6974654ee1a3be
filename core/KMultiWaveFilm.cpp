#include "KMultiWaveFilm.h"

#include <cmath>
#include <cstdint>

#include "Messages.h"

CKMultiWaveFilm::CKMultiWaveFilm() = default;

CKMultiWaveFilm::~CKMultiWaveFilm() {
    // Stores go in element order before the members themselves are destroyed.
    for (CKWave& wave : m_KWaves) wave.DeleteKWave();
    m_strStatusText.clear();
}

bool CKMultiWaveFilm::CreateKMultiWaveFilm(const std::string& folder, unsigned long frADC, int nChannels,
                                           int nBitsPerSample, int nSamples) {
    m_bDecimateWavesAreCalculated = false;
    for (int layer = 0; layer < kLayers; ++layer) {
        if (nChannels != 1 && nChannels != 2) {
            platform::ShowMessage(
                "CKMultiWaveFilm::CreateKMultiWaveFilm()\nНекорректное число звуковых каналов.");
            return false;
        }
        const double rate = std::ldexp(static_cast<double>(static_cast<uint32_t>(frADC)), -layer);
        const long samples = static_cast<long>(nSamples >> layer);
        if (nChannels == 2) {
            const int made = GetKWave(layer, 1)->CreateKWave(folder, rate, nBitsPerSample, samples, 0.0);
            if (made == 0 || made == -1) return false;
        }
        const int made = GetKWave(layer, 0)->CreateKWave(folder, rate, nBitsPerSample, samples, 0.0);
        if (made == 0 || made == -1) return false;
    }
    m_nChannels = nChannels;
    return true;
}

double CKMultiWaveFilm::GetTimeLength_in_seconds() const {
    const CKWave& main = m_KWaves[0];
    if (!(main.GetFrADC() > 0.0)) return 0.0;  // never created
    return static_cast<double>(main.GetNSamples()) / main.GetFrADC();
}
