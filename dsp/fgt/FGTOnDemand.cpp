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

FGTOnDemand::FGTOnDemand()
    : m_cancelled(std::make_shared<std::atomic<bool>>(false)),
      m_shared(std::make_shared<Shared>()),
      m_workers(std::make_unique<FGTWorkers>(kThreads)) {}

FGTOnDemand::~FGTOnDemand() { Stop(); }

void FGTOnDemand::Stop() {
    CancelRunningJobs();
    // Destroying the threads joins them after their running jobs.
    m_workers = std::make_unique<FGTWorkers>(kThreads);
    // What they left undone is planned again by the next request.
    DropUnfinishedWork();
    m_bPlanned = false;
}

void FGTOnDemand::CancelRunningJobs() {
    m_cancelled->store(true, std::memory_order_relaxed);
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
}

void FGTOnDemand::SetOnValues(std::function<void()> onValues) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->onValues = std::move(onValues);
}

void FGTOnDemand::Reset() {
    // Running jobs stop, or finish into blocks nobody holds any more.
    m_workers->Cancel();
    CancelRunningJobs();
    m_real.reset();
    m_shared->failed = false;
    m_bPlanned = false;
    m_wants.clear();
    m_signal = fgt::SignalRef{};
    m_nRows = 0;
    m_nTotal = 0;
    m_frequency.clear();
    m_sigmaT.clear();
    m_rowLength.clear();
    m_rows.clear();
    m_kernels.clear();
}

bool FGTOnDemand::Bind(const CKWave* wave, double P, bool* tooLong) {
    Reset();
    if (tooLong != nullptr) *tooLong = false;
    // A deleted store keeps its ready flag but has no samples any more.
    if (wave == nullptr || !wave->IsRealPartOfSignalReady() || wave->GetFirstComplexSample() == nullptr)
        return false;
    return Bind(fgt::SignalRef{wave->GetFirstComplexSample(), wave->GetNSamples(), wave->GetFrADC(),
                               wave->GetStartSampleNumber()},
                P, tooLong);
}

bool FGTOnDemand::Bind(const fgt::SignalRef& signal, double P, bool* tooLong) {
    Reset();
    if (tooLong != nullptr) *tooLong = false;
    if (signal.first == nullptr || signal.nSamples < 0) return false;
    const int rows = fgt::RowCount(signal.frADC);
    if (rows <= 0 || signal.guard < 1) return false;
    try {
        m_frequency.assign(static_cast<size_t>(rows), 0.0);
        m_sigmaT.assign(static_cast<size_t>(rows), 0.0);
        m_rowLength.assign(static_cast<size_t>(rows), 0);
        m_rows.resize(static_cast<size_t>(rows));
        m_kernels.resize(static_cast<size_t>(rows));
    } catch (const std::bad_alloc&) {
        Reset();
        return false;
    }
    double total = 0.0;
    fgt::FillGrid(P, signal, rows, m_frequency.data(), m_sigmaT.data(), m_rowLength.data(), total);
    // Every row must be indexable (the values are computed for what is
    // drawn, so the total only counts them). The top row is the longest.
    for (int j = rows - 1; j >= 0; --j) {
        const double length =
            fgt::RowLengthExact(signal.nSamples, signal.frADC, m_sigmaT[static_cast<size_t>(j)]);
        if (!(length >= 0.0) || length > INT_MAX) {
            const double frequency = m_frequency[static_cast<size_t>(j)];
            Reset();
            if (tooLong != nullptr) *tooLong = true;
            platform::ShowMessage(fgt::RowTooLongText(frequency, length));
            return false;
        }
    }
    m_signal = signal;
    m_level = cpu::UsableLevel();
    m_nRows = rows;
    m_nTotal = static_cast<long>(total);
    return true;
}

const FGTOnDemand::Block* FGTOnDemand::Find(int row, long long block) const {
    const Row& blocks = m_rows[static_cast<size_t>(row)];
    const auto it = blocks.find(block);
    return it == blocks.end() ? nullptr : it->second.get();
}

void FGTOnDemand::Fail() {
    m_workers->Cancel();
    CancelRunningJobs();
    for (Row& row : m_rows) row.clear();
    m_wants.clear();
    m_bPlanned = false;
    m_shared->failed = false;
}

void FGTOnDemand::DropUnfinishedWork() {
    m_workers->Cancel();
    CancelRunningJobs();
    // Blocks whose values have not come are made again if still wanted;
    // a job still running on one writes into its own copy.
    for (Row& row : m_rows)
        for (auto it = row.begin(); it != row.end();)
            it = it->second->computed.load(std::memory_order_acquire) ? std::next(it) : row.erase(it);
}

