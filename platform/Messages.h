// The one door through which every message box of the program passes.
// By default a modal QMessageBox is shown when a GUI application exists;
// without one the text goes to standard error. Tests and the command-line
// renderer install a sink of their own.
#pragma once

#include <functional>
#include <string>

#include "FonacoreApi.h"

namespace platform {

using MessageSink = std::function<void(const std::string& text, const std::string& caption)>;

// Shows `text` (UTF-8) with the given caption; an empty caption means the
// application's name.
FONACORE_API void ShowMessage(const std::string& text, const std::string& caption = std::string());

// Installs `sink` (an empty function restores the default) and returns the
// sink that was installed before.
FONACORE_API MessageSink SetMessageSink(MessageSink sink);

}  // namespace platform
