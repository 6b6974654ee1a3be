// A signal buffer for filter tests: n samples with a guard band on both
// sides, indexable from -guard to n + guard - 1 like a signal store, with
// helpers to fill it and to plant sentinels that show reads beyond a reach.
#pragma once

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "KComplex.h"

class GuardedSignal {
public:
    GuardedSignal(long n, long guard)
        : m_data(static_cast<size_t>(n + 2 * guard), {0.0, 0.0}), m_n(n), m_guard(guard) {}

    long size() const { return m_n; }
    long guard() const { return m_guard; }
    KCOMPLEX_KFLOAT* at0() { return m_data.data() + m_guard; }
    const KCOMPLEX_KFLOAT* at0() const { return m_data.data() + m_guard; }
    KCOMPLEX_KFLOAT& operator[](long i) { return m_data[static_cast<size_t>(i + m_guard)]; }
    const KCOMPLEX_KFLOAT& operator[](long i) const { return m_data[static_cast<size_t>(i + m_guard)]; }

    // Real parts uniform in [-1, 1] from `from` to `to` - 1 (guard indices allowed).
    void randomReal(long from, long to, unsigned seed) {
        std::mt19937_64 rng(seed);
        std::uniform_real_distribution<double> dist(-1.0, 1.0);
        for (long i = from; i < to; ++i) (*this)[i].re = dist(rng);
    }

    // Quiet NaN in both parts of every element outside [from, to): a filter
    // that reads there poisons its output.
    void poisonOutside(long from, long to) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        for (long i = -m_guard; i < m_n + m_guard; ++i) {
            if (i < from || i >= to) (*this)[i] = KCOMPLEX_KFLOAT{nan, nan};
        }
    }

private:
    std::vector<KCOMPLEX_KFLOAT> m_data;
    long m_n;
    long m_guard;
};
