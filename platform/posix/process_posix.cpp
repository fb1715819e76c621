// The process calls: the temporary folder, the tick count, the program's file
// and image, _access. What a test sets here (file names, a stepping clock)
// lives behind one accessor and stays until the test sets it again.
#include "posix/win32_posix.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "posix/errors_posix.h"
#include "posix/paths_posix.h"

namespace {

// What a test sets: the module's and the image's file names ("": the real
// ones) and a clock that steps by tickStep on each reading.
struct ProcessState {
    std::string moduleName;
    std::string mappedName;
    bool tickSet = false;
    DWORD tick = 0;
    DWORD tickStep = 0;
};

ProcessState& Own() {
    static ProcessState state;
    return state;
}

}  // namespace

DWORD GetTempPathA(DWORD size, LPSTR out) {
    const char* env = getenv("TMPDIR");
    std::string path = env && *env ? env : "/tmp";
    if (path.back() != '/')
        path += '/';
    return PosixCopyPath(PosixWindowsPath(path), out, size);
}

DWORD GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

DWORD GetTickCount(void) {
    ProcessState& s = Own();
    if (s.tickSet) {
        DWORD t = s.tick;
        s.tick += s.tickStep;
        return t;
    }
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetModuleFileNameA(void*, LPSTR out, DWORD size) {
    std::string name = Own().moduleName;
    if (name.empty()) {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        name = PosixWindowsPath(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0));
    }
    if (size == 0)
        return 0;
    DWORD n = PosixCopyCut(name, out, size);
    SetLastError(name.size() >= size ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
    return n;
}

HMODULE GetModuleHandleA(LPCSTR name) {
    static char image;
    if (name) {
        PosixFail(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return &image;
}

FARPROC GetProcAddress(HMODULE, LPCSTR) {
    PosixFail(127);  // ERROR_PROC_NOT_FOUND
    return nullptr;
}

DWORD GetMappedFileNameA(HANDLE, LPVOID address, LPSTR out, DWORD size) {
    if (address != GetModuleHandleA(nullptr) || size == 0) {
        PosixFail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = Own().mappedName;
    if (name.empty()) {
        char module[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
        name.assign(module, n);
    }
    DWORD n = PosixCopyCut("\\??\\" + PosixWindowsPath(name), out, size);
    SetLastError(ERROR_SUCCESS);
    return n;
}

int _access(const char* path, int mode) { return access(PosixUnixPath(path).c_str(), mode == 0 ? F_OK : mode); }

void PosixSetModuleFileName(const char* path) { Own().moduleName = path ? path : ""; }

void PosixSetMappedFileName(const char* path) { Own().mappedName = path ? path : ""; }

void PosixSetTickCount(DWORD ticks, DWORD step) {
    Own().tickSet = true;
    Own().tick = ticks;
    Own().tickStep = step;
}
