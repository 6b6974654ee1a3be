#include "FGTComputation.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "CpuFeatures.h"
#include "FGTSums.h"
#include "GreyPixel.h"
#include "MemoryPrefault.h"
#include "RealWindow.h"

namespace fgt {

namespace {

double TwoPi() { return 8.0 * std::atan(1.0); }

// Zero values after the copied real parts: a kernel padded to a multiple of
// four taps reads up to three values past its last real tap, and sums taken
// at every sample of a group of sixteen up to fifteen past the last point.
constexpr long kRealPadding = 20;

long RoundUpToFour(long n) { return (n + 3) / 4 * 4; }

// Samples the sums read beyond a point besides the kernel: where points lie
// close, sums are taken for groups of sixteen samples from the first point.
constexpr long kDenseGroupSpan = 16;

template <typename T>
std::unique_ptr<T[]> TryAllocate(long n) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(n)]);
}

// Samples a piece of the values computed on demand reads at most (unless
// eight points need more): its window then stays in the second-level cache.
constexpr double kPieceSamples = 65536.0;

// Samples the sums read on either side of an analysis point with a kernel
// of half-length E, besides the points themselves.
long SampleMargin(int E) { return RoundUpToFour(E) + E + 2L * kDenseGroupSpan; }

// Work arrays of one thread: the kernel of the current row in its three
// parts and folded about its centre as the sums read it.
struct RowWorkspace {
    std::unique_ptr<double[]> m_pGauss;
    std::unique_ptr<double[]> m_pCos;
    std::unique_ptr<double[]> m_pSin;
    std::unique_ptr<double[]> foldedCos;
    std::unique_ptr<double[]> foldedSin;

    bool Allocate(int guard) {
        const long kernel = 2L * guard + 1;
        m_pGauss = TryAllocate<double>(kernel);
        m_pCos = TryAllocate<double>(kernel);
        m_pSin = TryAllocate<double>(kernel);
        foldedCos = TryAllocate<double>(RoundUpToFour(guard));
        foldedSin = TryAllocate<double>(RoundUpToFour(guard));
        return m_pGauss && m_pCos && m_pSin && foldedCos && foldedSin;
    }
};

// The real parts of the signal in two contiguous arrays, forward and
// reversed, so that the sums read consecutive doubles on both sides of a
// point: samples -S .. N+S-1, then zero padding.
struct RealParts {
    std::unique_ptr<double[]> forward;
    std::unique_ptr<double[]> reversed;
    RealSignal view{};

    bool Copy(const SignalRef& signal) {
        const long S = signal.guard;
        const long stored = signal.nSamples + 2 * S;
        forward = TryAllocate<double>(stored + kRealPadding);
        reversed = TryAllocate<double>(stored + kRealPadding);
        if (!forward || !reversed) return false;
        const KCOMPLEX_KFLOAT* from = signal.first - S;
        const size_t bytes = static_cast<size_t>(stored) * sizeof(double);
        auto copyReversed = [this, from, stored, bytes] {
            platform::PrefaultForWriting(reversed.get(), bytes);
            for (long i = 0; i < stored; ++i) reversed[i] = from[stored - 1 - i].re;
        };
        // Both copies at once; without a second thread, one after the other.
        std::thread helper;
        try {
            helper = std::thread(copyReversed);
        } catch (const std::system_error&) {
            copyReversed();
        }
        platform::PrefaultForWriting(forward.get(), bytes);
        for (long i = 0; i < stored; ++i) forward[i] = from[i].re;
        if (helper.joinable()) helper.join();
        std::fill(forward.get() + stored, forward.get() + stored + kRealPadding, 0.0);
        std::fill(reversed.get() + stored, reversed.get() + stored + kRealPadding, 0.0);
        // Sample n is forward[S + n] and reversed[stored - 1 - S - n].
        view = RealSignal{forward.get() + S, reversed.get() + (stored - 1 - S)};
        return true;
    }
};

