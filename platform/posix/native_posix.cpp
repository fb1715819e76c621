// The native file calls relative to a folder handle: NtCreateFile on
// openat, mkdirat and their kin with the folder's own descriptor, and
// NtSetInformationFile (rename, delete, attributes) on renameat, unlinkat
// and fchmodat with the descriptor of the folder a handle was opened in.
// A handle remembers that folder and its name, and a rename through it
// moves both; before acting on that name the stand-in checks that it is
// still the handle's file, as Windows, which knows the file itself, never
// misses it. Calls errors_posix, paths_posix, handletable_posix,
// security_posix and names_posix.
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/names_posix.h"
#include "posix/paths_posix.h"
#include "posix/security_posix.h"

namespace {

const NTSTATUS kSuccess = 0;
const NTSTATUS kInvalidHandle = static_cast<NTSTATUS>(0xC0000008u);
const NTSTATUS kInvalidParameter = static_cast<NTSTATUS>(0xC000000Du);
const NTSTATUS kAccessDenied = static_cast<NTSTATUS>(0xC0000022u);
const NTSTATUS kNameInvalid = static_cast<NTSTATUS>(0xC0000033u);
const NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034u);
const NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035u);
const NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003Au);
const NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043u);
const NTSTATUS kDiskFull = static_cast<NTSTATUS>(0xC000007Fu);
const NTSTATUS kIsADirectory = static_cast<NTSTATUS>(0xC00000BAu);
const NTSTATUS kNotEmpty = static_cast<NTSTATUS>(0xC0000101u);
const NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103u);
const NTSTATUS kCannotDelete = static_cast<NTSTATUS>(0xC0000121u);
const NTSTATUS kDeviceError = static_cast<NTSTATUS>(0xC0000185u);

NTSTATUS FromErrno(int e) {
    switch (e) {
    case ENOENT:
        return kNameNotFound;
    case ENOTDIR:
        return kNotADirectory;
    case EEXIST:
        return kNameCollision;
    case EACCES:
    case EPERM:
    case EROFS:
        return kAccessDenied;
    case EISDIR:
        return kIsADirectory;
    case ENOTEMPTY:
        return kNotEmpty;
    case ENOSPC:
    case EDQUOT:
        return kDiskFull;
    case ENAMETOOLONG:
        return kNameInvalid;
    default:
        return kDeviceError;
    }
}

// The bytes a name was widened from.
std::string Narrow(const WCHAR* text, size_t bytes) {
    std::string name;
    for (size_t i = 0; i < bytes / sizeof(WCHAR); ++i)
        name += static_cast<char>(text[i] & 0xFF);
    return name;
}

// One component: Windows takes more below a folder handle, never "." or
// "..", which it refuses as invalid names.
bool OneComponent(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("\\/") == std::string::npos;
}

DWORD Uses(ACCESS_MASK access) {
    return ((access & (GENERIC_READ | FILE_READ_DATA)) ? FILE_SHARE_READ : 0u) |
           ((access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) ? FILE_SHARE_WRITE : 0u) |
           ((access & DELETE) ? FILE_SHARE_DELETE : 0u);
}

// What a create call does with an existing name, or with a missing one.
NTSTATUS CheckDisposition(ULONG disposition, bool exists) {
    if (disposition > FILE_OVERWRITE_IF || disposition == 0)
        return kInvalidParameter;
    if (exists && disposition == FILE_CREATE)
        return kNameCollision;
    if (!exists && (disposition == FILE_OPEN || disposition == FILE_OVERWRITE))
        return kNameNotFound;
    return kSuccess;
}

