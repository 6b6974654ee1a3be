#include "DataFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "NumberFormat.h"

namespace {

// Text gathered before it is written.
constexpr size_t kFlushBytes = size_t{1} << 20;
// Columns formatted by one thread between two writes.
constexpr size_t kColumnsPerBlock = 512;

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

void AppendColumns(std::string& text, const DataFile::SonogramLevels& data, size_t begin, size_t end) {
    const size_t rows = data.frequencies.size();
    for (size_t c = begin; c < end; ++c) {
        number::AppendFixed(text, data.times[c], DataFile::kTimeDecimals);
        const double* levels = data.levels.data() + c * rows;
        for (size_t k = 0; k < rows; ++k) {
            text.push_back(',');
            number::AppendFixed(text, levels[k], DataFile::kLevelDecimals);
        }
        text.push_back('\n');
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
        // Two threads format neighbouring blocks of columns while the lines
        // go out in their order.
        const size_t columns = data.times.size();
        std::string first;
        std::string second;
        for (size_t begin = 0; begin < columns; begin += 2 * kColumnsPerBlock) {
            const size_t middle = std::min(columns, begin + kColumnsPerBlock);
            const size_t end = std::min(columns, middle + kColumnsPerBlock);
            first.clear();
            second.clear();
            std::thread helper;
            try {
                helper = std::thread([&] { AppendColumns(second, data, middle, end); });
            } catch (const std::system_error&) {
                AppendColumns(second, data, middle, end);  // no thread: the same text, one after the other
            }
            AppendColumns(first, data, begin, middle);
            if (helper.joinable()) helper.join();
            if (!WriteAll(fd, first, reason) || !WriteAll(fd, second, reason)) return false;
        }
        return true;
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
