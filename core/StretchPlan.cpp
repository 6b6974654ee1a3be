#include "StretchPlan.h"

#include "HalfBandDecimator.h"
#include "HilbertFilter.h"

StretchPlan::StretchPlan(long samples, int layer, const SampleSpan& picture, const HilbertFilter* analytic)
    : m_nSamples(samples), m_nLayer(layer) {
    Layer& top = m_layers[layer];
    top.needed = picture;
    if (analytic != nullptr) {
        const long n = samples >> layer;
        top.analytic = analytic->BlocksCovering(picture, n);
        top.needed = top.needed.Hull(analytic->Reads(picture, n));
    }
    // Each layer from the one below: the groups that hold what is needed,
    // and all that they read.
    for (int l = layer; l >= 1; --l) {
        const long source = samples >> (l - 1);
        m_layers[l].decimated = HalfBandDecimator::GroupsCovering(m_layers[l].needed, source);
        m_layers[l - 1].needed = HalfBandDecimator::SourceRead(m_layers[l].needed, source);
    }
}
