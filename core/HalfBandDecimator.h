// The half-band low-pass filter that makes each frequency layer from the one
// below it, and the decimation by two that goes with it. 2049 coefficients
// h[k], k = -1024 .. 1024:
//     h[0] = 0.5, h[k] = 0 for even k ≠ 0,
//     h[k] = 0.5 · (sin(kπ/2) / (kπ/2)) · exp(-2·(πk/1024)²) for odd k,
// symmetric, summing to 1; output m of a layer is
//     sum over k = -1024 .. 1024 of h[k] · (real part of source sample 2m + k).
//
// GUI-free; the film connects it to the progress dialog. Apart from the
// centre tap only odd taps are non-zero, so the sum runs over the odd source
// samples at the output rate, two blocks of them in one complex transform.
#pragma once

#include <memory>

#include "FftCorrelator.h"
#include "FonacoreApi.h"
#include "KComplex.h"
#include "ProgressReporter.h"
#include "SampleSpan.h"

class FONACORE_API HalfBandDecimator {
public:
    static constexpr int kLength = 2049;
    static constexpr int kHalfLength = 1024;

    // Fills the 2049 coefficients into `pCoefficients` (index k + 1024), for
    // k = -1024 .. 1024 in rising order.
    static void MakeCoefficients(double* pCoefficients);

    // Obtains the coefficients and the transform's work space; false when
    // memory runs short.
    bool Init();

    // h[k] at index k + 1024; null before Init.
    const double* Coefficients() const { return m_pCoefficients.get(); }

    // The number of outputs from a source of n samples: one for every even
    // source index, ⌈n/2⌉.
    static long Outputs(long n) { return n > 0 ? (n + 1) / 2 : 0; }

    // Outputs are computed in groups of GroupOutputs() (two transform blocks
    // side by side), group g starting at output g · GroupOutputs(). The
    // rounding of an output depends on every value its group reads, so a
    // part of a layer computed alone has the whole layer's values bit for
    // bit only when it is computed in the same groups from the same source.
    static long GroupOutputs();
    // The outputs of the groups that hold any of `outputs`, within
    // 0 .. Outputs(n) - 1.
    static SampleSpan GroupsCovering(const SampleSpan& outputs, long n);
    // The source samples computing the groups GroupsCovering(outputs, n)
    // reads: from 2·first − 1023 to 2·last + 1023 of their outputs, whole
    // groups, within the reach −1024 .. n − 1 + 1024 of the sum.
    static SampleSpan SourceRead(const SampleSpan& outputs, long n);

    // Writes the real parts of outputs 0 .. Outputs(n) - 1 into `pDst`,
    // reading the real parts of `pSrc` from -1024 to n-1+1024 (the source's
    // guard bands). After output m it calls `pProgress->StepIt()` when 2m is
    // a multiple of `nStride` (ascending; `pProgress` may be null). Needs a
    // successful Init.
    void Decimate(const KCOMPLEX_KFLOAT* pSrc, long n, KCOMPLEX_KFLOAT* pDst, ProgressReporter* pProgress,
                  long nStride) const;
    // The same for the groups that hold `outputs` only: their outputs are
    // written, and only SourceRead(outputs, n) of the source is read.
    void Decimate(const KCOMPLEX_KFLOAT* pSrc, long n, KCOMPLEX_KFLOAT* pDst, ProgressReporter* pProgress,
                  long nStride, const SampleSpan& outputs) const;

private:
    std::unique_ptr<double[]> m_pCoefficients;
    std::unique_ptr<double[]> m_pOddTaps;  // h[-1023], h[-1021], ..., h[1023]
    FftCorrelator m_correlator;
    std::unique_ptr<KCOMPLEX_DOUBLE[]> m_pBuffer;
};
