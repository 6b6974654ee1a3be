#include "Profile.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <memory>

#include "LocalFileNames.h"

namespace platform {
namespace {

// Section and entry names of the recent-file list: "File1" is the most recent.
const char kRecentSection[] = "Recent File List";

std::string& ProfileFile() {
    static std::string path;
    return path;
}

std::unique_ptr<QSettings> OpenProfile() {
    if (!ProfileFile().empty())
        return std::make_unique<QSettings>(QString::fromStdString(ProfileFile()), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Fonavid"), QStringLiteral("Fonavid"));
}

QString Key(const std::string& section, const std::string& entry) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(entry);
}

QString RecentKey(int index) { return QStringLiteral("%1/File%2").arg(kRecentSection).arg(index + 1); }

std::string ValueText(const QVariant& value) {
    // A hand-written entry with commas in it reads back as a list; the text
    // the user typed is the whole of it.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    // A file name that is not valid UTF-8 is kept as its bytes.
    if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
    return value.toString().toStdString();
}

std::vector<std::string> ReadRecent(QSettings& settings) {
    std::vector<std::string> files;
    for (int i = 0; i < kRecentFileListSize; ++i) {
        const std::string file = ValueText(settings.value(RecentKey(i)));
        if (!file.empty()) files.push_back(file);
    }
    return files;
}

void WriteRecent(QSettings& settings, const std::vector<std::string>& files) {
    for (int i = 0; i < kRecentFileListSize; ++i) {
        if (i < static_cast<int>(files.size())) {
            // Names that text cannot carry unchanged go in as bytes.
            const std::string& file = files[static_cast<size_t>(i)];
            const QString text = QString::fromStdString(file);
            if (text.toStdString() == file) {
                settings.setValue(RecentKey(i), text);
            } else {
                settings.setValue(RecentKey(i), QByteArray::fromStdString(file));
            }
        } else {
            settings.remove(RecentKey(i));
        }
    }
    settings.sync();
}

std::string AbsolutePath(const std::string& path) { return AbsoluteLocalPath(path); }

}  // namespace

std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue) {
    const auto settings = OpenProfile();
    const QVariant value = settings->value(Key(section, entry));
    if (!value.isValid()) return defaultValue;
    return ValueText(value);
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value) {
    const auto settings = OpenProfile();
    settings->setValue(Key(section, entry), QString::fromStdString(value));
    settings->sync();
    return settings->status() == QSettings::NoError;
}

std::vector<std::string> GetRecentFileList() {
    const auto settings = OpenProfile();
    return ReadRecent(*settings);
}

std::vector<std::string> AddToRecentFileList(const std::string& path) {
    const auto settings = OpenProfile();
    std::vector<std::string> files = ReadRecent(*settings);
    const std::string file = AbsolutePath(path);
    if (file.empty()) return files;
    files.erase(std::remove(files.begin(), files.end(), file), files.end());
    files.insert(files.begin(), file);
    if (files.size() > static_cast<size_t>(kRecentFileListSize)) files.resize(kRecentFileListSize);
    WriteRecent(*settings, files);
    return files;
}

std::vector<std::string> RemoveFromRecentFileList(const std::string& path) {
    const auto settings = OpenProfile();
    std::vector<std::string> files = ReadRecent(*settings);
    const std::string file = AbsolutePath(path);
    const auto end = std::remove(files.begin(), files.end(), file);
    if (end != files.end()) {
        files.erase(end, files.end());
        WriteRecent(*settings, files);
    }
    return files;
}

std::string SetProfileFile(const std::string& path) {
    std::string previous = ProfileFile();
    ProfileFile() = path;
    return previous;
}

}  // namespace platform
