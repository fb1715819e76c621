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

RunStart Recovered(const RecoveryReport& report) {
    return report.verdict == kRecoveryIncomplete || report.verdict == kRecoveryRefused ? kRunNotRecovered
                                                                                         : kRunStarted;
}

}  // namespace

bool RegisteredFolder(const char* productKey, char* folder, unsigned size) {
    folder[0] = '\0';
    if (ReadMachineString(productKey, kInstallLocationValue, folder, size) && folder[0] != '\0')
        return true;
    char command[MAX_PATH + 8];
    if (!ReadMachineString(productKey, "UninstallString", command, sizeof command))
        return false;
    size_t length = strlen(command), suffix = strlen(kUninstallerCommand);
    if (length < suffix + 3 || command[0] != '"' || command[length - 1] != '"')
        return false;
    command[length - 1] = '\0';
    if (!SamePath(command + length - 1 - suffix, kUninstallerCommand))
        return false;
    snprintf(folder, size, "%.*s", static_cast<int>(length - 2 - suffix), command + 1);
    return folder[0] != '\0';
}

RunStart StartProductRun(const char* productKey) {
    if (productKey[0] == '\0')
        return kRunStarted;
    if (TakeRunLock(kProductLock, productKey) != kLockTaken)
        return kRunAnotherCopy;
    char folder[MAX_PATH];
    if (!RegisteredFolder(productKey, folder, sizeof folder) || GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES)
        return kRunStarted;
    bool ours = SamePath(folder, LockedDestination());
    if (!ours && TakeRunLock(kDestinationLock, folder) != kLockTaken)
        return kRunAnotherCopy;
    RecoveryReport report = RecoverDestination(folder, nullptr);
    if (!ours)
        ReleaseRunLock(kDestinationLock, folder);
    if (Recovered(report) != kRunStarted)
        LogLine("installed folder %s: what an earlier run left could not be finished", folder);
    return kRunStarted;
}

RunStart LockDestination(const char* destination) {
    char* locked = LockedDestination();
    if (locked[0] != '\0' && !SamePath(locked, destination)) {
        ReleaseRunLock(kDestinationLock, locked);
        locked[0] = '\0';
    }
    if (TakeRunLock(kDestinationLock, destination) != kLockTaken)
        return kRunAnotherCopy;
    snprintf(locked, MAX_PATH, "%s", destination);
    return kRunStarted;
}

RunStart RecoverLockedDestination(const char* destination, const char* spare) {
    return Recovered(RecoverDestination(destination, spare));
}
