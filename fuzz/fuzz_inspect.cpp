// Fuzz target: the packing tool's verify (InspectPackage, no sink). The input
// stands at the package start of an installer file whose first 135300 bytes
// are zeros, as in the locator target.
#include <cstdint>
#include <string>

#include "common.h"
#include "pack/inspect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = PaddedInstaller(data, size);
    PackageReport report;
    std::string error;
    (void)InspectPackage(path, &report, &error);
    return 0;
}
