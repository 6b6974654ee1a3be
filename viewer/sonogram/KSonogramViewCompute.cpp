// CKSonogramView: the time-frequency grid and the column spectra.
#include <algorithm>
#include <cmath>

#include "KSonogramView.h"
#include "KWave.h"
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
    sonogram::FillWindow(m_pWindow, m_nFFTSize, m_dSonelFreqHz, m_pWave->GetFrADC());
}

void CKSonogramView::ComputeRefLevel() {
    if (m_pWindow == nullptr || m_pWave == nullptr) return;
    m_dRefLevel = sonogram::ComputeRefLevel(m_pWindow, m_nFFTSize, m_pWave->IsSignalRealyComplex());
}

void CKSonogramView::ComputeVisibleSpectra() {
    if (m_pWave == nullptr) return;
    const int slotCount = m_sizeBuffer.width();
    const int rows = m_sizeBuffer.height();
    if (slotCount <= 0 || rows <= 0 || m_pSpectrumTag == nullptr || m_pWindow == nullptr ||
        m_pFFTBuffer == nullptr)
        return;
    const int x0 = GetScrollPosition().x();
    ComputeRefLevel();
    const int columns = GetColumnCount();
    const KCOMPLEX_KFLOAT* first = m_pWave->GetFirstComplexSample();
    for (long long xl = x0; xl < static_cast<long long>(x0) + slotCount; ++xl) {
        const int x = static_cast<int>(xl);
        const int s = x % slotCount;
        if (m_pSpectrumTag[s] == x) continue;
        if (x >= 0 && x < columns) {
            const long p = static_cast<long>(x) * m_nStepSamples;
            const size_t offset = static_cast<size_t>(s) * rows;
            sonogram::ComputeColumn(*this, first, p, m_pWindow, m_nFFTSize, m_dRefLevel, m_pFFTBuffer,
                                    m_pSpectrum + offset, m_pPhaseStep + offset);
            ++m_nTransformCount;
        }
        m_pSpectrumTag[s] = x;
    }
}

void CKSonogramView::PrepareHighQuality() {
    if (m_pWave == nullptr) return;
    m_pWave->CalculateImaginaryPartOfSignal();
    // 10 ln 2: the analytic signal doubles the power of the positive
    // frequencies; the reference level then adds 20 log10 2.
    const double rise = 10.0 * std::log(2.0);
    m_dUpperLevel += rise;
    m_dLowerLevel += rise;
    ClearSpectrumCache();
    ClearPixelCache();
}

bool CKSonogramView::IsLocalMaximum(int slot, int k) const {
    const double* levels = GetSlotSpectrum(slot);
    if (levels == nullptr) return false;
    return sonogram::IsLocalMaximum(levels, m_sizeBuffer.height(), k);
}
