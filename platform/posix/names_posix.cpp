// The calls on a file by its name: attributes, deletion, renaming, copying.
// The hidden and system attributes live here, by file identity and under
// their lock; this file never calls the file handle or folder calls.
#include "posix/names_posix.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/paths_posix.h"
#include "posix/security_posix.h"

namespace {

// Hidden and system attributes, which POSIX has no place for, by file
// identity so that they follow a rename and go with a deletion. Guarded by
// lock, since the file pool's workers reach them too.
struct DosAttributeTable {
    std::mutex lock;
    std::map<std::pair<dev_t, ino_t>, DWORD> byFile;
};

DosAttributeTable& Kept() {
    static DosAttributeTable table;
    return table;
}

const DWORD kDosOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

void PosixForgetFile(const struct stat& st) {
    {
        std::lock_guard<std::mutex> guard(Kept().lock);
        Kept().byFile.erase({st.st_dev, st.st_ino});
    }
    PosixForgetDescriptor(st);
}

void PosixSetDosAttributes(const struct stat& st, DWORD attributes) {
    std::lock_guard<std::mutex> guard(Kept().lock);
    if (attributes & kDosOnly)
        Kept().byFile[{st.st_dev, st.st_ino}] = attributes & kDosOnly;
    else
        Kept().byFile.erase({st.st_dev, st.st_ino});
}

bool PosixIsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

DWORD PosixDosAttributes(const struct stat& st) {
    std::lock_guard<std::mutex> guard(Kept().lock);
    auto it = Kept().byFile.find({st.st_dev, st.st_ino});
    return it == Kept().byFile.end() ? 0 : it->second;
}

bool PosixLookUpName(LPCSTR name, std::string* path, struct stat* st) {
    if (PosixInjectedFault())
        return false;
    *path = PosixUnixPath(name);
    if (lstat(path->c_str(), st) == 0)
        return true;
    PosixFail(PosixErrorFromErrno(errno, *path));
    return false;
}

bool PosixFindData(const std::string& dir, const char* name, WIN32_FIND_DATAA* out) {
    std::string full = dir + "/" + name;
    struct stat st;
    if (lstat(full.c_str(), &st) != 0)
        return false;
    memset(out, 0, sizeof *out);
    DWORD attributes = 0;
    if (S_ISLNK(st.st_mode)) {
        // A symbolic link plays the part of a junction or an NT link.
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target;
        if (stat(full.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else {
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
    if (PosixIsReadOnly(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    attributes |= PosixDosAttributes(st);
    out->dwFileAttributes = attributes;
    // 100-nanosecond steps since 1601, as Windows counts.
    uint64_t written = (static_cast<uint64_t>(st.st_mtim.tv_sec) + 11644473600ull) * 10000000ull +
                       static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
    out->ftLastWriteTime.dwLowDateTime = static_cast<DWORD>(written);
    out->ftLastWriteTime.dwHighDateTime = static_cast<DWORD>(written >> 32);
    out->nFileSizeLow = static_cast<DWORD>(st.st_size);
    out->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    snprintf(out->cFileName, sizeof out->cFileName, "%s", name);
    return true;
}

BOOL DeleteFileA(LPCSTR name) {
    std::string path;
    struct stat st;
    if (!PosixLookUpName(name, &path, &st))
        return FALSE;
    if (S_ISDIR(st.st_mode))
        return PosixFail(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && PosixIsReadOnly(st))
        return PosixFail(ERROR_ACCESS_DENIED);
    if (PosixHeldOpen(path) || PosixDeleteRefused(st))
        return FALSE;
    if (unlink(path.c_str()) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    if (st.st_nlink <= 1)
        PosixForgetFile(st);
    return TRUE;
}

BOOL MoveFileA(LPCSTR from, LPCSTR to) {
    if (PosixInjectedFault())
        return FALSE;
    std::string src = PosixUnixPath(from), dst = PosixUnixPath(to);
    struct stat st;
    if (lstat(src.c_str(), &st) != 0)
        return PosixFail(PosixErrorFromErrno(errno, src));
    struct stat target;
    if (lstat(dst.c_str(), &target) == 0)
        return PosixFail(ERROR_ALREADY_EXISTS);
    if (PosixHeldOpen(src) || PosixDeleteRefused(st))
        return FALSE;
    if (rename(src.c_str(), dst.c_str()) != 0)
        return PosixFail(PosixErrorFromErrno(errno, dst));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) {
    if (PosixInjectedFault())
        return FALSE;
    std::string src = PosixUnixPath(from), dst = PosixUnixPath(to);
    int in = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return PosixFail(PosixErrorFromErrno(errno, src));
    struct stat st;
    fstat(in, &st);
    if (PosixSharingRefuses(st, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_DELETE)) {
        close(in);
        return FALSE;
    }
    bool replaces = stat(dst.c_str(), &st) == 0;
    if (replaces && (failIfExists || PosixIsReadOnly(st) || S_ISDIR(st.st_mode))) {
        close(in);
        return PosixFail(failIfExists ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
    }
    if (replaces && PosixSharingRefuses(st, FILE_SHARE_WRITE, 0)) {
        close(in);
        return FALSE;
    }
    int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        close(in);
        return PosixFail(PosixErrorFromErrno(errno, dst));
    }
    char buf[65536];
    ssize_t n;
    bool ok = true;
    while ((n = read(in, buf, sizeof buf)) > 0) {
        if (write(out, buf, static_cast<size_t>(n)) != n) {
            ok = false;
            SetLastError(PosixErrorFromErrno(errno, dst));
            break;
        }
    }
    close(in);
    close(out);
    return ok ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR name) {
    if (PosixInjectedFault())
        return INVALID_FILE_ATTRIBUTES;
    std::string path = PosixUnixPath(name);
    std::string dir = ".", base = path;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        dir = path.substr(0, slash);
        base = path.substr(slash + 1);
    }
    WIN32_FIND_DATAA data;
    if (!PosixFindData(dir.empty() ? std::string("") : dir, base.c_str(), &data)) {
        PosixFail(PosixErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    return data.dwFileAttributes;
}

BOOL SetFileAttributesA(LPCSTR name, DWORD attributes) {
    if (PosixInjectedFault())
        return FALSE;
    std::string path = PosixUnixPath(name);
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (chmod(path.c_str(), mode) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    PosixSetDosAttributes(st, attributes);
    return TRUE;
}
