// CKFFT: the shared tables' lifetime and the choice of kernel.
#include "KFFT.h"

#include <cmath>
#include <new>

#include "CpuFeatures.h"
#include "KFFTKernels.h"

double* CKFFT::cosinus_table = nullptr;
double CKFFT::C21 = 0.0;
double CKFFT::MC21 = 0.0;
int CKFFT::KFFT_N_Constructors_Destructors = 0;

namespace {

// The vector kernel's twiddles, derived from the cosine table; allocated and
// freed together with it.
KCOMPLEX_DOUBLE* packedTwiddles = nullptr;

}  // namespace

CKFFT::CKFFT() {
    const bool allocate = KFFT_N_Constructors_Destructors == 0;
    if (allocate) cosinus_table = new double[kfft::kTableEntries];
    ++KFFT_N_Constructors_Destructors;

    // 2π rounded to double once; each angle i·2π·2^-16 is formed in extended
    // precision and its cosine stored as double.
    const double twoPi = 8.0 * std::atan(1.0);
    for (int i = 0; i < kfft::kTableEntries; ++i) {
        const long double angle = static_cast<long double>(i) * static_cast<long double>(twoPi) * 0x1p-16L;
        cosinus_table[i] = static_cast<double>(std::cos(angle));
    }
    C21 = cosinus_table[kfft::kQuarter / 2];
    MC21 = -C21;

    // Refilling gives the same table, so the packed twiddles are built once
    // per allocation.
    if (allocate) {
        packedTwiddles = static_cast<KCOMPLEX_DOUBLE*>(
            ::operator new (kfft::kPackedTwiddles * sizeof(KCOMPLEX_DOUBLE), std::align_val_t{64}));
        kfft::FillPackedTwiddles(packedTwiddles, cosinus_table);
    }
}

CKFFT::CKFFT(const CKFFT& /*other*/) : CKFFT() {}

CKFFT::~CKFFT() {
    if (--KFFT_N_Constructors_Destructors == 0) {
        delete[] cosinus_table;
        cosinus_table = nullptr;
        ::operator delete (packedTwiddles, std::align_val_t{64});
        packedTwiddles = nullptr;
    }
}

CKFFT& CKFFT::operator=(const CKFFT& /*other*/) { return *this; }

void CKFFT::fft(KCOMPLEX_DOUBLE* data, int n) {
    if (n <= 0) return;
    const int passes = kfft::PassCount(n);
    if (passes == 0) {
        for (int i = 0; i < n; ++i) data[i] = KCOMPLEX_DOUBLE{0.0, 0.0};
        return;
    }
    // A live object always has the table; this only guards a call through a
    // handle that was already destroyed.
    if (cosinus_table == nullptr) return;

    if (packedTwiddles != nullptr && cpu::UsableLevel() >= cpu::Level::Avx2)
        kfft::TransformAvx2(data, n, packedTwiddles, C21, MC21);
    else
        kfft::TransformPortable(data, n, passes, cosinus_table, C21, MC21);
}
