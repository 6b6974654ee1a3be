// The FGT of a signal computed for what is drawn, free of any widget: the
// grid (frequency, σ and length of every row) is ready as soon as P is set;
// the values of a row are computed only where a pane (or a picture) of a
// given size shows them around the cursor time, plus the seven after them
// that the forward 8-point mean reads, and kept with their grey pixels in a
// bounded cache of blocks of kBlock values per row. A value is the same bit
// for bit as the whole row's computation gives it at its index.
//
// Block b of a row holds values b·kBlock .. b·kBlock + kBlock - 1. Each row
// keeps at most a few pane widths of blocks; blocks farthest from the last
// drawn span go first. The object does not own the signal: the wave must
// outlive it or be unbound with Reset.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "FGTComputation.h"

class CKWave;

class FGTOnDemand {
public:
    static constexpr int kBlock = 64;
    // The missing blocks are shared between this many threads, joined before
    // Prepare returns.
    static constexpr int kThreads = 2;
    // A row keeps the blocks of this many pane widths at most.
    static constexpr int kWidthsKept = 4;
    // The text shown when the values drawn could not get their memory.
    static constexpr const char* kOutOfMemoryText = "Не хватает памяти для FGT.";

    // Sets the grid of the FGT of the real parts of `wave` with parameter
    // `P`; no value is computed yet. False, with the object empty, when the
    // wave has no samples or no rows, or when a row has more values than an
    // index reaches (`tooLong` is then true, after a message: the whole
    // FGT would not fit either).
    bool Bind(const CKWave* wave, double P, bool* tooLong = nullptr);
    void Reset();
    bool IsBound() const { return m_nRows > 0; }

    // Computes what a pane of `width` x `height` pixels draws with the cursor
    // at `cursorTime` and is not cached yet, and maps it to grey with the
    // levels `lower` .. `upper` (cached pixels of other levels are mapped
    // again). False, with the cache emptied, when memory ran short.
    bool Prepare(int width, int height, double cursorTime, double lower, double upper);
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
        double values[kBlock];  // before the mean
        double levels[kBlock];  // after it
        uint32_t pixels[kBlock];
        bool finished = false;  // levels and pixels are there
    };
    using Row = std::map<long long, std::unique_ptr<Block>>;
    // Missing blocks first .. end-1 of a row, computed together.
    struct Run {
        int row;
        long long first;
        long long end;
    };

    bool ComputeRuns(const std::vector<Run>& runs);
    void Finish(int row, long long block);
    void Evict(int row, long long keepFirst, long long keepEnd, long long limit);
    const Block* Find(int row, long long block) const;

    fgt::SignalRef m_signal{};
    fgt::SumPath m_path = fgt::SumPath::Portable;
    int m_nRows = 0;
    long m_nTotal = 0;
    std::vector<double> m_frequency;
    std::vector<double> m_sigmaT;
    std::vector<int> m_rowLength;
    std::vector<Row> m_rows;
    double m_dLower = 0.0;
    double m_dUpper = 0.0;
};
