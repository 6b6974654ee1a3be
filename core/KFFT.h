// CKFFT: the signal core's in-place, forward, unnormalised radix-4 Fourier
// transform of KCOMPLEX_DOUBLE blocks whose length is a power of 4 from 16 to
// 65536 (X[k] = sum over m of x[m]·exp(-2πi·m·k/n), point k holding X[k]).
//
// An object holds no data of its own: it is a handle whose lifetime keeps the
// process-wide quarter-wave cosine table alive. The first live object
// allocates the table, every construction refills it, and the last one to die
// frees it. Views that transform (the sonogram panes) derive from CKFFT, so
// the table lives while any of them exists. Everything here is meant for one
// thread at a time; fft itself only reads the shared tables.
#pragma once

#include "FonacoreApi.h"
#include "KComplex.h"

class FONACORE_API CKFFT {
public:
    CKFFT();
    // A copy is one more live handle, so it counts like a construction.
    CKFFT(const CKFFT& other);
    ~CKFFT();
    // Objects carry no state: assignment changes nothing.
    CKFFT& operator=(const CKFFT& other);

    // Transforms points 0..n-1 of data in place, natural order in and out.
    // Any n > 0 that is not one of 16, 64, 256, 1024, 4096, 16384, 65536 turns
    // the n points into +0 + 0i; n <= 0 leaves the buffer untouched. Needs a
    // live CKFFT (this one) for the shared tables. Runs AVX2/FMA code where
    // cpu::UsableLevel() allows it and a plain portable loop otherwise; both
    // give the same results to rounding.
    void fft(KCOMPLEX_DOUBLE* data, int n);

    // Read-only views of the shared state, for diagnostics and tests.
    static const double* GetCosinusTable() { return cosinus_table; }
    static double GetC21() { return C21; }
    static double GetMC21() { return MC21; }
    static int GetNConstructorsDestructors() { return KFFT_N_Constructors_Destructors; }

private:
    static double* cosinus_table;
    static double C21;
    static double MC21;
    static int KFFT_N_Constructors_Destructors;
};
