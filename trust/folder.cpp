// The folder descriptors, built from their text form so that the entries
// read exactly as documented; portable (the stand-in models them).
#include "trust/folder.h"

#include <cstdio>
#include <cstring>

#include "trust/owner.h"
#include "trust/relative.h"

namespace {

// The text of the SID that owns what this process creates. An elevated token
// of an administrator with a split token names the Administrators group here
// (the same user unelevated must not get in); any other token names its
// account.
bool CurrentUserSid(char* out, size_t size) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    // TOKEN_OWNER is followed by the SID it points to; keep the buffer aligned.
    union {
        TOKEN_OWNER owner;
        BYTE bytes[256];
    } info;
    DWORD got = 0;
    BOOL ok = GetTokenInformation(token, TokenOwner, &info, sizeof info, &got);
    CloseHandle(token);
    LPSTR text = nullptr;
    if (!ok || !ConvertSidToStringSidA(info.owner.Owner, &text))
        return false;
    bool fits = snprintf(out, size, "%s", text) < static_cast<int>(size);
    LocalFree(text);
    return fits;
}

// Security attributes for a fixed descriptor text, built at the first call.
SECURITY_ATTRIBUTES* Built(SECURITY_ATTRIBUTES* attributes, const char* sddl) {
    if (!attributes->lpSecurityDescriptor) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return nullptr;
        attributes->nLength = sizeof *attributes;
        attributes->lpSecurityDescriptor = descriptor;
        attributes->bInheritHandle = FALSE;
    }
    return attributes;
}

}  // namespace

bool CreatorAccount(char* out, size_t size) {
    if (TrustedAccount()[0] != '\0')
        return snprintf(out, size, "%s", TrustedAccount()) < static_cast<int>(size);
    return CurrentUserSid(out, size);
}

bool ProtectedFolderSddl(const char* userSid, char* out, size_t size) {
    // A SID's text is "S-1-" followed by numbers and dashes; anything else
    // could add entries of its own to the descriptor.
    if (strncmp(userSid, "S-1-", 4) != 0 || userSid[4] == '\0')
        return false;
    for (const char* c = userSid + 4; *c; ++c)
        if (!((*c >= '0' && *c <= '9') || *c == '-'))
            return false;
    int n = snprintf(out, size, "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;%s)", userSid);
    return n > 0 && static_cast<size_t>(n) < size;
}

SECURITY_ATTRIBUTES* ProtectedFolderSecurity() {
    static SECURITY_ATTRIBUTES attributes;
    static bool built = false;
    if (!built) {
        char sid[192], sddl[320];
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!CurrentUserSid(sid, sizeof sid) || !ProtectedFolderSddl(sid, sddl, sizeof sddl) ||
            !ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return nullptr;
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = descriptor;
        attributes.bInheritHandle = FALSE;
        built = true;
    }
    return &attributes;
}

bool CreateProtectedFolder(const char* path) {
    SECURITY_ATTRIBUTES* security = ProtectedFolderSecurity();
    if (!security) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return CreateDirectoryA(path, security) != FALSE;
}

SECURITY_ATTRIBUTES* RecordFolderSecurity() {
    static SECURITY_ATTRIBUTES attributes;
    return Built(&attributes, kRecordFolderSddl);
}

SECURITY_ATTRIBUTES* ProgramFolderSecurity() {
    static SECURITY_ATTRIBUTES attributes;
    return Built(&attributes, kProgramFolderSddl);
}

bool ProtectFolderIn(HANDLE parent, const char* name, const char* sddl) {
    char text[512];
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (snprintf(text, sizeof text, "O:BA%s", sddl) >= static_cast<int>(sizeof text) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    PSID owner = nullptr;
    PACL list = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    bool set = false;
    HANDLE folder = OpenIn(parent, name, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, FILE_DIRECTORY_FILE);
    if (folder != INVALID_HANDLE_VALUE && GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
        GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted))
        // The list's protection is asked for as well: nothing inherited.
        set = SetSecurityInfo(folder, SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                  PROTECTED_DACL_SECURITY_INFORMATION,
                              owner, nullptr, list, nullptr) == ERROR_SUCCESS;
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    LocalFree(descriptor);
    return set;
}
