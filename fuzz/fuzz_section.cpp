// Fuzz target: the section reader end to end. The input is one section as it
// stands in the package; the sandbox (sandbox.h) extracts it in both modes
// and checks that nothing escapes the target and no handle stays open.
#include <cstdint>

#include "sandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ExtractAndCheck(data, size);
    return 0;
}
