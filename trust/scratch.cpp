// The scratch folder: always one this run created, with the protected
// descriptor; a name that exists already is never used.
#include "trust/scratch.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "platform/win32api.h"
#include "trust/folder.h"

namespace {

// The next tick count after last; the clock of a running system always moves
// on, so the bound only guards against one that has stopped.
bool NextTick(DWORD last, DWORD* tick) {
    for (unsigned long reads = 0; reads < 100000000ul; ++reads) {
        *tick = GetTickCount();
        if (*tick != last)
            return true;
    }
    return false;
}

} // namespace

bool ustawtmp() {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > kMaxTempPath)
        return true;
    // Each name is tried once, by creating it: a name that exists (planted,
    // or another run's) is never used, and after kScratchNames taken names
    // the run refuses rather than borrow one.
    DWORD tick = GetTickCount();
    for (unsigned i = 0; i < kScratchNames; ++i) {
        if (i > 0 && !NextTick(tick, &tick))
            break;
        if (snprintf(tmp_dir(), MAX_PATH, "%sBrondale%d", temp, static_cast<int>(tick)) >= MAX_PATH)
            break;
        if (CreateProtectedFolder(tmp_dir()))
            return false;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    tmp_dir()[0] = '\0';
    return true;
}

void AddToReg(char* path, const char* key, const char* name) {
    strncat(path, name, MAX_PATH - 1 - strlen(path));
    CreateProtectedFolder(path);
    dircfg(key, path, 1, static_cast<int>(strlen(path)));
}

void GetCfg() {
    char base[MAX_PATH];
    snprintf(base, sizeof base, "%s\\", tmp_dir());
    char copy[MAX_PATH];
    memcpy(copy, base, sizeof copy);
    AddToReg(base, "8", "Lang");
    AddToReg(copy, "9", "Install");
}

bool EmptyScratch() {
    // An empty path would name the root of the current drive.
    if (tmp_dir()[0] == '\0')
        return false;
    // A link put in the folder's place leads somewhere else: not entered.
    DWORD attributes = GetFileAttributesA(tmp_dir());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return wyliczpliki(tmp_dir()) == 1;
}
