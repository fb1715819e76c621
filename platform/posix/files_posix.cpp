// The calls on an open file handle: CreateFileA, reading, writing, seeking,
// size and end of file, and closing one for CloseHandle. Every file object is
// in the handle table from its open to its close, so the sharing checks see it.
#include "posix/files_posix.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/names_posix.h"
#include "posix/paths_posix.h"

namespace {

// The data access of a CreateFileA access mask, as FILE_SHARE_* bits: only
// read, write and delete take part in sharing.
DWORD Uses(DWORD access) {
    return ((access & (GENERIC_READ | FILE_READ_DATA)) ? FILE_SHARE_READ : 0u) |
           ((access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) ? FILE_SHARE_WRITE : 0u) |
           ((access & DELETE) ? FILE_SHARE_DELETE : 0u);
}

// Opens what CreateFileA names as an fd, or -1 with the last error set:
// a symbolic link as itself under FILE_FLAG_OPEN_REPARSE_POINT, a folder
// only with FILE_FLAG_BACKUP_SEMANTICS.
int OpenFor(const std::string& path, DWORD access, DWORD disposition, DWORD flags, bool* link) {
    struct stat own;
    *link = (flags & FILE_FLAG_OPEN_REPARSE_POINT) && lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
    if (*link) {
        if (disposition == CREATE_NEW) {
            PosixFail(ERROR_FILE_EXISTS);
            return -1;
        }
        int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            PosixFail(PosixErrorFromErrno(errno, path));
        return fd;
    }
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || disposition == CREATE_NEW || disposition == CREATE_ALWAYS) {
            PosixFail(disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
            return -1;
        }
        int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            PosixFail(PosixErrorFromErrno(errno, path));
        return fd;
    }
    bool write = (access & (GENERIC_WRITE | FILE_WRITE_DATA)) != 0;
    if (exists && write && PosixIsReadOnly(st)) {
        PosixFail(ERROR_ACCESS_DENIED);
        return -1;
    }
    // Windows refuses to replace a hidden or system file with a plain one.
    if (exists && disposition == CREATE_ALWAYS && PosixDosAttributes(st) != 0) {
        PosixFail(ERROR_ACCESS_DENIED);
        return -1;
    }
    if (exists && write && disposition != CREATE_NEW && PosixHeldOpen(path))
        return -1;
    int mode = write ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case CREATE_ALWAYS:
        mode |= O_CREAT | O_TRUNC;
        break;
    case CREATE_NEW:
        mode |= O_CREAT | O_EXCL;
        break;
    case OPEN_ALWAYS:
        mode |= O_CREAT;
        break;
    case OPEN_EXISTING:
        break;
    default:
        PosixFail(ERROR_INVALID_PARAMETER);
        return -1;
    }
    int fd = open(path.c_str(), mode | O_CLOEXEC, 0644);
    if (fd < 0)
        PosixFail(errno == EEXIST ? ERROR_FILE_EXISTS : PosixErrorFromErrno(errno, path));
    return fd;
}

}  // namespace

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD flags,
                   HANDLE) {
    if (PosixInjectedFault())
        return INVALID_HANDLE_VALUE;
    std::string path = PosixUnixPath(name);
    if (path.empty()) {
        PosixFail(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // An existing file is checked against the handles open on it before
    // anything happens to it (a truncation included).
    struct stat before;
    bool viaLink = (flags & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
    bool existed = (viaLink ? lstat(path.c_str(), &before) : stat(path.c_str(), &before)) == 0;
    DWORD uses = Uses(access);
    if (existed && disposition != CREATE_NEW && PosixSharingRefuses(before, uses, share))
        return INVALID_HANDLE_VALUE;
    bool link = false;
    int fd = OpenFor(path, access, disposition, flags, &link);
    if (fd < 0)
        return INVALID_HANDLE_VALUE;
    PosixFile* f = PosixNewFile(fd, link, (access & GENERIC_READ) != 0, (access & GENERIC_WRITE) != 0, uses, share,
                                path, -1, "");
    PosixEnterFile(f);
    SetLastError((existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)) ? ERROR_ALREADY_EXISTS
                                                                                           : ERROR_SUCCESS);
    return f;
}

BOOL ReadFile(HANDLE h, LPVOID buf, DWORD size, LPDWORD got, LPOVERLAPPED) {
    if (got)
        *got = 0;
    if (PosixInjectedFault())
        return FALSE;
    PosixFile* f = PosixFileOf(h);
    if (!f || !f->canRead)
        return PosixFail(f ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    DWORD total = 0;
    while (total < size) {
        ssize_t n = read(f->fd, static_cast<char*>(buf) + total, size - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return PosixFail(ERROR_READ_FAULT);
        }
        if (n == 0)
            break;
        total += static_cast<DWORD>(n);
    }
    if (got)
        *got = total;
    return TRUE;
}

BOOL WriteFile(HANDLE h, const void* buf, DWORD size, LPDWORD put, LPOVERLAPPED) {
    if (put)
        *put = 0;
    if (PosixInjectedFault()) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    PosixFile* f = PosixFileOf(h);
    if (!f || !f->canWrite)
        return PosixFail(f ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    DWORD total = 0;
    while (total < size) {
        ssize_t n = write(f->fd, static_cast<const char*>(buf) + total, size - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (put)
                *put = total;
            return PosixFail(PosixErrorFromErrno(errno, ""));
        }
        total += static_cast<DWORD>(n);
    }
    if (put)
        *put = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE h, LONG distance, PLONG distanceHigh, DWORD method) {
    if (PosixInjectedFault())
        return INVALID_SET_FILE_POINTER;
    PosixFile* f = PosixFileOf(h);
    if (!f) {
        PosixFail(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t move = distanceHigh ? ((static_cast<int64_t>(*distanceHigh) << 32) | static_cast<uint32_t>(distance))
                                : static_cast<int64_t>(distance);
    int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t base = lseek(f->fd, 0, whence == SEEK_SET ? SEEK_CUR : whence);
    if (whence == SEEK_SET)
        base = 0;
    if (base + move < 0) {
        PosixFail(131);  // ERROR_NEGATIVE_SEEK
        return INVALID_SET_FILE_POINTER;
    }
    off_t pos = lseek(f->fd, base + move, SEEK_SET);
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(pos);
}

DWORD GetFileSize(HANDLE h, LPDWORD high) {
    if (PosixInjectedFault())
        return INVALID_FILE_SIZE;
    PosixFile* f = PosixFileOf(h);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0) {
        PosixFail(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (high)
        *high = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(st.st_size);
}

BOOL SetEndOfFile(HANDLE h) {
    if (PosixInjectedFault())
        return FALSE;
    PosixFile* f = PosixFileOf(h);
    if (!f || !f->canWrite)
        return PosixFail(f ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    off_t at = lseek(f->fd, 0, SEEK_CUR);
    if (at < 0 || ftruncate(f->fd, at) != 0)
        return PosixFail(ERROR_WRITE_FAULT);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE h) {
    if (PosixInjectedFault())
        return FALSE;
    PosixFile* f = PosixFileOf(h);
    if (!f || !f->canWrite)
        return PosixFail(f ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    // No fsync: a stand-in run ends by _exit at the worst, never by a power
    // cut, and what it wrote stays in the page cache for the next process.
    return TRUE;
}

BOOL PosixCloseFile(HANDLE h) {
    PosixFile* f = PosixFileOf(h);
    if (!f)
        return PosixFail(ERROR_INVALID_HANDLE);
    close(f->fd);
    if (f->parentFd >= 0)
        close(f->parentFd);
    f->kind = 0;
    PosixLeaveFile(f);
    delete f;
    return TRUE;
}
