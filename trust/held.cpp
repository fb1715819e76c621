// Held folders: one creation, one opening right after it, and checks made on
// the handle, never on the name again. Portable (the stand-in models the
// sharing of open handles as Windows keeps it).
#include "trust/held.h"

#include "base/files.h"
#include "trust/folder.h"
#include "trust/owner.h"
#include "trust/relative.h"

bool RandomHex(char* out, size_t bytes) {
    unsigned char random[32];
    out[0] = '\0';
    if (bytes > sizeof random ||
        !BCRYPT_SUCCESS(BCryptGenRandom(nullptr, random, static_cast<ULONG>(bytes), BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return false;
    const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes; ++i) {
        out[2 * i] = digits[random[i] >> 4];
        out[2 * i + 1] = digits[random[i] & 15];
    }
    out[2 * bytes] = '\0';
    return true;
}

HANDLE CreateHeldFolder(const char* path) {
    if (!CreateProtectedFolder(path))
        return INVALID_HANDLE_VALUE;
    // Read access takes part in sharing (an open for attributes alone would
    // not, and would hold nothing). FILE_FLAG_OPEN_REPARSE_POINT opens a
    // link put in the folder's place as the link, which the check refuses.
    HANDLE held = CreateFileA(path, GENERIC_READ, kHeldSharing, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    if (!IsPlainFolder(held)) {
        CloseHandle(held);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // Checked on the handle, so what is held is what was checked: a folder
    // of another account's put in its place shows by its owner and list.
    char sddl[2048], account[192];
    if (!ReadDescriptor(held, sddl, sizeof sddl) || !CreatorAccount(account, sizeof account) ||
        !HeldFolderIsOurs(sddl, account)) {
        CloseHandle(held);
        SetLastError(ERROR_ALREADY_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    return held;
}

bool HeldFolderIsOurs(const char* sddl, const char* account) {
    return JudgeDescriptor(sddl, kRightsOverFolder, account).verdict == kOnlyAdministrators;
}

void ReleaseHeld(HANDLE* held) {
    if (*held != INVALID_HANDLE_VALUE && *held != nullptr)
        CloseHandle(*held);
    *held = INVALID_HANDLE_VALUE;
}
