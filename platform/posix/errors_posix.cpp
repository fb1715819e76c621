// The last error of each thread, the fault-injection switch and the Win32
// errors of errno values. Calls no other file of the stand-in; every counted
// call of the others goes through PosixInjectedFault first.
#include "posix/errors_posix.h"

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The last error is per thread, as Windows keeps it.
DWORD& ThreadError() {
    static thread_local DWORD error = 0;
    return error;
}

// The counters are atomic: the file pool's workers make counted calls while
// the other calls go on.
struct Faults {
    std::atomic<unsigned long> callCount{0};
    std::atomic<unsigned long> failAt{0};
    // Another process's action before a chosen call (PosixActAtCall).
    std::atomic<unsigned long> actAt{0};
    void (*action)(void*) = nullptr;
    void* context = nullptr;
    std::atomic<unsigned long> crashAt{0};
};

Faults& Counted() {
    static Faults faults;
    return faults;
}

}  // namespace

DWORD GetLastError(void) { return ThreadError(); }

void SetLastError(DWORD error) { ThreadError() = error; }

BOOL PosixFail(DWORD error) {
    ThreadError() = error;
    return FALSE;
}

bool PosixInjectedFault() {
    Faults& f = Counted();
    unsigned long call = ++f.callCount;
    unsigned long actAt = f.actAt;
    if (actAt != 0 && call == actAt && f.actAt.compare_exchange_strong(actAt, 0))
        f.action(f.context);
    if (f.crashAt != 0 && call == f.crashAt)
        _exit(kPosixCrashExit);
    unsigned long failAt = f.failAt;
    if (failAt != 0 && call == failAt) {
        ThreadError() = ERROR_WRITE_FAULT;
        return true;
    }
    return false;
}

void PosixFailCallNumber(unsigned long n) {
    Counted().callCount = 0;
    Counted().failAt = n;
}

void PosixCrashAtCall(unsigned long n) {
    Counted().callCount = 0;
    Counted().crashAt = n;
}

unsigned long PosixCallCount(void) { return Counted().callCount; }

void PosixActAtCall(unsigned long n, void (*action)(void*), void* context) {
    Counted().actAt = 0;
    Counted().callCount = 0;
    Counted().action = action;
    Counted().context = context;
    Counted().actAt = n;
}

DWORD PosixErrorFromErrno(int e, const std::string& path) {
    switch (e) {
    case ENOENT: {
        // Windows tells a missing file from a missing folder on its way.
        std::string parent = path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
        struct stat st;
        if (parent.empty() || (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
            return ERROR_FILE_NOT_FOUND;
        return ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_WRITE_FAULT;
    }
}
