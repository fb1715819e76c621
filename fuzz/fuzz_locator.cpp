// Fuzz target: the package locator. The input stands at the package start of
// an installer file whose first 135300 bytes are zeros (written once; each
// input then replaces only what follows them). Aborts when the search leaves
// a file handle open.
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "common.h"
#include "package/format.h"
#include "package/locator.h"
#include "platform/win32api.h"

namespace {

struct Installer {
    std::string path;
    int fd = -1;
};

Installer& File() {
    static Installer f;
    if (f.fd < 0) {
        f.path = WorkFolder() + "\\setup.exe";
        std::vector<unsigned char> zeros(kPackageStart, 0);
        WriteWhole(f.path, zeros.data(), zeros.size());
        f.fd = open(Posix(f.path).c_str(), O_WRONLY | O_CLOEXEC);
        Check(f.fd >= 0, "cannot reopen", f.path);
    }
    return f;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Installer& f = File();
    Check(ftruncate(f.fd, kPackageStart) == 0, "cannot cut", f.path);
    Check(pwrite(f.fd, data, size, kPackageStart) == static_cast<ssize_t>(size), "cannot write", f.path);

    unsigned long handles = PosixOpenHandles();
    HANDLE h = nullptr;
    (void)WyszukajWPliku(f.path.c_str(), &h);
    if (h != INVALID_HANDLE_VALUE && h != nullptr)
        CloseHandle(h);
    Check(PosixOpenHandles() == handles, "a file handle stayed open");
    return 0;
}
