// The scratch folder: always one this run created under a random name, with
// the protected descriptor, and held open with its Lang and Install folders
// from their creation to the end of the run, so none of them can be renamed,
// deleted or swapped while the installer reads what it put there.
#include "trust/scratch.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "base/files.h"
#include "platform/win32api.h"
#include "trust/held.h"

namespace {

struct HeldScratch {
    HANDLE folder = INVALID_HANDLE_VALUE;
    HANDLE lang = INVALID_HANDLE_VALUE;
    HANDLE install = INVALID_HANDLE_VALUE;
};

HeldScratch* Held() {
    static HeldScratch held;
    return &held;
}

// Random bytes in a scratch folder's name: 16 hexadecimal digits.
const size_t kScratchNameBytes = 8;

void ReleaseInner() {
    ReleaseHeld(&Held()->lang);
    ReleaseHeld(&Held()->install);
}

// Removes the emptied Lang and Install once they are let go. The scratch
// folder is still held and keeps everyone else out, so their names are
// still this run's.
void RemoveInner() {
    ReleaseInner();
    for (const char* name : {"Lang", "Install"}) {
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s\\%s", tmp_dir(), name) < static_cast<int>(sizeof path))
            RemoveDirectoryA(path);
    }
}

}  // namespace

bool CreateScratchFolder(const char* temp) {
    ReleaseInner();
    ReleaseHeld(&Held()->folder);
    size_t length = strlen(temp);
    if (length == 0 || length > kMaxTempPath) {
        tmp_dir()[0] = '\0';
        return false;
    }
    // Each name is tried once, by creating it: a name that exists (planted,
    // or another run's) is never used, and after kScratchNames taken names
    // the run refuses rather than borrow one. Random names cannot be taken
    // in advance as the next tick counts could.
    for (unsigned i = 0; i < kScratchNames; ++i) {
        char digits[2 * kScratchNameBytes + 1];
        if (!RandomHex(digits, kScratchNameBytes) ||
            snprintf(tmp_dir(), MAX_PATH, "%sBrondale%s", temp, digits) >= MAX_PATH)
            break;
        Held()->folder = CreateHeldFolder(tmp_dir());
        if (Held()->folder != INVALID_HANDLE_VALUE)
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    tmp_dir()[0] = '\0';
    return false;
}

bool ustawtmp(const char* temp) { return !CreateScratchFolder(temp); }

void AddToReg(char* path, ScratchKey key, const char* name, HANDLE* held) {
    strncat(path, name, MAX_PATH - 1 - strlen(path));
    HANDLE folder = CreateHeldFolder(path);
    if (held)
        *held = folder;
    else
        ReleaseHeld(&folder);
    ScratchWrite(key, path);
}

void GetCfg() {
    char base[MAX_PATH];
    snprintf(base, sizeof base, "%s\\", tmp_dir());
    char copy[MAX_PATH];
    memcpy(copy, base, sizeof copy);
    ReleaseInner();
    AddToReg(base, kScratchLanguage, "Lang", &Held()->lang);
    AddToReg(copy, kScratchInstall, "Install", &Held()->install);
}

bool ScratchFoldersHeld() {
    return Held()->lang != INVALID_HANDLE_VALUE && Held()->install != INVALID_HANDLE_VALUE;
}

bool EmptyScratch() {
    HeldScratch* held = Held();
    bool ours = held->folder != INVALID_HANDLE_VALUE && IsPlainFolder(held->folder);
    // An empty path would name the root of the current drive.
    if (tmp_dir()[0] == '\0') {
        ReleaseInner();
        ReleaseHeld(&held->folder);
        return false;
    }
    // A folder that is not held could be a link put in its place: not
    // entered.
    DWORD attributes = GetFileAttributesA(tmp_dir());
    if (!ours && (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                  (attributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        ReleaseInner();
        ReleaseHeld(&held->folder);
        return false;
    }
    // Lang and Install are emptied while held (their own removal waits for
    // their release), then let go and removed; the scratch folder last.
    bool emptied = wyliczpliki(tmp_dir()) == 1;
    RemoveInner();
    ReleaseHeld(&held->folder);
    return emptied;
}
