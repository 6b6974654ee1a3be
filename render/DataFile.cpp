#include "DataFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "NumberFormat.h"

namespace {

// Text gathered before it is written.
constexpr size_t kFlushBytes = size_t{1} << 20;
// Bytes a level takes in the CSV as a rule ("-43.125,"), to size blocks.
constexpr size_t kLineBytesPerRow = 8;

// Writes everything, resuming after interruptions and partial writes.
bool WriteAll(int fd, const char* data, size_t size, std::string& reason) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            reason = std::strerror(written < 0 ? errno : ENOSPC);
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool WriteAll(int fd, const std::string& text, std::string& reason) {
    return WriteAll(fd, text.data(), text.size(), reason);
}

// Text of the columns [begin, end) in `text`, from its start, the numbers
// written straight into it; returns its length. Grows `text` as needed,
// keeping room for the longest number at its end.
size_t FormatColumns(std::vector<char>& text, const DataFile::SonogramLevels& data, size_t begin,
                     size_t end) {
    const size_t rows = data.frequencies.size();
    size_t used = 0;
    char* at = text.data();
    const auto makeRoom = [&](size_t characters) {
        used = static_cast<size_t>(at - text.data());
        if (text.size() - used < characters) text.resize(2 * (used + characters));
        at = text.data() + used;
    };
    for (size_t c = begin; c < end; ++c) {
        // The worst line (every number at its longest) is rare: room is
        // checked for it number by number only when a whole line may not fit.
        const bool checkEach =
            text.size() - static_cast<size_t>(at - text.data()) < (rows + 2) * (number::kMaxFixedChars + 2);
        makeRoom(number::kMaxFixedChars + 2);
        at = number::WriteFixed(at, data.times[c], DataFile::kTimeDecimals);
        const double* levels = data.levels.data() + c * rows;
        for (size_t k = 0; k < rows; ++k) {
            if (checkEach) makeRoom(number::kMaxFixedChars + 2);
            *at++ = ',';
            at = number::WriteFixed(at, levels[k], DataFile::kLevelDecimals);
        }
        if (checkEach) makeRoom(1);
        *at++ = '\n';
    }
    return static_cast<size_t>(at - text.data());
}

// Whose turn it is to write: blocks go out in their order, whichever thread
// formatted them.
struct WriteTurns {
    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;
    bool failed = false;
    std::string reason;
};

// Formats the blocks first, first + stride, ... of `columnsPerBlock`
// columns each and writes each when its turn comes, so that one thread's
// write overlaps the other's formatting. Stops at the first failure, its
// own or the other's.
void FormatAndWrite(int fd, const DataFile::SonogramLevels& data, size_t columnsPerBlock, size_t first,
                    size_t stride, WriteTurns& turns) {
    const size_t columns = data.times.size();
    std::vector<char> text;
    for (size_t block = first; block * columnsPerBlock < columns; block += stride) {
        size_t length = 0;
        std::string reason;
        try {
            const size_t begin = block * columnsPerBlock;
            length = FormatColumns(text, data, begin, std::min(columns, begin + columnsPerBlock));
        } catch (const std::bad_alloc&) {
            reason = std::strerror(ENOMEM);
        }
        {
            std::unique_lock<std::mutex> lock(turns.mutex);
            turns.changed.wait(lock, [&] { return turns.next == block || turns.failed; });
            if (turns.failed) return;
        }
        // Only the holder of the turn writes; the lock is not held meanwhile.
        const bool written = reason.empty() && WriteAll(fd, text.data(), length, reason);
        {
            const std::lock_guard<std::mutex> lock(turns.mutex);
            if (written) {
                turns.next = block + 1;
            } else {
                turns.failed = true;
                turns.reason = reason;
            }
        }
        turns.changed.notify_all();
        if (!written) return;
    }
}

// The header of a NumPy file (format 1.0) of little-endian `descr` items in
// the shape `shape`, padded so that the data start at a multiple of 64.
std::string NpyHeader(const char* descr, const std::string& shape) {
    std::string dictionary =
        std::string("{'descr': '") + descr + "', 'fortran_order': False, 'shape': " + shape + ", }";
    const size_t unpadded = 10 + dictionary.size() + 1;
    dictionary.append((64 - unpadded % 64) % 64, ' ');
    dictionary.push_back('\n');
    std::string header("\x93NUMPY\x01\x00", 8);
    header.push_back(static_cast<char>(dictionary.size() & 0xFF));
    header.push_back(static_cast<char>(dictionary.size() >> 8));
    return header + dictionary;
}

}  // namespace

