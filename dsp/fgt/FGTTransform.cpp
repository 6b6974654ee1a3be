#include "FGTTransform.h"

#include <new>

#include "FGTComputation.h"
#include "FGTSums.h"
#include "KWave.h"
#include "Messages.h"
#include "ProgressReporter.h"

namespace {

template <typename T>
std::unique_ptr<T[]> AllocateZeroed(long n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(n)]());
}

}  // namespace

void FGTTransform::Reset() {
    m_pFrequency.reset();
    m_pSigmaT.reset();
    m_pRowLength.reset();
    m_pLevel.reset();
    m_pPixels.reset();
    m_nRows = 0;
    m_nTotal = 0;
}

bool FGTTransform::Calculate(const CKWave* wave, double P, double lower, double upper,
                             ProgressReporter* progress) {
    Reset();
    // A deleted store keeps its ready flag but has no samples any more.
    if (wave == nullptr || !wave->IsRealPartOfSignalReady() || wave->GetFirstComplexSample() == nullptr)
        return false;
    const fgt::SignalRef signal{wave->GetFirstComplexSample(), wave->GetNSamples(), wave->GetFrADC(),
                                wave->GetStartSampleNumber()};
    const int rows = fgt::RowCount(signal.frADC);
    if (rows <= 0 || signal.guard < 1) return false;
    m_nRows = rows;
    m_pFrequency = AllocateZeroed<double>(rows);
    m_pSigmaT = AllocateZeroed<double>(rows);
    m_pRowLength = AllocateZeroed<int>(rows);
    if (!m_pFrequency || !m_pSigmaT || !m_pRowLength) {
        Reset();
        return false;
    }

    double total = 0.0;
    const bool fits =
        fgt::FillGrid(P, signal, rows, m_pFrequency.get(), m_pSigmaT.get(), m_pRowLength.get(), total);
    const double required = fgt::RequiredBytes(total, rows, signal, kThreads);
    const double available = fgt::AvailableBytes();
    if (!fits || required > available) {
        Reset();
        platform::ShowMessage(fgt::MemoryRefusalText(required, available));
        return false;
    }
    m_nTotal = static_cast<int>(total);
    // Every value and pixel is written below.
    m_pLevel.reset(new (std::nothrow) double[static_cast<size_t>(m_nTotal)]);
    m_pPixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(m_nTotal)]);
    if (!m_pLevel || !m_pPixels) {
        // The memory went between the check and the allocation.
        Reset();
        platform::ShowMessage(fgt::MemoryRefusalText(required, fgt::AvailableBytes()));
        return false;
    }
    // Every row is computed alone, so slices of rows give the same values as
    // one pass; slices only let the progress advance.
    const int slices = progress != nullptr ? kProgressSteps : 1;
    long offset = 0;
    int row = 0;
    for (int slice = 0; slice < slices; ++slice) {
        const int end = static_cast<int>(static_cast<long long>(rows) * (slice + 1) / slices);
        long length = 0;
        for (int j = row; j < end; ++j) length += m_pRowLength[j];
        // The pixels are mapped as the rows are computed.
        const fgt::RowImage image{m_pPixels.get() + offset, lower, upper};
        if (end > row &&
            !fgt::ComputeLevels(signal, end - row, m_pFrequency.get() + row, m_pSigmaT.get() + row,
                                m_pRowLength.get() + row, m_pLevel.get() + offset, kThreads, &image)) {
            // The signal was checked above: only its work arrays can fail.
            Reset();
            platform::ShowMessage(fgt::MemoryRefusalText(required, fgt::AvailableBytes()));
            return false;
        }
        offset += length;
        row = end;
        if (progress != nullptr) progress->StepIt();
    }
    return true;
}

void FGTTransform::BuildImage(double lower, double upper) {
    if (m_pLevel && m_pPixels) fgt::BuildImage(m_pLevel.get(), m_pPixels.get(), m_nTotal, lower, upper);
}
