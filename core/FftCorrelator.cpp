#include "FftCorrelator.h"

#include <iterator>
#include <new>

namespace {

constexpr int kSizes[] = {16, 64, 256, 1024, 4096, 16384, 65536};

bool IsSupported(int n) {
    for (int size : kSizes) {
        if (size == n) return true;
    }
    return false;
}

}  // namespace

int FftCorrelator::MaxTaps() { return kSizes[std::size(kSizes) - 1] - 1; }

int FftCorrelator::SizeFor(int nTaps) {
    if (nTaps <= 0 || nTaps > MaxTaps()) return 0;
    // Four times the taps keeps the overlap, which is computed and thrown
    // away, at a quarter of every block.
    int size = 0;
    for (int candidate : kSizes) {
        size = candidate;
        if (static_cast<long long>(candidate) >= 4LL * nTaps) break;
    }
    return size;
}

bool FftCorrelator::Init(const double* pTaps, int nTaps, int nFftSize) {
    m_pSpectrum.reset();
    m_nSize = 0;
    m_nTaps = 0;
    if (nTaps <= 0 || nTaps > MaxTaps()) return false;
    const int size = nFftSize == 0 ? SizeFor(nTaps) : nFftSize;
    if (!IsSupported(size) || size <= nTaps) return false;

    std::unique_ptr<KCOMPLEX_DOUBLE[]> spectrum(new (std::nothrow) KCOMPLEX_DOUBLE[size]);
    if (!spectrum) return false;
    for (int i = 0; i < size; ++i) spectrum[i] = KCOMPLEX_DOUBLE{i < nTaps ? pTaps[i] : 0.0, 0.0};
    m_fft.fft(spectrum.get(), size);
    // The inverse transform is the forward one between two conjugations; its
    // 1/n is folded into the spectrum here.
    const double scale = 1.0 / size;
    for (int i = 0; i < size; ++i) {
        spectrum[i].re *= scale;
        spectrum[i].im *= scale;
    }
    m_pSpectrum = std::move(spectrum);
    m_nSize = size;
    m_nTaps = nTaps;
    return true;
}

std::unique_ptr<KCOMPLEX_DOUBLE[]> FftCorrelator::NewBuffer() const {
    return std::unique_ptr<KCOMPLEX_DOUBLE[]>(new (std::nothrow) KCOMPLEX_DOUBLE[m_nSize > 0 ? m_nSize : 1]);
}

void FftCorrelator::Run(KCOMPLEX_DOUBLE* pBuffer) const {
    // Correlating with real taps is S·conj(T) in frequency. Its inverse
    // transform is conj(F(conj(S)·T))/n, so the product is formed already
    // conjugated and the conjugation after the second transform only flips
    // the sign of the imaginary part.
    m_fft.fft(pBuffer, m_nSize);
    const KCOMPLEX_DOUBLE* t = m_pSpectrum.get();
    for (int k = 0; k < m_nSize; ++k) {
        const double sr = pBuffer[k].re;
        const double si = -pBuffer[k].im;
        pBuffer[k].re = sr * t[k].re - si * t[k].im;
        pBuffer[k].im = sr * t[k].im + si * t[k].re;
    }
    m_fft.fft(pBuffer, m_nSize);
    const int outputs = BlockOutputs();
    for (int r = 0; r < outputs; ++r) pBuffer[r].im = -pBuffer[r].im;
}
