// The halves' channel. Measured under Wine 8.0 (these are what the tests
// there rely on): a process started from the Linux side has the elevated
// half of a split token whatever its manifest asks; a process started with
// that token's linked token (TokenLinkedToken) has the unelevated half, and
// so have its children, whatever their manifests ask; ShellExecuteExA with
// "runas" starts the program with the caller's own token (no prompt, no
// elevation) and returns its process handle; OpenProcess with
// PROCESS_DUP_HANDLE and DuplicateHandle of the caller's pipe end work
// between the two, and the duplicate reads as FILE_TYPE_PIPE.
#include "trust/channel.h"

#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kPipeSize = 64 * 1024;

bool IsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return false;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

// Over the shoulder the elevated half runs as another account, an
// administrator, which a standard user's process does not let in: the
// Administrators group is given what the channel needs of this process
// (duplicating a handle, reading its image's name). Only Windows shows this.
void LetAdministratorsIn() {
    PACL dacl = nullptr, grown = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return;
    char group[] = "S-1-5-32-544";
    PSID administrators = nullptr;
    if (ConvertStringSidToSidA(group, &administrators)) {
        EXPLICIT_ACCESSA access;
        memset(&access, 0, sizeof access);
        access.grfAccessPermissions = PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;
        access.grfAccessMode = GRANT_ACCESS;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        access.Trustee.ptstrName = static_cast<LPSTR>(administrators);
        if (SetEntriesInAclA(1, &access, dacl, &grown) == ERROR_SUCCESS)
            SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, grown,
                            nullptr);
        LocalFree(grown);
        LocalFree(administrators);
    }
    LocalFree(descriptor);
}

// The full name of process's program file into name (MAX_PATH bytes).
bool ImageName(HANDLE process, char* name) {
    DWORD size = MAX_PATH;
    return QueryFullProcessImageNameA(process, 0, name, &size) && size > 0 && size < MAX_PATH;
}

// Moves what the pipe holds now onto *bytes, never blocking; stops taking
// once more than kMaxHalfReport bytes came (the report is then refused).
void Drain(HANDLE pipe, char** bytes, size_t* size) {
    DWORD waiting = 0;
    while (*size <= kMaxHalfReport && PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0) {
        size_t take = waiting < kPipeSize ? waiting : kPipeSize;
        if (take > kMaxHalfReport + 1 - *size)
            take = kMaxHalfReport + 1 - *size;
        char* grown = static_cast<char*>(realloc(*bytes, *size + take));
        DWORD got = 0;
        if (!grown) {
            *size = kMaxHalfReport + 1;
            return;
        }
        *bytes = grown;
        if (!ReadFile(pipe, *bytes + *size, static_cast<DWORD>(take), &got, nullptr) || got == 0)
            return;
        *size += got;
    }
}

void Close(HANDLE* h) {
    if (*h && *h != INVALID_HANDLE_VALUE)
        CloseHandle(*h);
    *h = nullptr;
}

}  // namespace

bool ReadToken(HANDLE process, TokenFacts* facts) {
    memset(facts, 0, sizeof *facts);
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION_TYPE type;
    DWORD got = 0;
    if (GetTokenInformation(token, TokenElevationType, &type, sizeof type, &got))
        facts->elevation = type;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    LPSTR text = nullptr;
    bool read = GetTokenInformation(token, TokenUser, &info, sizeof info, &got) &&
                ConvertSidToStringSidA(info.user.User.Sid, &text);
    if (read) {
        facts->isSystem = IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid) != FALSE;
        snprintf(facts->user, sizeof facts->user, "%s", text);
        LocalFree(text);
    }
    CloseHandle(token);
    if (process == GetCurrentProcess())
        facts->administrator = IsAdministrator();
    return read;
}

