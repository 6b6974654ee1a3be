// Where fonavid-render puts its picture: a regular file, new or replaced
// only once the new picture is complete, or standard output when the name is
// "-". The names are bytes as the command line gave them and reach the file
// system unchanged, whatever their encoding. Refusals go through
// platform::ShowMessage, one message naming the output.
#pragma once

#include <QImage>
#include <string>

class OutputFile {
public:
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
};
