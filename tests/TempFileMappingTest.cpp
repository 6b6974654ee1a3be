#include "TempFileMapping.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "WavWriter.h"

namespace {

off_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Makes a file of `bytes` non-zero bytes, as a crashed process would leave it.
void MakePlainFile(const std::string& path, size_t bytes) {
    ASSERT_TRUE(testwav::writeFile(path, std::vector<uint8_t>(bytes, 0x5A)));
}

void SetAge(const std::string& path, int secondsAgo) {
    struct timespec times[2];
    times[0].tv_sec = time(nullptr) - secondsAgo;
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

TEST(TempFileMapping, CreatesOneUniquelyNamedFileInTheFolder) {
    testwav::TempDir dir;
    TempFileMapping a;
    TempFileMapping b;
    ASSERT_TRUE(a.CreateFile(dir.path()));
    ASSERT_TRUE(b.CreateFile(dir.path()));
    EXPECT_TRUE(a.HasFile());
    EXPECT_NE(a.Path(), b.Path());

    // "KFW", one or more upper-case hexadecimal digits, ".TMP".
    const auto isSignalFileName = [](const std::string& name) {
        if (name.size() < 8 || name.compare(0, 3, "KFW") != 0 ||
            name.compare(name.size() - 4, 4, ".TMP") != 0)
            return false;
        return name.find_first_not_of("0123456789ABCDEF", 3) == name.size() - 4;
    };
    for (const TempFileMapping* m : {&a, &b}) {
        const std::filesystem::path p(m->Path());
        EXPECT_EQ(p.parent_path().string(), dir.path());
        EXPECT_TRUE(isSignalFileName(p.filename().string())) << p;
        EXPECT_EQ(FileSize(m->Path()), 0);
    }
    EXPECT_EQ(dir.tempSignalFiles().size(), 2u);
}

TEST(TempFileMapping, ManyFilesNeverShareAName) {
    testwav::TempDir dir;
    std::vector<TempFileMapping> maps(200);
    std::set<std::string> names;
    for (auto& m : maps) {
        ASSERT_TRUE(m.CreateFile(dir.path()));
        names.insert(m.Path());
    }
    EXPECT_EQ(names.size(), maps.size());
    EXPECT_EQ(dir.tempSignalFiles().size(), maps.size());
}

TEST(TempFileMapping, ReservesTheWholeSizeAndMapsZeros) {
    testwav::TempDir dir;
    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    const size_t bytes = 3 * 1024 * 1024 + 16;  // not a whole number of pages
    ASSERT_EQ(m.ReserveAndMap(bytes), TempFileMapping::MapResult::Ok);
    ASSERT_NE(m.Data(), nullptr);
    EXPECT_EQ(m.Size(), bytes);
    EXPECT_EQ(FileSize(m.Path()), static_cast<off_t>(bytes));

    // The blocks are allocated, not a sparse hole that a full disk could refuse later.
    struct stat st {};
    ASSERT_EQ(stat(m.Path().c_str(), &st), 0);
    EXPECT_GE(static_cast<uint64_t>(st.st_blocks) * 512u, bytes);

    const auto* bytesIn = static_cast<const unsigned char*>(m.Data());
    size_t nonZero = 0;
    for (size_t i = 0; i < bytes; ++i) nonZero += bytesIn[i] != 0;
    EXPECT_EQ(nonZero, 0u);
}

TEST(TempFileMapping, WritesThroughTheMappingReachTheFile) {
    testwav::TempDir dir;
    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    ASSERT_EQ(m.ReserveAndMap(8192), TempFileMapping::MapResult::Ok);
    auto* p = static_cast<unsigned char*>(m.Data());
    p[0] = 0x11;
    p[4097] = 0x22;
    p[8191] = 0x33;

    const int fd = open(m.Path().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    unsigned char got[3] = {};
    EXPECT_EQ(pread(fd, &got[0], 1, 0), 1);
    EXPECT_EQ(pread(fd, &got[1], 1, 4097), 1);
    EXPECT_EQ(pread(fd, &got[2], 1, 8191), 1);
    close(fd);
    EXPECT_EQ(got[0], 0x11);
    EXPECT_EQ(got[1], 0x22);
    EXPECT_EQ(got[2], 0x33);
}

TEST(TempFileMapping, ReleaseAndDestructionRemoveTheFile) {
    testwav::TempDir dir;
    std::string path;
    {
        TempFileMapping m;
        ASSERT_TRUE(m.CreateFile(dir.path()));
        ASSERT_EQ(m.ReserveAndMap(4096), TempFileMapping::MapResult::Ok);
        path = m.Path();
        EXPECT_TRUE(Exists(path));
    }
    EXPECT_FALSE(Exists(path));

    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    ASSERT_EQ(m.ReserveAndMap(4096), TempFileMapping::MapResult::Ok);
    m.Release();
    EXPECT_FALSE(m.HasFile());
    EXPECT_EQ(m.Data(), nullptr);
    EXPECT_EQ(m.Size(), 0u);
    m.Release();  // a second release does nothing
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(TempFileMapping, ReleaseLeavesAFileThatTookOverTheNameAlone) {
    testwav::TempDir dir;
    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    const std::string path = m.Path();
    // Someone removed our file and another one now carries the name.
    ASSERT_EQ(unlink(path.c_str()), 0);
    MakePlainFile(path, 10);
    m.Release();
    EXPECT_TRUE(Exists(path));
}

TEST(TempFileMapping, CreatingAFileTwiceReleasesTheFirst) {
    testwav::TempDir dir;
    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    const std::string first = m.Path();
    ASSERT_TRUE(m.CreateFile(dir.path()));
    EXPECT_FALSE(Exists(first));
    EXPECT_EQ(dir.tempSignalFiles().size(), 1u);
}

TEST(TempFileMapping, MissingFolderFailsWithTheTriedName) {
    testwav::TempDir dir;
    const std::string missing = dir.file("no-such-folder");
    TempFileMapping m;
    EXPECT_FALSE(m.CreateFile(missing));
    EXPECT_FALSE(m.HasFile());
    EXPECT_EQ(m.Path().rfind(missing + "/KFW", 0), 0u) << m.Path();
    EXPECT_EQ(m.ReserveAndMap(4096), TempFileMapping::MapResult::ReserveFailed);

    // A regular file where the folder should be.
    const std::string notAFolder = dir.file("plain");
    MakePlainFile(notAFolder, 1);
    EXPECT_FALSE(m.CreateFile(notAFolder));
    EXPECT_FALSE(Exists(m.Path()));
}

TEST(TempFileMapping, ZeroBytesIsRefusedAndRemovesTheFile) {
    testwav::TempDir dir;
    TempFileMapping m;
    ASSERT_TRUE(m.CreateFile(dir.path()));
    EXPECT_EQ(m.ReserveAndMap(0), TempFileMapping::MapResult::ReserveFailed);
    EXPECT_FALSE(m.HasFile());
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

// A full disk is simulated by a file-size limit in a child process: the
// reservation must fail cleanly (no signal, no file left behind).
TEST(TempFileMapping, ReservationBeyondTheDiskLimitFailsAndRemovesTheFile) {
    testwav::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 1 << 20;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        TempFileMapping m;
        if (!m.CreateFile(dir.path())) _exit(11);
        if (m.ReserveAndMap(8u << 20) != TempFileMapping::MapResult::ReserveFailed) _exit(12);
        if (m.HasFile() || m.Data() != nullptr) _exit(13);
        if (Exists(m.Path())) _exit(14);
        // Within the limit the same object works again.
        if (!m.CreateFile(dir.path())) _exit(15);
        if (m.ReserveAndMap(4096) != TempFileMapping::MapResult::Ok) _exit(16);
        m.Release();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(TempFileMapping, StaleSweepRemovesOnlyUnheldFiles) {
    testwav::TempDir dir;
    TempFileMapping live;
    ASSERT_TRUE(live.CreateFile(dir.path()));
    ASSERT_EQ(live.ReserveAndMap(4096), TempFileMapping::MapResult::Ok);

    MakePlainFile(dir.file("KFW1234.TMP"), 100);  // left by a crashed process
    MakePlainFile(dir.file("KFWABCD.TMP"), 0);    // empty and old: a crash before reservation
    SetAge(dir.file("KFWABCD.TMP"), 600);
    MakePlainFile(dir.file("KFW77.TMP"), 0);   // empty and fresh: perhaps not locked yet
    MakePlainFile(dir.file("KFW99.tmp"), 10);  // other names are not ours
    MakePlainFile(dir.file("XKFW99.TMP"), 10);
    MakePlainFile(dir.file("KFW99.TMP.bak"), 10);
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("KFWDIR.TMP")));

    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(dir.path()), 2);
    EXPECT_FALSE(Exists(dir.file("KFW1234.TMP")));
    EXPECT_FALSE(Exists(dir.file("KFWABCD.TMP")));
    EXPECT_TRUE(Exists(dir.file("KFW77.TMP")));
    EXPECT_TRUE(Exists(live.Path()));
    EXPECT_TRUE(Exists(dir.file("KFW99.tmp")));
    EXPECT_TRUE(Exists(dir.file("XKFW99.TMP")));
    EXPECT_TRUE(Exists(dir.file("KFW99.TMP.bak")));
    EXPECT_TRUE(Exists(dir.file("KFWDIR.TMP")));

    // The live mapping still works after the sweep.
    static_cast<char*>(live.Data())[0] = 1;
    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(dir.file("missing")), 0);
}

TEST(TempFileMapping, StaleSweepLeavesAnotherProcessFileUntilItDies) {
    testwav::TempDir dir;
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(toParent[0]);
        close(toChild[1]);
        TempFileMapping m;
        char ok = 0;
        if (m.CreateFile(dir.path()) && m.ReserveAndMap(4096) == TempFileMapping::MapResult::Ok) ok = 1;
        if (write(toParent[1], &ok, 1) != 1) _exit(2);
        char go;
        if (read(toChild[0], &go, 1) < 0) _exit(3);
        _exit(0);  // dies without releasing: the file stays behind, unlocked
    }
    close(toParent[1]);
    close(toChild[0]);
    char ok = 0;
    ASSERT_EQ(read(toParent[0], &ok, 1), 1);
    ASSERT_EQ(ok, 1);
    ASSERT_EQ(dir.tempSignalFiles().size(), 1u);

    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(dir.path()), 0);
    EXPECT_EQ(dir.tempSignalFiles().size(), 1u);

