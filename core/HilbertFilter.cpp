#include "HilbertFilter.h"

#include <cmath>
#include <new>

namespace {

// Calls StepIt for every multiple of `stride` in [from, to).
void StepRange(ProgressReporter* progress, long stride, long from, long to) {
    if (progress == nullptr || stride <= 0) return;
    long first = (from + stride - 1) / stride * stride;
    for (long i = first; i < to; i += stride) progress->StepIt();
}

}  // namespace

HilbertFilter::HilbertFilter(int nLength) : m_nLength(nLength > 0 ? nLength : 0) {
    // Odd k from the lowest odd value >= -M up to its mirror.
    const int half = HalfLength();
    m_nFirstOddTap = half % 2 != 0 ? -half : -half + 1;
    m_nOddTaps = half >= 1 ? 1 - m_nFirstOddTap : 0;  // (last - first)/2 + 1 with last = -first
}

void HilbertFilter::MakeCoefficients(int nLength, double* pCoefficients) {
    if (nLength <= 0) return;
    const int half = nLength / 2;
    const double pi = 4.0 * std::atan(1.0);
    double* c = pCoefficients + half;  // c[k] for k = -half .. half
    c[0] = 0.0;
    for (int i = 1; i <= half; ++i) {
        if (i % 2 == 0) {
            c[i] = 0.0;
        } else {
            const double x = pi * i / 1024.0;
            c[i] = -(2.0 / (pi * i)) * std::exp(-2.0 * x * x);
        }
        c[-i] = -c[i];
    }
}

bool HilbertFilter::Init() {
    m_pCoefficients.reset(new (std::nothrow) double[m_nLength > 0 ? m_nLength : 1]);
    if (!m_pCoefficients) return false;
    MakeCoefficients(m_nLength, m_pCoefficients.get());

    const int half = HalfLength();
    if (m_nOddTaps == 0) return true;

    m_pOddTaps.reset(new (std::nothrow) double[m_nOddTaps]);
    if (!m_pOddTaps) return false;
    for (int j = 0; j < m_nOddTaps; ++j) m_pOddTaps[j] = m_pCoefficients[m_nFirstOddTap + 2 * j + half];

    // Filters too long for the transform fall back to the direct sum.
    if (UsesTransform()) {
        if (!m_correlator.Init(m_pOddTaps.get(), m_nOddTaps)) return false;
        m_pBuffer = m_correlator.NewBuffer();
        if (!m_pBuffer) return false;
    }
    return true;
}

long HilbertFilter::BlockSamples() const {
    if (!UsesTransform()) return 1;
    return 2L * (FftCorrelator::SizeFor(m_nOddTaps) - m_nOddTaps + 1);
}

SampleSpan HilbertFilter::BlocksCovering(const SampleSpan& samples, long n) const {
    const SampleSpan wanted = samples.Within({0, n});
    if (wanted.Empty()) return {};
    return wanted.WholeUnits(BlockSamples()).Within({0, n});
}

SampleSpan HilbertFilter::Reads(const SampleSpan& samples, long n) const {
    const SampleSpan blocks = BlocksCovering(samples, n);
    if (blocks.Empty() || m_nOddTaps == 0) return {};
    const long half = HalfLength();
    const SampleSpan reach{-half, n + half};
    if (!UsesTransform()) return SampleSpan{blocks.first - half, blocks.end + half}.Within(reach);
    // A block starting at pair p0 holds x[2(p0 + q0) + 1 + i] for i below
    // twice the transform's size (see Apply).
    const long q0 = (m_nFirstOddTap - 1) / 2;
    const long lastBlock = blocks.LastUnitStart(BlockSamples());
    const long first = 2 * (blocks.first / 2 + q0) + 1;
    const long end = 2 * (lastBlock / 2 + q0) + 1 + 2L * FftCorrelator::SizeFor(m_nOddTaps);
    return SampleSpan{first, end}.Within(reach);
}

void HilbertFilter::Apply(KCOMPLEX_KFLOAT* pSignal, long n, ProgressReporter* pProgress, long nStride) const {
    Apply(pSignal, n, pProgress, nStride, {0, n});
}

void HilbertFilter::Apply(KCOMPLEX_KFLOAT* pSignal, long n, ProgressReporter* pProgress, long nStride,
                          const SampleSpan& samples) const {
    const SampleSpan blocks = BlocksCovering(samples, n);
    if (blocks.Empty()) return;
    if (m_nOddTaps == 0) {
        for (long i = blocks.first; i < blocks.end; ++i) {
            pSignal[i].im = 0.0;
            StepRange(pProgress, nStride, i, i + 1);
        }
        return;
    }
    if (!m_correlator.IsReady()) {
        ApplyDirect(pSignal, blocks, pProgress, nStride);
        return;
    }

    // With only odd taps, even outputs read only odd samples and odd outputs
    // only even ones:
    //     y[2p]   = sum_j t[j] · a[p + q0 + j],  a[i] = x[2i + 1],
    //     y[2p+1] = sum_j t[j] · b[p + q0 + j],  b[i] = x[2i + 2],
    // with t[j] = c[k0 + 2j] and k0 = 2·q0 + 1. a and b travel as the real and
    // imaginary parts of one block.
    const long half = HalfLength();
    const long q0 = (m_nFirstOddTap - 1) / 2;
    const long lowest = -half;  // the reach of the sum, and nothing beyond
    const long highest = n - 1 + half;
    const long pairs = (blocks.end + 1) / 2;
    const int size = m_correlator.Size();
    const long block = m_correlator.BlockOutputs();
    KCOMPLEX_DOUBLE* buffer = m_pBuffer.get();

    for (long p0 = blocks.first / 2; p0 < pairs; p0 += block) {
        const long first = 2 * (p0 + q0) + 1;  // x index of a[p0 + q0]
        for (int i = 0; i < size; ++i) {
            const long ia = first + 2L * i;
            const long ib = ia + 1;
            buffer[i].re = ia >= lowest && ia <= highest ? pSignal[ia].re : 0.0;
            buffer[i].im = ib >= lowest && ib <= highest ? pSignal[ib].re : 0.0;
        }
        m_correlator.Run(buffer);
        const long count = pairs - p0 < block ? pairs - p0 : block;
        for (long r = 0; r < count; ++r) {
            const long even = 2 * (p0 + r);
            pSignal[even].im = buffer[r].re;
            if (even + 1 < n) pSignal[even + 1].im = buffer[r].im;
        }
        const long end = 2 * (p0 + count) < n ? 2 * (p0 + count) : n;
        StepRange(pProgress, nStride, 2 * p0, end);
    }
}

void HilbertFilter::ApplyDirect(KCOMPLEX_KFLOAT* pSignal, const SampleSpan& samples,
                                ProgressReporter* pProgress, long nStride) const {
    // Odd taps only, each pair c[k], c[-k] = -c[k] taken together.
    const double* c = m_pCoefficients.get() + HalfLength();
    for (long i = samples.first; i < samples.end; ++i) {
        double sum = 0.0;
        for (long k = 1; k <= HalfLength(); k += 2) sum += c[k] * (pSignal[i + k].re - pSignal[i - k].re);
        pSignal[i].im = sum;
        StepRange(pProgress, nStride, i, i + 1);
    }
}
