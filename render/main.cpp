// fonavid-render: the sonogram (and on request the FGT) of a WAVE file as a
// PNG picture with the viewer's pixels, without a display. Options and
// messages are in Russian; messages and progress go to standard error (the
// picture may go to standard output); the exit status is 0 on success and 1
// on any failure, when nothing is written.
#include <QCoreApplication>
#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleProgress.h"
#include "DataFile.h"
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

    // No display is needed: the axes' text takes the platform that draws
    // off screen, everything else no GUI application at all.
    std::unique_ptr<QCoreApplication> application;
    if (options.axes) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Qt's remarks on the session it starts in (no runtime folder) are
        // not the renderer's to pass on.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtCriticalMsg || type == QtFatalMsg)
                    std::fprintf(stderr, "%s\n", qPrintable(text));
            });
        application = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previous);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    platform::SetMessageSink(
        [](const std::string& text, const std::string&) { std::fprintf(stderr, "%s\n", text.c_str()); });
    // Every file the run writes, checked before any work: the data files
    // (with the NumPy file's companions) first, the picture last.
    struct Output {
        std::string path;
        std::string kind;
        OutputFile::Writer write;
    };
    DataFile::SonogramLevels levels;
    std::vector<DataFile::FgtRow> fgtLevels;
    std::vector<Output> outputs;
    if (options.dataFormat == RenderOptions::DataFormat::Csv)
        outputs.push_back({options.dataFile, "CSV-файл", DataFile::SonogramCsv(levels)});
    if (options.dataFormat == RenderOptions::DataFormat::Npy) {
        outputs.push_back({options.dataFile, "NPY-файл", DataFile::SonogramNpy(levels)});
        outputs.push_back({DataFile::CompanionName(options.dataFile, "times"), "NPY-файл",
                           DataFile::VectorNpy(levels.times)});
        outputs.push_back({DataFile::CompanionName(options.dataFile, "frequencies"), "NPY-файл",
                           DataFile::VectorNpy(levels.frequencies)});
    }
    if (!options.fgtDataFile.empty())
        outputs.push_back({options.fgtDataFile, "CSV-файл", DataFile::FgtCsv(fgtLevels)});
    std::vector<std::string> paths{options.output};
    for (const Output& output : outputs) paths.push_back(output.path);
    for (const std::string& path : paths)
        if (!OutputFile::Check(path, options.input)) return 1;
    if (!OutputFile::Distinct(paths)) return 1;
    InterruptCleanup::Install();

    ConsoleProgress progress(options.quiet ? nullptr : stderr);
    QImage picture;
    {
        // The document and its temporary files go before the picture is written.
        Renderer renderer(&progress);
        if (!renderer.Render(options, picture)) return 1;
        levels = std::move(renderer.Levels());
        fgtLevels = std::move(renderer.FgtLevels());
    }
    // The data files are made beside their targets while the picture is
    // (or before it goes to standard output), and put in place only with the
    // picture, so that a failure leaves none of them.
    std::vector<std::unique_ptr<OutputFile>> files;
    std::vector<std::pair<OutputFile*, OutputFile::Writer>> writes;
    for (const Output& output : outputs) {
        if (!options.quiet) progress.Note("Записывается " + output.path);
        files.push_back(std::make_unique<OutputFile>(output.path, output.kind));
        writes.emplace_back(files.back().get(), output.write);
    }
    if (OutputFile::IsStandardOutput(options.output)) {
        if (!OutputFile::PrepareAll(writes)) return 1;
        if (!options.quiet) progress.Note("PNG выводится в стандартный вывод");
        if (!OutputFile::WritePng(picture, options.output, options.compression)) return 1;
    } else {
        if (!options.quiet) progress.Note("Записывается " + options.output);
        files.push_back(std::make_unique<OutputFile>(options.output, "PNG-файл"));
        writes.emplace_back(files.back().get(), OutputFile::PngWriter(picture, options.compression));
        if (!OutputFile::PrepareAll(writes)) return 1;
    }
    for (const std::unique_ptr<OutputFile>& file : files)
        if (!file->Commit()) return 1;
    return 0;
}
