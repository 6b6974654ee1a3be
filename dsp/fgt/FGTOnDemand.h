// The FGT of a signal computed for what is drawn, free of any widget: the
// grid (frequency, σ and length of every row) is ready as soon as P is set;
// the values of a row are computed only where a pane (or a picture) of a
// given size shows them around the cursor time, and kept after the forward
// 8-point mean (each job also computes the eight values after its last
// block, which the mean reads) with their grey pixels in a bounded cache of
// blocks of kBlock values per row. A value is the same bit for bit as the
// whole row's computation gives it at its index.
//
// Block b of a row holds values b·kBlock .. b·kBlock + kBlock - 1. Each row
// keeps at most a few pane widths of blocks; blocks farthest from the last
// drawn span go first. The values and their means are computed by worker
// threads in short jobs; the caller's thread only plans, finishes (the grey)
// and draws. The object does not own the signal: the wave must outlive it, or
// the object must be Stop()ped or destroyed first.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "CpuFeatures.h"
#include "FGTComputation.h"
#include "FGTWorkers.h"
#include "SampleSpan.h"

class CKWave;

class FGTOnDemand {
public:
    static constexpr int kBlock = 64;
    // Worker threads that compute the missing values.
    static constexpr int kThreads = 2;
    // Blocks of a row computed by one job; a cancellation stops a running job
    // at its next piece of points.
    static constexpr int kBlocksPerJob = 4;
    // Samples the copy of the real parts shared by the rows holds at most.
    static constexpr long kSharedSamples = 1L << 22;
    // A row keeps the blocks of this many pane widths at most.
    static constexpr int kWidthsKept = 4;
    // The text shown when the values drawn could not get their memory.
    static constexpr const char* kOutOfMemoryText = "Не хватает памяти для FGT.";

    FGTOnDemand();
    ~FGTOnDemand();
    FGTOnDemand(const FGTOnDemand&) = delete;
    FGTOnDemand& operator=(const FGTOnDemand&) = delete;

    // Sets the grid of the FGT of the real parts of `wave` with parameter
    // `P`; no value is computed yet. False, with the object empty, when the
    // wave has no samples or no rows, or when a row has more values than an
    // index reaches (`tooLong` is then true, after a message that says so).
    bool Bind(const CKWave* wave, double P, bool* tooLong = nullptr);
    // The same for a signal given by its samples.
    bool Bind(const fgt::SignalRef& signal, double P, bool* tooLong = nullptr);
    // Empties the object; work under way for it is dropped.
    void Reset();
    bool IsBound() const { return m_nRows > 0; }

    // Asks for what a pane of `width` x `height` pixels draws with the cursor
    // at `cursorTime`, in grey between `lower` and `upper`: values that have
    // arrived are finished (cached pixels of other levels are mapped again),
    // and the missing ones are queued for the worker threads, those nearest
    // the centre line first. Asking for anything else drops the queued work
    // of the earlier request. Returns at once; false, with the cache emptied,
    // when memory ran short.
    bool Request(int width, int height, double cursorTime, double lower, double upper);
    // The samples of the signal that a Request of these arguments reads
    // when nothing is cached: the hull of what the values of every drawn
    // row, and the ones their means read, are computed from.
    SampleSpan ReadSpan(int width, int height, double cursorTime) const;
    // Request, then waits until every value asked for is there.
    bool Prepare(int width, int height, double cursorTime, double lower, double upper);
    // True while values of the last request are still being computed.
    bool Pending();
    // Called on a worker thread when values have arrived since the last
    // Request (once until the next one).
    void SetOnValues(std::function<void()> onValues);
    // Drops the queued work and waits for the jobs that are running: after
    // this no worker touches the signal.
    void Stop();
    // Maps every cached value to grey again, without computing any.
    void Remap(double lower, double upper);

    // The pixels of row `row` from value k on, `available` of them in a row,
    // or nullptr when value k is not ready.
    const uint32_t* Pixels(int row, long long k, int& available) const;
    // The level (after the mean) of value k of row `row`; NaN when not ready.
    double Level(int row, long long k) const;
    // Values held in the cache over all rows.
    long CachedValues() const;

    int GetRows() const { return m_nRows; }
    long GetTotal() const { return m_nTotal; }
    const double* GetFrequency() const { return m_frequency.data(); }
    const double* GetSigmaT() const { return m_sigmaT.data(); }
    const int* GetRowLength() const { return m_rowLength.data(); }

private:
    struct Block {
        double levels[kBlock];  // after the mean, written by a worker
        uint32_t pixels[kBlock];
        std::atomic<bool> computed{false};  // levels are there
        bool finished = false;              // pixels are there
    };
    using Row = std::map<long long, std::shared_ptr<Block>>;
    // A row's kernel, made by the first job of the row that runs.
    struct KernelSlot {
        std::once_flag once;
        fgt::RowKernel kernel;
        bool made = false;
    };
    // The real parts of the stretch of signal the drawn rows read, copied by
    // the first job that needs it and read by all of them.
    struct RealSlot {
        RealSlot(long first, long end) : lo(first), hi(end) {}
        const long lo;  // samples lo .. hi-1
        const long hi;
        std::once_flag once;
        fgt::RealCopy copy;
        bool made = false;
    };
    // What the workers share with this object.
    struct Shared {
        std::mutex mutex;
        std::function<void()> onValues;
        std::atomic<bool> noticed{false};
        std::atomic<bool> failed{false};
    };
    // Drawn blocks first .. end-1 of a row.
    struct Want {
        int row;
        long long first;
        long long end;
    };

    bool Plan(int width, int height, double cursorTime);
    // The drawn blocks of `row`; false when none is drawn.
    bool DrawnBlocks(int row, int width, double cursorTime, Want& want) const;
    // The end of the values computed for values up to `end` of a row of
    // `length`: the eight after them, which the means of their last values
    // read, are computed with them.
    static long long ComputedEnd(long long end, int length) { return std::min<long long>(end + 8, length); }
    void Finish(int row, long long block);
    void Evict(int row, long long keepFirst, long long keepEnd, long long limit);
    const Block* Find(int row, long long block) const;
    void DropUnfinishedWork();
    void CancelRunningJobs();
    std::shared_ptr<RealSlot> RealPartsFor(long lo, long hi, long centre);
    void Fail();

    fgt::SignalRef m_signal{};
    // The instruction sets the values are computed with, fixed at Bind so
    // that every value of one FGT comes from the same code.
    cpu::Level m_level = cpu::Level::Portable;
    int m_nRows = 0;
    long m_nTotal = 0;
    std::vector<double> m_frequency;
    std::vector<double> m_sigmaT;
    std::vector<int> m_rowLength;
    std::vector<Row> m_rows;
    std::vector<std::shared_ptr<KernelSlot>> m_kernels;
    std::shared_ptr<RealSlot> m_real;
    // Set when the jobs queued so far are no longer wanted: a running job
    // stops at its next piece of points.
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    double m_dLower = 0.0;
    double m_dUpper = 0.0;
    // The last request and what it draws.
    bool m_bPlanned = false;
    int m_nWidth = 0;
    int m_nHeight = 0;
    double m_dTime = 0.0;
    std::vector<Want> m_wants;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<FGTWorkers> m_workers;
};
