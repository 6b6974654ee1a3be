// What a run of the renderer leaves on disk when a signal stops it (Ctrl+C,
// kill, a closed terminal): nothing of its own, and nothing of anyone else.
// The handlers remove exactly the files this process made and still owns,
// recorded in CreatedFileTable as they were made (the temporary signal files
// and the picture being written beside its output), then end the process
// with the same signal. Only async-signal-safe calls run in the handler.
//
// A run killed outright (SIGKILL) cannot clean up: the next start of the
// renderer or the viewer sweeps the signal files no live process holds.
#pragma once

class InterruptCleanup {
public:
    // Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT; a
    // signal that the caller ignores (nohup, a background job) stays ignored.
    static void Install();
};
