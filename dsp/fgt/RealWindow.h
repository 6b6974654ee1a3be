// The real parts of the samples that one computation of an FGT row's values
// on demand reads for its current piece of points, lo .. hi-1 (zero outside
// the stored range), forward and reversed as the sums read them. The window
// only moves forward. The forward parts are read in place from a copy of
// the real parts (RealCopy) when it holds the whole window. Each array has
// room for two windows: a new window keeps the samples it shares with the
// last one where they are and adds the others from the copy or the signal,
// until the room is used up and the kept ones are moved to the other end
// once. The computation owns it for the length of one call.
#pragma once

#include <memory>

#include "FGTComputation.h"
#include "FGTSums.h"

namespace fgt {

class RealWindow {
public:
    // The real part of sample n, zero outside the stored range.
    static double StoredReal(const SignalRef& signal, long n) {
        return n >= -static_cast<long>(signal.guard) && n < signal.nSamples + signal.guard
                   ? signal.first[n].re
                   : 0.0;
    }

    // Moves the window to samples lo .. hi-1 (lo and hi no smaller than
    // before), reading from `copy` where it holds them; false when memory
    // ran short.
    bool Slide(const SignalRef& signal, const RealCopy* copy, long lo, long hi);
    // The window as the sums read it.
    RealSignal View() const {
        return RealSignal{m_pInPlace != nullptr ? m_pInPlace : m_pForward.get() - m_nForward,
                          m_pReversed.get() + m_nBackward};
    }

private:
    // Samples from .. end-1 into at[direction·n], from the copy where it holds them.
    static void Fill(const SignalRef& signal, const RealCopy* copy, long from, long end, double* at,
                     long direction);

    std::unique_ptr<double[]> m_pForward;
    std::unique_ptr<double[]> m_pReversed;
    const double* m_pInPlace = nullptr;
    long m_nCapacity = 0;
    bool m_bForward = false;  // the forward array holds the last window
    long m_nForward = 0;      // forward: sample n at n - m_nForward
    long m_nBackward = 0;     // reversed: sample n at m_nBackward - n
    long m_nLo = 0;
    long m_nHi = 0;
};

}  // namespace fgt
