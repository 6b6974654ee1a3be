// CKMultiWaveFilm: the decimated frequency layers 1..7 of every channel.
#include <string>

#include "HalfBandDecimator.h"
#include "KDialogProgress.h"
#include "KMultiWaveFilm.h"
#include "MainWindow.h"
#include "Messages.h"

namespace {

constexpr int kDecimatedLayers = CKMultiWaveFilm::kLayers - 1;

std::string DecimationStatus(int channel, int channels, int layer) {
    return "Децимируется канал " + std::to_string(channel) + " (из " + std::to_string(channels) +
           "). Частотный слой " + std::to_string(layer) + " (из " + std::to_string(kDecimatedLayers) + ").";
}

}  // namespace

bool CKMultiWaveFilm::CalculateDecimateWaves() {
    CKDialogProgress progress(nullptr);
    if (m_bDecimateWavesAreCalculated) return true;

    HalfBandDecimator decimator;
    if (!decimator.Init()) {
        platform::ShowMessage("Не хватило памяти для рассчетов.\nПроцесс прерван.\n2249");
        return false;
    }

    if (!CreateDecimatedStores()) return false;

    progress.Create(platform::GetMainWindow());
    for (int ch = 0; ch < m_nChannels; ++ch) {
        // Each layer is made from the finished layer below it.
        for (int layer = 1; layer <= kDecimatedLayers; ++layer) {
            m_strStatusText = DecimationStatus(ch + 1, m_nChannels, layer);
            progress.SetStatusText(m_strStatusText);

            const CKWave* source = GetKWave(layer - 1, ch);
            CKWave* target = GetKWave(layer, ch);
            const long n = source->GetNSamples();
            long stride = n / 1000;
            if (stride <= 0) stride = 1;
            progress.SetRange(0, 1000);
            progress.SetPos(0);
            progress.SetStep(1);
            progress.ShowWindow(true);

            // The sum reads 1024 samples beyond both ends of the source, and
            // an odd source puts its last output on the first guard sample of
            // the target; both stores must have the room.
            const bool room =
                source->GetFirstComplexSample() != nullptr && target->GetFirstComplexSample() != nullptr &&
                source->GetStartSampleNumber() >= HalfBandDecimator::kHalfLength &&
                HalfBandDecimator::Outputs(n) <= target->GetNSamples() + target->GetStartSampleNumber();
            if (room) {
                decimator.Decimate(source->GetFirstComplexSample(), n, target->GetFirstComplexSample(),
                                   &progress, stride);
            }
        }
    }
    m_bDecimateWavesAreCalculated = true;
    return true;
}