// Opens an existing name: a link as itself or followed, a folder or a file
// as the options want, checked against the handles open on it.
NTSTATUS OpenExisting(int dirfd, const std::string& name, const std::string& path, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, bool* link, int* fd) {
    struct stat own, st;
    fstatat(dirfd, name.c_str(), &own, AT_SYMLINK_NOFOLLOW);
    *link = S_ISLNK(own.st_mode) && (options & FILE_OPEN_REPARSE_POINT);
    if (*link) {
        *fd = openat(dirfd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        return *fd < 0 ? FromErrno(errno) : kSuccess;
    }
    if (fstatat(dirfd, name.c_str(), &st, 0) != 0)
        return FromErrno(errno);
    bool folder = S_ISDIR(st.st_mode);
    if (folder && (options & FILE_NON_DIRECTORY_FILE))
        return kIsADirectory;
    if (!folder && (options & FILE_DIRECTORY_FILE))
        return kNotADirectory;
    DWORD uses = Uses(access);
    bool overwrite = disposition == FILE_OVERWRITE || disposition == FILE_OVERWRITE_IF;
    if (!folder && (uses & FILE_SHARE_WRITE || overwrite) && PosixIsReadOnly(st))
        return kAccessDenied;
    if (PosixSharingRefuses(st, uses, share))
        return kSharingViolation;
    if ((uses & (FILE_SHARE_WRITE | FILE_SHARE_DELETE)) && PosixHeldOpen(path))
        return kSharingViolation;
    int flags = O_CLOEXEC;
    if (folder)
        flags |= O_RDONLY | O_DIRECTORY;
    else if (uses & FILE_SHARE_WRITE || overwrite)
        flags |= ((uses & FILE_SHARE_READ) ? O_RDWR : O_WRONLY) | (overwrite ? O_TRUNC : 0);
    else if (uses & FILE_SHARE_READ)
        flags |= O_RDONLY;
    else
        flags = O_PATH | O_CLOEXEC;
    *fd = openat(dirfd, name.c_str(), flags);
    return *fd < 0 ? FromErrno(errno) : kSuccess;
}

// Creates a new name: a folder (private when its descriptor says so) or a
// file, never through a link standing there.
NTSTATUS CreateNewName(int dirfd, const std::string& name, ACCESS_MASK access, ULONG options, PVOID descriptor,
                       int* fd) {
    if (options & FILE_DIRECTORY_FILE) {
        mode_t mode = descriptor && PosixDescriptorIsPrivate(descriptor) ? 0700 : 0755;
        if (mkdirat(dirfd, name.c_str(), mode) != 0)
            return FromErrno(errno);
        *fd = openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        int flags = (Uses(access) & FILE_SHARE_READ) ? O_RDWR : O_WRONLY;
        *fd = openat(dirfd, name.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    }
    if (*fd < 0)
        return FromErrno(errno);
    struct stat st;
    fstat(*fd, &st);
    PosixKeepDescriptorOf(st, static_cast<const char*>(descriptor));
    return kSuccess;
}

// The folder and name that f is open on now; false when its name no longer
// leads to it (another process moved it: Windows would still know it).
bool StillNamed(const PosixFile* f, struct stat* st) {
    struct stat own;
    return f->parentFd >= 0 && !f->name.empty() &&
           fstatat(f->parentFd, f->name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 && own.st_dev == f->device &&
           own.st_ino == f->inode && (*st = own, true);
}

NTSTATUS Rename(PosixFile* f, const FILE_RENAME_INFORMATION* info, ULONG length) {
    if (length < sizeof *info || info->FileNameLength > length - offsetof(FILE_RENAME_INFORMATION, FileName))
        return kInvalidParameter;
    PosixFile* folder = PosixFileOf(info->RootDirectory);
    std::string name = Narrow(info->FileName, info->FileNameLength);
    struct stat st, there;
    if (!folder || !OneComponent(name))
        return kNameInvalid;
    if (!(f->uses & FILE_SHARE_DELETE))
        return kAccessDenied;
    if (!StillNamed(f, &st))
        return kNameNotFound;
    bool taken = fstatat(folder->fd, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0;
    if (taken && !(there.st_dev == st.st_dev && there.st_ino == st.st_ino)) {
        if (!info->ReplaceIfExists)
            return kNameCollision;
        if (S_ISDIR(there.st_mode) || PosixIsReadOnly(there))
            return kAccessDenied;
        if (PosixDeleteRefused(there))
            return kSharingViolation;
    }
    if (renameat(f->parentFd, f->name.c_str(), folder->fd, name.c_str()) != 0)
        return FromErrno(errno);
    int moved = dup(folder->fd);
    close(f->parentFd);
    f->parentFd = moved;
    f->name = name;
    f->path = folder->path + "/" + name;
    return kSuccess;
}

NTSTATUS Delete(PosixFile* f) {
    struct stat st;
    if (!(f->uses & FILE_SHARE_DELETE))
        return kAccessDenied;
    if (!StillNamed(f, &st))
        return kNameNotFound;
    if (!S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode) && PosixIsReadOnly(st))
        return kCannotDelete;
    if (unlinkat(f->parentFd, f->name.c_str(), S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
        return FromErrno(errno);
    if (st.st_nlink <= 1 || S_ISDIR(st.st_mode))
        PosixForgetFile(st);
    f->name.clear();
    return kSuccess;
}

NTSTATUS SetAttributes(PosixFile* f, const FILE_BASIC_INFORMATION* info) {
    struct stat st;
    if (info->FileAttributes == 0)
        return kSuccess;
    if (!StillNamed(f, &st))
        return kNameNotFound;
    if (S_ISLNK(st.st_mode))
        return kSuccess;
    mode_t mode = st.st_mode & 07777;
    mode = (info->FileAttributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (fchmodat(f->parentFd, f->name.c_str(), mode, 0) != 0)
        return FromErrno(errno);
    PosixSetDosAttributes(st, info->FileAttributes);
    return kSuccess;
}

}  // namespace

int MultiByteToWideChar(UINT, DWORD, LPCSTR in, int inLength, WCHAR* out, int outLength) {
    size_t n = inLength < 0 ? strlen(in) + 1 : static_cast<size_t>(inLength);
    if (outLength == 0)
        return static_cast<int>(n);
    if (n > static_cast<size_t>(outLength)) {
        PosixFail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(in[i]);
    return static_cast<int>(n);
}

NTSTATUS NtCreateFile(HANDLE* file, ACCESS_MASK access, OBJECT_ATTRIBUTES* object, IO_STATUS_BLOCK* io, LARGE_INTEGER*,
                      ULONG, ULONG share, ULONG disposition, ULONG options, PVOID, ULONG) {
    *file = nullptr;
    if (PosixInjectedFault())
        return kDeviceError;
    PosixFile* folder = PosixFileOf(object->RootDirectory);
    if (!folder || folder->link)
        return kInvalidHandle;
    std::string name = Narrow(object->ObjectName->Buffer, object->ObjectName->Length);
    if (!OneComponent(name))
        return kNameInvalid;
    struct stat own;
    bool exists = fstatat(folder->fd, name.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT)
        return errno == ENOTDIR ? kPathNotFound : FromErrno(errno);
    NTSTATUS status = CheckDisposition(disposition, exists);
    if (status != kSuccess)
        return status;
    std::string path = folder->path + "/" + name;
    bool link = false;
    int fd = -1;
    status = exists ? OpenExisting(folder->fd, name, path, access, share, disposition, options, &link, &fd)
                    : CreateNewName(folder->fd, name, access, options, object->SecurityDescriptor, &fd);
    if (status != kSuccess)
        return status;
    DWORD uses = Uses(access);
    PosixFile* f = PosixNewFile(fd, link, (uses & FILE_SHARE_READ) != 0, (uses & FILE_SHARE_WRITE) != 0, uses, share,
                                path, dup(folder->fd), name);
    PosixEnterFile(f);
    *file = f;
    if (io) {
        io->Status = kSuccess;
        io->Information = exists ? 1u : 2u;  // FILE_OPENED, FILE_CREATED
    }
    return kSuccess;
}

NTSTATUS NtSetInformationFile(HANDLE h, IO_STATUS_BLOCK* io, PVOID info, ULONG length, FILE_INFORMATION_CLASS kind) {
    if (PosixInjectedFault())
        return kDeviceError;
    PosixFile* f = PosixFileOf(h);
    if (!f)
        return kInvalidHandle;
    NTSTATUS status = kInvalidParameter;
    if (kind == FileRenameInformation)
        status = Rename(f, static_cast<const FILE_RENAME_INFORMATION*>(info), length);
    else if (kind == FileDispositionInformation && length >= sizeof(FILE_DISPOSITION_INFORMATION))
        status = static_cast<const FILE_DISPOSITION_INFORMATION*>(info)->DoDeleteFile ? Delete(f) : kSuccess;
    else if (kind == FileBasicInformation && length >= sizeof(FILE_BASIC_INFORMATION))
        status = SetAttributes(f, static_cast<const FILE_BASIC_INFORMATION*>(info));
    if (io)
        io->Status = status;
    return status;
}

ULONG RtlNtStatusToDosError(NTSTATUS status) {
    struct {
        NTSTATUS status;
        ULONG error;
    } const table[] = {
        {kSuccess, ERROR_SUCCESS},
        {kInvalidHandle, ERROR_INVALID_HANDLE},
        {kInvalidParameter, ERROR_INVALID_PARAMETER},
        {kAccessDenied, ERROR_ACCESS_DENIED},
        {kNameInvalid, ERROR_INVALID_NAME},
        {kNameNotFound, ERROR_FILE_NOT_FOUND},
        {kNameCollision, ERROR_ALREADY_EXISTS},
        {kPathNotFound, ERROR_PATH_NOT_FOUND},
        {kSharingViolation, ERROR_SHARING_VIOLATION},
        {kDiskFull, ERROR_DISK_FULL},
        {kIsADirectory, ERROR_ACCESS_DENIED},
        {kNotEmpty, ERROR_DIR_NOT_EMPTY},
        {kNotADirectory, ERROR_DIRECTORY},
        {kCannotDelete, ERROR_ACCESS_DENIED},
        {kDeviceError, ERROR_WRITE_FAULT},
    };
    for (const auto& row : table)
        if (row.status == status)
            return row.error;
    return ERROR_WRITE_FAULT;
}
