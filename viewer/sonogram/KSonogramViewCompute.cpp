// CKSonogramView: the time-frequency grid and the column spectra.
#include <algorithm>
#include <cmath>

#include "KSonogramView.h"
#include "KWave.h"
#include "PaneSettings.h"
#include "SonogramComputation.h"

double CKSonogramView::SetFFTSize(int n) {
    if (m_pWave == nullptr) return 0.0;
    m_nFFTSize = n;
    const sonogram::SonelGrid grid =
        sonogram::DeriveSonelGrid(m_pWave->GetFrADC(), m_pWave->GetNBitsPerSample(), m_nFFTSize);
    m_dSonelFreqHz = grid.sonelFreqHz;
    m_nStepSamples = grid.stepSamples;
    ClearSpectrumCache();
    ClearPixelCache();
    return m_dSonelFreqHz;
}

void CKSonogramView::FillWindow() {
    if (m_pWindow == nullptr || m_pWave == nullptr) return;
    sonogram::FillWindow(m_pWindow.get(), m_nFFTSize, m_dSonelFreqHz, m_pWave->GetFrADC());
}

void CKSonogramView::ComputeRefLevel() {
    if (m_pWindow == nullptr || m_pWave == nullptr) return;
    m_dRefLevel = sonogram::ComputeRefLevel(m_pWindow.get(), m_nFFTSize, m_pWave->IsSignalRealyComplex());
}

void CKSonogramView::ComputeVisibleSpectra() {
    if (m_pWave == nullptr) return;
    const int slotCount = m_ring.GetSlots();
    const int rows = m_ring.GetRows();
    if (slotCount <= 0 || rows <= 0 || m_pWindow == nullptr || m_pFFTBuffer == nullptr) return;
    const int x0 = GetScrollPosition().x();
    ComputeRefLevel();
    const int columns = GetColumnCount();
    const KCOMPLEX_KFLOAT* first = m_pWave->GetFirstComplexSample();
    for (long long xl = x0; xl < static_cast<long long>(x0) + slotCount; ++xl) {
        const int x = static_cast<int>(xl);
        const int s = x % slotCount;
        if (m_ring.SpectrumTag(s) == x) continue;
        if (x >= 0 && x < columns) {
            const long p = static_cast<long>(x) * m_nStepSamples;
            sonogram::ComputeColumn(*this, first, p, m_pWindow.get(), m_nFFTSize, m_dRefLevel, m_pFFTBuffer.get(),
                                    m_ring.Levels(s), m_ring.PhaseSteps(s));
            ++m_nTransformCount;
        }
        m_ring.SetSpectrumTag(s, x);
    }
}

void CKSonogramView::PrepareHighQuality() {
    if (m_pWave == nullptr) return;
    m_pWave->CalculateImaginaryPartOfSignal();
    const double rise = sonogram::PaneSettings::HighQualityRiseDb();
    m_dUpperLevel += rise;
    m_dLowerLevel += rise;
    ClearSpectrumCache();
    ClearPixelCache();
}

bool CKSonogramView::IsLocalMaximum(int slot, int k) const {
    const double* levels = GetSlotSpectrum(slot);
    if (levels == nullptr) return false;
    return sonogram::IsLocalMaximum(levels, m_ring.GetRows(), k);
}
