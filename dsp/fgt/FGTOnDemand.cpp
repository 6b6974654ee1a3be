#include "FGTOnDemand.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <new>
#include <system_error>
#include <thread>

#include "FGTSums.h"
#include "KWave.h"
#include "Messages.h"

void FGTOnDemand::Reset() {
    m_signal = fgt::SignalRef{};
    m_nRows = 0;
    m_nTotal = 0;
    m_frequency.clear();
    m_sigmaT.clear();
    m_rowLength.clear();
    m_rows.clear();
}

bool FGTOnDemand::Bind(const CKWave* wave, double P, bool* tooLong) {
    Reset();
    if (tooLong != nullptr) *tooLong = false;
    // A deleted store keeps its ready flag but has no samples any more.
    if (wave == nullptr || !wave->IsRealPartOfSignalReady() || wave->GetFirstComplexSample() == nullptr)
        return false;
    const fgt::SignalRef signal{wave->GetFirstComplexSample(), wave->GetNSamples(), wave->GetFrADC(),
                                wave->GetStartSampleNumber()};
    const int rows = fgt::RowCount(signal.frADC);
    if (rows <= 0 || signal.guard < 1) return false;
    try {
        m_frequency.assign(static_cast<size_t>(rows), 0.0);
        m_sigmaT.assign(static_cast<size_t>(rows), 0.0);
        m_rowLength.assign(static_cast<size_t>(rows), 0);
        m_rows.resize(static_cast<size_t>(rows));
    } catch (const std::bad_alloc&) {
        Reset();
        return false;
    }
    double total = 0.0;
    fgt::FillGrid(P, signal, rows, m_frequency.data(), m_sigmaT.data(), m_rowLength.data(), total);
    // Every row must be indexable; the total is only counted.
    for (int j = 0; j < rows; ++j) {
        const double length =
            fgt::RowLengthExact(signal.nSamples, signal.frADC, m_sigmaT[static_cast<size_t>(j)]);
        if (!(length >= 0.0) || length > INT_MAX) {
            Reset();
            if (tooLong != nullptr) *tooLong = true;
            platform::ShowMessage(fgt::MemoryRefusalText(fgt::RequiredBytes(total, rows, signal, kThreads),
                                                         fgt::AvailableBytes()));
            return false;
        }
    }
    m_signal = signal;
    m_path = fgt::BestSumPath();
    m_nRows = rows;
    m_nTotal = static_cast<long>(total);
    return true;
}

const FGTOnDemand::Block* FGTOnDemand::Find(int row, long long block) const {
    const Row& blocks = m_rows[static_cast<size_t>(row)];
    const auto it = blocks.find(block);
    return it == blocks.end() ? nullptr : it->second.get();
}

bool FGTOnDemand::Prepare(int width, int height, double cursorTime, double lower, double upper) {
    if (!IsBound() || width <= 0 || height <= 0) return true;
    if (lower != m_dLower || upper != m_dUpper) Remap(lower, upper);
    // Per row: the blocks drawn, and the one after them whose first values
    // the mean of the last drawn ones reads.
    struct Want {
        int row;
        long long first;
        long long end;  // drawn blocks first .. end-1
        long long computeEnd;
    };
    std::vector<Want> wants;
    std::vector<Run> runs;
    try {
        for (int row = m_nRows - 1; row >= fgt::LowestDrawnRow(m_nRows, height); --row) {
            const int length = m_rowLength[static_cast<size_t>(row)];
            const fgt::DrawnSpan span =
                fgt::DrawnValues(width, cursorTime, m_sigmaT[static_cast<size_t>(row)], length);
            if (span.first >= span.last) continue;
            const long long blocks = (length + kBlock - 1) / kBlock;
            const Want want{row, span.first / kBlock, (span.last - 1) / kBlock + 1,
                            std::min(blocks, (span.last - 1) / kBlock + 2)};
            wants.push_back(want);
            Row& cache = m_rows[static_cast<size_t>(row)];
            // Keep what is near, then add what is missing.
            const long long limit = std::max<long long>(want.computeEnd - want.first,
                                                        static_cast<long long>(width) * kWidthsKept / kBlock);
            Evict(row, want.first, want.computeEnd, limit);
            for (long long b = want.first; b < want.computeEnd; ++b) {
                if (cache.count(b) != 0) continue;
                cache.emplace(b, std::make_unique<Block>());
                if (!runs.empty() && runs.back().row == row && runs.back().end == b)
                    runs.back().end = b + 1;
                else
                    runs.push_back(Run{row, b, b + 1});
            }
        }
    } catch (const std::bad_alloc&) {
        for (Row& row : m_rows) row.clear();
        return false;
    }
    if (!ComputeRuns(runs)) {
        for (Row& row : m_rows) row.clear();
        return false;
    }
    for (const Want& want : wants)
        for (long long b = want.first; b < want.end; ++b) Finish(want.row, b);
    return true;
}

