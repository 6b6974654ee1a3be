// The whole signal of one opened file: up to two channels, each held at
// eight frequency layers. Layer k (0..7) of a channel has the rate
// FrADC/2^k and (samples >> k) samples; layer 0 is the file's own signal,
// layers 1..7 are successive halvings made by CalculateDecimateWaves.
//
// Every layer of every channel is one CKWave, element 2*layer + channel of
// the film; for a mono film the channel-1 elements exist but stay empty.
// Layers 1..7 are read only once decimated, so their stores are made by
// CalculateDecimateWaves, not with the film: opening a file takes the
// layer-0 stores alone.
// The document owns the film; views hold non-owning pointers to its signals.
#pragma once

#include <string>

#include "FonacoreApi.h"
#include "KWave.h"

class StretchPlan;

class FONACORE_API CKMultiWaveFilm {
public:
    static constexpr int kLayers = 8;
    static constexpr int kChannelSlots = 2;

    CKMultiWaveFilm();
    // Deletes the stores of the 16 signals in element order 0 to 15 (removing
    // their temporary files), then the status text and the signals themselves.
    virtual ~CKMultiWaveFilm();
    CKMultiWaveFilm(const CKMultiWaveFilm&) = delete;
    CKMultiWaveFilm& operator=(const CKMultiWaveFilm&) = delete;

    // Creates layer 0 of every channel (zeroed, guard bands included) in
    // temporary files in `folder`, channel 1 before channel 0 in a stereo
    // film; `folder` is kept for the decimated layers. False on a channel
    // count other than 1 or 2 (with a message) or as soon as one signal
    // cannot be created; the signals made before keep their files until the
    // film is destroyed.
    // Sparse stores take no disk until a stretch of them is reserved (see
    // CKWave::Backing).
    bool CreateKMultiWaveFilm(const std::string& folder, unsigned long frADC, int nChannels,
                              int nBitsPerSample, int nSamples,
                              CKWave::Backing backing = CKWave::Backing::Reserved);

    // Element 2*layer + channel. No range check: callers pass layer 0..7 and
    // channel 0..1 (channel 1 only for stereo films).
    CKWave* GetKWave(int layer, int channel) { return &m_KWaves[2 * layer + channel]; }
    const CKWave* GetKWave(int layer, int channel) const { return &m_KWaves[2 * layer + channel]; }
    CKWave* GetMainKWave(int channel) { return GetKWave(0, channel); }

    int GetChannels() const { return m_nChannels; }
    // The rate of layer 0, channel 0, in Hz.
    double GetFrADC() const { return m_KWaves[0].GetFrADC(); }
    // Samples of layer 0, channel 0, over its rate: the file's duration.
    double GetTimeLength_in_seconds() const;
    bool GetDecimateWaveAreCalculated() const { return m_bDecimateWavesAreCalculated; }

    // Makes the stores of layers 1..7 of every channel and fills them from
    // layer 0 (once; later calls return true at once). False, after a
    // message, when the temporary folder lacks the room, a store cannot be
    // made (the decimated stores made so far go again) or memory for the
    // filter ran short.
    bool CalculateDecimateWaves();
    // For a film whose layer 0 holds only a stretch: makes sparse stores of
    // layers 1 .. `layer` of `channel` (nothing computed yet); the other
    // layers stay empty, and the film does not count as decimated. False
    // when a store cannot be made (those made go again).
    bool CreateSparseLayers(int channel, int layer);
    // Computes in those stores only the outputs `plan` decimates, each layer
    // from the one below, bit for bit as CalculateDecimateWaves gives them.
    // False, after a message, when their stretch cannot be reserved or
    // memory for the filter ran short.
    bool CalculateDecimatedStretch(int channel, const StretchPlan& plan);

protected:
    // The stores of layers 1..7, after the free-space check; false (with the
    // stores of those layers released) when one cannot be made.
    bool CreateDecimatedStores();
    // The store of one decimated layer of one channel; false when it cannot be made.
    bool CreateDecimatedStore(int layer, int channel, CKWave::Backing backing);
    void DeleteDecimatedStores();

    std::string m_strFolder;
    CKWave m_KWaves[kLayers * kChannelSlots];
    bool m_bDecimateWavesAreCalculated = false;
    int m_nChannels = 0;
    std::string m_strStatusText;
};
