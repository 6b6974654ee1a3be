// A profile of the test's own whose temporary folder is a fresh, empty
// folder, so that the signal files a document makes can be counted, and a
// second folder for the WAVE files the test writes.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MessageCapture.h"
#include "Profile.h"
#include "WavWriter.h"

class DocFolderFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousProfile = platform::SetProfileFile(m_profileDir.file("profile.ini"));
        SetTemporaryFolder(m_temp.path());
    }
    void TearDown() override { platform::SetProfileFile(m_previousProfile); }

    // Points the profile's temporary folder elsewhere, for documents made later.
    void SetTemporaryFolder(const std::string& folder) {
        const std::string text = "[Document]\nPathToTemporalFiles=" + folder + "\n";
        ASSERT_TRUE(testwav::writeFile(m_profileDir.file("profile.ini"),
                                       std::vector<uint8_t>(text.begin(), text.end())));
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = m_files.file(name);
        EXPECT_TRUE(testwav::writeFile(path, bytes));
        return path;
    }
    size_t TempFiles() const { return m_temp.tempSignalFiles().size(); }

    testwav::TempDir m_profileDir;
    testwav::TempDir m_temp;
    testwav::TempDir m_files;
    MessageCapture m_messages;

private:
    std::string m_previousProfile;
};
