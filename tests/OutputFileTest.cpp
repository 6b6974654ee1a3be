// Files prepared together, each on a thread of its own: all or none, and a
// failure told once, for the first file in the given order that failed,
// whichever thread finished first.
#include "OutputFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MessageCapture.h"
#include "WavWriter.h"

namespace {

std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Names and contents of the files in `folder`.
std::map<std::string, std::string> Contents(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = Read(entry.path().string());
    return files;
}

// A writer that writes `text` and then succeeds, or fails with `reason`.
OutputFile::Writer Writing(const std::string& text, const std::string& reason) {
    return [text, reason](int fd, std::string& why) {
        if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return false;
        why = reason;
        return reason.empty();
    };
}

// Which of three files fail: a bit per file, the first in bit 0.
class PrepareAllTest : public ::testing::TestWithParam<int> {};

TEST_P(PrepareAllTest, AllOrNoneAndTheFirstFailureTold) {
    const int failing = GetParam();
    testwav::TempDir folder;
    const std::vector<std::string> names{"levels.csv", "fgt.csv", "picture.png"};
    std::map<std::string, std::string> before;
    for (const std::string& name : names) {
        before[name] = "old " + name;
        ASSERT_TRUE(testwav::writeFile(folder.file(name),
                                       std::vector<uint8_t>(before[name].begin(), before[name].end())));
    }
    MessageCapture messages;
    std::vector<std::unique_ptr<OutputFile>> files;
    std::vector<std::pair<OutputFile*, OutputFile::Writer>> writes;
    for (size_t i = 0; i < names.size(); ++i) {
        files.push_back(std::make_unique<OutputFile>(folder.file(names[i]), "файл " + std::to_string(i)));
        const bool fails = (failing >> i & 1) != 0;
        writes.emplace_back(files.back().get(),
                            Writing("new " + names[i], fails ? "причина " + std::to_string(i) : ""));
    }
    const bool prepared = OutputFile::PrepareAll(writes);
    EXPECT_EQ(prepared, failing == 0);
    if (failing != 0) {
        int first = 0;
        while ((failing >> first & 1) == 0) ++first;
        ASSERT_EQ(messages.count(), 1u);
        EXPECT_EQ(messages.last(), "Не удалось записать файл " + std::to_string(first) + " " +
                                       folder.file(names[static_cast<size_t>(first)]) + ": причина " +
                                       std::to_string(first));
        // The old files as they were, and no new one beside them.
        EXPECT_EQ(Contents(folder.path()), before);
        return;
    }
    EXPECT_EQ(messages.count(), 0u);
    for (const auto& file : files) EXPECT_TRUE(file->Commit());
    std::map<std::string, std::string> after;
    for (const std::string& name : names) after[name] = "new " + name;
    EXPECT_EQ(Contents(folder.path()), after);
}

INSTANTIATE_TEST_SUITE_P(FailingFiles, PrepareAllTest, ::testing::Range(0, 8));

}  // namespace
