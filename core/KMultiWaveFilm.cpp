#include "KMultiWaveFilm.h"

#include <cmath>
#include <cstdint>

#include "FilmSpace.h"
#include "Messages.h"

CKMultiWaveFilm::CKMultiWaveFilm() = default;

CKMultiWaveFilm::~CKMultiWaveFilm() {
    // Stores go in element order before the members themselves are destroyed.
    for (CKWave& wave : m_KWaves) wave.DeleteKWave();
    m_strStatusText.clear();
}

bool CKMultiWaveFilm::CreateKMultiWaveFilm(const std::string& folder, unsigned long frADC, int nChannels,
                                           int nBitsPerSample, int nSamples, CKWave::Backing backing) {
    m_bDecimateWavesAreCalculated = false;
    if (nChannels != 1 && nChannels != 2) {
        platform::ShowMessage(
            "CKMultiWaveFilm::CreateKMultiWaveFilm()\nНекорректное число звуковых каналов.");
        return false;
    }
    m_strFolder = folder;
    const double rate = static_cast<double>(static_cast<uint32_t>(frADC));
    for (int channel = nChannels - 1; channel >= 0; --channel) {
        const long long made =
            GetKWave(0, channel)->CreateKWave(folder, rate, nBitsPerSample, nSamples, 0.0, backing);
        if (made == 0 || made == -1) return false;
    }
    m_nChannels = nChannels;
    return true;
}

bool CKMultiWaveFilm::CreateDecimatedStores() {
    const CKWave& main = m_KWaves[0];
    const auto frADC = static_cast<unsigned long>(main.GetFrADC());
    const int samples = static_cast<int>(main.GetNSamples());
    if (!FilmSpace::CheckRoomForDecimation(m_strFolder, frADC, m_nChannels, samples)) return false;
    for (int layer = 1; layer < kLayers; ++layer) {
        for (int channel = m_nChannels - 1; channel >= 0; --channel) {
            if (!CreateDecimatedStore(layer, channel, CKWave::Backing::Reserved)) {
                DeleteDecimatedStores();
                return false;
            }
        }
    }
    return true;
}

bool CKMultiWaveFilm::CreateDecimatedStore(int layer, int channel, CKWave::Backing backing) {
    const CKWave& main = m_KWaves[0];
    // The same rate and length rule as the film: FrADC/2^k, samples >> k.
    const double rate = std::ldexp(main.GetFrADC(), -layer);
    const long long made = GetKWave(layer, channel)
                               ->CreateKWave(m_strFolder, rate, main.GetNBitsPerSample(),
                                             main.GetNSamples() >> layer, 0.0, backing);
    return made != 0 && made != -1;
}

void CKMultiWaveFilm::DeleteDecimatedStores() {
    for (int layer = 1; layer < kLayers; ++layer)
        for (int channel = 0; channel < kChannelSlots; ++channel) GetKWave(layer, channel)->DeleteKWave();
}

double CKMultiWaveFilm::GetTimeLength_in_seconds() const {
    const CKWave& main = m_KWaves[0];
    if (!(main.GetFrADC() > 0.0)) return 0.0;  // never created
    return static_cast<double>(main.GetNSamples()) / main.GetFrADC();
}
