// What a long computation tells the world about its progress: one step at a
// time, at the stride the computation chooses. The progress dialog implements
// it; tests count the steps; benchmarks pass nothing. No GUI types here, so
// the filter kernels that take it stay free of widgets.
#pragma once

#include "FonacoreApi.h"

class FONACORE_API ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    // Advances the progress by one step. Implementations may process pending
    // window events, but never wait.
    virtual int StepIt() = 0;
};
