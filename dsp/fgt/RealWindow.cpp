#include "RealWindow.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace fgt {

namespace {

std::unique_ptr<double[]> TryAllocate(long n) {
    return std::unique_ptr<double[]>(new (std::nothrow) double[static_cast<size_t>(n)]);
}

}  // namespace

bool RealWindow::Slide(const SignalRef& signal, const RealCopy* copy, long lo, long hi) {
    const bool inCopy = copy != nullptr && lo >= copy->lo && hi <= copy->hi;
    const bool follows = m_nCapacity > 0 && lo >= m_nLo && lo < m_nHi && hi >= m_nHi;
    if (2 * (hi - lo) > m_nCapacity) {
        // A larger window (the last piece of a job never is): start afresh.
        m_nCapacity = 2 * (hi - lo);
        m_pReversed = TryAllocate(m_nCapacity);
        m_pForward.reset();
        if (!m_pReversed) return false;
        m_bForward = false;
        m_nHi = lo;
    } else if (!follows) {
        m_nHi = lo;
    }
    const long from = std::max(lo, m_nHi);
    // Reversed: sample n at m_nBackward - n, the window growing towards the start.
    if (from == lo) {
        m_nBackward = lo + m_nCapacity - 1;
    } else if (hi - 1 > m_nBackward) {
        const long base = lo + m_nCapacity - 1;
        std::memmove(m_pReversed.get() + (base - (from - 1)), m_pReversed.get() + (m_nBackward - (from - 1)),
                     static_cast<size_t>(from - lo) * sizeof(double));
        m_nBackward = base;
    }
    Fill(signal, copy, from, hi, m_pReversed.get() + m_nBackward, -1);
    if (inCopy) {
        m_pInPlace = copy->values.data() - copy->lo;
        m_bForward = false;
    } else {
        // Forward: sample n at n - m_nForward, the window growing towards the end.
        if (!m_pForward) {
            m_pForward = TryAllocate(m_nCapacity);
            if (!m_pForward) return false;
        }
        const long forwardFrom = m_bForward ? from : lo;
        if (forwardFrom == lo) {
            m_nForward = lo;
        } else if (hi - m_nForward > m_nCapacity) {
            std::memmove(m_pForward.get(), m_pForward.get() + (lo - m_nForward),
                         static_cast<size_t>(forwardFrom - lo) * sizeof(double));
            m_nForward = lo;
        }
        Fill(signal, copy, forwardFrom, hi, m_pForward.get() - m_nForward, 1);
        m_pInPlace = nullptr;
        m_bForward = true;
    }
    m_nLo = lo;
    m_nHi = hi;
    return true;
}

void RealWindow::Fill(const SignalRef& signal, const RealCopy* copy, long from, long end, double* at,
                      long direction) {
    if (copy != nullptr && from >= copy->lo && end <= copy->hi) {
        const double* x = copy->values.data() - copy->lo;
        for (long n = from; n < end; ++n) at[direction * n] = x[n];
    } else {
        for (long n = from; n < end; ++n) at[direction * n] = StoredReal(signal, n);
    }
}

}  // namespace fgt