void ComputeRow(const SignalRef& signal, const RealSignal& real, double frequency, double sigmaT, int length,
                double* out, const RowImage* image, RowWorkspace& work, cpu::Level level) {
    const int E = KernelHalfLength(signal.frADC, sigmaT, signal.guard);
    if (E <= 0) {
        // No taps: both sums are zero.
        const double silence = -std::numeric_limits<double>::infinity();
        std::fill(out, out + length, silence);
        if (image != nullptr)
            std::fill(image->pixels, image->pixels + length,
                      LevelToPixel(silence, image->lower, image->upper));
        return;
    }
    const int S = signal.guard;
    // Only the taps the folded sums use: 0 .. E-1, and -E, which has no partner.
    BuildKernel(signal.frADC, frequency, sigmaT, 0, E, S, work.m_pGauss.get(), work.m_pCos.get(),
                work.m_pSin.get());
    BuildKernel(signal.frADC, frequency, sigmaT, -E, -E + 1, S, work.m_pGauss.get(), work.m_pCos.get(),
                work.m_pSin.get());
    // The Gaussian and the cosine are even in the tap, the sine odd: the
    // taps m and -m share the products of tap m. Tap 0 meets itself, so its
    // cosine part is halved (exactly); its sine part is zero.
    const int folded = static_cast<int>(RoundUpToFour(E));
    double* fc = work.foldedCos.get();
    double* fs = work.foldedSin.get();
    for (int m = 0; m < E; ++m) {
        const double g = work.m_pGauss[S + m];
        fc[m] = g * work.m_pCos[S + m];
        fs[m] = g * work.m_pSin[S + m];
    }
    fc[0] *= 0.5;
    std::fill(fc + E, fc + folded, 0.0);
    std::fill(fs + E, fs + folded, 0.0);
    const double edge = work.m_pGauss[S - E];
    const FoldedKernel kernel{fc, fs, folded, E, edge * work.m_pCos[S - E], edge * work.m_pSin[S - E]};

    const RowPoints points{signal.frADC, sigmaT, signal.nSamples};
    if (level == cpu::Level::Avx512)
        RowLevelsAvx512(kernel, real, points, length, out, image);
    else if (level == cpu::Level::Avx2)
        RowLevelsAvx2(kernel, real, points, length, out, image);
    else
        RowLevelsPortable(kernel, real, points, length, out, image);
}

}  // namespace

int RowCount(double frADC) {
    if (!(frADC > 0.0) || !std::isfinite(frADC)) return 0;
    const double top = std::trunc(kRowsPerOctave * std::log(frADC * 0.5) / std::log(2.0));
    const double rows = top - (kFirstStep - 1);
    if (rows <= 0.0) return 0;
    return rows > INT_MAX ? INT_MAX : static_cast<int>(rows);
}

double RowFrequency(int row) { return std::pow(2.0, static_cast<double>(kFirstStep + row) / kRowsPerOctave); }

double RowSigmaT(double P, double frequency) { return P / (frequency * TwoPi()); }

double RowLengthExact(long nSamples, double frADC, double sigmaT) {
    return std::trunc((static_cast<double>(nSamples) / frADC) / sigmaT);
}

int KernelHalfLength(double frADC, double sigmaT, int guard) {
    const double e = std::trunc(frADC * (sigmaT * 5.0));
    const int limit = std::max(guard - 1, 0);
    if (!(e > 0.0)) return 0;
    return e >= limit ? limit : static_cast<int>(e);
}

bool FillGrid(double P, const SignalRef& signal, int nRows, double* frequency, double* sigmaT, int* rowLength,
              double& total) {
    total = 0.0;
    bool fits = true;
    for (int j = 0; j < nRows; ++j) {
        frequency[j] = RowFrequency(j);
        sigmaT[j] = RowSigmaT(P, frequency[j]);
        const double length = RowLengthExact(signal.nSamples, signal.frADC, sigmaT[j]);
        if (!(length >= 0.0) || length > INT_MAX) {
            fits = false;
            rowLength[j] = 0;
            total += std::isfinite(length) ? length : static_cast<double>(INT_MAX) * 2.0;
        } else {
            rowLength[j] = static_cast<int>(length);
            total += length;
        }
    }
    return fits && total <= INT_MAX;
}

