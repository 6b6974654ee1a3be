// Where the play-head stands while a stretch of the recording plays.
//
// The stretch runs from layer-0 sample `startSample` (inclusive) to
// `endSample` (exclusive) at the file's own rate `frADC`. The sound sink
// reports how many microseconds of it it has processed; the play-head is at
// layer-0 sample start + floor(us * frADC / 10^6), never past the end. A pane
// over layer L (the rate halved L times) with a step of S samples shows that
// sample in column floor(n / (2^L * S) + 1/2), the column whose frame is
// centred nearest to it. Everything is integer arithmetic, so that the
// columns agree with the panes' own grid to the sample. No Qt here.
#pragma once

#include <cstdint>

class PlayheadMapping {
public:
    PlayheadMapping() = default;
    PlayheadMapping(long startSample, long endSample, double frADC);

    long GetStartSample() const { return m_nStart; }
    long GetEndSample() const { return m_nEnd; }
    double GetFrADC() const { return m_dFrADC; }
    // The duration of the whole stretch in microseconds.
    int64_t GetDurationUs() const;

    // The layer-0 sample reached after `processedUs` microseconds.
    long SampleAt(int64_t processedUs) const;
    // Its time in seconds.
    double TimeAt(int64_t processedUs) const { return SampleAt(processedUs) / m_dFrADC; }

    // The column of layer-0 sample `sample` in a pane over `layer` with a step
    // of `stepSamples`, limited to 0 .. columns - 1 (0 when there are none).
    static int Column(long sample, int layer, int stepSamples, long columns);
    // The layer whose rate is `layerRate`, for a film recorded at `frADC`:
    // the number of halvings between them (0 when they do not differ).
    static int LayerOf(double frADC, double layerRate);

private:
    long m_nStart = 0;
    long m_nEnd = 0;
    double m_dFrADC = 1.0;
};
