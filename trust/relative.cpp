// Relative file operations on the native calls: NtCreateFile with the held
// folder as RootDirectory, NtSetInformationFile for renames (its
// RootDirectory too), deletions and attributes. Windows opens a reparse
// point as itself under FILE_OPEN_REPARSE_POINT; Wine follows it, so there
// an existing name is also checked by the final path of what it opened.
// Portable (the stand-in models the calls on openat and its kin).
#include "trust/relative.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"

namespace {

// A name widened for the native calls, as CreateFileA widens it.
struct WideName {
    WCHAR text[MAX_PATH];
    UNICODE_STRING string;
};

bool Widen(const char* name, WideName* wide) {
    int n = name[0] ? MultiByteToWideChar(CP_ACP, 0, name, -1, wide->text, MAX_PATH) : 0;
    if (n <= 1) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    wide->string.Length = static_cast<uint16_t>((n - 1) * sizeof(WCHAR));
    wide->string.MaximumLength = static_cast<uint16_t>(n * sizeof(WCHAR));
    wide->string.Buffer = wide->text;
    return true;
}

bool Failed(NTSTATUS status) {
    SetLastError(RtlNtStatusToDosError(status));
    return false;
}

HANDLE Create(HANDLE folder, const char* name, DWORD access, DWORD share, DWORD disposition, DWORD options,
              SECURITY_ATTRIBUTES* security, bool* created) {
    WideName wide;
    if (!Widen(name, &wide))
        return INVALID_HANDLE_VALUE;
    OBJECT_ATTRIBUTES object;
    InitializeObjectAttributes(&object, &wide.string, OBJ_CASE_INSENSITIVE, folder,
                               security ? security->lpSecurityDescriptor : nullptr);
    IO_STATUS_BLOCK io;
    io.Information = 0;
    HANDLE opened = nullptr;
    NTSTATUS status = NtCreateFile(&opened, access | SYNCHRONIZE, &object, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                   disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status < 0) {
        Failed(status);
        return INVALID_HANDLE_VALUE;
    }
    *created = io.Information == 2;  // FILE_CREATED
    return opened;
}

#ifdef _WIN32
// The system's own name of what h is open on ("\??\C:\..." and the like),
// in code-page bytes: one question of the system, where
// GetFinalPathNameByHandle asks twice and then maps the name to a drive.
bool NativeName(HANDLE h, char* out, size_t size) {
    union {
        OBJECT_NAME_INFORMATION info;
        unsigned char bytes[sizeof(OBJECT_NAME_INFORMATION) + 2 * sizeof(WCHAR) * MAX_PATH];
    } name;
    ULONG got = 0;
    NTSTATUS status = NtQueryObject(h, ObjectNameInformation, &name, sizeof name, &got);
    if (status < 0)
        return Failed(status);
    int chars = name.info.Name.Length / static_cast<int>(sizeof(WCHAR));
    int n = chars > 0 ? WideCharToMultiByte(CP_ACP, 0, name.info.Name.Buffer, chars, out, static_cast<int>(size) - 1,
                                            nullptr, nullptr)
                      : 0;
    if (n <= 0)
        return false;
    out[n] = '\0';
    return true;
}

// The native names of the folders names were last opened in, asked of the
// system once each: the file pool's workers take turns in the same few
// folders. A folder is known by its handle and its index, so a handle
// closed and given to another folder is asked again.
struct FolderName {
    HANDLE folder;
    uint64_t index;
    char name[2 * MAX_PATH];
};

struct FolderNames {
    SRWLOCK lock;
    FolderName recent[16];
    unsigned next;
};

bool FolderNativeName(HANDLE folder, char* out, size_t size) {
    static FolderNames names = {SRWLOCK_INIT, {}, 0};
    uint64_t index = 0;
    if (!IndexThrough(folder, &index))
        return false;
    AcquireSRWLockExclusive(&names.lock);
    const FolderName* known = nullptr;
    for (const FolderName& f : names.recent)
        if (f.folder == folder && f.index == index && f.name[0] != '\0')
            known = &f;
    bool found = known && snprintf(out, size, "%s", known->name) < static_cast<int>(size);
    ReleaseSRWLockExclusive(&names.lock);
    if (found || !NativeName(folder, out, size))
        return found;
    AcquireSRWLockExclusive(&names.lock);
    FolderName* slot = &names.recent[names.next++ % 16];
    slot->folder = folder;
    slot->index = index;
    snprintf(slot->name, sizeof slot->name, "%s", out);
    ReleaseSRWLockExclusive(&names.lock);
    return true;
}
#endif

// Under Wine, whether what opened is name in folder itself: its own name
// is the folder's and that name (a link to a folder beside it has another
// last name). Elsewhere a name opened as itself is never anything else,
// and the stand-in opens a link as itself as Windows does.
bool StaysIn(HANDLE folder, const char* name, HANDLE opened) {
#ifdef _WIN32
    if (!WineRun())
        return true;
    char outer[2 * MAX_PATH], inner[2 * MAX_PATH], expected[3 * MAX_PATH];
    if (!FolderNativeName(folder, outer, sizeof outer) || !NativeName(opened, inner, sizeof inner))
        return false;
    size_t n = strlen(outer);
    if (n > 0 && outer[n - 1] == '\\')
        outer[--n] = '\0';
    snprintf(expected, sizeof expected, "%s\\%s", outer, name);
    return SamePath(inner, expected);
#else
    (void)folder, (void)name, (void)opened;
    return true;
#endif
}

// What an existing name opened as itself is.
NameFound Examine(HANDLE folder, const char* name, HANDLE opened) {
    NameFound found = {true, 0};
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &info, sizeof info))
        return found;
    found.reparse = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !StaysIn(folder, name, opened);
    found.tag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? info.ReparseTag : 0;
    return found;
}

}  // namespace