double RequiredBytes(double total, int nRows, const SignalRef& signal, int threads) {
    const double values = total * (sizeof(double) + sizeof(uint32_t));
    const double grid = static_cast<double>(nRows) * (2 * sizeof(double) + sizeof(int));
    // The real parts, forward and reversed.
    const double real =
        2.0 * (static_cast<double>(signal.nSamples) + 2.0 * signal.guard + kRealPadding) * sizeof(double);
    // Per thread: five kernel arrays of the guard band's size.
    const double perThread = 5.0 * (2.0 * signal.guard + 4) * sizeof(double);
    return values + grid + real + threads * perThread;
}

namespace {

// What the machine reports as available to new allocations.
double MachineAvailableBytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    double kib = 0.0;
    std::string unit;
    while (meminfo >> key >> kib) {
        std::getline(meminfo, unit);
        if (key == "MemAvailable:") return kib * 1024.0;
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) return static_cast<double>(pages) * static_cast<double>(pageSize);
    return std::numeric_limits<double>::infinity();
}

// What this process may still map under its address-space limit (ulimit -v):
// the limit less the address space it holds now.
double AddressSpaceLeftBytes() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<double>::infinity();
    std::ifstream statm("/proc/self/statm");
    double pages = 0.0;
    if (!(statm >> pages)) return std::numeric_limits<double>::infinity();
    const double used = pages * static_cast<double>(sysconf(_SC_PAGESIZE));
    return std::max(0.0, static_cast<double>(limit.rlim_cur) - used);
}

}  // namespace

double AvailableBytes() { return std::min(MachineAvailableBytes(), AddressSpaceLeftBytes()); }

std::string MemoryRefusalText(double requiredBytes, double availableBytes) {
    const double mib = 1024.0 * 1024.0;
    auto megabytes = [mib](double bytes) {
        const double m = std::ceil(bytes / mib);
        return m > 1e15 ? 1000000000000000ULL : static_cast<unsigned long long>(m);
    };
    char text[512];
    std::snprintf(text, sizeof text,
                  "Недостаточно памяти для FGT: нужно %llu МБ, доступно %llu МБ.\n"
                  "Увеличьте параметр Р или возьмите сигнал короче.\n\n"
                  "Not enough memory for the FGT.",
                  megabytes(requiredBytes), megabytes(availableBytes));
    return text;
}

std::string RowTooLongText(double frequency, double length) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "Слишком длинные строки FGT: в строке %.1f Гц было бы %.3g значений, а строка FGT "
                  "вмещает не больше %d.\n"
                  "Увеличьте параметр Р или возьмите сигнал короче.",
                  frequency, length, INT_MAX);
    return text;
}

void BuildKernel(double frADC, double frequency, double sigmaT, int first, int end, int guard, double* gauss,
                 double* cosine, double* sine) {
    const double twoPi = TwoPi();
    const double omega = twoPi * frequency;
    const double norm = 1.0 / (sigmaT * twoPi);
    for (int m = first; m < end; ++m) {
        const double u = m / frADC / sigmaT;
        gauss[guard + m] = std::exp(-0.5 * (u * u)) * norm;
        cosine[guard + m] = std::cos(omega * m / frADC);
        sine[guard + m] = std::sin(omega * m / frADC);
    }
}

void AnalysisPoints(double frADC, double sigmaT, int count, long nSamples, int* points) {
    NextPoints(RowPoints{frADC, sigmaT, nSamples}, 0.0, count, points);
}

void SmoothRow(double* values, int count) {
    for (int k = 0; k <= count - 9; ++k) {
        double sum = values[k];
        for (int i = 1; i < 8; ++i) sum += values[k + i];
        values[k] = sum * 0.125;
    }
}

uint32_t LevelToPixel(double level, double lower, double upper) {
    double v = level;
    if (v < lower) v = lower;
    if (v > upper) v = upper;
    const double q = (upper - v) * 255.0 / (upper - lower);
    // A level at or below the lower one is white, whatever the rounding of
    // the quotient below would give.
    if (level <= lower && lower < upper) return 255u * kGreyUnit;
    // Inside the levels q lies in 0 .. 255; NaN (equal levels, NaN values) is black.
    if (!(q >= 0.0 && q < 256.0)) return 0;
    const uint32_t grey = static_cast<uint32_t>(static_cast<int>(q) & 0xFF);
    return grey * kGreyUnit;
}

