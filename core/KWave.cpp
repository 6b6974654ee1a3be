#include "KWave.h"

#include <climits>
#include <cmath>

#include "Messages.h"

namespace {

// The guard band never falls below this: the 2049-tap filters reach 1024
// samples past either end of the signal.
constexpr int kMinStartSampleNumber = 1025;

constexpr int kAnalyticFilterLength = 2049;

const char kReserveFailedText[] =
    "Не удалось нормально создать временный файл.\nПроцесс прерван.\n\nCould not create file mapping object.";

}  // namespace

std::string CKWave::cWorkBuffer;

CKWave::CKWave() = default;

CKWave::~CKWave() { DeleteKWave(); }

double CKWave::GetMaxSigmaTforFGT() {
    const double twoPi = 8.0 * std::atan(1.0);
    return 1.0 / ((std::pow(2.0, 1.0 / 48.0) - 1.0) * twoPi * std::pow(2.0, 3.0));
}

int CKWave::GetGuardBandFor(double frADC) {
    // Five widest FGT windows, in samples, plus one.
    const double start = 1.0 - std::trunc(-5.0 * GetMaxSigmaTforFGT() * frADC);
    if (!(start <= static_cast<double>(INT_MAX / 2))) return -1;
    const int guard = static_cast<int>(start);
    return guard < kMinStartSampleNumber ? kMinStartSampleNumber : guard;
}

long long CKWave::GetStoreBytesFor(double frADC, long nSamples) {
    const int guard = GetGuardBandFor(frADC);
    if (guard < 0 || nSamples < 0 || nSamples > kMaxSamples) return -1;
    // Below 2^32 samples of 16 bytes: far inside 64 bits and a size_t.
    const long long total = static_cast<long long>(nSamples) + 2LL * guard;
    return static_cast<long long>(sizeof(KCOMPLEX_KFLOAT)) * total;
}

long long CKWave::CreateKWave(const std::string& folder, double frADC, int nBitsPerSample, long nSamples,
                              double frequency, Backing backing) {
    if (!(frADC > 0.0)) return 0;  // NaN is refused as well
    m_dFrADC = frADC;
    if (nBitsPerSample <= 0) return 0;
    m_nBitsPerSample = nBitsPerSample;
    m_bRealPartOfSignalReady = false;
    m_bSignalRealyComplex = false;
    if (nSamples < 0) return 0;
    m_dFrequency = std::fmax(frequency, frADC / 1024.0);

    // A signal is created once; should it be created again, the old store
    // and its file go first instead of being lost.
    DeleteKWave();

    const bool made = m_TempFile.CreateFile(folder);
    cWorkBuffer = m_TempFile.Path();
    m_strTempPath = cWorkBuffer;
    if (!made) {
        platform::ShowMessage("Не удалось открыть временный KWave файл " + m_strTempPath);
        return 0;
    }

    const int guard = GetGuardBandFor(frADC);
    if (guard < 0) {
        m_TempFile.Release();
        return -1;
    }
    m_nStartSampleNumber = guard;

    const long long total = static_cast<long long>(nSamples) + 2LL * m_nStartSampleNumber;
    const long long bytes = GetStoreBytesFor(frADC, nSamples);
    if (bytes < 0) {
        m_TempFile.Release();
        return -1;
    }

    // A new file reads as zeros once its space is reserved, so the store is
    // zeroed without touching every page.
    m_bSparse = backing == Backing::Sparse;
    const size_t size = static_cast<size_t>(bytes);
    switch (m_bSparse ? m_TempFile.MapSparse(size) : m_TempFile.ReserveAndMap(size)) {
        case TempFileMapping::MapResult::Ok:
            break;
        case TempFileMapping::MapResult::ReserveFailed:
            platform::ShowMessage(kReserveFailedText);
            return 0;
        case TempFileMapping::MapResult::MapFailed:
            platform::ShowMessage(
                "Не удалось нормально открыть для обзора временный файл.\nПроцесс прерван.\n\nCould not map "
                "view "
                "of file.");
            return 0;
    }

    m_nAnalyticFilterLength = kAnalyticFilterLength;
    m_pView = static_cast<KCOMPLEX_KFLOAT*>(m_TempFile.Data());
    m_nSamplesTotal = static_cast<long>(total);
    m_pFirstComplexSample = m_pView + m_nStartSampleNumber;
    m_nSamples = nSamples;
    m_bRealPartOfSignalReady = true;
    return bytes;
}

bool CKWave::ReserveSamples(const SampleSpan& span) {
    if (m_pView == nullptr) return false;
    if (!m_bSparse) return true;
    const SampleSpan stored = span.Within({-m_nStartSampleNumber, m_nSamples + m_nStartSampleNumber});
    if (stored.Empty()) return true;
    const size_t first = static_cast<size_t>(stored.first + m_nStartSampleNumber) * sizeof(KCOMPLEX_KFLOAT);
    if (m_TempFile.Reserve(first, static_cast<size_t>(stored.Length()) * sizeof(KCOMPLEX_KFLOAT)))
        return true;
    platform::ShowMessage(kReserveFailedText);
    return false;
}

void CKWave::DeleteKWave() {
    if (m_pView != nullptr) m_TempFile.Release();
    m_pView = nullptr;
    m_pFirstComplexSample = nullptr;
    m_nSamplesTotal = 0;
    m_nSamples = 0;
    m_nAnalyticFilterLength = 0;
}

int CKWave::GetSampleNumberFromTime(double t) const {
    const double v = m_dFrADC * t + 0.5;
    if (std::isnan(v)) return INT_MIN;
    if (v >= 2147483648.0) return INT_MAX;
    if (v <= -2147483649.0) return INT_MIN;
    return static_cast<int>(v);
}

bool CKWave::IsSampleValid(int n) const {
    const long long index = static_cast<long long>(n) + m_nStartSampleNumber;
    return index >= 0 && index < static_cast<long long>(m_nSamplesTotal);
}

KCOMPLEX_KFLOAT* CKWave::GetComplexSampleInTime(double t) const {
    if (m_pFirstComplexSample == nullptr) return nullptr;
    const int n = GetSampleNumberFromTime(t);
    return IsSampleValid(n) ? m_pFirstComplexSample + n : nullptr;
}
