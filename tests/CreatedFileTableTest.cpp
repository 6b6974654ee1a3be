// The table of the files the process made, which the renderer's signal
// handlers empty: RemoveAll takes exactly the recorded files that their
// paths still name, never a file made by someone else under the same name,
// one handed over under another name, or one forgotten.
#include "CreatedFileTable.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "TempFileMapping.h"
#include "WavWriter.h"

namespace {

std::set<std::string> Names(const testwav::TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    return names;
}

// Makes a recorded file and keeps it open, as its makers do.
class Made {
public:
    explicit Made(const std::string& path)
        : m_fd(CreatedFileTable::CreateExclusive(path, O_WRONLY | O_CLOEXEC, 0600)) {}
    ~Made() {
        if (m_fd >= 0) close(m_fd);
    }
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd;
};

}  // namespace

TEST(CreatedFileTableTest, RemoveAllTakesOnlyTheFilesStillOurs) {
    testwav::TempDir dir;
    ASSERT_EQ(CreatedFileTable::Count(), 0);
    std::vector<std::unique_ptr<Made>> made;
    for (const char* name : {"ours", "renamed", "replaced", "forgotten"}) {
        made.push_back(std::make_unique<Made>(dir.file(name)));
        ASSERT_TRUE(made.back()->ok());
    }
    // An existing name is never taken over, and nothing is recorded for it.
    ASSERT_TRUE(testwav::writeFile(dir.file("users"), {1, 2, 3}));
    EXPECT_FALSE(Made(dir.file("users")).ok());
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(CreatedFileTable::Count(), 4);

    // Handed over under its final name, not yet forgotten.
    ASSERT_EQ(rename(dir.file("renamed").c_str(), dir.file("final").c_str()), 0);
    // Removed, and another file made under the name since.
    ASSERT_EQ(unlink(dir.file("replaced").c_str()), 0);
    ASSERT_TRUE(testwav::writeFile(dir.file("replaced"), {4, 5}));
    CreatedFileTable::Forget(dir.file("forgotten"));
    EXPECT_EQ(CreatedFileTable::Count(), 3);

    CreatedFileTable::RemoveAll();
    EXPECT_EQ(CreatedFileTable::Count(), 0);
    EXPECT_EQ(Names(dir), (std::set<std::string>{"final", "forgotten", "replaced", "users"}));
}

TEST(CreatedFileTableTest, FilesBeyondAFullTableAreMadeWithoutARecord) {
    testwav::TempDir dir;
    constexpr int kBeyond = 3;
    std::vector<std::unique_ptr<Made>> made;
    for (int i = 0; i < CreatedFileTable::kSlots + kBeyond; ++i) {
        made.push_back(std::make_unique<Made>(dir.file(std::to_string(i))));
        ASSERT_TRUE(made.back()->ok());
    }
    EXPECT_EQ(CreatedFileTable::Count(), CreatedFileTable::kSlots);
    CreatedFileTable::RemoveAll();
    EXPECT_EQ(Names(dir).size(), static_cast<size_t>(kBeyond));
}

TEST(CreatedFileTableTest, SignalFilesAreRecordedWhileTheyLive) {
    testwav::TempDir dir;
    TempFileMapping first;
    TempFileMapping second;
    ASSERT_TRUE(first.CreateFile(dir.path()));
    ASSERT_TRUE(second.CreateFile(dir.path()));
    ASSERT_EQ(second.ReserveAndMap(4096), TempFileMapping::MapResult::Ok);
    EXPECT_EQ(CreatedFileTable::Count(), 2);
    first.Release();
    EXPECT_EQ(CreatedFileTable::Count(), 1);
    // As a signal handler would: the mapped file goes while it is held.
    CreatedFileTable::RemoveAll();
    EXPECT_TRUE(dir.tempSignalFiles().empty());
    second.Release();
    EXPECT_EQ(CreatedFileTable::Count(), 0);
}
