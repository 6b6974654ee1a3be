// fonavid-render: the sonogram (and on request the FGT) of a WAVE file as a
// PNG picture with the viewer's pixels, without a display. Options and
// messages are in Russian; messages and progress go to standard error (the
// picture may go to standard output); the exit status is 0 on success and 1
// on any failure, when nothing is written.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleProgress.h"
#include "InterruptCleanup.h"
#include "Messages.h"
#include "OutputFile.h"
#include "RenderOptions.h"
#include "Renderer.h"

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) makes a write fail like a full disk,
    // with a message and everything removed, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    RenderOptions options;
    if (!options.Parse(arguments)) {
        std::fprintf(stderr, "%s\n", options.GetError().c_str());
        return 1;
    }
    if (options.action == RenderOptions::Action::Help) {
        std::fputs(RenderOptions::HelpText().c_str(), stdout);
        return 0;
    }
    if (options.action == RenderOptions::Action::Version) {
        std::fputs(RenderOptions::VersionText().c_str(), stdout);
        return 0;
    }

    // No GUI application: nothing here needs a display.
    QCoreApplication application(argc, argv);
    platform::SetMessageSink(
        [](const std::string& text, const std::string&) { std::fprintf(stderr, "%s\n", text.c_str()); });
    if (!OutputFile::Check(options.output, options.input)) return 1;
    InterruptCleanup::Install();

    ConsoleProgress progress(options.quiet ? nullptr : stderr);
    QImage picture;
    {
        // The document and its temporary files go before the picture is written.
        Renderer renderer(&progress);
        if (!renderer.Render(options, picture)) return 1;
    }
    if (!options.quiet)
        progress.Note(OutputFile::IsStandardOutput(options.output) ? "PNG выводится в стандартный вывод"
                                                                   : "Записывается " + options.output);
    if (!OutputFile::WritePng(picture, options.output, options.compression)) return 1;
    return 0;
}
