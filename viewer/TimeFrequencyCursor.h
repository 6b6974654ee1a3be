// The time-frequency cursor that all panes of one document share: a point of
// the signal's time axis (seconds from the first sample) and of its frequency
// axis (Hz). The document owns it and keeps it inside the signal.
#pragma once

struct TimeFrequencyCursor {
    double time = 0.0;       // seconds
    double frequency = 0.0;  // Hz
};