bool FGTOnDemand::Request(int width, int height, double cursorTime, double lower, double upper) {
    if (!IsBound() || width <= 0 || height <= 0) return true;
    m_shared->noticed = false;
    if (m_shared->failed) {
        Fail();
        return false;
    }
    if (lower != m_dLower || upper != m_dUpper) Remap(lower, upper);
    if (!m_bPlanned || width != m_nWidth || height != m_nHeight || cursorTime != m_dTime) {
        DropUnfinishedWork();
        m_nWidth = width;
        m_nHeight = height;
        m_dTime = cursorTime;
        m_bPlanned = true;
        if (!Plan(width, height, cursorTime)) {
            Fail();
            return false;
        }
    }
    for (const Want& want : m_wants)
        for (long long b = want.first; b < want.end; ++b) Finish(want.row, b);
    return true;
}

bool FGTOnDemand::Prepare(int width, int height, double cursorTime, double lower, double upper) {
    if (!Request(width, height, cursorTime, lower, upper)) return false;
    m_workers->WaitIdle();
    return Request(width, height, cursorTime, lower, upper);
}

bool FGTOnDemand::Pending() { return m_workers->Busy(); }

bool FGTOnDemand::Plan(int width, int height, double cursorTime) {
    struct Job {
        long long distance;  // pixels from the centre line
        int row;
        long long first;
        std::vector<std::shared_ptr<Block>> blocks;
    };
    std::vector<Job> jobs;
    m_wants.clear();
    // The samples the jobs read, and the sample at the cursor.
    long readLo = LONG_MAX;
    long readHi = LONG_MIN;
    try {
        for (int row = m_nRows - 1; row >= fgt::LowestDrawnRow(m_nRows, height); --row) {
            const size_t j = static_cast<size_t>(row);
            const int length = m_rowLength[j];
            const fgt::DrawnSpan span = fgt::DrawnValues(width, cursorTime, m_sigmaT[j], length);
            Want want{};
            if (!DrawnBlocks(row, width, cursorTime, want)) continue;
            const long long computeEnd = want.end;
            m_wants.push_back(want);
            long lo = 0;
            long hi = 0;
            fgt::SamplesRead(m_signal, m_sigmaT[j], want.first * kBlock,
                             std::min<long long>(computeEnd * kBlock, length) - want.first * kBlock, lo, hi);
            readLo = std::min(readLo, lo);
            readHi = std::max(readHi, hi);
            Row& cache = m_rows[j];
            // Keep what is near, then add what is missing.
            const long long limit = std::max<long long>(computeEnd - want.first,
                                                        static_cast<long long>(width) * kWidthsKept / kBlock);
            Evict(row, want.first, computeEnd, limit);
            const long long centre = width / 2 - span.x;  // the value on the centre line
            for (long long b = want.first; b < computeEnd; ++b) {
                if (cache.count(b) != 0) continue;
                auto block = std::make_shared<Block>();
                cache.emplace(b, block);
                if (jobs.empty() || jobs.back().row != row ||
                    jobs.back().first + static_cast<long long>(jobs.back().blocks.size()) != b ||
                    jobs.back().blocks.size() >= kBlocksPerJob)
                    jobs.push_back(Job{0, row, b, {}});
                Job& job = jobs.back();
                job.blocks.push_back(std::move(block));
                const long long from = job.first * kBlock;
                const long long to = (b + 1) * kBlock - 1;
                job.distance = centre < from ? from - centre : centre > to ? centre - to : 0;
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::stable_sort(jobs.begin(), jobs.end(),
                     [](const Job& a, const Job& b) { return a.distance < b.distance; });
    if (jobs.empty()) return true;
    try {
        const long centre = fgt::NearestSample(cursorTime, m_signal.frADC, m_signal.nSamples);
        const std::shared_ptr<RealSlot> real = RealPartsFor(readLo, readHi, centre);
        std::vector<std::function<void()>> work;
        work.reserve(jobs.size());
        for (Job& job : jobs) {
            const size_t j = static_cast<size_t>(job.row);
            std::shared_ptr<KernelSlot>& slot = m_kernels[j];
            if (!slot) slot = std::make_shared<KernelSlot>();
            work.emplace_back([signal = m_signal, level = m_level, frequency = m_frequency[j],
                               sigmaT = m_sigmaT[j], length = m_rowLength[j], first = job.first,
                               blocks = std::move(job.blocks), shared = m_shared, slot, real,
                               cancelled = m_cancelled] {
                // A job no longer wanted makes neither the row's kernel nor
                // the copy: both take a while for the lowest rows.
                if (cancelled->load(std::memory_order_relaxed)) return;
                std::call_once(slot->once, [&] {
                    slot->made = fgt::MakeRowKernel(signal, frequency, sigmaT, slot->kernel);
                });
                const long long from = first * kBlock;
                const long long end =
                    std::min<long long>((first + static_cast<long long>(blocks.size())) * kBlock, length);
                // And the eight values after them, which the means of their
                // last values read.
                const long long after = ComputedEnd(end, length);
                if (cancelled->load(std::memory_order_relaxed)) return;
                // A copy that could not be made leaves the jobs to read the signal.
                std::call_once(real->once, [&] {
                    real->made = fgt::MakeRealCopy(signal, real->lo, real->hi, real->copy);
                    if (!real->made) real->copy = fgt::RealCopy{};
                });
                double values[kBlocksPerJob * kBlock + 8];
                const auto stop = [&cancelled] { return cancelled->load(std::memory_order_relaxed); };
                if (!slot->made || !fgt::ComputeValues(signal, slot->kernel, static_cast<int>(from),
                                                       static_cast<int>(after - from), values, level,
                                                       real->made ? &real->copy : nullptr, stop)) {
                    shared->failed = true;
                } else if (cancelled->load(std::memory_order_relaxed)) {
                    return;  // the values are incomplete and no longer wanted
                } else {
                    const bool grouped = level >= cpu::Level::Avx2;
                    for (size_t i = 0; i < blocks.size(); ++i) {
                        const long long at = static_cast<long long>(i) * kBlock;
                        const int count = static_cast<int>(std::min<long long>(kBlock, end - from - at));
                        for (int k = 0; k < count; ++k)
                            blocks[i]->levels[k] = fgt::SmoothedValue(
                                values + at + k, static_cast<int>(from + at + k), length, grouped);
                        blocks[i]->computed.store(true, std::memory_order_release);
                    }
                }
                if (!shared->noticed.exchange(true)) {
                    std::lock_guard<std::mutex> lock(shared->mutex);
                    if (shared->onValues) shared->onValues();
                }
            });
        }
        m_workers->Add(std::move(work));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::shared_ptr<FGTOnDemand::RealSlot> FGTOnDemand::RealPartsFor(long lo, long hi, long centre) {
    // At most kSharedSamples around the cursor, and nothing beyond the
    // stored samples; jobs reading beyond them read the signal.
    lo = std::max({lo, centre - kSharedSamples / 2, -static_cast<long>(m_signal.guard)});
    hi = std::max(lo, std::min({hi, centre + kSharedSamples / 2, m_signal.nSamples + m_signal.guard}));
    if (m_real && m_real->lo <= lo && hi <= m_real->hi) return m_real;
    // Room for the cursor to move before another copy is needed.
    const long room = std::min((hi - lo) / 8, (kSharedSamples - (hi - lo)) / 2);
    m_real = std::make_shared<RealSlot>(lo - std::max(room, 0L), hi + std::max(room, 0L));
    return m_real;
}

bool FGTOnDemand::DrawnBlocks(int row, int width, double cursorTime, Want& want) const {
    const size_t j = static_cast<size_t>(row);
    const fgt::DrawnSpan span = fgt::DrawnValues(width, cursorTime, m_sigmaT[j], m_rowLength[j]);
    if (span.first >= span.last) return false;
    want = Want{row, span.first / kBlock, (span.last - 1) / kBlock + 1};
    return true;
}

SampleSpan FGTOnDemand::ReadSpan(int width, int height, double cursorTime) const {
    SampleSpan reach;
    if (!IsBound() || width <= 0 || height <= 0) return reach;
    for (int row = m_nRows - 1; row >= fgt::LowestDrawnRow(m_nRows, height); --row) {
        Want want{};
        if (!DrawnBlocks(row, width, cursorTime, want)) continue;
        const int length = m_rowLength[static_cast<size_t>(row)];
        const long long first = want.first * kBlock;
        const long long end = ComputedEnd(std::min<long long>(want.end * kBlock, length), length);
        long lo = 0;
        long hi = 0;
        fgt::SamplesRead(m_signal, m_sigmaT[static_cast<size_t>(row)], first, end - first, lo, hi);
        reach = reach.Hull({lo, hi});
    }
    return reach;
}

void FGTOnDemand::Finish(int row, long long block) {
    const Row& cache = m_rows[static_cast<size_t>(row)];
    const auto it = cache.find(block);
    if (it == cache.end() || it->second->finished || !it->second->computed.load(std::memory_order_acquire))
        return;
    Block& b = *it->second;
    const int length = m_rowLength[static_cast<size_t>(row)];
    const int count = static_cast<int>(std::min<long long>(kBlock, length - block * kBlock));
    fgt::BuildImage(b.levels, b.pixels, count, m_dLower, m_dUpper, 1);
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
            fgt::BuildImage(block->levels, block->pixels, count, lower, upper, 1);
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