DataFile::Writer DataFile::SonogramCsv(const SonogramLevels& data) {
    return [&data](int fd, std::string& reason) {
        std::string header = "time_s";
        for (const double frequency : data.frequencies) {
            header.push_back(',');
            number::AppendFixed(header, frequency, kFrequencyDecimals);
        }
        header.push_back('\n');
        if (!WriteAll(fd, header, reason)) return false;
        // Two threads take turns: each formats every other block and writes
        // it after the block before.
        const size_t lineBytes = kLineBytesPerRow * (data.frequencies.size() + 1);
        const size_t columnsPerBlock = std::max<size_t>(1, kFlushBytes / lineBytes);
        WriteTurns turns;
        std::thread helper;
        try {
            helper = std::thread([&] { FormatAndWrite(fd, data, columnsPerBlock, 1, 2, turns); });
        } catch (const std::system_error&) {
            // No thread: one does it all, the same text.
        }
        FormatAndWrite(fd, data, columnsPerBlock, 0, helper.joinable() ? 2 : 1, turns);
        if (helper.joinable()) helper.join();
        if (turns.failed) reason = turns.reason;
        return !turns.failed;
    };
}

DataFile::Writer DataFile::SonogramNpy(const SonogramLevels& data) {
    return [&data](int fd, std::string& reason) {
        const size_t rows = data.frequencies.size();
        const std::string shape = "(" + std::to_string(data.times.size()) + ", " + std::to_string(rows) + ")";
        if (!WriteAll(fd, NpyHeader("<f4", shape), reason)) return false;
        std::vector<float> buffer;
        buffer.reserve(kFlushBytes / sizeof(float));
        for (size_t i = 0; i < data.levels.size(); i += buffer.capacity()) {
            const size_t n = std::min(buffer.capacity(), data.levels.size() - i);
            buffer.assign(data.levels.begin() + static_cast<std::ptrdiff_t>(i),
                          data.levels.begin() + static_cast<std::ptrdiff_t>(i + n));
            if (!WriteAll(fd, reinterpret_cast<const char*>(buffer.data()), n * sizeof(float), reason))
                return false;
        }
        return true;
    };
}

DataFile::Writer DataFile::VectorNpy(const std::vector<double>& values) {
    return [&values](int fd, std::string& reason) {
        return WriteAll(fd, NpyHeader("<f8", "(" + std::to_string(values.size()) + ",)"), reason) &&
               WriteAll(fd, reinterpret_cast<const char*>(values.data()), values.size() * sizeof(double),
                        reason);
    };
}

DataFile::Writer DataFile::FgtCsv(const std::vector<FgtRow>& rows) {
    return [&rows](int fd, std::string& reason) {
        std::string text = "row,frequency_hz,time_s,level_db\n";
        for (const FgtRow& row : rows) {
            std::string prefix = std::to_string(row.row) + ",";
            number::AppendFixed(prefix, row.frequency, kFrequencyDecimals);
            prefix.push_back(',');
            for (size_t i = 0; i < row.levels.size(); ++i) {
                text += prefix;
                number::AppendFixed(text,
                                    static_cast<double>(row.first + static_cast<long long>(i)) * row.sigma,
                                    kTimeDecimals);
                text.push_back(',');
                number::AppendFixed(text, row.levels[i], kLevelDecimals);
                text.push_back('\n');
                if (text.size() >= kFlushBytes) {
                    if (!WriteAll(fd, text, reason)) return false;
                    text.clear();
                }
            }
        }
        return WriteAll(fd, text, reason);
    };
}

std::string DataFile::CompanionName(const std::string& npyPath, const std::string& what) {
    // The ending was checked when the options were read: ".npy" in any case.
    return npyPath.substr(0, npyPath.size() - 4) + "." + what + ".npy";
}
