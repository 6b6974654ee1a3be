// Writes the fuzzer's starting inputs into the folder given as the only
// argument, one file per seed.
#include <cstdio>
#include <string>

#include "WavSeeds.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (const auto& [name, bytes] : fuzzwav::MakeSeeds()) {
        if (!testwav::writeFile(folder + "/" + name + ".wav", bytes)) {
            std::fprintf(stderr, "cannot write %s/%s.wav\n", folder.c_str(), name.c_str());
            return 1;
        }
    }
    return 0;
}
