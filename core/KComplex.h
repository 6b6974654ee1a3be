// The complex sample types shared by the signal core and the viewer.
#pragma once

// One complex sample of a signal store: two 64-bit doubles, the real part
// first and the imaginary part second (16 bytes, no padding).
struct KCOMPLEX_KFLOAT {
    double re;
    double im;
};

// One complex value of the FFT's buffer.
struct KCOMPLEX_DOUBLE {
    double re;
    double im;
};

static_assert(sizeof(KCOMPLEX_KFLOAT) == 16, "a signal sample is two doubles");
static_assert(sizeof(KCOMPLEX_DOUBLE) == 16, "an FFT value is two doubles");
