// CKMultiWaveFilm: the decimated frequency layers 1..7 of every channel.
#include <string>

#include "HalfBandDecimator.h"
#include "KDialogProgress.h"
#include "KMultiWaveFilm.h"
#include "MainWindow.h"
#include "Messages.h"
#include "StretchPlan.h"

namespace {

constexpr int kDecimatedLayers = CKMultiWaveFilm::kLayers - 1;

std::string DecimationStatus(int channel, int channels, int layer) {
    return "Децимируется канал " + std::to_string(channel) + " (из " + std::to_string(channels) +
           "). Частотный слой " + std::to_string(layer) + " (из " + std::to_string(kDecimatedLayers) + ").";
}

// The sum reads 1024 samples beyond both ends of the source, and an odd
// source puts its last output on the first guard sample of the target; both
// stores must have the room.
bool HasRoom(const CKWave* source, const CKWave* target) {
    return source->GetFirstComplexSample() != nullptr && target->GetFirstComplexSample() != nullptr &&
           source->GetStartSampleNumber() >= HalfBandDecimator::kHalfLength &&
           HalfBandDecimator::Outputs(source->GetNSamples()) <=
               target->GetNSamples() + target->GetStartSampleNumber();
}

const char kNoMemoryText[] = "Не хватило памяти для рассчетов.\nПроцесс прерван.\n2249";

}  // namespace

bool CKMultiWaveFilm::CalculateDecimateWaves() {
    CKDialogProgress progress(nullptr);
    if (m_bDecimateWavesAreCalculated) return true;

    HalfBandDecimator decimator;
    if (!decimator.Init()) {
        platform::ShowMessage(kNoMemoryText);
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

            if (HasRoom(source, target)) {
                decimator.Decimate(source->GetFirstComplexSample(), n, target->GetFirstComplexSample(),
                                   &progress, stride);
            }
        }
    }
    m_bDecimateWavesAreCalculated = true;
    return true;
}

bool CKMultiWaveFilm::CreateSparseLayers(int channel, int layer) {
    for (int l = 1; l <= layer; ++l) {
        if (!CreateDecimatedStore(l, channel, CKWave::Backing::Sparse)) {
            DeleteDecimatedStores();
            return false;
        }
    }
    return true;
}

bool CKMultiWaveFilm::CalculateDecimatedStretch(int channel, const StretchPlan& plan) {
    HalfBandDecimator decimator;
    if (!decimator.Init()) {
        platform::ShowMessage(kNoMemoryText);
        return false;
    }
    for (int layer = 1; layer <= plan.GetLayer(); ++layer) {
        const CKWave* source = GetKWave(layer - 1, channel);
        CKWave* target = GetKWave(layer, channel);
        const StretchPlan::Layer& wanted = plan.At(layer);
        if (!target->ReserveSamples(wanted.Written())) return false;
        if (HasRoom(source, target))
            decimator.Decimate(source->GetFirstComplexSample(), source->GetNSamples(),
                               target->GetFirstComplexSample(), nullptr, 0, wanted.decimated);
    }
    return true;
}
