// The per-bin arithmetic of a sonogram column done four bins at a time: the
// level 10 log10(re^2 + im^2) - ref and the phase step arg(z1 conj(z0)), with
// a logarithm and an arctangent of their own (the classic minimax
// polynomials, within a few units in the last place of the C library's
// results). Zero, subnormal and non-finite inputs take the C library's path,
// so the special values are the same as there.
//
// The AVX2 version runs where cpu::UsableLevel() allows it; the portable
// version runs the same operations on two-lane SSE2 registers, so both give
// identical results.
#pragma once

#include "KComplex.h"

namespace sonogram {

// levels[k] = 10 log10|X[k]|^2 - refLevel for k < rows; phaseSteps[k] =
// arg(X[hi] conj(X[lo])) with hi = min(k + 1, rows - 1), lo = max(k - 1, 0).
void FastLevelsAndPhaseSteps(const KCOMPLEX_DOUBLE* spectrum, int rows, double refLevel, double* levels,
                             double* phaseSteps);

}  // namespace sonogram