void BuildImage(const double* levels, uint32_t* pixels, long count, double lower, double upper, int threads) {
    const bool vector = cpu::UsableLevel() >= cpu::Level::Avx2;
    auto part = [=](long begin, long end) {
        if (vector)
            BuildImageAvx2(levels + begin, pixels + begin, end - begin, lower, upper);
        else
            for (long i = begin; i < end; ++i) pixels[i] = LevelToPixel(levels[i], lower, upper);
    };
    // Small images are not worth a thread.
    constexpr long kShareAbove = 1L << 20;
    if (threads < 2 || count < kShareAbove) {
        part(0, count);
        return;
    }
    const long half = count / 2;
    std::thread helper;
    try {
        helper = std::thread(part, half, count);
    } catch (const std::system_error&) {
        part(0, count);
        return;
    }
    part(0, half);
    helper.join();
}

DrawnSpan DrawnValues(int width, double cursorTime, double sigmaT, int length) {
    DrawnSpan span;
    const double column = std::trunc(cursorTime / sigmaT);
    // A cursor beyond any row draws nothing.
    if (length <= 0 || width <= 0 || !(std::fabs(column) < 4e9)) return span;
    span.x = width / 2 - static_cast<long long>(column);
    span.first = std::max<long long>(0, -span.x);
    span.last = std::min<long long>(length, width - span.x);
    return span;
}

int LowestDrawnRow(int rows, int height) { return std::max(0, rows - height + 1); }

