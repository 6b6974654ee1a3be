// Progress of the renderer's long computations as short lines on a stream
// (standard error): "<status>: <percent>%" each time the figure passes the
// next fifth of the way, so a log gets at most six lines per computation.
// It is the ProgressReporter the renderer's own computations step, and it
// follows the library's progress windows (decimation, analytic signal), which
// have no window without a GUI, through their observer.
#pragma once

#include <cstdio>
#include <string>

#include "ProgressReporter.h"

class ConsoleProgress : public ProgressReporter {
public:
    // A null stream prints nothing.
    explicit ConsoleProgress(std::FILE* stream);
    ~ConsoleProgress() override;
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    // Starts a computation of `steps` steps under the status text.
    void Begin(const std::string& status, long steps);
    int StepIt() override;
    // A figure of another computation (the library's progress windows).
    void Report(const std::string& status, int percent);
    // Prints the status once, without a figure.
    void Note(const std::string& text);

    // Percent figures a status line is printed at.
    static constexpr int kEvery = 20;

private:
    std::FILE* m_pStream;
    std::string m_strStatus;
    long m_nSteps = 0;
    long m_nDone = 0;
    int m_nNextPercent = 0;
};
