// The destination's acceptance: form and length checked against the
// package's longest paths, then the walk along it, which judges, makes and
// holds its folders. A refused path creates nothing.
#include "package/destination.h"

#include <cstdio>
#include <cstring>

#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "package/destinationwalk.h"
#include "package/earlier.h"
#include "package/heldtree.h"
#include "package/locator.h"
#include "package/pathlist.h"
#include "package/recovery.h"
#include "package/section.h"
#ifdef _WIN32
#include "package/startrun.h"
#endif
#include "trust/folder.h"

namespace {

// ASCII letters compare without case, as Windows names do.
bool BelowFolder(const char* path, const char* folder) {
    size_t n = strlen(folder);
    if (n == 0 || strlen(path) <= n + 1 || path[n] != '\\')
        return false;
    for (size_t i = 0; i < n; ++i) {
        char a = path[i], b = folder[i];
        a = (a >= 'a' && a <= 'z') ? a - 32 : a;
        b = (b >= 'a' && b <= 'z') ? b - 32 : b;
        if (a != b)
            return false;
    }
    return true;
}

// Below the Program Files folder a folder made for the destination inherits
// from it; elsewhere it gets Program Files' own access list, so that no user
// can change what administrators will later run from there.
SECURITY_ATTRIBUTES* SecurityFor(const char* folder) {
    return BelowFolder(folder, ProgramFiles()) ? nullptr : ProgramFolderSecurity();
}

// For one user every folder made inherits from that user's folder above it.
SECURITY_ATTRIBUTES* InheritedFor(const char*) { return nullptr; }

// Whether every path of this package fits below destination. The program
// section's path list is read once, from where the package handle stands;
// when it cannot be read the section reader judges each path itself.
bool PathsFitBelow(const char* destination) {
    static bool known = false;
    static size_t longestPath = 0, longestFolder = 0;
    if (!known && *HandleToGzc() && *HandleToGzc() != INVALID_HANDLE_VALUE) {
        LongestPaths(*HandleToGzc(), &longestPath, &longestFolder);
        known = true;
    }
    return RoomForPaths(strlen(destination), longestPath, longestFolder);
}

// A component "." or "..", which would make the path name another folder
// than the one its text seems to (C:\Program Files\..\App).
bool HasDotComponent(const char* path) {
    for (const char* c = path + 2; *c; ++c) {
        if (*c != '\\')
            continue;
        size_t n = strcspn(c + 1, "\\");
        if ((n == 1 && c[1] == '.') || (n == 2 && c[1] == '.' && c[2] == '.'))
            return true;
    }
    return false;
}

bool FormAccepted(const char* path) {
    return path[0] != '\0' && path[1] == ':' && path[2] == '\\' && !strstr(path + 2, "\\\\") && PathsFitBelow(path);
}

DestinationVerdict VerdictOf(WalkVerdict walked) {
    static const DestinationVerdict kVerdicts[] = {kDestinationAccepted, kDestinationLinkRefused,
                                                   kDestinationNotOwned, kDestinationOthersMayChange,
                                                   kDestinationTaken,    kDestinationUnusable};
    return kVerdicts[walked];
}

void LogRefusal(const char* path, const WalkResult& walked) {
    const char* why =
        walked.verdict == kWalkLinkRefused
            ? "is a link, junction or mount point that a user without administrator rights could have made"
        : walked.verdict == kWalkTaken ? "was made by someone else while the path was made"
        : walked.verdict == kWalkUnusable && walked.owner.verdict != kDescriptorUnreadable
            ? "cannot be opened or made"
            : OwnerVerdictText(walked.owner.verdict);
    LogLine("destination: %s: refused, %s %s%s%s%s", path, walked.folder, why, walked.owner.account[0] ? " (" : "",
            walked.owner.account, walked.owner.account[0] ? ")" : "");
}

// The run's locks: named objects, which only Windows has (the stand-in's
// runs are alone, and its tests take no locks).
bool RunStarted(InstallScope scope, const char* productKey, const char* path) {
#ifdef _WIN32
    return StartProductRun(scope, productKey) == kRunStarted && LockDestination(scope, path) == kRunStarted;
#else
    (void)scope, (void)productKey, (void)path;
    return true;
#endif
}

// What a run that did not end left in the folder, finished or taken back.
bool Recovered(const char* path) {
    RecoveryReport report = RecoverDestination(path, nullptr);
    return report.verdict != kRecoveryIncomplete && report.verdict != kRecoveryRefused;
}

}  // namespace

unsigned DestinationTextId(DestinationVerdict verdict) {
    static const unsigned kIds[] = {0, 8, 53, 39, 50, 51, 52, 54, 55, 56};
    return kIds[verdict];
}

void RemoveDestinationFolders() { TreeRemoveDestinationFolders(); }

DestinationCheck AcceptDestination(const char* path, InstallScope scope) {
    DestinationCheck check = {kDestinationAccepted, ""};
    if (!FormAccepted(path)) {
        LogLine("destination: %s: not a folder path of the form X:\\folder, or too long for the package", path);
        check.verdict = kDestinationBadForm;
        return check;
    }
    if (HasDotComponent(path)) {
        LogLine("destination: %s: refused, a folder of the path is named \".\" or \"..\"", path);
        check.verdict = kDestinationDotted;
        return check;
    }
    RemoveDestinationFolders();
    // One run of the product and of the destination at a time, from before
    // the first folder is made.
    char productKey[MAX_PATH];
    ProductKeyPath(productKey, sizeof productKey);
    if (!RunStarted(scope, productKey, path)) {
        LogLine("destination: %s: another copy is running", path);
        check.verdict = kDestinationBusy;
        return check;
    }
    // The folders are walked without a trailing backslash, the root's but.
    char walked[MAX_PATH];
    snprintf(walked, sizeof walked, "%s", path);
    for (size_t n = strlen(walked); n > 3 && walked[n - 1] == '\\';)
        walked[--n] = '\0';
    bool forUser = scope == kScopeUser;
    bool earlier = productKey[0] != '\0' && RegistersUninstallerOf(UninstallRoot(scope), productKey, walked);
    WalkResult result = WalkDestination(walked, earlier, forUser ? InheritedFor : SecurityFor, forUser);
    if (result.verdict != kWalkAccepted) {
        LogRefusal(path, result);
        check.verdict = VerdictOf(result.verdict);
        snprintf(check.folder, sizeof check.folder, "%s", result.folder);
        return check;
    }
    // What a run that did not end left here, finished or taken back on the
    // folders as they were checked and are held.
    if (!Recovered(path)) {
        RemoveDestinationFolders();
        check.verdict = kDestinationUnrecovered;
        snprintf(check.folder, sizeof check.folder, "%s", path);
        return check;
    }
    ScratchWrite(kScratchDestination, path);
    LogLine("destination: %s", path);
    return check;
}
