// The files this process has made and still owns, in a fixed table that a
// signal handler may walk: each one's path and the device and inode the file
// had when it was made. A maker records a file as it creates it
// (CreateExclusive) and forgets it once it has removed it or handed it over
// under another name (Forget). RemoveAll, for the handlers of the signals
// that end a run early, removes every recorded file that its path still
// names, and nothing else: no name is matched against a pattern, so no file
// of anyone else can be taken for one of ours.
//
// A maker keeps each recorded file open until it has forgotten it: the
// descriptor keeps the file's inode from passing to a file someone else
// makes under the same name meanwhile.
//
// The table is preallocated and its slots change state atomically: RemoveAll
// neither allocates nor takes a lock. A file made while the table is full is
// made all the same, without a record; if the process is then killed it is
// left for the stale-file sweep of a later start.
#pragma once

#include <sys/types.h>

#include <string>

#include "FonacoreApi.h"

class FONACORE_API CreatedFileTable {
public:
    static constexpr int kSlots = 256;
    // The longest path recorded, terminator included (the system's limit).
    static constexpr size_t kMaxPath = 4096;

    // Creates `path` as a new file (open with `flags` | O_CREAT | O_EXCL and
    // `mode`) and records it, in one step as far as a signal handler can
    // tell. Returns the descriptor, or -1 with errno set and nothing recorded.
    static int CreateExclusive(const std::string& path, int flags, mode_t mode);

    // Forgets the file recorded under `path`: its maker has removed it or
    // renamed it to its final name. Call after the unlink or rename, so that
    // a signal in between finds the file gone, not a file left unrecorded.
    static void Forget(const std::string& path);

    // Removes every recorded file whose path still names it (same device and
    // inode) and forgets them all. Async-signal-safe.
    static void RemoveAll();

    // The number of files recorded now.
    static int Count();
};
