#include "ColumnRing.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace sonogram {

namespace {

// Every byte of a cleared tag: the tag then names no column a pane can have.
constexpr unsigned char kClearedTagByte = 0x80;

template <typename T>
std::unique_ptr<T[]> TryAllocate(long long count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(count)]);
}

}  // namespace

int ColumnRing::Reserve(int slots, int rows) {
    slots = std::max(0, slots);
    rows = std::max(0, rows);
    if (m_nSlots < slots) {
        m_pSpectrumTag = TryAllocate<int>(slots);
        if (!m_pSpectrumTag) return Release(), kSpectrumTagsFailed;
        m_pPixelTag = TryAllocate<int>(slots);
        if (!m_pPixelTag) return Release(), kPixelTagsFailed;
        m_nTagSlots = slots;
    }
    const long long have = static_cast<long long>(m_nSlots) * m_nRows;
    const long long need = static_cast<long long>(slots) * rows;
    if (have < need) {
        m_pSpectrum.reset();
        m_pPhaseStep.reset();
        m_pPixels.reset();
        m_nSlots = slots;
        m_nRows = rows;
        if (need > kMaxCells) return Release(), kSpectrumFailed;
        m_pSpectrum = TryAllocate<double>(need);
        if (!m_pSpectrum) return Release(), kSpectrumFailed;
        m_pPhaseStep = TryAllocate<double>(need);
        if (!m_pPhaseStep) return Release(), kPhaseStepsFailed;
        m_pPixels = TryAllocate<uint32_t>(need);
        if (!m_pPixels) return Release(), kPixelsFailed;
    }
    return 0;
}

void ColumnRing::Release() {
    m_pSpectrum.reset();
    m_pPhaseStep.reset();
    m_pPixels.reset();
    m_pSpectrumTag.reset();
    m_pPixelTag.reset();
    m_nSlots = m_nRows = m_nTagSlots = 0;
}

void ColumnRing::ClearSpectra() {
    const size_t cells = static_cast<size_t>(m_nSlots) * m_nRows;
    if (m_pSpectrum) std::fill(m_pSpectrum.get(), m_pSpectrum.get() + cells, 0.0);
    if (m_pPhaseStep) std::fill(m_pPhaseStep.get(), m_pPhaseStep.get() + cells, 0.0);
    if (m_pSpectrumTag) std::memset(m_pSpectrumTag.get(), kClearedTagByte, sizeof(int) * static_cast<size_t>(m_nSlots));
}

void ColumnRing::ClearPixels() {
    const size_t cells = static_cast<size_t>(m_nSlots) * m_nRows;
    if (m_pPixels) std::fill(m_pPixels.get(), m_pPixels.get() + cells, 0u);
    if (m_pPixelTag) std::memset(m_pPixelTag.get(), kClearedTagByte, sizeof(int) * static_cast<size_t>(m_nSlots));
}

double* ColumnRing::Levels(int slot) const {
    if (!m_pSpectrum || slot < 0 || slot >= m_nSlots) return nullptr;
    return m_pSpectrum.get() + static_cast<size_t>(slot) * m_nRows;
}

double* ColumnRing::PhaseSteps(int slot) const {
    if (!m_pPhaseStep || slot < 0 || slot >= m_nSlots) return nullptr;
    return m_pPhaseStep.get() + static_cast<size_t>(slot) * m_nRows;
}

int ColumnRing::SpectrumTag(int slot) const {
    if (!m_pSpectrumTag || slot < 0 || slot >= m_nSlots) return -1;
    return m_pSpectrumTag[slot];
}

int ColumnRing::PixelTag(int slot) const {
    if (!m_pPixelTag || slot < 0 || slot >= m_nSlots) return -1;
    return m_pPixelTag[slot];
}

}  // namespace sonogram
