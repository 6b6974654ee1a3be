// The FGT of a signal without any window: a constant-Q analysis with
// Gaussian windows on a grid of 48 frequency rows per octave from 8 Hz up to
// half the sampling rate. Row j has the frequency f_j = 2^((144 + j)/48) Hz
// and a Gaussian of time standard deviation σ_j = P / (2π f_j); the row is
// sampled along the whole signal at the time step σ_j, so value k of row j
// belongs to time k·σ_j (the time accumulated by repeated addition) and is
// centred on the sample nearest to it.
//
// The FGT pane owns the arrays (frequencies, σ, row lengths, levels and
// pixels) and calls these functions to fill them; everything here can be
// tested and benchmarked alone. Levels are stored row after row: row 0's L_0
// values, then row 1's, and so on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CpuFeatures.h"
#include "KComplex.h"

namespace fgt {

struct RowImage;

constexpr int kRowsPerOctave = 48;
// Grid step of the lowest row: 2^(144/48) = 8 Hz.
constexpr int kFirstStep = 144;

// The signal to analyse: sample n is first[n]; indices -guard .. nSamples +
// guard - 1 are readable (the guard bands read as zero). Only real parts are used.
struct SignalRef {
    const KCOMPLEX_KFLOAT* first = nullptr;
    long nSamples = 0;
    double frADC = 0.0;
    int guard = 0;
};

// Number of rows R for the sampling rate `frADC`: the top grid step is
// trunc(48·ln(Fs/2)/ln 2); 0 when half the rate is below 8 Hz.
int RowCount(double frADC);
// Frequency of row `row` in Hz.
double RowFrequency(int row);
// Time standard deviation (and time step) of a row of frequency `frequency`.
double RowSigmaT(double P, double frequency);
// Number of values of a row: trunc(duration / σ), as a double so that a
// length beyond the range of int can be detected before it is used.
double RowLengthExact(long nSamples, double frADC, double sigmaT);
// Kernel half-length E = trunc(Fs·σ·5) in samples, limited to guard - 1 so
// that the taps -E .. E-1 around any analysis point 0 .. N stay inside the
// stored range of the signal (wide kernels of large P are cut there).
int KernelHalfLength(double frADC, double sigmaT, int guard);

// Fills the frequency, σ and length of every row for parameter `P`. The sum of
// all lengths is returned in `total`. Returns false, leaving `total` at the
// exact (possibly huge) sum, when a row length or the total does not fit an int.
bool FillGrid(double P, const SignalRef& signal, int nRows, double* frequency, double* sigmaT, int* rowLength,
              double& total);

// Bytes the whole computation needs at its peak for `total` values, `nRows`
// rows and `threads` worker threads: levels, pixels, the grid, the real
// parts of the signal and the per-thread kernel and work arrays.
double RequiredBytes(double total, int nRows, const SignalRef& signal, int threads);
// Bytes of memory this process can still get: the machine's available memory
// as the system reports it (else the free physical memory), and no more than
// its address-space limit leaves.
double AvailableBytes();
// The text shown when an FGT would need more memory than there is.
std::string MemoryRefusalText(double requiredBytes, double availableBytes);
// The text shown when a row would have more values than an index reaches:
// the row of `frequency` Hz would have `length` values.
std::string RowTooLongText(double frequency, double length);

// Kernel of one row into arrays of 2·guard + 1 doubles, tap m at guard + m, for
// m = first .. end-1 (the whole kernel is -E .. E-1): gauss[m] =
// exp(-0.5·(m/Fs/σ)²)/(σ·2π), cosine[m] = cos(2πf·m/Fs), sine[m] =
// sin(2πf·m/Fs). Entries outside the taps are left unchanged.
void BuildKernel(double frADC, double frequency, double sigmaT, int first, int end, int guard, double* gauss,
                 double* cosine, double* sine);

// Sample numbers of the `count` analysis points of a row: the time starts at
// 0 and grows by σ at each point; the point is the sample nearest to it
// (trunc(t·Fs + 0.5)), never beyond `nSamples`.
void AnalysisPoints(double frADC, double sigmaT, int count, long nSamples, int* points);

// The forward 8-point moving average of one row, in place: value k becomes the
// mean of values k .. k+7 for k = 0 .. L-9; the last 8 values stay.
void SmoothRow(double* values, int count);

// Grey level of `level` between `lower` (white, 255) and `upper` (black, 0);
// the pixel has the grey in its blue, green and red bytes. Equal levels and
// NaN give black.
uint32_t LevelToPixel(double level, double lower, double upper);

// The pixels of `count` levels, LevelToPixel for each; large images are
// shared between `threads` threads, joined before it returns. Every
// instruction-set level gives the same pixels bit for bit.
void BuildImage(const double* levels, uint32_t* pixels, long count, double lower, double upper,
                int threads = 2);

// Computes every row's values in dB (10·log10(A² + B²), A and B the sums of
// the Gaussian-windowed cosine and sine with the real parts around each
// analysis point) and smooths them, writing them row after row into `levels`;
// with an `image` (whose pixels match `levels` value for value) it maps them
// to grey as BuildImage does, while they are still in the cache.
// The rows are shared between `threads` threads (1 or more) that are joined
// before it returns. The inner loops run plain C++ with several independent
// accumulators, or AVX2/FMA vectors (the logarithms AVX-512 ones) as far as
// cpu::UsableLevel() allows; every level gives the same values to rounding.
// Returns false when memory for the work arrays ran short.
bool ComputeLevels(const SignalRef& signal, int nRows, const double* frequency, const double* sigmaT,
                   const int* rowLength, double* levels, int threads, const RowImage* image = nullptr);

// The values of a row of `length` values that a pane `width` pixels wide
// draws with the cursor at time `cursorTime`: the row is placed so that its
// value trunc(t/σ) lands on the centre line x = width / 2, value k at x + k;
// values first .. last-1 fall inside the pane (none when first >= last, also
// for a cursor beyond any row).
struct DrawnSpan {
    long long x = 0;
    long long first = 0;
    long long last = 0;
};
DrawnSpan DrawnValues(int width, double cursorTime, double sigmaT, int length);
// The lowest row a pane `height` pixels high shows: row i is drawn at
// y = rows - i, so rows from this one up to rows - 1 are inside it.
int LowestDrawnRow(int rows, int height);

// The kernel of one row folded about its centre as the sums read it, made
// once and shared by every computation of the row's values.
struct RowKernel {
    double frequency = 0.0;
    double sigmaT = 0.0;
    int E = 0;  // no taps: the values are -inf
    std::vector<double> foldedCos;
    std::vector<double> foldedSin;
    double edgeCos = 0.0;
    double edgeSin = 0.0;
};
// The kernel of the row of `frequency` and `sigmaT`; false when memory ran short.
bool MakeRowKernel(const SignalRef& signal, double frequency, double sigmaT, RowKernel& kernel);

// The real parts of samples lo .. hi-1 of a signal in one contiguous array
// (zero outside its stored range), made once and read by the computations of
// many rows: the rows of a pane read the same stretch of signal around the
// cursor, and these doubles are half the bytes of the stored complex samples.
struct RealCopy {
    long lo = 0;
    long hi = 0;
    std::vector<double> values;  // sample n at n - lo
};
// Copies samples lo .. hi-1; false when memory ran short.
bool MakeRealCopy(const SignalRef& signal, long lo, long hi, RealCopy& copy);
// Samples the computation of values first .. first+count-1 of a row of time
// step `sigmaT` reads: lo .. hi-1.
void SamplesRead(const SignalRef& signal, double sigmaT, long long first, long long count, long& lo,
                 long& hi);

// Computes values first .. first+count-1 of the row of `kernel` before the
// smoothing, in dB, bit for bit as ComputeLevels's pass over the whole row
// gives them; `first` must be a multiple of 8 and first + count either a
// multiple of 8 or the row's length, `level` the one ComputeLevels runs at.
// Reads only the signal around these points: from `copy` where it holds
// them, else from the signal. `cancelled`, when given, is asked before each
// piece of points (a few tens of thousands of samples, or eight points
// where those read more; values are written a piece at a time): once
// it says yes the computation stops, leaving the later values unwritten, and
// returns true. False when memory for its work arrays ran short.
bool ComputeValues(const SignalRef& signal, const RowKernel& kernel, int first, int count, double* out,
                   cpu::Level level, const RealCopy* copy = nullptr,
                   const std::function<bool()>& cancelled = {});

}  // namespace fgt
