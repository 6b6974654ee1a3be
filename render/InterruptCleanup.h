// What a run of the renderer leaves on disk when a signal stops it (Ctrl+C,
// kill, a closed terminal): nothing. The handlers remove the temporary signal
// files the process holds open (KFW*.TMP, found through /proc/self/fd, since
// every store keeps its file open and locked) and the half-written output
// (the save file's temporary file beside the output), then end the process
// with the same signal. Only async-signal-safe calls run in the handler.
//
// A run killed outright (SIGKILL) cannot clean up: the next start of the
// renderer or the viewer sweeps the signal files no live process holds.
#pragma once

#include <string>

class InterruptCleanup {
public:
    // Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT; the
    // output's temporary file is any open file whose name starts with
    // `outputPath` (as an absolute path with the folder's links resolved)
    // followed by a dot.
    static void Install(const std::string& outputPath);

    // True when `path` names a temporary signal file (its last component is
    // KFW*.TMP) or, with a prefix, starts with `outputPrefix`. Plain character
    // work, safe in a signal handler.
    static bool IsLeftover(const char* path, const char* outputPrefix);
};
