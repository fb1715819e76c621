// The locks of a run and the recoveries that follow them.
#include "package/startrun.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/installed.h"
#include "base/regread.h"
#include "base/switches.h"
#include "package/recovery.h"
#include "trust/runlock.h"

namespace {

// The destination this run has locked, "" while none.
char* LockedDestination() {
    static char destination[MAX_PATH];
    return destination;
}

// Whether that destination's lock is in the global namespace.
bool* LockedGlobally() {
    static bool global = true;
    return &global;
}

RunStart Recovered(const RecoveryReport& report) {
    return report.verdict == kRecoveryIncomplete || report.verdict == kRecoveryRefused ? kRunNotRecovered
                                                                                         : kRunStarted;
}

}  // namespace

bool RegisteredFolder(short root, const char* productKey, char* folder, unsigned size) {
    folder[0] = '\0';
    if (ReadRegistryString(root, productKey, kInstallLocationValue, folder, size) && folder[0] != '\0')
        return true;
    char command[MAX_PATH + 8];
    if (!ReadRegistryString(root, productKey, "UninstallString", command, sizeof command))
        return false;
    return FolderOfUninstaller(command, folder, size);
}

bool ProductLockName(short root, const char* productKey, char* out, size_t size) {
    if (root < 0 || root >= kNoRegistryRoot)
        return false;
    return snprintf(out, size, "%s\\%s", kRegistryRoots[root], productKey) < static_cast<int>(size);
}

RunStart StartProductRun(InstallScope scope, const char* productKey) {
    if (productKey[0] == '\0')
        return kRunStarted;
    bool global = scope == kScopeMachine;
    short root = UninstallRoot(scope);
    char name[2 * MAX_PATH];
    if (!ProductLockName(root, productKey, name, sizeof name) ||
        TakeRunLock(kProductLock, name, kRunLockWaitMs, global) != kLockTaken)
        return kRunAnotherCopy;
    char folder[MAX_PATH];
    if (!RegisteredFolder(root, productKey, folder, sizeof folder) ||
        GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        return kRunStarted;
    bool ours = SamePath(folder, LockedDestination());
    if (!ours && TakeRunLock(kDestinationLock, folder, kRunLockWaitMs, global) != kLockTaken)
        return kRunAnotherCopy;
    RecoveryReport report = RecoverDestination(folder, nullptr);
    if (!ours)
        ReleaseRunLock(kDestinationLock, folder, global);
    if (Recovered(report) != kRunStarted)
        LogLine("installed folder %s: what an earlier run left could not be finished", folder);
    return kRunStarted;
}

RunStart LockDestination(InstallScope scope, const char* destination) {
    bool global = scope == kScopeMachine;
    char* locked = LockedDestination();
    if (locked[0] != '\0' && !SamePath(locked, destination)) {
        ReleaseRunLock(kDestinationLock, locked, *LockedGlobally());
        locked[0] = '\0';
    }
    if (TakeRunLock(kDestinationLock, destination, kRunLockWaitMs, global) != kLockTaken)
        return kRunAnotherCopy;
    snprintf(locked, MAX_PATH, "%s", destination);
    *LockedGlobally() = global;
    return kRunStarted;
}

RunStart RecoverLockedDestination(const char* destination, const char* spare) {
    return Recovered(RecoverDestination(destination, spare));
}
