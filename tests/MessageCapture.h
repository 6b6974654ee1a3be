// Records every message shown through platform::ShowMessage while it lives.
#pragma once

#include <string>
#include <vector>

#include "Messages.h"

class MessageCapture {
public:
    MessageCapture() {
        m_previous = platform::SetMessageSink(
            [this](const std::string& text, const std::string&) { m_texts.push_back(text); });
    }
    ~MessageCapture() { platform::SetMessageSink(std::move(m_previous)); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    const std::vector<std::string>& texts() const { return m_texts; }
    size_t count() const { return m_texts.size(); }
    std::string last() const { return m_texts.empty() ? std::string() : m_texts.back(); }
    void clear() { m_texts.clear(); }

private:
    platform::MessageSink m_previous;
    std::vector<std::string> m_texts;
};
