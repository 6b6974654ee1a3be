// The sonogram pane's ring of column slots: M slots of R rows, column x of
// the signal in slot x mod M. Each slot keeps one column's spectrum (its R
// levels and R phase steps, slot after slot) and its R pixels (0x00RRGGBB,
// row k of slot s at k·M + s, so that the pixels form a bottom-up image M
// pixels wide), and, for the spectrum and the pixels apart, the column they
// were made for (a tag; a cleared tag names no column).
//
// The ring only grows: a narrower pane or a shorter FFT keeps the slots it
// has. Reserve() reports which allocation failed by its code, so that a
// message can tell them apart; after a failure the ring is empty.
#pragma once

#include <cstdint>
#include <memory>

namespace sonogram {

class ColumnRing {
public:
    // Failure codes of Reserve(), one per allocation.
    static constexpr int kSpectrumTagsFailed = 232;
    static constexpr int kPixelTagsFailed = 238;
    static constexpr int kSpectrumFailed = 264;
    static constexpr int kPhaseStepsFailed = 265;
    static constexpr int kPixelsFailed = 272;

    // A ring larger than this many cells per array is refused (with the code
    // of the first array) so that every cell index fits an int.
    static constexpr long long kMaxCells = 2147483647LL;

    // Makes room for `slots` slots of `rows` rows: the tags grow when there
    // are fewer than `slots`; the arrays are replaced by M = slots, R = rows
    // when they hold fewer than slots·rows cells. 0 on success, else the code
    // of the allocation that failed (the ring is then empty).
    int Reserve(int slots, int rows);
    void Release();

    int GetSlots() const { return m_nSlots; }
    int GetRows() const { return m_nRows; }

    // Marks every slot's spectrum (levels and phase steps zeroed) or pixels
    // (zeroed) as holding no column.
    void ClearSpectra();
    void ClearPixels();

    // Slot s's levels and phase steps (R values each); null outside the ring.
    double* Levels(int slot) const;
    double* PhaseSteps(int slot) const;
    // The first of the M·R spectrum cells; column c of a run of neighbouring
    // slots starts at c·R from its first slot's Levels().
    uint32_t* Pixels() const { return m_pPixels.get(); }

    // The column slot s holds, -1 outside the ring; a cleared tag reads as
    // 0x80808080.
    int SpectrumTag(int slot) const;
    int PixelTag(int slot) const;
    void SetSpectrumTag(int slot, int column) { m_pSpectrumTag[slot] = column; }
    void SetPixelTag(int slot, int column) { m_pPixelTag[slot] = column; }

private:
    int m_nSlots = 0;
    int m_nRows = 0;
    int m_nTagSlots = 0;
    std::unique_ptr<double[]> m_pSpectrum;
    std::unique_ptr<double[]> m_pPhaseStep;
    std::unique_ptr<uint32_t[]> m_pPixels;
    std::unique_ptr<int[]> m_pSpectrumTag;
    std::unique_ptr<int[]> m_pPixelTag;
};

}  // namespace sonogram
