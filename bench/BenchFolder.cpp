#include "BenchFolder.h"

#include <cstdint>
#include <vector>

#include "Profile.h"

BenchFolder::BenchFolder() {
    const std::string profile = m_folder.file("profile.ini");
    const std::string text = "[Document]\nPathToTemporalFiles=" + m_folder.path() + "\n";
    m_previous = platform::SetProfileFile(profile);
    m_bReady = testwav::writeFile(profile, std::vector<uint8_t>(text.begin(), text.end()));
}

BenchFolder::~BenchFolder() { platform::SetProfileFile(m_previous); }
