#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <string>
#include <vector>

#include "Profile.h"
#include "WavWriter.h"

namespace {

// Points the profile at an INI file of a temporary folder for one test.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { m_previous = platform::SetProfileFile(iniPath()); }
    void TearDown() override { platform::SetProfileFile(m_previous); }
    std::string iniPath() const { return m_dir.file("profile.ini"); }
    testwav::TempDir m_dir;

private:
    std::string m_previous;
};

std::vector<std::string> RecentFromFile(const std::string& ini) {
    QSettings settings(QString::fromStdString(ini), QSettings::IniFormat);
    std::vector<std::string> files;
    for (int i = 1; i <= 20; ++i) {
        const QString value = settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!value.isEmpty()) files.push_back(value.toStdString());
    }
    return files;
}

}  // namespace

TEST_F(ProfileTest, ReadsHandWrittenEntriesAndFallsBackToTheDefault) {
    EXPECT_EQ(platform::GetProfileString("Document", "PathToTemporalFiles", "/fallback"), "/fallback");
    ASSERT_TRUE(testwav::writeFile(iniPath(), {}));
    const std::string text =
        "[Document]\nPathToTemporalFiles=/data/временные\nOther=a,b\n[Elsewhere]\nPathToTemporalFiles=/no\n";
    ASSERT_TRUE(testwav::writeFile(iniPath(), std::vector<uint8_t>(text.begin(), text.end())));
    EXPECT_EQ(platform::GetProfileString("Document", "PathToTemporalFiles", "/fallback"), "/data/временные");
    EXPECT_EQ(platform::GetProfileString("Document", "Other"), "a,b");
    EXPECT_EQ(platform::GetProfileString("Document", "Missing", "x"), "x");
    EXPECT_EQ(platform::GetProfileString("Elsewhere", "PathToTemporalFiles", ""), "/no");
}

TEST_F(ProfileTest, WrittenStringsReadBack) {
    EXPECT_TRUE(platform::WriteProfileString("Settings", "Name", "значение 1"));
    EXPECT_EQ(platform::GetProfileString("Settings", "Name", "none"), "значение 1");
    QSettings direct(QString::fromStdString(iniPath()), QSettings::IniFormat);
    EXPECT_EQ(direct.value("Settings/Name").toString().toStdString(), "значение 1");
}

TEST_F(ProfileTest, RecentFilesMostRecentFirstWithoutDuplicates) {
    EXPECT_TRUE(platform::GetRecentFileList().empty());
    platform::AddToRecentFileList("/a/one.wav");
    platform::AddToRecentFileList("/a/two.wav");
    std::vector<std::string> list = platform::AddToRecentFileList("/a/three.wav");
    EXPECT_EQ(list, (std::vector<std::string>{"/a/three.wav", "/a/two.wav", "/a/one.wav"}));
    list = platform::AddToRecentFileList("/a/one.wav");
    EXPECT_EQ(list, (std::vector<std::string>{"/a/one.wav", "/a/three.wav", "/a/two.wav"}));
    EXPECT_EQ(platform::GetRecentFileList(), list);
    EXPECT_EQ(RecentFromFile(iniPath()), list);

    list = platform::RemoveFromRecentFileList("/a/three.wav");
    EXPECT_EQ(list, (std::vector<std::string>{"/a/one.wav", "/a/two.wav"}));
    EXPECT_EQ(RecentFromFile(iniPath()), list);
    EXPECT_EQ(platform::RemoveFromRecentFileList("/never/there.wav"), list);

    // Relative names are stored as absolute paths.
    list = platform::AddToRecentFileList("rel/x.wav");
    EXPECT_EQ(list.front(), QDir::current().absoluteFilePath("rel/x.wav").toStdString());
}

TEST_F(ProfileTest, RecentFileListKeepsSixteenEntries) {
    for (int i = 0; i < 20; ++i) platform::AddToRecentFileList("/f/" + std::to_string(i) + ".wav");
    const std::vector<std::string> list = platform::GetRecentFileList();
    ASSERT_EQ(list.size(), static_cast<size_t>(platform::kRecentFileListSize));
    ASSERT_EQ(platform::kRecentFileListSize, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(list[static_cast<size_t>(i)], "/f/" + std::to_string(19 - i) + ".wav");
    EXPECT_EQ(RecentFromFile(iniPath()), list);
}

TEST(Profile, DefaultProfileBelongsToOrganisationAndApplicationFonavid) {
    // Redirect the user scope of QSettings itself to a temporary folder and
    // check where an unredirected profile writes.
    testwav::TempDir dir;
    const std::string previous = platform::SetProfileFile("");
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.path()));
    EXPECT_TRUE(platform::WriteProfileString("Document", "Probe", "42"));
    EXPECT_EQ(platform::GetProfileString("Document", "Probe", ""), "42");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home);
    platform::SetProfileFile(previous);

    QSettings written(QString::fromStdString(dir.file("Fonavid/Fonavid.conf")), QSettings::IniFormat);
    EXPECT_EQ(written.value("Document/Probe").toString().toStdString(), "42");
}
