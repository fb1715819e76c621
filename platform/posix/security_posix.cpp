// The security calls: the process token of one fixed account (its owner),
// descriptors kept as their text by path, and the mode bits Wine derives
// from a folder's descriptor. Calls only errors_posix and paths_posix.
#include "posix/security_posix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/errors_posix.h"
#include "posix/paths_posix.h"

namespace {

// The account of the stand-in's token: its text is its SID.
struct Sid {
    char text[64];
};

Sid* ProcessUser() {
    static Sid sid;
    snprintf(sid.text, sizeof sid.text, "S-1-5-21-1000-1000-1000-%u", static_cast<unsigned>(getuid()) + 1000u);
    return &sid;
}

char* CopyText(const char* text) {
    size_t n = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy)
        memcpy(copy, text, n);
    return copy;
}

std::map<std::string, std::string>* Descriptors() {
    static std::map<std::string, std::string> kept;
    return &kept;
}

}  // namespace

HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

BOOL OpenProcessToken(HANDLE, DWORD, HANDLE* token) {
    *token = POSIX_TOKEN_HANDLE;
    return TRUE;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID out, DWORD size, LPDWORD got) {
    // The process's user is both its token's owner and its account.
    *got = kind == TokenUser ? sizeof(TOKEN_USER) : sizeof(TOKEN_OWNER);
    if (token != POSIX_TOKEN_HANDLE || (kind != TokenOwner && kind != TokenUser)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (size < *got) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (kind == TokenUser) {
        TOKEN_USER user = {{ProcessUser(), 0}};
        memcpy(out, &user, sizeof user);
        return TRUE;
    }
    TOKEN_OWNER owner = {ProcessUser()};
    memcpy(out, &owner, sizeof owner);
    return TRUE;
}

BOOL ConvertSidToStringSidA(PSID sid, LPSTR* text) {
    *text = sid ? CopyText(static_cast<Sid*>(sid)->text) : nullptr;
    if (!*text) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                                          PULONG size) {
    if (revision != SDDL_REVISION_1 || strncmp(text, "D:", 2) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *descriptor = CopyText(text);
    if (size)
        *size = static_cast<ULONG>(strlen(text) + 1);
    return TRUE;
}

HLOCAL LocalFree(HLOCAL memory) {
    free(memory);
    return nullptr;
}

bool PosixDescriptorIsPrivate(const void* descriptor) {
    if (!descriptor)
        return false;
    std::string text = static_cast<const char*>(descriptor);
    if (text.compare(0, 3, "D:P") != 0)
        return false;
    for (const char* group : {";WD)", ";BU)", ";AU)", ";BG)"})
        if (text.find(group) != std::string::npos)
            return false;
    return true;
}

void PosixKeepDescriptor(const char* path, const void* descriptor) {
    (*Descriptors())[PosixUnixName(path)] = descriptor ? static_cast<const char*>(descriptor) : "";
}

const char* PosixFolderDescriptor(const char* path) {
    std::string unix = PosixUnixName(path);
    struct stat st;
    auto it = Descriptors()->find(unix);
    if (it == Descriptors()->end() || lstat(unix.c_str(), &st) != 0)
        return "";
    return it->second.c_str();
}

BOOL SetFileSecurityA(LPCSTR name, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) {
    std::string unix = PosixUnixName(name);
    if (what != DACL_SECURITY_INFORMATION || !descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat st;
    if (stat(unix.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    mode_t mode = S_ISDIR(st.st_mode) ? (PosixDescriptorIsPrivate(descriptor) ? 0700 : 0755) : (st.st_mode & 0777);
    if (chmod(unix.c_str(), mode) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    PosixKeepDescriptor(name, descriptor);
    return TRUE;
}

BOOL GetFileSecurityA(LPCSTR name, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                      LPDWORD needed) {
    if (PosixInjectedFault())
        return FALSE;
    std::string unix = PosixUnixName(name);
    struct stat st;
    if (lstat(unix.c_str(), &st) != 0)
        return PosixFail(ERROR_FILE_NOT_FOUND);
    std::string text;
    if (what & OWNER_SECURITY_INFORMATION)
        text += std::string("O:") + ProcessUser()->text;
    if (what & DACL_SECURITY_INFORMATION) {
        const char* kept = PosixFolderDescriptor(name);
        text += kept[0] ? std::string(kept)
                        : std::string("D:(A;OICI;FA;;;SY)(A;OICI;FA;;;") + ProcessUser()->text + ")(A;OICI;0x1200a9;;;WD)";
    }
    *needed = static_cast<DWORD>(text.size() + 1);
    if (!descriptor || size < *needed)
        return PosixFail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(descriptor, text.c_str(), text.size() + 1);
    return TRUE;
}

BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                                          SECURITY_INFORMATION, LPSTR* text, PULONG size) {
    if (revision != SDDL_REVISION_1 || !descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *text = CopyText(static_cast<const char*>(descriptor));
    if (size)
        *size = static_cast<ULONG>(strlen(*text) + 1);
    return *text != nullptr;
}
