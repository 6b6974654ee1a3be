// One computed FGT of a signal with its grey image, free of any widget: the
// grid (frequency, σ and length of every row), the levels in dB row after row
// and their pixels. The FGT pane and the command-line renderer both compute
// through it, so that both show the same values.
//
// The object owns its arrays; Reset releases them. Computing checks first
// that the whole FGT fits into the memory the machine can still give (a
// message says so when it does not) and allocates nothing it cannot use.
#pragma once

#include <cstdint>
#include <memory>

class CKWave;
class ProgressReporter;

class FGTTransform {
public:
    // The rows are shared between this many threads, joined before the
    // computation returns.
    static constexpr int kThreads = 2;

    // Computes the FGT of the real parts of `wave` with parameter `P` and
    // maps it to grey with the levels `lower` .. `upper`. False, with the
    // object empty, when the wave has no samples, when the FGT would need
    // more memory than the machine has (after a message) or when an
    // allocation fails. With a `progress`, the rows are computed in
    // kProgressSteps slices, one step after each (the values are the same).
    bool Calculate(const CKWave* wave, double P, double lower, double upper,
                   ProgressReporter* progress = nullptr);
    // Maps every level to its grey pixel again.
    void BuildImage(double lower, double upper);
    void Reset();

    static constexpr int kProgressSteps = 20;

    int GetRows() const { return m_nRows; }
    int GetTotal() const { return m_nTotal; }
    double* GetFrequency() const { return m_pFrequency.get(); }
    double* GetSigmaT() const { return m_pSigmaT.get(); }
    int* GetRowLength() const { return m_pRowLength.get(); }
    double* GetLevel() const { return m_pLevel.get(); }
    uint32_t* GetPixels() const { return m_pPixels.get(); }

private:
    int m_nRows = 0;
    int m_nTotal = 0;
    std::unique_ptr<double[]> m_pFrequency;
    std::unique_ptr<double[]> m_pSigmaT;
    std::unique_ptr<int[]> m_pRowLength;
    std::unique_ptr<double[]> m_pLevel;
    std::unique_ptr<uint32_t[]> m_pPixels;
};
