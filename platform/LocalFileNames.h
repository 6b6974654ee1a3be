// File names as the file system holds them. A name is a string of bytes that
// need not be valid UTF-8 (bytes ff fe, say); the program keeps it as those
// bytes from wherever it comes (the command line, the file dialog, a drop)
// to every open, and never lets it pass through a QString on the way, since
// a QString would replace such bytes and name another file.
#pragma once

#include <QString>
#include <string>

#include "FonacoreApi.h"

class QUrl;

namespace platform {

// The bytes of a name that Qt hands over as a QString (Qt's file-name encoding).
FONACORE_API std::string LocalPathFromQString(const QString& path);
// The bytes of the local file a URL names (a drop, the file dialog): the
// percent-encoded bytes of its path as they stand; empty when it names no
// local file.
FONACORE_API std::string LocalPathFromUrl(const QUrl& url);
// `path` made absolute against the working directory, with "." and ".."
// segments and repeated slashes removed, byte for byte otherwise.
FONACORE_API std::string AbsoluteLocalPath(const std::string& path);
// The last segment of `path`.
FONACORE_API std::string LocalFileName(const std::string& path);

}  // namespace platform