    const char go = 1;
    ASSERT_EQ(write(toChild[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    close(toParent[0]);
    close(toChild[1]);

    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(dir.path()), 1);
    EXPECT_TRUE(dir.tempSignalFiles().empty());
}

TEST(TempFileMapping, StaleSweepTakesOnlyNamesWeMakeAndFilesOfThisUser) {
    testwav::TempDir dir;
    // Every name here is unlocked, old and non-empty: only the name and the
    // owner decide.
    const std::vector<std::string> ours = {"KFW1A2B.TMP", "KFWFFFFFFFF.TMP", "KFW0.TMP", "KFW9.TMP"};
    const std::vector<std::string> notOurs = {
        "KFW_my_notes.TMP", "KFWrecording.TMP", "KFWabc.TMP",   "KFW0001.TMP", "KFW123456789.TMP",
        "KFW.TMP",          "KFW12 34.TMP",     "KFW1A2B.TMPX", "KFW-1.TMP",   "KFW1a2b.TMP"};
    for (const std::string& name : ours) MakePlainFile(dir.file(name), 10);
    for (const std::string& name : notOurs) MakePlainFile(dir.file(name), 10);
    // A file of our pattern that another user owns.
    const bool root = geteuid() == 0;
    if (root) {
        MakePlainFile(dir.file("KFW5678.TMP"), 10);
        ASSERT_EQ(chown(dir.file("KFW5678.TMP").c_str(), 65534, 65534), 0);
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        SetAge(entry.path().string(), 600);

    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(dir.path()), static_cast<int>(ours.size()));
    for (const std::string& name : ours) EXPECT_FALSE(Exists(dir.file(name))) << name;
    for (const std::string& name : notOurs) EXPECT_TRUE(Exists(dir.file(name))) << name;
    if (root) {
        EXPECT_TRUE(Exists(dir.file("KFW5678.TMP")));
    }
}
