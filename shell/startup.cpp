// Start-up and shutdown. Refusals happen before anything is created; the
// scratch folder is emptied only when this run chose one.
#include "shell/startup.h"

#include <cstring>

#include "base/names.h"
#include "base/switches.h"
#include "package/heldtree.h"
#include "package/locator.h"
#include "pages/worker.h"
#include "trust/scratch.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version structure the platform check hands over");

bool CheckPlatform() {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        Tell("This program requires Windows NT.", Brondale(), MB_ICONERROR, IDOK);
        return false;
    }
    return true;
}

bool WinWer() { return !CheckPlatform(); }

namespace {

// The guard semaphore, open for the whole run so a later copy finds its name.
HANDLE* InstanceGuard() {
    static HANDLE guard = nullptr;
    return &guard;
}

}  // namespace

bool CheckSemaphore(const char* name) {
    HANDLE h = CreateSemaphoreA(nullptr, 0, 1, name);
    if (h && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(h);
        return true;
    }
    *InstanceGuard() = h;
    return false;
}

bool GuardSingleInstance() {
    char path[MAX_PATH];
    Program(path);
    const char* name = strrchr(path, '\\');
    return !CheckSemaphore(name ? name + 1 : path);
}

bool WinSemaphore() { return !GuardSingleInstance(); }

void MainMsgLoop() {
    MSG msg;
    // GetMessage answers -1 on an error; that ends the loop as well.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void KoniecProgramu() {
    // The worker reads the package and writes in the scratch folder.
    StopWorker(true);
    HANDLE* package = HandleToGzc();
    if (*package != nullptr) {
        if (*package != INVALID_HANDLE_VALUE)
            CloseHandle(*package);
        *package = nullptr;
    }
    // The folders the run held for its sections go first, so that the
    // scratch folder's own can be emptied and removed.
    TreeRelease();
    EmptyScratch();
}
