// One signal: one channel of one frequency layer, held as a contiguous array
// of complex samples in a temporary file mapped into memory.
//
// The array carries a zero guard band of S samples before and after the N
// signal samples: element 0..S-1 guard band, S..S+N-1 the signal,
// S+N..N+2S-1 guard band. GetFirstComplexSample() points at element S, so
// signal sample n is element n of that pointer and the valid indices
// relative to it are -S .. N+S-1. The guard band is five widest FGT windows
// long (plus one sample), and never shorter than 1025 samples, so that the
// 2049-tap filters run over both ends against zeros.
//
// The object owns its store and its temporary file; DeleteKWave or the
// destructor unmaps the array and removes the file. Creation and deletion
// happen on the user-interface thread.
#pragma once

#include <string>

#include "FonacoreApi.h"
#include "KComplex.h"
#include "SampleSpan.h"
#include "TempFileMapping.h"

class FONACORE_API CKWave {
public:
    CKWave();
    virtual ~CKWave();
    CKWave(const CKWave&) = delete;
    CKWave& operator=(const CKWave&) = delete;

    // How a store's file takes its disk: all of it when the store is made
    // (a signal that is filled whole), or only the stretches ReserveSamples
    // reserves (a signal of which only a stretch is ever written: the rest
    // reads as zeros and takes neither disk nor memory).
    enum class Backing { Reserved, Sparse };

    // Creates the zeroed store for nSamples samples at the rate frADC in a new
    // temporary file in `folder`. Returns the store's byte size (> 0), 0 on
    // failure (after a message where the cause is a file, mapping or view),
    // or -1 when nSamples exceeds kMaxSamples or the guard band cannot be
    // made. A store this signal already had is released first.
    long long CreateKWave(const std::string& folder, double frADC, int nBitsPerSample, long nSamples,
                          double frequency, Backing backing = Backing::Reserved);
    // Reserves the samples `span` (within -S .. N+S-1) of a sparse store
    // before anything is written there; true at once for a reserved store.
    // False, after a message, when the disk cannot give them.
    bool ReserveSamples(const SampleSpan& span);
    // Releases the store and removes its temporary file; harmless when there is none.
    void DeleteKWave();

    double GetFrADC() const { return m_dFrADC; }
    int GetNBitsPerSample() const { return m_nBitsPerSample; }
    long GetNSamples() const { return m_nSamples; }
    long GetNSamplesTotal() const { return m_nSamplesTotal; }
    int GetStartSampleNumber() const { return m_nStartSampleNumber; }
    KCOMPLEX_KFLOAT* GetFirstComplexSample() const { return m_pFirstComplexSample; }

    // FrADC*t + 0.5 truncated toward zero; no range check. Results beyond the
    // range of int saturate at its ends (and NaN gives INT_MIN), so that they
    // never count as valid samples.
    int GetSampleNumberFromTime(double t) const;
    // True when 0 <= n + S < N + 2S: guard-band samples count as valid.
    bool IsSampleValid(int n) const;
    // The sample at time t when it is valid, else null.
    KCOMPLEX_KFLOAT* GetComplexSampleInTime(double t) const;

    // Set by a successful CreateKWave; DeleteKWave does not clear it.
    bool IsRealPartOfSignalReady() const { return m_bRealPartOfSignalReady; }
    bool IsSignalRealyComplex() const { return m_bSignalRealyComplex; }
    // The widest FGT window, sigma = 1/((2^(1/48) - 1) * 2pi * 2^3) seconds.
    static double GetMaxSigmaTforFGT();
    // The guard band S a store at the rate frADC gets, or -1 when it would
    // not fit in half the range of int.
    static int GetGuardBandFor(double frADC);
    // The most samples a store holds: sample numbers are ints.
    static constexpr long kMaxSamples = 2147483647L;
    // The byte size of the store CreateKWave makes for nSamples samples at
    // frADC, guard bands included (64-bit: a store of an hour of stereo at
    // 48 kHz is several gigabytes), or -1 beyond kMaxSamples or the guard band.
    static long long GetStoreBytesFor(double frADC, long nSamples);

    // Fills the imaginary parts of samples 0..N-1 with the Hilbert transform
    // of the real parts (once; later calls return true at once). False when
    // memory for the filter ran short.
    bool CalculateImaginaryPartOfSignal();
    // The same for the filter's blocks that hold `samples` only (see
    // HilbertFilter::Apply): the signal then counts as complex, but only
    // those samples have their imaginary parts.
    bool CalculateImaginaryPartOfSignal(const SampleSpan& samples);
    // The length of the Hilbert filter the imaginary parts are computed
    // with: the store's filter, shortened to what the guard bands hold.
    int GetAnalyticFilterLength() const;

    // The full name of the temporary file of the last store this process
    // created (or tried to create).
    static std::string cWorkBuffer;

protected:
    double m_dFrADC = 0.0;
    int m_nBitsPerSample = 0;
    double m_dFrequency = 0.0;
    std::string m_strTempPath;
    TempFileMapping m_TempFile;
    KCOMPLEX_KFLOAT* m_pView = nullptr;
    long m_nSamplesTotal = 0;
    int m_nStartSampleNumber = 0;
    KCOMPLEX_KFLOAT* m_pFirstComplexSample = nullptr;
    long m_nSamples = 0;
    bool m_bRealPartOfSignalReady = false;
    bool m_bSignalRealyComplex = false;
    bool m_bSparse = false;
    int m_nAnalyticFilterLength = 0;
    std::string m_strStatusText;
};