HalfStart StartElevatedHalf(const char* arguments, const char* extra, ElevatedHalf* half) {
    *half = ElevatedHalf{nullptr, nullptr, nullptr};
    char self[MAX_PATH], folder[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    DWORD f = GetCurrentDirectoryA(sizeof folder, folder);
    if (n == 0 || n >= sizeof self || f == 0 || f >= sizeof folder)
        return kHalfFailed;
    // Nothing inherits either end; the elevated half takes its copy itself.
    SECURITY_ATTRIBUTES none = {sizeof none, nullptr, FALSE};
    if (!CreatePipe(&half->readEnd, &half->writeEnd, &none, kPipeSize))
        return kHalfFailed;
    TokenFacts own;
    if (ReadToken(GetCurrentProcess(), &own) && !own.administrator)
        LetAdministratorsIn();
    size_t size = strlen(arguments) + strlen(extra) + 64;
    char* parameters = static_cast<char*>(malloc(size));
    if (!parameters) {
        Close(&half->readEnd);
        Close(&half->writeEnd);
        return kHalfFailed;
    }
    snprintf(parameters, size, "/CHANNEL=%lu.%lu %s%s%s", static_cast<unsigned long>(GetCurrentProcessId()),
             static_cast<unsigned long>(reinterpret_cast<uintptr_t>(half->writeEnd)), extra, extra[0] ? " " : "",
             arguments);
    SHELLEXECUTEINFOA start;
    memset(&start, 0, sizeof start);
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = "runas";
    start.lpFile = self;
    start.lpParameters = parameters;
    start.lpDirectory = folder;
    start.nShow = SW_SHOWNORMAL;
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    BOOL started = ShellExecuteExA(&start);
    DWORD error = GetLastError();
    if (SUCCEEDED(com))
        CoUninitialize();
    free(parameters);
    if (!started || !start.hProcess) {
        Close(&half->readEnd);
        Close(&half->writeEnd);
        return started || error != ERROR_CANCELLED ? kHalfFailed : kHalfDeclined;
    }
    half->process = start.hProcess;
    return kHalfStarted;
}

bool WaitElevatedHalf(ElevatedHalf* half, unsigned long* process, unsigned long* exitCode, char** report,
                      size_t* size) {
    *report = nullptr;
    *size = 0;
    DWORD waited;
    do {
        waited = WaitForSingleObject(half->process, 50);
        Drain(half->readEnd, report, size);
    } while (waited == WAIT_TIMEOUT);
    DWORD code = 0;
    bool ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(half->process, &code);
    *process = GetProcessId(half->process);
    *exitCode = code;
    Close(&half->process);
    Close(&half->writeEnd);
    Close(&half->readEnd);
    return ended;
}

HANDLE OpenChannel(unsigned long process, unsigned long handle) {
    HANDLE source = OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
    if (!source)
        return INVALID_HANDLE_VALUE;
    char theirs[MAX_PATH], own[MAX_PATH];
    HANDLE channel = INVALID_HANDLE_VALUE;
    // Only the user's half of this same program: never a handle of another
    // process that a made-up command line names.
    if (ImageName(source, theirs) && ImageName(GetCurrentProcess(), own) && lstrcmpiA(theirs, own) == 0 &&
        !DuplicateHandle(source, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), GetCurrentProcess(),
                         &channel, 0, FALSE, DUPLICATE_SAME_ACCESS))
        channel = INVALID_HANDLE_VALUE;
    CloseHandle(source);
    if (channel != INVALID_HANDLE_VALUE && GetFileType(channel) != FILE_TYPE_PIPE) {
        CloseHandle(channel);
        channel = INVALID_HANDLE_VALUE;
    }
    return channel;
}

bool SendReport(HANDLE channel, const HalfReport& report) {
    DWORD put = 0;
    bool ok = report.used > 0 && report.used <= kMaxHalfReport &&
              WriteFile(channel, report.text, static_cast<DWORD>(report.used), &put, nullptr) && put == report.used;
    CloseHandle(channel);
    return ok;
}
