// A process killed while it holds a loaded document leaves its signal files
// behind; the sweep at the next start removes exactly those, and never the
// files of a process that is still alive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "DocFolderFixture.h"
#include "FonavidDoc.h"
#include "TempFileMapping.h"

namespace {

// A child that loads `path` into a document, reports its signal file count
// (as one byte) through `ready`, and then waits until `release` reaches end
// of file, when it closes the document normally and exits.
pid_t StartHolder(const std::string& path, int ready[2], int release[2]) {
    const pid_t child = fork();
    if (child != 0) {
        close(ready[1]);
        close(release[0]);
        return child;
    }
    close(ready[0]);
    close(release[1]);
    platform::SetMessageSink([](const std::string&, const std::string&) {});
    {
        CFonavidDoc doc;
        const unsigned char loaded = doc.OnOpenDocument(path) ? 1 : 0;
        if (write(ready[1], &loaded, 1) != 1) _exit(3);
        char byte;
        while (read(release[0], &byte, 1) > 0) {
        }
    }
    _exit(0);
}

std::set<std::string> Names(const std::vector<std::string>& names) { return {names.begin(), names.end()}; }

}  // namespace

using StaleTempFileSweep = DocFolderFixture;

TEST_F(StaleTempFileSweep, FilesOfAKilledProcessGoAndLiveHoldersKeepTheirs) {
    const std::string stereo = Write("stereo.wav", testwav::pcm16(8000, 2, std::vector<int16_t>(4000, 5)));
    const std::string mono = Write("mono.wav", testwav::pcm16(8000, 1, std::vector<int16_t>(2000, 5)));

    // This process holds a document of its own.
    CFonavidDoc mine;
    ASSERT_TRUE(mine.OnOpenDocument(mono));
    const std::set<std::string> myFiles = Names(m_temp.tempSignalFiles());
    ASSERT_EQ(myFiles.size(), 1u);

    int victimReady[2], victimRelease[2], holderReady[2], holderRelease[2];
    ASSERT_EQ(pipe(victimReady), 0);
    ASSERT_EQ(pipe(victimRelease), 0);
    ASSERT_EQ(pipe(holderReady), 0);
    ASSERT_EQ(pipe(holderRelease), 0);
    const pid_t victim = StartHolder(stereo, victimReady, victimRelease);
    ASSERT_GT(victim, 0);
    unsigned char loaded = 0;
    ASSERT_EQ(read(victimReady[0], &loaded, 1), 1);
    ASSERT_EQ(loaded, 1);
    const std::set<std::string> withVictim = Names(m_temp.tempSignalFiles());
    ASSERT_EQ(withVictim.size(), 1u + 2u);

    const pid_t holder = StartHolder(mono, holderReady, holderRelease);
    ASSERT_GT(holder, 0);
    ASSERT_EQ(read(holderReady[0], &loaded, 1), 1);
    ASSERT_EQ(loaded, 1);
    const std::set<std::string> all = Names(m_temp.tempSignalFiles());
    ASSERT_EQ(all.size(), 1u + 2u + 1u);

    // While everyone lives, the sweep removes nothing.
    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(m_temp.path()), 0);
    EXPECT_EQ(Names(m_temp.tempSignalFiles()), all);

    ASSERT_EQ(kill(victim, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(victim, &status, 0), victim);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    // The killed process could not clean up.
    EXPECT_EQ(Names(m_temp.tempSignalFiles()), all);

    EXPECT_EQ(TempFileMapping::RemoveStaleFiles(m_temp.path()), 2);
    std::set<std::string> expected;
    std::set_difference(all.begin(), all.end(), withVictim.begin(), withVictim.end(),
                        std::inserter(expected, expected.end()));
    expected.insert(myFiles.begin(), myFiles.end());
    EXPECT_EQ(Names(m_temp.tempSignalFiles()), expected);
    EXPECT_EQ(expected.size(), 2u);

    // The live holder's document still reads and closes normally.
    close(holderRelease[1]);
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Names(m_temp.tempSignalFiles()), myFiles);
    close(victimReady[0]);
    close(victimRelease[1]);
    close(holderReady[0]);
}
