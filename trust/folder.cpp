// The folder descriptors, built from their text form so that the entries
// read exactly as documented; portable (the stand-in models them).
#include "trust/folder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// The SID of the account this process runs as (its token's user), as text:
// where the system makes folders owned by the account rather than by the
// token's owner, what this run made names that account.
bool ProcessAccountSid(char* out, size_t size) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    DWORD got = 0;
    BOOL ok = GetTokenInformation(token, TokenUser, &info, sizeof info, &got);
    CloseHandle(token);
    LPSTR text = nullptr;
    if (!ok || !ConvertSidToStringSidA(info.user.User.Sid, &text))
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

bool ProtectRecordFolder(const char* path) {
    SECURITY_ATTRIBUTES* security = RecordFolderSecurity();
    // Only the list (DACL) is set; the descriptor's protection comes with it.
    return security && SetFileSecurityA(path, DACL_SECURITY_INFORMATION, security->lpSecurityDescriptor) != FALSE;
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

namespace {

const char kTrustedInstallerSid[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// SYSTEM, the Administrators, TrustedInstaller or the process's own owner.
bool IsAdministrative(const char* sid, size_t n, const char* selfSid) {
    const char* const kNames[] = {"SY", "S-1-5-18", "BA", "S-1-5-32-544", kTrustedInstallerSid, selfSid};
    for (const char* name : kNames)
        if (name && strlen(name) == n && strncmp(sid, name, n) == 0)
            return true;
    return false;
}

// The access mask an entry's rights field grants: a number, or two-letter
// names. An unknown name grants everything.
uint32_t RightsOf(const char* rights, size_t n) {
    if (n > 2 && rights[0] == '0' && (rights[1] == 'x' || rights[1] == 'X')) {
        char number[16];
        if (n >= sizeof number)
            return 0xFFFFFFFFu;
        memcpy(number, rights, n);
        number[n] = '\0';
        char* end = nullptr;
        unsigned long value = strtoul(number + 2, &end, 16);
        return *end == '\0' ? static_cast<uint32_t>(value) : 0xFFFFFFFFu;
    }
    static const struct {
        char name[3];
        uint32_t mask;
    } kRights[] = {{"GA", 0x10000000u}, {"GR", 0x80000000u}, {"GW", 0x40000000u}, {"GX", 0x20000000u},
                   {"RC", 0x20000u},    {"SD", 0x10000u},    {"WD", 0x40000u},    {"WO", 0x80000u},
                   {"FA", 0x1F01FFu},   {"FR", 0x120089u},   {"FW", 0x120116u},   {"FX", 0x1200A0u},
                   {"CC", 0x1u},        {"DC", 0x2u},        {"LC", 0x4u},        {"SW", 0x8u},
                   {"RP", 0x10u},       {"WP", 0x20u},       {"DT", 0x40u},       {"LO", 0x80u},
                   {"CR", 0x100u}};
    if (n % 2 != 0)
        return 0xFFFFFFFFu;
    uint32_t mask = 0;
    for (size_t i = 0; i < n; i += 2) {
        uint32_t found = 0xFFFFFFFFu;
        for (const auto& r : kRights)
            if (rights[i] == r.name[0] && rights[i + 1] == r.name[1])
                found = r.mask;
        mask |= found;
    }
    return mask;
}

// One entry "(type;flags;rights;object;inherited object;sid)": true when it
// takes nothing away from the administrators' hold.
bool EntryKeepsOthersOut(const char* entry, size_t n, const char* selfSid) {
    const char* field[6];
    size_t length[6];
    size_t start = 0;
    int count = 0;
    for (size_t i = 0; i <= n && count < 6; ++i) {
        if (i == n || entry[i] == ';') {
            field[count] = entry + start;
            length[count++] = i - start;
            start = i + 1;
        }
    }
    if (count != 6)
        return false;
    if ((length[0] == 1 && field[0][0] == 'D') || (length[0] == 2 && strncmp(field[0], "OD", 2) == 0))
        return true;
    // Reading, listing and running only.
    const uint32_t kReadAndRun = 0x001200A9u | 0x80000000u | 0x20000000u;
    if ((RightsOf(field[2], length[2]) & ~kReadAndRun) == 0)
        return true;
    bool creatorOwner = length[5] == 2 && strncmp(field[5], "CO", 2) == 0;
    return creatorOwner || IsAdministrative(field[5], length[5], selfSid);
}

}  // namespace

bool OnlyAdministratorsChange(const char* sddl, const char* selfSid) {
    const char* owner = strstr(sddl, "O:");
    const char* dacl = strstr(sddl, "D:");
    if (!owner || !dacl)
        return false;
    owner += 2;
    size_t ownerLength = strcspn(owner, ":(");
    // The owner runs up to the next part's letter and colon.
    if (owner[ownerLength] == ':')
        ownerLength = ownerLength > 0 ? ownerLength - 1 : 0;
    if (!IsAdministrative(owner, ownerLength, selfSid))
        return false;
    const char* at = dacl + 2;
    // A missing list (NO_ACCESS_CONTROL) lets everyone in.
    if (strncmp(at, "NO_ACCESS_CONTROL", 17) == 0)
        return false;
    for (at = strchr(at, '('); at; at = strchr(at, '(')) {
        const char* end = strchr(at, ')');
        if (!end || !EntryKeepsOthersOut(at + 1, static_cast<size_t>(end - at - 1), selfSid))
            return false;
        at = end + 1;
        // A system list (auditing) may follow the DACL.
        if (strncmp(at, "S:", 2) == 0)
            break;
    }
    return true;
}

bool IsAdministrativeSid(const char* sid, const char* selfSid) { return IsAdministrative(sid, strlen(sid), selfSid); }

bool ProcessOwnerSid(char* out, size_t size) { return CurrentUserSid(out, size); }

bool AdministratorsOnlyFolder(const char* path) {
    DWORD needed = 0;
    GetFileSecurityA(path, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0 || needed > 65536)
        return false;
    void* descriptor = malloc(needed);
    LPSTR text = nullptr;
    bool ok = descriptor &&
              GetFileSecurityA(path, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor, needed,
                               &needed) &&
              ConvertSecurityDescriptorToStringSecurityDescriptorA(
                  descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, nullptr);
    char self[192], account[192];
    bool trusted = ok && text &&
                   ((CurrentUserSid(self, sizeof self) && OnlyAdministratorsChange(text, self)) ||
                    (ProcessAccountSid(account, sizeof account) && OnlyAdministratorsChange(text, account)));
    if (text)
        LocalFree(text);
    free(descriptor);
    return trusted;
}
