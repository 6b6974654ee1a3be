// A temporary file mapped read/write into memory: the backing of one signal
// store. The file is named "KFW<hex>.TMP" in a folder the caller chooses, is
// created exclusively (a new, empty file of our own), has its whole size
// reserved on disk before it is mapped, and is unmapped, closed and removed
// when the object is released or destroyed. Because the space is reserved
// first, a full disk is an error return of Reserve, never a fault when the
// mapping is later written.
//
// While the file lives its descriptor holds an exclusive advisory lock
// (flock). A process that dies without cleaning up leaves an unlocked file
// behind; RemoveStaleFiles removes exactly those and never touches a file
// that some live process still holds.
//
// Not copyable; one object owns one file.
#pragma once

#include <cstddef>
#include <string>

#include "FonacoreApi.h"

class FONACORE_API TempFileMapping {
public:
    enum class MapResult {
        Ok,
        ReserveFailed,  // the disk space could not be reserved (full disk, quota, size limit)
        MapFailed,      // the reserved file could not be mapped
    };

    TempFileMapping() = default;
    ~TempFileMapping();
    TempFileMapping(const TempFileMapping&) = delete;
    TempFileMapping& operator=(const TempFileMapping&) = delete;

    // Creates a new, empty, locked file "KFW<hex>.TMP" in `folder` (never in
    // the working directory: an empty folder fails), retrying
    // with another number when the name is taken. Releases any file this
    // object held before. On failure nothing is left on disk and Path() holds
    // the last name tried (folder + "/KFW....TMP"), for the message.
    bool CreateFile(const std::string& folder);

    // Reserves `bytes` bytes for the file made by CreateFile and maps the
    // whole file read/write. The mapping reads as zeros. On any failure the
    // file is removed (Release) and the stage that failed is returned.
    MapResult ReserveAndMap(size_t bytes);
    // Makes the file `bytes` long without reserving any of it and maps it
    // read/write: a sparse file whose unwritten parts take no disk and, while
    // only read, no memory. Only the parts reserved with Reserve may be
    // written. On failure the file is removed and the stage that failed is
    // returned (ReserveFailed when the file may not have that length).
    MapResult MapSparse(size_t bytes);
    // Reserves bytes `offset` .. `offset + bytes - 1` of a mapped file (on
    // page boundaries), before anything is written there; false when the
    // disk cannot give them.
    bool Reserve(size_t offset, size_t bytes);

    // Unmaps, closes and removes the file; harmless when nothing is held.
    void Release();

    bool HasFile() const { return m_fd >= 0; }
    void* Data() const { return m_data; }
    size_t Size() const { return m_size; }
    // The full name of the file (or of the last name tried after a failed CreateFile).
    const std::string& Path() const { return m_path; }

    // The name prefix and extension of every such file.
    static const char* NamePrefix() { return "KFW"; }
    static const char* NameExtension() { return ".TMP"; }

    // Removes the files of this user in `folder` named exactly as CreateFile
    // names them that no live process holds a lock on. Locked files are left alone, and so is an empty file
    // younger than a minute (its maker may not have locked it yet). Returns the number of files removed.
    static int RemoveStaleFiles(const std::string& folder);

private:
    MapResult Map(size_t bytes, bool largePages);
    void CloseAndRemove();

    int m_fd = -1;
    void* m_data = nullptr;
    size_t m_size = 0;
    std::string m_path;
};
