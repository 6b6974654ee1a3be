// The inner loops of the FGT: for a run of analysis points of one row, the
// two sums of the Gaussian-windowed cosine and sine with the real parts of the
// signal, turned into dB. Four analysis points share every load of the kernel.
#pragma once

namespace fgt {

// For each of the `count` analysis points k, with the window starting at
// base + starts[k]:  A = Σ_i windowedCos[i]·x[i], B = Σ_i windowedSin[i]·x[i]
// over i = 0 .. taps-1, and out[k] = 10·log10(A² + B²). `taps` must be a
// multiple of 4 (pad the kernel with zero taps), and every window must be
// readable for `taps` values.
void RowValuesPortable(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                       const int* starts, int count, double* out);
// The same with AVX2/FMA vectors; call only when Avx2Available() is true.
void RowValuesAvx2(const double* windowedCos, const double* windowedSin, int taps, const double* base,
                   const int* starts, int count, double* out);

}  // namespace fgt