bool MakeRowKernel(const SignalRef& signal, double frequency, double sigmaT, RowKernel& kernel) {
    kernel.frequency = frequency;
    kernel.sigmaT = sigmaT;
    const int E = KernelHalfLength(signal.frADC, sigmaT, signal.guard);
    kernel.E = E;
    if (E <= 0) return true;
    try {
        // The taps at E + m, folded as ComputeRow folds them.
        std::vector<double> gauss(2 * static_cast<size_t>(E) + 1), cosine(gauss.size()), sine(gauss.size());
        BuildKernel(signal.frADC, frequency, sigmaT, 0, E, E, gauss.data(), cosine.data(), sine.data());
        BuildKernel(signal.frADC, frequency, sigmaT, -E, -E + 1, E, gauss.data(), cosine.data(), sine.data());
        const size_t folded = static_cast<size_t>(RoundUpToFour(E));
        kernel.foldedCos.assign(folded, 0.0);
        kernel.foldedSin.assign(folded, 0.0);
        for (size_t m = 0; m < static_cast<size_t>(E); ++m) {
            kernel.foldedCos[m] = gauss[E + m] * cosine[E + m];
            kernel.foldedSin[m] = gauss[E + m] * sine[E + m];
        }
        kernel.foldedCos[0] *= 0.5;
        kernel.edgeCos = gauss[0] * cosine[0];
        kernel.edgeSin = gauss[0] * sine[0];
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool MakeRealCopy(const SignalRef& signal, long lo, long hi, RealCopy& copy) {
    try {
        copy.values.resize(static_cast<size_t>(std::max(hi - lo, 0L)));
    } catch (const std::bad_alloc&) {
        return false;
    }
    copy.lo = lo;
    copy.hi = hi;
    for (long n = lo; n < hi; ++n)
        copy.values[static_cast<size_t>(n - lo)] = RealWindow::StoredReal(signal, n);
    return true;
}

void SamplesRead(const SignalRef& signal, double sigmaT, long long first, long long count, long& lo,
                 long& hi) {
    const long margin = SampleMargin(KernelHalfLength(signal.frADC, sigmaT, signal.guard));
    const auto at = [&](long long k) {
        const int index = static_cast<int>(std::clamp<long long>(k, 0, INT_MAX));
        return NearestSample(TimeAfter(0.0, sigmaT, index), signal.frADC, signal.nSamples);
    };
    lo = at(first) - margin;
    hi = at(first + std::max(count, 1LL) - 1) + margin;
}

bool ComputeValues(const SignalRef& signal, const RowKernel& kernel, int first, int count, double* out,
                   cpu::Level level, const RealCopy* copy, const std::function<bool()>& cancelled) {
    if (count <= 0) return true;
    if (kernel.E <= 0) {
        // No taps: both sums are zero.
        std::fill(out, out + count, -std::numeric_limits<double>::infinity());
        return true;
    }
    const FoldedKernel folding{
        kernel.foldedCos.data(), kernel.foldedSin.data(), static_cast<int>(kernel.foldedCos.size()), kernel.E,
        kernel.edgeCos,          kernel.edgeSin};
    const double sigmaT = kernel.sigmaT;
    const RowPoints points{signal.frADC, sigmaT, signal.nSamples};
    const long margin = SampleMargin(kernel.E);
    // The points go a piece at a time, each piece's real parts copied just
    // before its sums read them, so that the copies are still in the cache;
    // the next piece keeps the samples the two share. A piece holds whole
    // groups of eight points, as many as keep its samples within kPieceSamples.
    const double step = sigmaT * signal.frADC;
    const double fit = std::floor((kPieceSamples - 2.0 * margin) / std::max(step, 1.0) / 8.0) * 8.0;
    const int piece = static_cast<int>(std::clamp(fit, 8.0, 1024.0));
    RealWindow window;
    double t = TimeAfter(0.0, sigmaT, first);
    for (int done = 0; done < count; done += piece) {
        if (cancelled && cancelled()) return true;
        const int n = std::min(piece, count - done);
        const double tLast = TimeAfter(t, sigmaT, n - 1);
        const long lo = NearestSample(t, signal.frADC, signal.nSamples) - margin;
        const long hi = NearestSample(tLast, signal.frADC, signal.nSamples) + margin;
        if (!window.Slide(signal, copy, lo, hi)) return false;
        const RealSignal real = window.View();
        if (level >= cpu::Level::Avx512)
            RowValuesAvx512From(folding, real, points, t, n, out + done);
        else if (level >= cpu::Level::Avx2)
            RowValuesAvx2From(folding, real, points, t, n, out + done, false);
        else
            RowValuesPortableFrom(folding, real, points, t, n, out + done);
        t = TimeAfter(tLast, sigmaT, 1);
    }
    return true;
}

bool ComputeLevels(const SignalRef& signal, int nRows, const double* frequency, const double* sigmaT,
                   const int* rowLength, double* levels, int threads, const RowImage* image) {
    if (nRows <= 0) return true;
    if (!signal.first || signal.nSamples < 0 || signal.guard < 1) return false;
    // Read once: every worker takes the same path.
    const cpu::Level level = cpu::UsableLevel();

    std::vector<long> offset(static_cast<size_t>(nRows));
    long sum = 0;
    for (int j = 0; j < nRows; ++j) {
        offset[static_cast<size_t>(j)] = sum;
        sum += rowLength[j];
    }

    RealParts real;
    if (!real.Copy(signal)) return false;

    std::atomic<int> nextRow{0};
    std::atomic<bool> failed{false};
    auto worker = [&]() {
        RowWorkspace work;
        if (!work.Allocate(signal.guard)) {
            failed = true;
            return;
        }
        for (int j = nextRow.fetch_add(1); j < nRows && !failed; j = nextRow.fetch_add(1)) {
            if (rowLength[j] <= 0) continue;
            const long at = offset[static_cast<size_t>(j)];
            // Fresh arrays: the row's pages are mapped in one call each.
            platform::PrefaultForWriting(levels + at, static_cast<size_t>(rowLength[j]) * sizeof(double));
            if (image != nullptr)
                platform::PrefaultForWriting(image->pixels + at,
                                             static_cast<size_t>(rowLength[j]) * sizeof(uint32_t));
            RowImage rowImage{};
            if (image != nullptr) rowImage = RowImage{image->pixels + at, image->lower, image->upper};
            ComputeRow(signal, real.view, frequency[j], sigmaT[j], rowLength[j], levels + at,
                       image != nullptr ? &rowImage : nullptr, work, level);
        }
    };

    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(worker);
        } catch (const std::system_error&) {
            break;  // fewer threads: the rows are shared among those that run
        }
    }
    worker();
    for (std::thread& helper : helpers) helper.join();
    // A thread that could not get its work arrays stops the others: the
    // levels are then incomplete and the computation fails as a whole.
    return !failed;
}

}  // namespace fgt
