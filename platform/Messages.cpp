#include "Messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstdio>

namespace platform {
namespace {

void DefaultSink(const std::string& text, const std::string& caption) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        const QString title =
            caption.empty() ? QCoreApplication::applicationName() : QString::fromStdString(caption);
        QMessageBox::information(QApplication::activeWindow(), title, QString::fromStdString(text),
                                 QMessageBox::Ok);
        return;
    }
    if (!caption.empty()) std::fprintf(stderr, "%s: ", caption.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
}

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

void ShowMessage(const std::string& text, const std::string& caption) {
    const MessageSink& sink = CurrentSink();
    if (sink) {
        sink(text, caption);
    } else {
        DefaultSink(text, caption);
    }
}

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

}  // namespace platform