bool FGTOnDemand::ComputeRuns(const std::vector<Run>& runs) {
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    auto worker = [&]() {
        for (size_t i = next.fetch_add(1); i < runs.size() && !failed; i = next.fetch_add(1)) {
            const Run& run = runs[i];
            const size_t j = static_cast<size_t>(run.row);
            const int length = m_rowLength[j];
            const long long first = run.first * kBlock;
            const long long end = std::min<long long>(run.end * kBlock, length);
            std::vector<double> values;
            try {
                values.resize(static_cast<size_t>(end - first));
            } catch (const std::bad_alloc&) {
                failed = true;
                return;
            }
            if (!fgt::ComputeValues(m_signal, m_frequency[j], m_sigmaT[j], length, static_cast<int>(first),
                                    static_cast<int>(end - first), values.data(), m_path)) {
                failed = true;
                return;
            }
            const Row& cache = m_rows[j];
            for (long long b = run.first; b < run.end; ++b) {
                Block& block = *cache.at(b);
                const long long from = b * kBlock - first;
                const long long to = std::min<long long>(from + kBlock, end - first);
                std::copy(values.begin() + from, values.begin() + to, block.values);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < kThreads && runs.size() > 1; ++i) {
        try {
            helpers.emplace_back(worker);
        } catch (const std::system_error&) {
            break;  // fewer threads share the runs
        }
    }
    worker();
    for (std::thread& helper : helpers) helper.join();
    return !failed;
}

void FGTOnDemand::Finish(int row, long long block) {
    const Row& cache = m_rows[static_cast<size_t>(row)];
    const auto it = cache.find(block);
    if (it == cache.end() || it->second->finished) return;
    Block& b = *it->second;
    const int length = m_rowLength[static_cast<size_t>(row)];
    const long long first = block * kBlock;
    const int count = static_cast<int>(std::min<long long>(kBlock, length - first));
    // The block's values and the first of the next one, which the means of
    // its last values read.
    double values[kBlock + 8];
    std::copy(b.values, b.values + count, values);
    if (count == kBlock && first + kBlock < length) {
        const Block* after = Find(row, block + 1);
        if (after == nullptr) return;
        const int more = static_cast<int>(std::min<long long>(8, length - first - kBlock));
        std::copy(after->values, after->values + more, values + kBlock);
    }
    const bool grouped = m_path != fgt::SumPath::Portable;
    for (int i = 0; i < count; ++i)
        b.levels[i] = fgt::SmoothedValue(values + i, static_cast<int>(first + i), length, grouped);
    fgt::BuildImage(b.levels, b.pixels, count, m_dLower, m_dUpper, m_path, 1);
    b.finished = true;
}

void FGTOnDemand::Evict(int row, long long keepFirst, long long keepEnd, long long limit) {
    Row& cache = m_rows[static_cast<size_t>(row)];
    // The blocks farthest from the span to keep go first, from either end.
    while (static_cast<long long>(cache.size()) >= limit && !cache.empty()) {
        const long long low = cache.begin()->first;
        const long long high = std::prev(cache.end())->first;
        const long long below = keepFirst - low;
        const long long above = high - (keepEnd - 1);
        if (below <= 0 && above <= 0) break;
        if (below >= above)
            cache.erase(cache.begin());
        else
            cache.erase(std::prev(cache.end()));
    }
}

void FGTOnDemand::Remap(double lower, double upper) {
    m_dLower = lower;
    m_dUpper = upper;
    for (size_t j = 0; j < m_rows.size(); ++j) {
        const int length = m_rowLength[j];
        for (auto& [index, block] : m_rows[j]) {
            if (!block->finished) continue;
            const int count = static_cast<int>(std::min<long long>(kBlock, length - index * kBlock));
            fgt::BuildImage(block->levels, block->pixels, count, lower, upper, m_path, 1);
        }
    }
}

const uint32_t* FGTOnDemand::Pixels(int row, long long k, int& available) const {
    available = 0;
    if (row < 0 || row >= m_nRows || k < 0 || k >= m_rowLength[static_cast<size_t>(row)]) return nullptr;
    const Block* block = Find(row, k / kBlock);
    if (block == nullptr || !block->finished) return nullptr;
    const long long first = k / kBlock * kBlock;
    available =
        static_cast<int>(std::min<long long>(first + kBlock, m_rowLength[static_cast<size_t>(row)]) - k);
    return block->pixels + (k - first);
}

double FGTOnDemand::Level(int row, long long k) const {
    int available = 0;
    if (Pixels(row, k, available) == nullptr) return std::numeric_limits<double>::quiet_NaN();
    return Find(row, k / kBlock)->levels[k % kBlock];
}

long FGTOnDemand::CachedValues() const {
    long values = 0;
    for (const Row& row : m_rows) values += static_cast<long>(row.size()) * kBlock;
    return values;
}
