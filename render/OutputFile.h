// Where fonavid-render puts its picture: a regular file, new or replaced
// only once the new picture is complete, or standard output when the name is
// "-". The names are bytes as the command line gave them and reach the file
// system unchanged, whatever their encoding. Refusals go through
// platform::ShowMessage, one message naming the output.
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class OutputFile {
public:
    // Fills the open descriptor of the new file; false with the reason.
    using Writer = std::function<bool(int fd, std::string& reason)>;

    static bool IsStandardOutput(const std::string& path) { return path == "-"; }

    // True when the picture may go to `path`: standard output that is
    // neither a terminal nor the input file; or a name whose folder exists
    // and is writable and that names no existing file other than a regular
    // one (a folder, a device, a named pipe or a socket is refused, and so is
    // the input file itself, by whatever link).
    static bool Check(const std::string& path, const std::string& input = {});

    // Writes `picture` as PNG with the zlib level `compression`. A file goes
    // through a new file beside it (followed links and all) that replaces it
    // only when complete, is recorded while it exists so that an interrupted
    // run removes it, and keeps an existing file's permissions. False after a
    // message, with no file written or left, on any failure; standard output
    // may have received a part of the picture by then.
    static bool WritePng(const QImage& picture, const std::string& path, int compression);
    // What WritePng writes into a file, for a run that prepares several.
    static Writer PngWriter(const QImage& picture, int compression);

    // True when no two of `paths` lead to the same file (by their links, or
    // as one existing file); else false after a message naming the second.
    static bool Distinct(const std::vector<std::string>& paths);

    // One file of a run that writes several: Prepare writes the new file
    // beside `path` (recorded, synced, with the permissions of a file it
    // replaces), Commit puts it in place. A prepared file that is not
    // committed is removed with the object, so that a run whose later file
    // fails leaves none of its new files. `kind` names the file in
    // messages ("PNG-файл"). Never standard output.
    OutputFile(std::string path, std::string kind);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False after a message, with nothing left, on any failure.
    bool Prepare(const Writer& write);
    bool Commit();

    // Prepare for several files at once, each written on a thread of its
    // own (the last on the calling one), so that the picture's compression
    // and the data files' formatting and syncing share the cores. False
    // after the message of the first file (in the given order) that failed,
    // with none of them left.
    static bool PrepareAll(const std::vector<std::pair<OutputFile*, Writer>>& files);

private:
    // The steps of Prepare: the new file is made (false after a message),
    // filled and synced (false with the reason, no message: other threads may
    // be filling other files), and a failure is told.
    bool Create();
    bool Fill(const Writer& write, std::string& reason);
    bool Fail(const std::string& reason);
    void Discard();

    std::string m_strPath;
    std::string m_strKind;
    std::string m_strFinal;
    std::string m_strTemporary;
    int m_nFd = -1;
};
