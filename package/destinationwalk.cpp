// Opening the folders along a destination (Windows only). Each folder is
// opened with FILE_FLAG_OPEN_REPARSE_POINT, so that a link or junction is
// read as itself; Wine follows the link even so and shows it only by its
// name, so the name's attributes are read as well.
#include "package/destinationwalk.h"

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>

#include "base/files.h"

namespace {

// The part of a mount point's reparse data that names its target.
struct MountPointData {
    DWORD tag;
    WORD dataLength;
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
    WCHAR names[1];
};

// Whether the mount point open at folder leads to a volume
// ("\??\Volume{...}\") rather than to another folder.
bool LeadsToVolume(HANDLE folder) {
    static union {
        MountPointData data;
        BYTE bytes[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    } reparse;
    DWORD got = 0;
    if (!DeviceIoControl(folder, FSCTL_GET_REPARSE_POINT, nullptr, 0, &reparse, sizeof reparse, &got, nullptr) ||
        got < offsetof(MountPointData, names) || reparse.data.tag != IO_REPARSE_TAG_MOUNT_POINT)
        return false;
    const WCHAR prefix[] = L"\\??\\Volume{";
    size_t offset = reparse.data.substituteOffset, length = reparse.data.substituteLength;
    if (offsetof(MountPointData, names) + offset + length > got || length < sizeof prefix - sizeof(WCHAR))
        return false;
    const WCHAR* name = reparse.data.names + offset / sizeof(WCHAR);
    return memcmp(name, prefix, sizeof prefix - sizeof(WCHAR)) == 0;
}

// Fills in what folder->handle shows: its kind and owner. False when the
// handle cannot be read.
bool ReadFolder(const char* name, PathFolder* folder) {
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!GetFileInformationByHandleEx(folder->handle, FileAttributeTagInfo, &info, sizeof info))
        return false;
    bool reparse = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    DWORD byName = GetFileAttributesA(name);
    bool reparseByName = byName != INVALID_FILE_ATTRIBUTES && (byName & FILE_ATTRIBUTE_REPARSE_POINT);
    uint32_t tag = reparse ? info.ReparseTag : 0;
    bool volume = reparse && tag == IO_REPARSE_TAG_MOUNT_POINT && LeadsToVolume(folder->handle);
    folder->kind = KindOfFolder(reparse || reparseByName, tag, volume);

    folder->owner[0] = '\0';
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder->handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS) {
        LPSTR text = nullptr;
        if (owner && ConvertSidToStringSidA(owner, &text)) {
            snprintf(folder->owner, sizeof folder->owner, "%s", text);
            LocalFree(text);
        }
        LocalFree(descriptor);
    }
    return true;
}

}  // namespace

int OpenPathFolders(const char* path, PathFolder* folders, int max, size_t* failed) {
    *failed = 0;
    int count = 0;
    char name[MAX_PATH];
    // From just after "X:\" to the end.
    for (size_t end = 3; count < max && NextPathFolder(path, true, &end, name);) {
        HANDLE handle = CreateFileA(name, FILE_READ_ATTRIBUTES | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                    nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                *failed = strlen(name);
            return count;
        }
        PathFolder* folder = &folders[count++];
        folder->handle = handle;
        folder->length = strlen(name);
        if (!ReadFolder(name, folder)) {
            *failed = folder->length;
            return count;
        }
    }
    return count;
}
