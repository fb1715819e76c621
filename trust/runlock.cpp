// The run locks: named section objects, made with a protected access list,
// held in a small table for the rest of the run. A lock already held by
// another run is waited for by polling: the object disappears when its last
// handle closes, at the latest when its process ends.
#include "trust/runlock.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>

#include "base/switches.h"
#include "trust/digest.h"
#include "trust/folder.h"

namespace {

struct HeldLock {
    char name[96];
    HANDLE handle;
};

struct HeldLocks {
    HeldLock lock[8];
    int count;
};

HeldLocks* Held() {
    static HeldLocks held;
    return &held;
}

HeldLock* Find(const char* name) {
    HeldLocks* h = Held();
    for (int i = 0; i < h->count; ++i)
        if (strcmp(h->lock[i].name, name) == 0)
            return &h->lock[i];
    return nullptr;
}

// SYSTEM, the Administrators and this process's owner (an elevated
// administrator's is the Administrators group), nothing inherited.
SECURITY_ATTRIBUTES* LockSecurity() {
    static SECURITY_ATTRIBUTES attributes;
    if (!attributes.lpSecurityDescriptor) {
        char owner[192], sddl[320];
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ProcessOwnerSid(owner, sizeof owner) ||
            snprintf(sddl, sizeof sddl, "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;%s)", owner) >= static_cast<int>(sizeof sddl) ||
            !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return nullptr;
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = descriptor;
        attributes.bInheritHandle = FALSE;
    }
    return &attributes;
}

// Whether the existing object open as h is owned by an administrator.
bool OwnedByAdministrator(HANDLE h) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(h, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    LPSTR text = nullptr;
    char self[192];
    bool ok = owner && ConvertSidToStringSidA(owner, &text) && ProcessOwnerSid(self, sizeof self) &&
              IsAdministrativeSid(text, self);
    if (text)
        LocalFree(text);
    LocalFree(descriptor);
    return ok;
}

// The process id the holder wrote into the object; 0 when unknown.
DWORD HolderOf(HANDLE h) {
    const DWORD* view = static_cast<const DWORD*>(MapViewOfFile(h, FILE_MAP_READ, 0, 0, sizeof(DWORD)));
    if (!view)
        return 0;
    DWORD process = *view;
    UnmapViewOfFile(view);
    return process;
}

void WriteHolder(HANDLE h) {
    DWORD* view = static_cast<DWORD*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
    if (view) {
        *view = GetCurrentProcessId();
        UnmapViewOfFile(view);
    }
}

// One try: kLockTaken (*created holds the new object), kLockBusy (*holder
// the other process), kLockSquatted or kLockFailed.
RunLockVerdict TryLock(const char* object, HANDLE* created, DWORD* holder) {
    SECURITY_ATTRIBUTES* security = LockSecurity();
    if (!security)
        return kLockFailed;
    HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0, 4096, object);
    DWORD error = GetLastError();
    if (!h)
        return error == ERROR_ACCESS_DENIED ? kLockSquatted : kLockFailed;
    if (error != ERROR_ALREADY_EXISTS) {
        WriteHolder(h);
        *created = h;
        return kLockTaken;
    }
    RunLockVerdict verdict = OwnedByAdministrator(h) ? kLockBusy : kLockSquatted;
    *holder = HolderOf(h);
    CloseHandle(h);
    return verdict;
}

}  // namespace

bool RunLockName(const char* kind, const char* name, bool global, char* out, size_t size) {
    WCHAR wide[2 * MAX_PATH];
    int n = MultiByteToWideChar(CP_ACP, 0, name, -1, wide, sizeof wide / sizeof wide[0]);
    if (n <= 1)
        return false;
    CharUpperBuffW(wide, static_cast<DWORD>(n - 1));
    char digest[kDigestTextSize];
    if (!BytesDigest(wide, static_cast<size_t>(n - 1) * sizeof(WCHAR), digest))
        return false;
    return snprintf(out, size, "%s\\Brondale-%s-%.32s", global ? "Global" : "Local", kind, digest) <
           static_cast<int>(size);
}

RunLockVerdict TakeRunLock(const char* kind, const char* name, DWORD waitMs, bool global) {
    char object[96];
    if (!RunLockName(kind, name, global, object, sizeof object)) {
        LogLine("lock of %s %s: no name can be made for it", kind, name);
        return kLockFailed;
    }
    if (Find(object))
        return kLockTaken;
    HeldLocks* held = Held();
    DWORD start = GetTickCount(), holder = 0;
    RunLockVerdict verdict;
    for (;;) {
        HANDLE h = nullptr;
        verdict = held->count < 8 ? TryLock(object, &h, &holder) : kLockFailed;
        if (verdict == kLockTaken) {
            HeldLock* lock = &held->lock[held->count++];
            snprintf(lock->name, sizeof lock->name, "%s", object);
            lock->handle = h;
            LogLine("lock of %s %s: taken (%s)", kind, name, object);
            return verdict;
        }
        if (verdict != kLockBusy || GetTickCount() - start >= waitMs)
            break;
        Sleep(100);
    }
    if (verdict == kLockBusy)
        LogLine("lock of %s %s: held by another run (process %lu) for %lu ms: another copy is running", kind, name,
                static_cast<unsigned long>(holder), static_cast<unsigned long>(waitMs));
    else
        LogLine("lock of %s %s: %s (error %lu)", kind, name,
                verdict == kLockSquatted ? "its name is held by an object that is not an administrator's"
                                         : "cannot be made",
                static_cast<unsigned long>(GetLastError()));
    return verdict;
}

void ReleaseRunLock(const char* kind, const char* name, bool global) {
    char object[96];
    HeldLock* lock = RunLockName(kind, name, global, object, sizeof object) ? Find(object) : nullptr;
    if (!lock)
        return;
    CloseHandle(lock->handle);
    HeldLocks* held = Held();
    *lock = held->lock[--held->count];
}
