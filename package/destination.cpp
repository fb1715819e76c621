// The destination's acceptance: form and length checked against the
// package's longest paths, no link or junction a user could have made along
// it, folders created and remembered. A refused path creates nothing, and
// the folders along an accepted one stay held until the run ends.
#include "package/destination.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "package/destinationrule.h"
#include "package/destinationwalk.h"
#include "package/locator.h"
#include "package/pathlist.h"
#include "package/section.h"
#include "package/startrun.h"
#include "platform/win32api.h"
#include "trust/folder.h"

namespace {

// The folders an accepted destination created, parent first.
struct PageFolders {
    char path[32][MAX_PATH];
    int count;
};

PageFolders* DestinationFolders() {
    static PageFolders folders;
    return &folders;
}

void RememberFolder(const char* folder) {
    PageFolders* f = DestinationFolders();
    if (f->count < 32)
        snprintf(f->path[f->count++], MAX_PATH, "%s", folder);
}

// The folders along the destination, held open; a path of 259 characters
// has at most 128 of them.
struct HeldFolders {
    PathFolder folder[130];
    int count;
};

HeldFolders* Held() {
    static HeldFolders held;
    return &held;
}

void ReleaseHeld() {
    HeldFolders* h = Held();
    while (h->count > 0)
        CloseHandle(h->folder[--h->count].handle);
}

// Opens and holds the folders along path and judges each one. True when
// every one is held and none is a link or junction that a user could have
// made; otherwise nothing is held and refused names the first folder that
// is such a link, or that cannot be opened or read.
bool HoldAlong(const char* path, char* refused) {
    ReleaseHeld();
    HeldFolders* h = Held();
    size_t failed = 0;
    h->count = OpenPathFolders(path, h->folder, sizeof h->folder / sizeof h->folder[0], &failed);
    if (failed)
        LogLine("destination: %.*s cannot be checked (error %lu)", static_cast<int>(failed), path,
                static_cast<unsigned long>(GetLastError()));
    for (int i = 0; i < h->count && !failed; ++i) {
        const PathFolder& f = h->folder[i];
        if (RedirectRefused(f.kind, f.owner)) {
            failed = f.length;
            LogLine("destination: %.*s is a link or junction owned by %s", static_cast<int>(failed), path,
                    f.owner[0] ? f.owner : "an account that cannot be read");
        }
    }
    if (!failed)
        return true;
    ReleaseHeld();
    snprintf(refused, MAX_PATH, "%.*s", static_cast<int>(failed), path);
    return false;
}

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

// Creates every missing folder along path, the last one too: below the
// Program Files folder each inherits from it, elsewhere each gets Program
// Files' own access list, so that no user can change what administrators
// will later run from there; for one user each inherits from that user's
// folder. Each folder created is remembered.
void CreateDestinationFolders(const char* path, InstallScope scope) {
    char folder[MAX_PATH];
    for (size_t end = 3; NextPathFolder(path, true, &end, folder);) {
        if (GetFileAttributesA(folder) != INVALID_FILE_ATTRIBUTES)
            continue;
        bool inherits = scope == kScopeUser || BelowFolder(folder, ProgramFiles());
        SECURITY_ATTRIBUTES* security = inherits ? nullptr : ProgramFolderSecurity();
        if (CreateDirectoryA(folder, security))
            RememberFolder(folder);
    }
}

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

}  // namespace

void RemoveDestinationFolders() {
    ReleaseHeld();
    PageFolders* f = DestinationFolders();
    while (f->count > 0)
        RemoveDirectoryA(f->path[--f->count]);
}

DestinationCheck AcceptDestination(const char* path, InstallScope scope) {
    DestinationCheck check = {kDestinationAccepted, ""};
    if (path[0] == '\0' || path[1] != ':' || path[2] != '\\' || !PathsFitBelow(path)) {
        LogLine("destination: %s: not a folder path of the form X:\\folder, or too long for the package", path);
        check.verdict = kDestinationBadForm;
        return check;
    }
    RemoveDestinationFolders();
    // One run of the product and of the destination at a time, from before
    // the first folder is made.
    char productKey[MAX_PATH];
    ProductKeyPath(productKey, sizeof productKey);
    if (StartProductRun(scope, productKey) != kRunStarted || LockDestination(scope, path) != kRunStarted) {
        LogLine("destination: %s: another copy is running", path);
        check.verdict = kDestinationBusy;
        return check;
    }
    // Before anything is written, and again once the missing folders are
    // made: whatever stands along the path then is held as it was checked.
    bool held = HoldAlong(path, check.folder);
    if (held) {
        CreateDestinationFolders(path, scope);
        held = HoldAlong(path, check.folder);
    }
    if (!held) {
        RemoveDestinationFolders();
        LogLine(
            "destination: %s: refused, %s is a link or junction that a user without administrator rights could "
            "have made, or cannot be checked",
            path, check.folder);
        check.verdict = kDestinationLinkRefused;
        return check;
    }
    // What a run that did not end left here, finished or taken back on the
    // folders as they were checked and are held.
    if (RecoverLockedDestination(path) != kRunStarted) {
        RemoveDestinationFolders();
        check.verdict = kDestinationUnrecovered;
        return check;
    }
    char stored[MAX_PATH];
    snprintf(stored, sizeof stored, "%s", path);
    ScratchWrite(kScratchDestination, stored);
    LogLine("destination: %s", path);
    return check;
}
