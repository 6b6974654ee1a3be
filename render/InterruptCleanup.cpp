#include "InterruptCleanup.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "TempFileMapping.h"

namespace {

// The output's prefix, copied once before any handler can run.
char g_outputPrefix[4096];
// Descriptors looked at: the process's limit when it was installed, capped.
int g_descriptorLimit = 1024;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// "/proc/self/fd/<fd>" without the C library's formatting.
void DescriptorLink(int fd, char* link) {
    static const char kBase[] = "/proc/self/fd/";
    std::memcpy(link, kBase, sizeof kBase - 1);
    char digits[16];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + fd % 10);
        fd /= 10;
    } while (fd > 0);
    char* out = link + sizeof kBase - 1;
    while (count > 0) *out++ = digits[--count];
    *out = '\0';
}

void OnSignal(int signal) {
    const int saved = errno;
    char link[40];
    char target[4096];
    for (int fd = 0; fd < g_descriptorLimit; ++fd) {
        DescriptorLink(fd, link);
        const ssize_t length = readlink(link, target, sizeof target - 1);
        if (length <= 0) continue;
        target[length] = '\0';
        if (InterruptCleanup::IsLeftover(target, g_outputPrefix)) unlink(target);
    }
    errno = saved;
    // The default action ends the process as the signal would have.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

}  // namespace

bool InterruptCleanup::IsLeftover(const char* path, const char* outputPrefix) {
    if (outputPrefix != nullptr && outputPrefix[0] != '\0' &&
        std::strncmp(path, outputPrefix, std::strlen(outputPrefix)) == 0)
        return true;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    const char* prefix = TempFileMapping::NamePrefix();
    const char* extension = TempFileMapping::NameExtension();
    const size_t nameLength = std::strlen(name);
    const size_t prefixLength = std::strlen(prefix);
    const size_t extensionLength = std::strlen(extension);
    return nameLength >= prefixLength + extensionLength && std::strncmp(name, prefix, prefixLength) == 0 &&
           std::strcmp(name + nameLength - extensionLength, extension) == 0;
}

void InterruptCleanup::Install(const std::string& outputPath) {
    const QFileInfo output(QString::fromStdString(outputPath));
    QString folder = QFileInfo(output.absolutePath()).canonicalFilePath();
    if (folder.isEmpty()) folder = output.absolutePath();
    const std::string prefix = QDir(folder).filePath(output.fileName()).toStdString() + ".";
    g_outputPrefix[0] = '\0';
    if (prefix.size() < sizeof g_outputPrefix) std::memcpy(g_outputPrefix, prefix.c_str(), prefix.size() + 1);
    const long limit = sysconf(_SC_OPEN_MAX);
    g_descriptorLimit = limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // One clean-up at a time: the other signals wait while it runs.
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kSignals) {
        // A signal the caller ignores (nohup, a background job) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}