bool WineRun() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version");
    }();
    return wine;
}

HANDLE OpenIn(HANDLE folder, const char* name, DWORD access, DWORD share, DWORD disposition, DWORD options,
              SECURITY_ATTRIBUTES* security, bool* created) {
    bool made = false;
    HANDLE opened = Create(folder, name, access, share, disposition, options | FILE_OPEN_REPARSE_POINT, security, &made);
    if (created)
        *created = made;
    if (opened == INVALID_HANDLE_VALUE || made)
        return opened;
    if (Examine(folder, name, opened).reparse) {
        CloseHandle(opened);
        SetLastError(kErrorLink);
        return INVALID_HANDLE_VALUE;
    }
    return opened;
}

bool NameTakenIn(HANDLE folder, const char* name) {
    bool made = false;
    HANDLE seen = Create(folder, name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, nullptr, &made);
    if (seen == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(seen);
    return true;
}

HANDLE OpenLinkIn(HANDLE folder, const char* name, bool follow, NameFound* found) {
    bool created = false;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE opened = Create(folder, name, kHeldFolderAccess, share, FILE_OPEN,
                           FILE_DIRECTORY_FILE | (follow ? 0u : FILE_OPEN_REPARSE_POINT), nullptr, &created);
    *found = NameFound{false, 0};
    if (opened != INVALID_HANDLE_VALUE && !follow)
        *found = Examine(folder, name, opened);
    return opened;
}

bool RenameIn(HANDLE file, HANDLE folder, const char* name, bool replace) {
    union {
        FILE_RENAME_INFORMATION info;
        unsigned char bytes[sizeof(FILE_RENAME_INFORMATION) + MAX_PATH * sizeof(WCHAR)];
    } rename;
    memset(&rename, 0, sizeof rename);
    int n = name[0] ? MultiByteToWideChar(CP_ACP, 0, name, -1, rename.info.FileName, MAX_PATH) : 0;
    if (n <= 1) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    rename.info.ReplaceIfExists = replace ? 1 : 0;
    rename.info.RootDirectory = folder;
    rename.info.FileNameLength = static_cast<ULONG>((n - 1) * sizeof(WCHAR));
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtSetInformationFile(file, &io, &rename.info, sizeof rename, FileRenameInformation);
    return status >= 0 || Failed(status);
}

bool DeleteThrough(HANDLE file) {
    FILE_DISPOSITION_INFORMATION disposition = {1};
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtSetInformationFile(file, &io, &disposition, sizeof disposition, FileDispositionInformation);
    return status >= 0 || Failed(status);
}

bool DeleteHeldFolder(HANDLE parent, const char* name, HANDLE* held) {
    BY_HANDLE_FILE_INFORMATION before, now;
    bool known = GetFileInformationByHandle(*held, &before) != FALSE;
    CloseHandle(*held);
    *held = INVALID_HANDLE_VALUE;
    if (!known)
        return false;
    HANDLE folder = OpenIn(parent, name, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                           FILE_DIRECTORY_FILE);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    bool same = GetFileInformationByHandle(folder, &now) && now.dwVolumeSerialNumber == before.dwVolumeSerialNumber &&
                now.nFileIndexHigh == before.nFileIndexHigh && now.nFileIndexLow == before.nFileIndexLow;
    bool deleted = same && DeleteThrough(folder);
    CloseHandle(folder);
    return deleted;
}

bool SetAttributesThrough(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFORMATION basic;
    memset(&basic, 0, sizeof basic);
    basic.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtSetInformationFile(file, &io, &basic, sizeof basic, FileBasicInformation);
    return status >= 0 || Failed(status);
}

// Both asked of the file system alone: GetFileInformationByHandle asks the
// volume too, which under Wine costs as much as opening and reading a
// small file.
DWORD AttributesThrough(HANDLE file) {
    FILE_BASIC_INFO info;
    return GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info) ? info.FileAttributes
                                                                               : INVALID_FILE_ATTRIBUTES;
}

bool IndexThrough(HANDLE file, uint64_t* index) {
    IO_STATUS_BLOCK io;
    FILE_INTERNAL_INFORMATION info;
    NTSTATUS status = NtQueryInformationFile(file, &io, &info, sizeof info, FileInternalInformation);
    if (status < 0)
        return Failed(status);
    *index = static_cast<uint64_t>(info.IndexNumber.QuadPart);
    return true;
}

DWORD NamesThrough(HANDLE file) {
    FILE_STANDARD_INFO info;
    return GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) ? info.NumberOfLinks : 0;
}
