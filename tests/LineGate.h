// Holds a child process at a known line of its standard error. The child's
// standard error becomes a pipe in packet mode with room for one packet: a
// program that writes each line with one write (it flushes after every line)
// can be at most one line ahead of what the test has read, and waits in the
// write of the line after that. Reading through a line therefore stops the
// child before the stage two lines on, whatever the machine's load.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

class LineGate {
public:
    LineGate() {
        if (pipe2(m_fd, O_DIRECT | O_CLOEXEC) != 0) return;
        // One page: one packet.
        m_bReady = fcntl(m_fd[0], F_SETPIPE_SZ, 4096) == 4096;
    }
    ~LineGate() {
        for (int fd : m_fd)
            if (fd >= 0) close(fd);
    }
    LineGate(const LineGate&) = delete;
    LineGate& operator=(const LineGate&) = delete;

    // Whether the pipe holds exactly one packet, which the gate relies on.
    bool IsReady() const { return m_bReady; }

    // Makes the pipe the standard error of the child; runs between fork and exec.
    std::function<void()> InChild() const {
        const int fd = m_fd[1];
        return [fd] { dup2(fd, STDERR_FILENO); };
    }
    // Once the child runs: the test's own copy of the writing end goes, so that
    // reading ends when the child does.
    void ChildStarted() {
        close(m_fd[1]);
        m_fd[1] = -1;
    }

    // Reads lines until one contains `text`. False when the child's output
    // ended first or nothing came for a minute.
    bool ReadThrough(const std::string& text) {
        while (true) {
            const size_t from = m_read.size();
            if (!ReadOne()) return false;
            if (m_read.find(text, from) != std::string::npos) return true;
        }
    }
    // Waits until the next line has been written, leaving it unread.
    bool NextLineWritten() { return Wait(); }
    // Everything read so far, then the rest until the child's output ends.
    std::string ReadAll() {
        while (ReadOne()) {
        }
        return m_read;
    }

private:
    bool Wait() {
        pollfd p{m_fd[0], POLLIN, 0};
        return poll(&p, 1, 60000) == 1 && (p.revents & POLLIN) != 0;
    }
    bool ReadOne() {
        if (!Wait()) return false;
        char packet[4096];
        const ssize_t n = read(m_fd[0], packet, sizeof packet);
        if (n <= 0) return false;
        m_read.append(packet, static_cast<size_t>(n));
        return true;
    }

    int m_fd[2] = {-1, -1};
    bool m_bReady = false;
    std::string m_read;
};
