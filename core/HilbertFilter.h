// The Gaussian-windowed Hilbert filter that turns a real signal into its
// analytic signal: for a filter of length L (half-length M = L/2) the
// coefficients are
//     c[0] = 0, c[k] = 0 for even k,
//     c[k] = -(2/(πk)) · exp(-2·(πk/1024)²) for odd k, k = -M .. M,
// an odd sequence, and the imaginary part of sample n becomes
//     sum over k = -M .. M of c[k] · (real part of sample n + k).
// A real cos(ωn) thus gains the imaginary part sin(ωn).
//
// GUI-free; the signal's class connects it to the progress dialog. Only the
// odd taps are non-zero, so the even and the odd samples of the signal are
// filtered separately at half the rate, both in one complex transform.
#pragma once

#include <memory>

#include "FftCorrelator.h"
#include "FonacoreApi.h"
#include "KComplex.h"
#include "ProgressReporter.h"
#include "SampleSpan.h"

class FONACORE_API HilbertFilter {
public:
    // A filter of `nLength` taps (the signal's analytic filter length).
    explicit HilbertFilter(int nLength = 2049);

    // Fills the L coefficients c[-M] .. c[M] into `pCoefficients` (index k + M),
    // in the order of rising |k|.
    static void MakeCoefficients(int nLength, double* pCoefficients);

    // Obtains the coefficients and the transform's work space; false when
    // memory runs short.
    bool Init();

    int Length() const { return m_nLength; }
    int HalfLength() const { return m_nLength / 2; }
    // c[k] at index k + M; null before Init.
    const double* Coefficients() const { return m_pCoefficients.get(); }

    // Writes the imaginary parts of samples 0 .. n-1 of `pSignal` from their
    // real parts, which it reads from index -M to n-1+M (the signal's guard
    // bands supply those beyond the ends). After computing sample i it calls
    // `pProgress->StepIt()` when i is a multiple of `nStride` (ascending;
    // `pProgress` may be null). Needs a successful Init.
    void Apply(KCOMPLEX_KFLOAT* pSignal, long n, ProgressReporter* pProgress, long nStride) const;

    // Samples are computed in blocks of BlockSamples(), block b starting at
    // sample b · BlockSamples(): pairs of even and odd samples in one
    // transform, or one sample at a time where the filter is too long for
    // the transform. The rounding of a sample depends on every value its
    // block reads, so a part of a signal computed alone has the whole
    // signal's values bit for bit only when it is computed in the same
    // blocks from the same real parts.
    long BlockSamples() const;
    // The samples of the blocks that hold any of `samples`, within 0 .. n-1.
    SampleSpan BlocksCovering(const SampleSpan& samples, long n) const;
    // The real parts computing BlocksCovering(samples, n) reads, within the
    // reach -M .. n-1+M of the sum.
    SampleSpan Reads(const SampleSpan& samples, long n) const;
    // Apply for the blocks that hold `samples` only: their imaginary parts
    // are written, and only Reads(samples, n) is read.
    void Apply(KCOMPLEX_KFLOAT* pSignal, long n, ProgressReporter* pProgress, long nStride,
               const SampleSpan& samples) const;

private:
    // The transform serves filters of up to a quarter of its longest taps.
    bool UsesTransform() const { return m_nOddTaps > 0 && m_nOddTaps <= FftCorrelator::MaxTaps() / 4; }

    void ApplyDirect(KCOMPLEX_KFLOAT* pSignal, const SampleSpan& samples, ProgressReporter* pProgress,
                     long nStride) const;

    int m_nLength;
    std::unique_ptr<double[]> m_pCoefficients;
    // The odd taps c[kFirst], c[kFirst + 2], ... and their correlator.
    std::unique_ptr<double[]> m_pOddTaps;
    int m_nOddTaps = 0;
    int m_nFirstOddTap = 0;
    FftCorrelator m_correlator;
    std::unique_ptr<KCOMPLEX_DOUBLE[]> m_pBuffer;
};
