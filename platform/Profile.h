// The application's profile: the few settings that survive between runs (the
// folder of the temporary signal files and the recent-file list). It lives in
// QSettings under organisation and application "Fonavid". Tests and tools can
// point it at a file of their own so that the user's profile stays untouched.
#pragma once

#include <string>
#include <vector>

#include "FonacoreApi.h"

namespace platform {

// The recent-file list keeps at most this many entries.
constexpr int kRecentFileListSize = 16;

// The text stored under `section`/`entry`, or `defaultValue` when there is none.
FONACORE_API std::string GetProfileString(const std::string& section, const std::string& entry,
                                          const std::string& defaultValue = std::string());

// Stores `value` under `section`/`entry`; returns false when the profile
// cannot be written.
FONACORE_API bool WriteProfileString(const std::string& section, const std::string& entry,
                                     const std::string& value);

// The recent files, most recent first (at most kRecentFileListSize, no empty entries).
FONACORE_API std::vector<std::string> GetRecentFileList();

// Puts `path` (made absolute) at the top of the recent-file list, dropping an
// older entry of the same file and the entries past the list's size; returns
// the new list.
FONACORE_API std::vector<std::string> AddToRecentFileList(const std::string& path);

// Removes `path` from the recent-file list (for a file that could not be
// opened again); returns the new list.
FONACORE_API std::vector<std::string> RemoveFromRecentFileList(const std::string& path);

// Redirects the profile to the INI file `path`; an empty path restores the
// user's own profile. Returns the previous redirection (empty when none).
FONACORE_API std::string SetProfileFile(const std::string& path);

}  // namespace platform
