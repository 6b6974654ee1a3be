// A fresh folder for a benchmark's files that is also the program's
// temporary folder while the object lives: a profile in it says so, and the
// profile in use before comes back afterwards. The folder goes with its
// contents.
#pragma once

#include <string>

#include "WavWriter.h"

class BenchFolder {
public:
    BenchFolder();
    ~BenchFolder();
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    // False when the profile could not be written.
    bool Ready() const { return m_bReady; }
    const std::string& path() const { return m_folder.path(); }
    std::string file(const std::string& name) const { return m_folder.file(name); }

private:
    testwav::TempDir m_folder;
    std::string m_previous;
    bool m_bReady = false;
};
