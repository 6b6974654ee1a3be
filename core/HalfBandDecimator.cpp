#include "HalfBandDecimator.h"

#include <cmath>
#include <new>

namespace {

constexpr int kOddTaps = HalfBandDecimator::kHalfLength;  // k = -1023, -1021, ..., 1023
constexpr long kFirstOddTap = -(HalfBandDecimator::kHalfLength - 1);
// Output m reads the odd source samples a[m + q0 + j], j = 0 .. kOddTaps - 1.
constexpr long kQ0 = (kFirstOddTap - 1) / 2;

long BlockOutputs() { return FftCorrelator::SizeFor(kOddTaps) - kOddTaps + 1; }

}  // namespace

void HalfBandDecimator::MakeCoefficients(double* pCoefficients) {
    const double pi = 4.0 * std::atan(1.0);
    for (int k = -kHalfLength; k <= kHalfLength; ++k) {
        double h;
        if (k == 0) {
            h = 0.5;
        } else if (k % 2 == 0) {
            h = 0.0;
        } else {
            const double x = k * pi / 2.0;
            const double w = pi * k / 1024.0;
            h = 0.5 * (std::sin(x) / x) * std::exp(-2.0 * w * w);
        }
        pCoefficients[k + kHalfLength] = h;
    }
}

bool HalfBandDecimator::Init() {
    m_pCoefficients.reset(new (std::nothrow) double[kLength]);
    m_pOddTaps.reset(new (std::nothrow) double[kOddTaps]);
    if (!m_pCoefficients || !m_pOddTaps) return false;
    MakeCoefficients(m_pCoefficients.get());
    for (int j = 0; j < kOddTaps; ++j) m_pOddTaps[j] = m_pCoefficients[kFirstOddTap + 2 * j + kHalfLength];
    if (!m_correlator.Init(m_pOddTaps.get(), kOddTaps)) return false;
    m_pBuffer = m_correlator.NewBuffer();
    return m_pBuffer != nullptr;
}

long HalfBandDecimator::GroupOutputs() { return 2 * BlockOutputs(); }

SampleSpan HalfBandDecimator::GroupsCovering(const SampleSpan& outputs, long n) {
    const SampleSpan wanted = outputs.Within({0, Outputs(n)});
    if (wanted.Empty()) return {};
    return wanted.WholeUnits(GroupOutputs()).Within({0, Outputs(n)});
}

SampleSpan HalfBandDecimator::SourceRead(const SampleSpan& outputs, long n) {
    const SampleSpan groups = GroupsCovering(outputs, n);
    if (groups.Empty()) return {};
    const long lastGroup = groups.LastUnitStart(GroupOutputs());
    // The transform of a group holds a[m0 + q0 + i] for i below its size, in
    // its first and its second block.
    const long size = FftCorrelator::SizeFor(kOddTaps);
    const long first = 2 * (groups.first + kQ0) + 1;
    const long last = 2 * (lastGroup + BlockOutputs() + kQ0 + size - 1) + 1;
    return SampleSpan{first, last + 1}.Within({-kHalfLength, n + kHalfLength});
}

void HalfBandDecimator::Decimate(const KCOMPLEX_KFLOAT* pSrc, long n, KCOMPLEX_KFLOAT* pDst,
                                 ProgressReporter* pProgress, long nStride) const {
    Decimate(pSrc, n, pDst, pProgress, nStride, {0, Outputs(n)});
}

void HalfBandDecimator::Decimate(const KCOMPLEX_KFLOAT* pSrc, long n, KCOMPLEX_KFLOAT* pDst,
                                 ProgressReporter* pProgress, long nStride, const SampleSpan& outputs) const {
    const SampleSpan groups = GroupsCovering(outputs, n);
    if (groups.Empty()) return;
    // Output m = h[0]·x[2m] + sum_j t[j] · a[m + q0 + j], with the odd source
    // samples a[i] = x[2i + 1], t[j] = h[k0 + 2j] and k0 = 2·q0 + 1. Two
    // consecutive blocks of a travel as the real and imaginary parts of one
    // transform.
    const long q0 = kQ0;
    const long lowest = -kHalfLength;  // the reach of the sum, and nothing beyond
    const long highest = n - 1 + kHalfLength;
    const double centre = m_pCoefficients[kHalfLength];
    const int size = m_correlator.Size();
    const long block = m_correlator.BlockOutputs();
    KCOMPLEX_DOUBLE* buffer = m_pBuffer.get();

    auto odd = [&](long i) {
        const long x = 2 * i + 1;
        return x >= lowest && x <= highest ? pSrc[x].re : 0.0;
    };

    for (long m0 = groups.first; m0 < groups.end; m0 += 2 * block) {
        for (int i = 0; i < size; ++i) {
            buffer[i].re = odd(m0 + q0 + i);
            buffer[i].im = odd(m0 + block + q0 + i);
        }
        m_correlator.Run(buffer);
        const long end = groups.end - m0 < 2 * block ? groups.end : m0 + 2 * block;
        for (long m = m0; m < end; ++m) {
            const long r = m - m0;
            const double sum = r < block ? buffer[r].re : buffer[r - block].im;
            pDst[m].re = centre * pSrc[2 * m].re + sum;
        }
        if (pProgress != nullptr && nStride > 0) {
            // Steps for the even source indices e = 2m of this pair of blocks.
            for (long m = m0; m < end; ++m) {
                if ((2 * m) % nStride == 0) pProgress->StepIt();
            }
        }
    }
}
