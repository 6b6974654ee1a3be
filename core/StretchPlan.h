// The stretch of a long signal that one picture reads, layer by layer, so
// that only it is loaded and computed. A picture of layer L reads a span of
// that layer (the sonogram's frames); the analytic signal of layer L is
// computed by the Hilbert filter in whole blocks, and layer l by the
// half-band decimator from layer l - 1 in whole groups. Since the rounding of a filtered value
// depends on the whole block or group it is computed in, the plan keeps
// their alignment with the whole signal's computation and needs every
// value those blocks and groups read: the values it plans then equal the
// whole signal's bit for bit, in the guard bands as well (where both read
// zeros, or the decimator's one output past the end of a layer).
//
// Samples are numbered as in the whole signal of each layer (sample 0 is the
// file's first frame; layer l has samples >> l of them), so a store of the
// whole length in which only the planned stretch is written serves every
// reader unchanged.
#pragma once

#include "FonacoreApi.h"
#include "SampleSpan.h"

class HilbertFilter;

class FONACORE_API StretchPlan {
public:
    static constexpr int kLayers = 8;

    struct Layer {
        // The samples whose values must be the whole signal's.
        SampleSpan needed;
        // The outputs the decimation computes (whole groups; none in layer 0).
        SampleSpan decimated;
        // The samples whose imaginary parts the Hilbert filter computes
        // (whole blocks; only in the picture's layer).
        SampleSpan analytic;
        // What is written into the layer's store besides the loaded frames
        // (in layer 0 the analytic samples lie inside the frames).
        SampleSpan Written() const { return decimated.Hull(analytic); }
    };

    // For a film of `samples` samples in layer 0: the picture reads `picture`
    // of layer `layer` (0 .. 7), whose imaginary parts `analytic` computes
    // when given (a filter of that layer's store).
    StretchPlan(long samples, int layer, const SampleSpan& picture, const HilbertFilter* analytic);

    int GetLayer() const { return m_nLayer; }
    const Layer& At(int layer) const { return m_layers[layer]; }
    // The layer-0 samples to load: those needed that the file holds.
    SampleSpan Frames() const { return m_layers[0].needed.Within({0, m_nSamples}); }

private:
    long m_nSamples = 0;
    int m_nLayer = 0;
    Layer m_layers[kLayers];
};
