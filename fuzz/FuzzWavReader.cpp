// libFuzzer entry of fuzz_wav_reader: any property that fails is a finding.
#include <cstdio>
#include <cstdlib>

#include "WavReaderFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fault = fuzzwav::RunOneInput(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_wav_reader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
