#include "ConsoleProgress.h"

#include "KDialogProgress.h"

ConsoleProgress::ConsoleProgress(std::FILE* stream) : m_pStream(stream) {
    if (m_pStream != nullptr)
        CKDialogProgress::SetObserver(
            [this](const std::string& status, int percent) { Report(status, percent); });
}

ConsoleProgress::~ConsoleProgress() {
    if (m_pStream != nullptr) CKDialogProgress::SetObserver(nullptr);
}

void ConsoleProgress::Begin(const std::string& status, long steps) {
    m_strStatus = status;
    m_nSteps = steps;
    m_nDone = 0;
    m_nNextPercent = 0;
    Report(status, 0);
}

int ConsoleProgress::StepIt() {
    const long previous = m_nDone;
    if (m_nSteps > 0 && m_nDone < m_nSteps) {
        ++m_nDone;
        Report(m_strStatus, static_cast<int>(m_nDone * 100 / m_nSteps));
    }
    return static_cast<int>(previous);
}

void ConsoleProgress::Report(const std::string& status, int percent) {
    if (m_pStream == nullptr) return;
    if (status != m_strStatus) {
        m_strStatus = status;
        m_nNextPercent = 0;
    }
    if (percent < m_nNextPercent || m_nNextPercent > 100) return;
    // A status that is a sentence ends in a full stop; the percentage follows
    // its last word.
    const size_t length = !status.empty() && status.back() == '.' ? status.size() - 1 : status.size();
    std::fprintf(m_pStream, "%.*s: %d%%\n", static_cast<int>(length), status.c_str(), percent);
    std::fflush(m_pStream);
    m_nNextPercent = (percent / kEvery + 1) * kEvery;
}

void ConsoleProgress::Note(const std::string& text) {
    if (m_pStream == nullptr) return;
    std::fprintf(m_pStream, "%s\n", text.c_str());
    std::fflush(m_pStream);
}
