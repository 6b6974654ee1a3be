// A run of sample indices first .. end - 1 of one signal (layer), in that
// signal's own numbering: sample 0 is its first sample, negative indices and
// those from its length on lie in its guard bands. Empty when end <= first.
#pragma once

#include <algorithm>

struct SampleSpan {
    long first = 0;
    long end = 0;

    bool Empty() const { return end <= first; }
    long Length() const { return Empty() ? 0 : end - first; }
    bool Contains(const SampleSpan& other) const {
        return other.Empty() || (first <= other.first && other.end <= end);
    }
    // The smallest span holding both; an empty span adds nothing.
    SampleSpan Hull(const SampleSpan& other) const {
        if (other.Empty()) return *this;
        if (Empty()) return other;
        return {std::min(first, other.first), std::max(end, other.end)};
    }
    // The indices in both (empty when they do not meet).
    SampleSpan Within(const SampleSpan& other) const {
        const SampleSpan both{std::max(first, other.first), std::min(end, other.end)};
        return both.Empty() ? SampleSpan{} : both;
    }
    // The span grown at both ends to whole units of `unit` indices, unit u
    // holding u·unit .. (u+1)·unit − 1; for spans from index 0 on.
    SampleSpan WholeUnits(long unit) const {
        if (Empty()) return {};
        return {first / unit * unit, (end + unit - 1) / unit * unit};
    }
    // The first index of the last unit of a span of whole units.
    long LastUnitStart(long unit) const { return first + (end - 1 - first) / unit * unit; }
};
