// The security calls: the process token of one fixed account (its owner),
// descriptors kept as their text by file identity, and the mode bits Wine
// derives from a folder's descriptor. Calls only errors_posix, paths_posix
// and handletable_posix.
#include "posix/security_posix.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
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

// What was kept for each file or folder, by identity, so that it follows a
// rename: the list it was made or set with ("D:..."), and the whole text a
// test set ("O:...D:..."). Guarded by lock: the file pool's workers create
// files too.
struct KeptDescriptor {
    std::string list;
    std::string whole;
};
struct DescriptorTable {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, KeptDescriptor> byFile;
};

DescriptorTable& Descriptors() {
    static DescriptorTable table;
    return table;
}

// A list as Wine derives it from the mode bits: SYSTEM and the owner (here
// the Administrators) full access, Everyone read and execute while the mode
// lets others read; passed on to what a folder holds.
std::string DerivedList(const struct stat& st) {
    const char* inherit = S_ISDIR(st.st_mode) ? "OICI" : "";
    std::string list = std::string("D:(A;") + inherit + ";FA;;;SY)(A;" + inherit + ";FA;;;BA)";
    if (st.st_mode & S_IROTH)
        list += std::string("(A;") + inherit + ";0x1200a9;;;WD)";
    return list;
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
    if (revision != SDDL_REVISION_1 || (strncmp(text, "D:", 2) != 0 && strncmp(text, "O:", 2) != 0)) {
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
    size_t list = text.find("D:");
    if (list == std::string::npos || text.compare(list, 3, "D:P") != 0)
        return false;
    for (const char* group : {";WD)", ";BU)", ";AU)", ";BG)"})
        if (text.find(group) != std::string::npos)
            return false;
    return true;
}

void PosixKeepDescriptorOf(const struct stat& st, const char* text) {
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    Descriptors().byFile[{st.st_dev, st.st_ino}].list = text ? text : "";
}

void PosixKeepDescriptor(const char* path, const void* descriptor) {
    struct stat st;
    if (lstat(PosixUnixName(path).c_str(), &st) == 0)
        PosixKeepDescriptorOf(st, static_cast<const char*>(descriptor));
}

void PosixForgetDescriptor(const struct stat& st) {
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    Descriptors().byFile.erase({st.st_dev, st.st_ino});
}

std::string PosixDescriptorText(const struct stat& st) {
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    auto it = Descriptors().byFile.find({st.st_dev, st.st_ino});
    if (it != Descriptors().byFile.end() && !it->second.whole.empty())
        return it->second.whole;
    std::string list = it != Descriptors().byFile.end() ? it->second.list : "";
    // What the elevated program makes is the Administrators'; a symbolic
    // link stands for a junction a user planted, and is the user's.
    std::string owner = S_ISLNK(st.st_mode) ? ProcessUser()->text : "BA";
    return "O:" + owner + (list.empty() ? DerivedList(st) : list);
}

const char* PosixFolderDescriptor(const char* path) {
    static thread_local std::string text;
    struct stat st;
    text.clear();
    if (lstat(PosixUnixName(path).c_str(), &st) != 0)
        return "";
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    auto it = Descriptors().byFile.find({st.st_dev, st.st_ino});
    if (it != Descriptors().byFile.end())
        text = it->second.list;
    return text.c_str();
}

void PosixSetDescriptor(const char* path, const char* text) {
    struct stat st;
    if (lstat(PosixUnixName(path).c_str(), &st) != 0)
        return;
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    Descriptors().byFile[{st.st_dev, st.st_ino}].whole = text ? text : "";
}

DWORD GetSecurityInfo(HANDLE h, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner, PSID* group, PACL* dacl,
                      PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0)
        return ERROR_INVALID_HANDLE;
    char* text = CopyText(PosixDescriptorText(st).c_str());
    if (!text)
        return ERROR_NOT_ENOUGH_MEMORY;
    *descriptor = text;
    for (PSID* sid : {owner, group})
        if (sid)
            *sid = text;
    for (PACL* list : {dacl, sacl})
        if (list)
            *list = text;
    return ERROR_SUCCESS;
}

BOOL GetKernelObjectSecurity(HANDLE h, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR descriptor, DWORD size,
                             DWORD* needed) {
    if (PosixInjectedFault())
        return PosixFail(ERROR_WRITE_FAULT);
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0)
        return PosixFail(ERROR_INVALID_HANDLE);
    std::string text = PosixDescriptorText(st);
    *needed = static_cast<DWORD>(text.size() + 1);
    if (size < *needed)
        return PosixFail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(descriptor, text.c_str(), text.size() + 1);
    return TRUE;
}

BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR descriptor, DWORD revision,
                                                          SECURITY_INFORMATION, LPSTR* text, PULONG size) {
    if (!descriptor || revision != SDDL_REVISION_1)
        return PosixFail(ERROR_INVALID_PARAMETER);
    *text = CopyText(static_cast<const char*>(descriptor));
    if (size)
        *size = static_cast<ULONG>(strlen(*text) + 1);
    return TRUE;
}

BOOL GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR descriptor, PSID* owner, BOOL* defaulted) {
    *owner = descriptor;
    *defaulted = FALSE;
    return descriptor ? TRUE : PosixFail(ERROR_INVALID_PARAMETER);
}

BOOL GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR descriptor, BOOL* present, PACL* dacl, BOOL* defaulted) {
    *present = descriptor ? TRUE : FALSE;
    *dacl = descriptor;
    *defaulted = FALSE;
    return descriptor ? TRUE : PosixFail(ERROR_INVALID_PARAMETER);
}

DWORD SetSecurityInfo(HANDLE h, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL dacl, PACL) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (!f || !dacl || fstat(f->fd, &st) != 0)
        return ERROR_INVALID_HANDLE;
    std::string text = static_cast<const char*>(dacl);
    size_t list = text.find("D:");
    if (S_ISDIR(st.st_mode))
        fchmod(f->fd, PosixDescriptorIsPrivate(dacl) ? 0700 : 0755);
    std::lock_guard<std::mutex> guard(Descriptors().lock);
    KeptDescriptor& kept = Descriptors().byFile[{st.st_dev, st.st_ino}];
    kept.whole = text.compare(0, 2, "O:") == 0 ? text : "";
    kept.list = list == std::string::npos ? kept.list : text.substr(list);
    return ERROR_SUCCESS;
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
