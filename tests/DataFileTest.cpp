// The sonogram's CSV against printf: every number as "%.6f" (times,
// frequencies) or "%.3f" (levels) in the C locale, whatever the shape of
// the matrix and however its lines fall into the blocks that two threads
// format in turns; and a write that fails stops both threads with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "DataFile.h"
#include "WavWriter.h"

namespace {

std::string Printf(const char* format, double value) {
    char text[512];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The CSV built number by number with snprintf.
std::string Expected(const DataFile::SonogramLevels& data) {
    std::string text = "time_s";
    for (const double frequency : data.frequencies) text += "," + Printf("%.6f", frequency);
    text += "\n";
    for (size_t c = 0; c < data.times.size(); ++c) {
        text += Printf("%.6f", data.times[c]);
        for (size_t k = 0; k < data.frequencies.size(); ++k)
            text += "," + Printf("%.3f", data.levels[c * data.frequencies.size() + k]);
        text += "\n";
    }
    return text;
}

// Levels that printf rounds in every way: exact binary ties (0.0625 goes to
// even), the neighbours of decimal ties, negative values that round to
// "-0.000", negative zero, the largest doubles, infinities, NaN of both signs
// and tiny values; and plain levels of a sonogram, -150..10 dB.
std::vector<double> Values(size_t count, std::mt19937& random) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> edges{0.0,    -0.0,    0.0625, -0.0625, 2.5e-4,  -2.5e-4,  -4e-4, 0.0005,
                                    1.0005, -1.0005, 1e12,   -3e15,   1e300,   -1e300,   inf,   -inf,
                                    nan,    -nan,    5e-324, -5e-324, 99.9995, 999.9995, 0.125, 2.5};
    std::uniform_real_distribution<double> level(-150.0, 10.0);
    std::vector<double> values;
    for (size_t i = 0; i < count; ++i) {
        const unsigned pick = random() % 8;
        if (pick == 0) {
            values.push_back(edges[random() % edges.size()]);
        } else if (pick == 1) {
            // Next to a tie of the third decimal.
            const double tie = (std::floor(level(random) * 1000.0) + 0.5) / 1000.0;
            values.push_back(std::nextafter(tie, random() % 2 ? inf : -inf));
        } else {
            values.push_back(level(random));
        }
    }
    return values;
}

// What the CSV writer puts into a new file.
std::string Written(const DataFile::SonogramLevels& data) {
    const testwav::TempDir folder;
    const std::string path = folder.file("levels.csv");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0);
    std::string reason;
    EXPECT_TRUE(DataFile::SonogramCsv(data)(fd, reason)) << reason;
    close(fd);
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Shape {
    size_t rows;
    size_t columns;
    // Every level this value instead of the mix, when not 0.
    double level = 0.0;
};

class SonogramCsvTest : public ::testing::TestWithParam<Shape> {};

TEST_P(SonogramCsvTest, EveryNumberIsPrintfs) {
    const Shape shape = GetParam();
    std::mt19937 random(static_cast<unsigned>(shape.rows * 7919 + shape.columns));
    DataFile::SonogramLevels data;
    data.times = Values(shape.columns, random);
    data.frequencies = Values(shape.rows, random);
    const std::vector<double> levels = Values(shape.rows * shape.columns, random);
    data.levels.assign(levels.begin(), levels.end());
    if (shape.level != 0.0) data.levels.assign(data.levels.size(), shape.level);
    const std::string written = Written(data);
    const std::string expected = Expected(data);
    ASSERT_EQ(written.size(), expected.size());
    // The first difference, not two pages of text.
    const auto [at, ignored] = std::mismatch(written.begin(), written.end(), expected.begin());
    EXPECT_TRUE(at == written.end()) << "at byte " << (at - written.begin()) << ": "
                                     << std::string(at, at + std::min<long>(40, written.end() - at));
}

// Blocks are about a megabyte of text: 4095 rows give 32 lines a block, so
// 101 columns make four blocks for two threads and a short last one; a
// single row gives one block; no rows, lines of the time alone. Lines of
// 309-digit levels (220 kB each) go far past the room a block keeps in
// advance, so that it grows number by number.
INSTANTIATE_TEST_SUITE_P(Shapes, SonogramCsvTest,
                         ::testing::Values(Shape{0, 0}, Shape{5, 0}, Shape{0, 3}, Shape{1, 1}, Shape{1, 5000},
                                           Shape{4095, 101}, Shape{513, 700}, Shape{3000, 1},
                                           Shape{700, 4, -1.5e308}));

// Files may grow to `bytes` while it lives; a write past them fails with
// EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_active = getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_previous.rlim_max};
        m_active = m_active && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        if (m_active) setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return m_active; }

private:
    rlimit m_previous{};
    void (*m_previousSignal)(int) = SIG_DFL;
    bool m_active = false;
};

TEST(SonogramCsv, AFailedWriteStopsBothThreadsWithTheReason) {
    // About 16 MB of text against a limit of 3: the header and the first
    // blocks go out, then a block fails in one thread while the other waits
    // for its turn or formats.
    std::mt19937 random(1);
    DataFile::SonogramLevels data;
    data.frequencies = Values(1023, random);
    data.times = Values(2000, random);
    const std::vector<double> levels = Values(data.frequencies.size() * data.times.size(), random);
    data.levels.assign(levels.begin(), levels.end());
    testwav::TempDir folder;
    const std::string path = folder.file("levels.csv");
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    bool written = true;
    std::string reason;
    {
        FileSizeLimit limit(3 << 20);
        if (!limit.active()) {
            close(fd);
            GTEST_SKIP() << "the file size limit cannot be set";
        }
        written = DataFile::SonogramCsv(data)(fd, reason);
    }
    close(fd);
    EXPECT_FALSE(written);
    EXPECT_EQ(reason, std::strerror(EFBIG));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 3 << 20);
}

}  // namespace
