// Correlation of complex blocks with a fixed set of real taps by fast
// transform (overlap-save): for a block s of Size() points,
//     out[r] = sum over j < T of taps[j] · s[r + j],   r = 0 .. BlockOutputs() - 1,
// with BlockOutputs() = Size() - T + 1. Because the taps are real, the real
// and imaginary parts of s are filtered independently, so one transform pair
// filters two real sequences at once.
//
// GUI-free. An initialised object is read-only, so several threads may run
// blocks at once, each in a buffer of its own.
#pragma once

#include <memory>

#include "FonacoreApi.h"
#include "KComplex.h"
#include "KFFT.h"

class FONACORE_API FftCorrelator {
public:
    // Takes a copy of the taps' spectrum. `nFftSize` 0 chooses the smallest
    // supported transform of at least four times the taps; otherwise it must
    // be a supported length greater than the taps. Returns false when memory
    // runs short or the taps do not fit the largest transform.
    bool Init(const double* pTaps, int nTaps, int nFftSize = 0);

    bool IsReady() const { return m_pSpectrum != nullptr; }
    int Size() const { return m_nSize; }
    int Taps() const { return m_nTaps; }
    int BlockOutputs() const { return m_nSize - m_nTaps + 1; }

    // A buffer of Size() points for Run, or null when memory runs short.
    std::unique_ptr<KCOMPLEX_DOUBLE[]> NewBuffer() const;

    // Filters `pBuffer` in place: on entry its Size() points hold the block s,
    // on exit points 0 .. BlockOutputs() - 1 hold out (the rest is scratch).
    void Run(KCOMPLEX_DOUBLE* pBuffer) const;

    // The largest number of taps any supported transform can take.
    static int MaxTaps();
    // The transform length Init chooses for `nTaps` taps when none is given;
    // 0 when they do not fit the largest transform.
    static int SizeFor(int nTaps);

private:
    mutable CKFFT m_fft;  // keeps the transform's shared tables alive
    std::unique_ptr<KCOMPLEX_DOUBLE[]> m_pSpectrum;
    int m_nSize = 0;
    int m_nTaps = 0;
};
