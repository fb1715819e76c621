// The calls that take any handle: closing one (a file's or a thread's; the
// token's is a constant), asking an open file what it is (attributes, tag,
// identity, and its path now: Linux follows renames, as Windows does), and
// flushing what was written to it.
#include "posix/win32_posix.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/errors_posix.h"
#include "posix/files_posix.h"
#include "posix/handletable_posix.h"
#include "posix/names_posix.h"
#include "posix/paths_posix.h"
#include "posix/threads_posix.h"

BOOL CloseHandle(HANDLE h) {
    if (h == POSIX_TOKEN_HANDLE)
        return TRUE;
    if (PosixKindOf(h) == kPosixThread)
        return PosixCloseThread(h);
    return PosixCloseFile(h);
}

BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info) {
    if (PosixInjectedFault())
        return FALSE;
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0)
        return PosixFail(ERROR_INVALID_HANDLE);
    memset(info, 0, sizeof *info);
    DWORD attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        attributes = FILE_ATTRIBUTE_REPARSE_POINT;
        if (stat(f->path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else {
        attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    }
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    info->dwFileAttributes = attributes | PosixDosAttributes(st);
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    info->nFileSizeLow = static_cast<DWORD>(st.st_size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

NTSTATUS NTAPI NtQueryInformationFile(HANDLE h, PIO_STATUS_BLOCK io, void* out, uint32_t size,
                                      FILE_INFORMATION_CLASS kind) {
    if (PosixInjectedFault())
        return STATUS_INVALID_HANDLE;
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (kind != FileInternalInformation || size < sizeof(FILE_INTERNAL_INFORMATION))
        return STATUS_INVALID_PARAMETER;
    if (!f || fstat(f->fd, &st) != 0)
        return STATUS_INVALID_HANDLE;
    static_cast<FILE_INTERNAL_INFORMATION*>(out)->IndexNumber.QuadPart = static_cast<int64_t>(st.st_ino);
    io->Status = 0;
    io->Information = sizeof(FILE_INTERNAL_INFORMATION);
    return 0;
}

DWORD GetFinalPathNameByHandleA(HANDLE h, LPSTR out, DWORD size, DWORD flags) {
    if (PosixInjectedFault())
        return 0;
    PosixFile* f = PosixFileOf(h);
    if (!f) {
        PosixFail(ERROR_INVALID_HANDLE);
        return 0;
    }
    char target[PATH_MAX];
    std::string fdPath = "/proc/self/fd/" + std::to_string(f->fd);
    ssize_t n = readlink(fdPath.c_str(), target, sizeof target - 1);
    if (n <= 0) {
        PosixFail(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::string path = PosixWindowsPath(std::string(target, static_cast<size_t>(n)));
    SetLastError(ERROR_SUCCESS);
    return PosixCopyPath(((flags & VOLUME_NAME_NT) ? "\\Device\\Posix" : "\\\\?\\") + path, out, size);
}

BOOL GetFileInformationByHandleEx(HANDLE h, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID out, DWORD size) {
    BY_HANDLE_FILE_INFORMATION info;
    const DWORD needed = kind == FileAttributeTagInfo ? sizeof(FILE_ATTRIBUTE_TAG_INFO)
                         : kind == FileBasicInfo      ? sizeof(FILE_BASIC_INFO)
                         : kind == FileStandardInfo   ? sizeof(FILE_STANDARD_INFO)
                                                      : ~0u;
    if (size < needed)
        return PosixFail(ERROR_INVALID_PARAMETER);
    if (!GetFileInformationByHandle(h, &info))
        return FALSE;
    if (kind == FileBasicInfo) {
        FILE_BASIC_INFO* basic = static_cast<FILE_BASIC_INFO*>(out);
        memset(basic, 0, sizeof *basic);
        basic->FileAttributes = info.dwFileAttributes;
    } else if (kind == FileStandardInfo) {
        FILE_STANDARD_INFO* standard = static_cast<FILE_STANDARD_INFO*>(out);
        memset(standard, 0, sizeof *standard);
        standard->EndOfFile = static_cast<int64_t>(static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
        standard->AllocationSize = standard->EndOfFile;
        standard->NumberOfLinks = info.nNumberOfLinks;
        standard->Directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } else {
        FILE_ATTRIBUTE_TAG_INFO* tag = static_cast<FILE_ATTRIBUTE_TAG_INFO*>(out);
        tag->FileAttributes = info.dwFileAttributes;
        // IO_REPARSE_TAG_SYMLINK: a symbolic link is the only reparse point here.
        tag->ReparseTag = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? 0xA000000Cu : 0;
    }
    return TRUE;
}

