// The open-file dialog behind a function, so that the code that asks for a
// file can be driven without a modal window: a test installs a hook that
// answers in the dialog's place.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "FonacoreApi.h"

namespace platform {

// Title and filter as the caller gives them; the hook answers with the chosen
// full path, or nothing when the user cancels.
using OpenFileHook =
    std::function<std::optional<std::string>(const std::string& title, const std::string& filter)>;

// Asks the user for one existing file. `filter` lists name and pattern pairs
// separated by '|' and ends with "||" ("WAV files (*.wav)|*.wav|All (*.*)|*.*||").
// Returns the full path (UTF-8), or nothing when the user cancels.
FONACORE_API std::optional<std::string> GetOpenFileName(const std::string& title, const std::string& filter);

// Installs `hook` in the dialog's place (an empty function restores the
// dialog) and returns the hook installed before.
FONACORE_API OpenFileHook SetOpenFileHook(OpenFileHook hook);

// The '|'-separated filter in the form QFileDialog takes: "name (patterns)"
// entries joined by ";;", patterns separated by spaces; "*.*" becomes "*" so
// that files without an extension are listed too.
FONACORE_API std::string ConvertFileFilter(const std::string& filter);

}  // namespace platform
