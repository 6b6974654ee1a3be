// The bytes of a regular file, read with pread. Opening refuses anything
// that is not a regular file (a folder, a pipe, a device) before reading a
// byte, and never blocks on such a path.
#pragma once

#include <memory>
#include <string>

#include "WaveByteSource.h"

class FONACORE_API WaveFileByteSource : public WaveByteSource {
public:
    ~WaveFileByteSource() override;

    // Opens `path` read-only. On failure returns null and sets `errorCode`
    // to one of the open codes of RiffTypes.h (file or path not found,
    // access denied, too many open files, not a regular file, ...).
    static std::unique_ptr<WaveFileByteSource> Open(const std::string& path, unsigned& errorCode);

    long long ReadAt(uint64_t offset, void* buffer, size_t count) override;
    uint64_t Size() const override { return m_size; }

private:
    WaveFileByteSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}

    int m_fd;
    uint64_t m_size;
};
