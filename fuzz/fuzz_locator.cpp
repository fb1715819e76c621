// Fuzz target: the package locator. The input stands at the package start of
// an installer file whose first 135300 bytes are zeros (written once; each
// input then replaces only what follows them). Aborts when the search leaves
// a file handle open.
#include <cstdint>
#include <string>

#include "common.h"
#include "base/format.h"
#include "package/locator.h"
#include "platform/win32api.h"

static_assert(kPackageStart == 135300, "PaddedInstaller pads to the package start");

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = PaddedInstaller(data, size);
    unsigned long handles = PosixOpenHandles();
    HANDLE h = nullptr;
    (void)FindPackageIn(path.c_str(), &h);
    if (h != INVALID_HANDLE_VALUE && h != nullptr)
        CloseHandle(h);
    Check(PosixOpenHandles() == handles, "a file handle stayed open");
    return 0;
}
