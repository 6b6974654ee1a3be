// libFuzzer entry of fuzz_document_load: each input goes through the reader's
// own properties over memory, then through the document's load of a memory
// file; any property that fails is a finding.
#include <cstdio>
#include <cstdlib>

#include "DocumentLoadFuzzInput.h"
#include "WavReaderFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzdoc::Harness harness;
    std::string fault = fuzzwav::RunOneInput(data, size);
    if (fault.empty()) fault = harness.Run(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_document_load: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
