// POSIX stand-in for the Win32 calls of the portable code (tests and fuzzing
// only). It follows what Wine does where the two could differ: results, last
// errors, "." and ".." in listings, read-only files refusing deletion.
#include "posix/win32_posix.h"

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/paths_posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct State {
    std::string moduleName;
    bool tickSet = false;
    DWORD tick = 0;
    DWORD tickStep = 0;
    PosixUiLog ui{};
    // Hidden and system attributes, which POSIX has no place for, by file
    // identity so that they follow a rename and go with a deletion. Guarded
    // by shared, since the file pool's workers reach them too.
    std::mutex shared;
    std::map<std::pair<dev_t, ino_t>, DWORD> dosAttributes;
    // Registry values below HKEY_LOCAL_MACHINE: lower-case key, a zero
    // byte and the lower-case value name, to the value's text.
    std::map<std::string, std::string> registry;
};

State& St() {
    static State state;
    return state;
}

struct ThreadObject {
    int kind;
    pthread_t thread;
    bool joined;
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
};

void* RunThread(void* object) {
    ThreadObject* t = static_cast<ThreadObject*>(object);
    t->start(t->parameter);
    return nullptr;
}

struct KeyObject {
    int kind;
    std::string key;  // lower case
};

std::string Lower(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

struct FindObject {
    int kind;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next;
};

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

const DWORD kDosOnly = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

DWORD DosAttributes(const struct stat& st) {
    std::lock_guard<std::mutex> guard(St().shared);
    auto it = St().dosAttributes.find({st.st_dev, st.st_ino});
    return it == St().dosAttributes.end() ? 0 : it->second;
}

// The data access of a CreateFileA access mask, as FILE_SHARE_* bits: only
// read, write and delete take part in sharing.
DWORD Uses(DWORD access) {
    return ((access & GENERIC_READ) ? FILE_SHARE_READ : 0u) | ((access & GENERIC_WRITE) ? FILE_SHARE_WRITE : 0u) |
           ((access & DELETE) ? FILE_SHARE_DELETE : 0u);
}

bool MaskMatches(const char* mask, const char* name) {
    // Case-blind wildcard match as the file system does it.
    if (*mask == '\0')
        return *name == '\0';
    if (*mask == '*') {
        for (const char* n = name;; ++n) {
            if (MaskMatches(mask + 1, n))
                return true;
            if (*n == '\0')
                return false;
        }
    }
    if (*name == '\0')
        return false;
    if (*mask != '?' && tolower(static_cast<unsigned char>(*mask)) != tolower(static_cast<unsigned char>(*name)))
        return false;
    return MaskMatches(mask + 1, name + 1);
}

bool FillFindData(const std::string& dir, const char* name, WIN32_FIND_DATAA* out) {
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
    if (IsReadOnly(st))
        attributes |= FILE_ATTRIBUTE_READONLY;
    attributes |= DosAttributes(st);
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

// ---- private profiles -------------------------------------------------------

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

bool ReadLines(const char* file, std::vector<std::string>* lines) {
    FILE* f = fopen(PosixUnixPath(file).c_str(), "rb");
    if (!f)
        return false;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines->push_back(line);
        start = nl + 1;
    }
    return true;
}

bool IsSection(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']');
    *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

bool IsKey(const std::string& line, std::string* key, std::string* value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
        *key = t;
        value->clear();
        return true;
    }
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

// Finds the first section and the first key in it; -1 where missing.
void Locate(const std::vector<std::string>& lines, const char* section, const char* key, long* sectionLine,
            long* keyLine, std::string* value) {
    *sectionLine = -1;
    *keyLine = -1;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, k, v;
        if (IsSection(lines[i], &name)) {
            if (inside)
                return;
            inside = SameName(name, section);
            if (inside)
                *sectionLine = static_cast<long>(i);
            continue;
        }
        if (inside && key && IsKey(lines[i], &k, &v) && SameName(k, key)) {
            *keyLine = static_cast<long>(i);
            *value = v;
            return;
        }
    }
}

} // namespace

namespace {

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
    bool write = (access & GENERIC_WRITE) != 0;
    if (exists && write && IsReadOnly(st)) {
        PosixFail(ERROR_ACCESS_DENIED);
        return -1;
    }
    // Windows refuses to replace a hidden or system file with a plain one.
    if (exists && disposition == CREATE_ALWAYS && (DosAttributes(st) & kDosOnly) != 0) {
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

} // namespace

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
    struct stat st;
    fstat(fd, &st);
    bool folder = S_ISDIR(st.st_mode);
    PosixFile* f = new PosixFile{kPosixFile, fd, !link && !folder && (access & GENERIC_READ) != 0,
                                 !link && !folder && (access & GENERIC_WRITE) != 0, uses, share, st.st_dev,
                                 st.st_ino, link, path};
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
        PosixFail(131); // ERROR_NEGATIVE_SEEK
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

BOOL CloseHandle(HANDLE h) {
    if (h == POSIX_TOKEN_HANDLE)
        return TRUE;
    ThreadObject* t = static_cast<ThreadObject*>(h);
    if (t && h != INVALID_HANDLE_VALUE && t->kind == kPosixThread) {
        // A thread whose handle is closed runs on, detached.
        if (!t->joined)
            pthread_detach(t->thread);
        t->kind = 0;
        delete t;
        PosixHandleClosed();
        return TRUE;
    }
    PosixFile* f = PosixFileOf(h);
    if (!f)
        return PosixFail(ERROR_INVALID_HANDLE);
    close(f->fd);
    f->kind = 0;
    PosixLeaveFile(f);
    delete f;
    return TRUE;
}

BOOL DeleteFileA(LPCSTR name) {
    if (PosixInjectedFault())
        return FALSE;
    std::string path = PosixUnixPath(name);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    if (S_ISDIR(st.st_mode))
        return PosixFail(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && IsReadOnly(st))
        return PosixFail(ERROR_ACCESS_DENIED);
    if (PosixHeldOpen(path) || PosixDeleteRefused(st))
        return FALSE;
    if (unlink(path.c_str()) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    if (st.st_nlink <= 1) {
        std::lock_guard<std::mutex> guard(St().shared);
        St().dosAttributes.erase({st.st_dev, st.st_ino});
    }
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
    if (replaces && (failIfExists || IsReadOnly(st) || S_ISDIR(st.st_mode))) {
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
    if (!FillFindData(dir.empty() ? std::string("") : dir, base.c_str(), &data)) {
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
    std::lock_guard<std::mutex> guard(St().shared);
    if (attributes & kDosOnly)
        St().dosAttributes[{st.st_dev, st.st_ino}] = attributes & kDosOnly;
    else
        St().dosAttributes.erase({st.st_dev, st.st_ino});
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa) {
    if (PosixInjectedFault())
        return FALSE;
    std::string path = PosixUnixPath(name);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    mode_t mode = sa && PosixDescriptorIsPrivate(sa->lpSecurityDescriptor) ? 0700 : 0755;
    if (path.empty() || mkdir(path.c_str(), mode) != 0)
        return PosixFail(path.empty() ? ERROR_PATH_NOT_FOUND : PosixErrorFromErrno(errno, path));
    PosixKeepDescriptor(name, sa ? sa->lpSecurityDescriptor : nullptr);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR name) {
    if (PosixInjectedFault())
        return FALSE;
    std::string path = PosixUnixPath(name);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    if (S_ISLNK(st.st_mode)) {
        // Removing a junction removes the link, never what it points to.
        struct stat target;
        if (stat(path.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
            return PosixFail(ERROR_DIRECTORY);
        return unlink(path.c_str()) == 0 ? TRUE : PosixFail(PosixErrorFromErrno(errno, path));
    }
    if (!S_ISDIR(st.st_mode))
        return PosixFail(ERROR_DIRECTORY);
    if (PosixDeleteRefused(st))
        return FALSE;
    if (rmdir(path.c_str()) != 0)
        return PosixFail(PosixErrorFromErrno(errno, path));
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (PosixInjectedFault())
        return INVALID_HANDLE_VALUE;
    std::string path = PosixUnixPath(pattern);
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string mask = slash == std::string::npos ? path : path.substr(slash + 1);
    if (mask == "*.*")
        mask = "*";
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d) {
        PosixFail(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : PosixErrorFromErrno(errno, dir));
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d)) {
        if (MaskMatches(mask.c_str(), e->d_name))
            names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    FindObject* f = new FindObject{kPosixFind, {}, 0};
    for (const std::string& n : names) {
        WIN32_FIND_DATAA entry;
        if (FillFindData(dir, n.c_str(), &entry))
            f->entries.push_back(entry);
    }
    if (f->entries.empty()) {
        delete f;
        PosixFail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = f->entries[0];
    f->next = 1;
    PosixHandleOpened();
    SetLastError(ERROR_SUCCESS);
    return f;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    if (PosixInjectedFault())
        return FALSE;
    FindObject* f = static_cast<FindObject*>(find);
    if (!f || find == INVALID_HANDLE_VALUE || f->kind != kPosixFind)
        return PosixFail(ERROR_INVALID_HANDLE);
    if (f->next >= f->entries.size())
        return PosixFail(ERROR_NO_MORE_FILES);
    *data = f->entries[f->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    FindObject* f = static_cast<FindObject*>(find);
    if (!f || find == INVALID_HANDLE_VALUE || f->kind != kPosixFind)
        return PosixFail(ERROR_INVALID_HANDLE);
    f->kind = 0;
    delete f;
    PosixHandleClosed();
    return TRUE;
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR def, LPSTR out, DWORD size, LPCSTR file) {
    std::string fallback = Trim(def ? def : "");
    if (PosixInjectedFault() || !section || !key)
        return PosixCopyCut(fallback, out, size);
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return PosixCopyCut(fallback, out, size);
    }
    long sectionLine, keyLine;
    std::string value;
    Locate(lines, section, key, &sectionLine, &keyLine, &value);
    // A key without "=" has no value, and reads as missing (as in Wine).
    if (keyLine < 0 || lines[static_cast<size_t>(keyLine)].find('=') == std::string::npos)
        return PosixCopyCut(fallback, out, size);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    SetLastError(ERROR_SUCCESS);
    return PosixCopyCut(value, out, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
    char buf[64];
    if (GetPrivateProfileStringA(section, key, "", buf, sizeof buf, file) == 0)
        return static_cast<UINT>(def);
    const char* p = buf;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10u + static_cast<uint32_t>(*p++ - '0');
    return negative ? 0u - value : value;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (PosixInjectedFault() || !section)
        return FALSE;
    std::vector<std::string> lines;
    ReadLines(file, &lines);
    long sectionLine, keyLine;
    std::string old;
    Locate(lines, section, key, &sectionLine, &keyLine, &old);
    if (!key) {
        if (sectionLine >= 0) {
            size_t end = static_cast<size_t>(sectionLine) + 1;
            std::string name;
            while (end < lines.size() && !IsSection(lines[end], &name))
                ++end;
            lines.erase(lines.begin() + sectionLine, lines.begin() + static_cast<long>(end));
        }
    } else if (!value) {
        if (keyLine >= 0)
            lines.erase(lines.begin() + keyLine);
    } else {
        std::string line = std::string(key) + "=" + value;
        if (keyLine >= 0) {
            lines[static_cast<size_t>(keyLine)] = line;
        } else if (sectionLine >= 0) {
            size_t at = static_cast<size_t>(sectionLine) + 1;
            std::string name;
            while (at < lines.size() && !IsSection(lines[at], &name))
                ++at;
            while (at > static_cast<size_t>(sectionLine) + 1 && Trim(lines[at - 1]).empty())
                --at;
            lines.insert(lines.begin() + static_cast<long>(at), line);
        } else {
            lines.push_back(std::string("[") + section + "]");
            lines.push_back(line);
        }
    }
    std::string path = PosixUnixPath(file);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return PosixFail(PosixErrorFromErrno(errno, path));
    for (const std::string& l : lines)
        fprintf(f, "%s\r\n", l.c_str());
    bool ok = fclose(f) == 0;
    return ok ? TRUE : PosixFail(ERROR_WRITE_FAULT);
}

DWORD GetTempPathA(DWORD size, LPSTR out) {
    const char* env = getenv("TMPDIR");
    std::string path = env && *env ? env : "/tmp";
    if (path.back() != '/')
        path += '/';
    std::replace(path.begin(), path.end(), '/', '\\');
    if (path.size() + 1 > size)
        return static_cast<DWORD>(path.size() + 1);
    memcpy(out, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

DWORD GetTickCount(void) {
    State& s = St();
    if (s.tickSet) {
        DWORD t = s.tick;
        s.tick += s.tickStep;
        return t;
    }
    using namespace std::chrono;
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

DWORD GetModuleFileNameA(void*, LPSTR out, DWORD size) {
    std::string name = St().moduleName;
    if (name.empty()) {
        char buf[4096];
        ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
        name.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
        std::replace(name.begin(), name.end(), '/', '\\');
    }
    if (size == 0)
        return 0;
    DWORD n = static_cast<DWORD>(std::min<size_t>(name.size(), size - 1));
    memcpy(out, name.data(), n);
    out[n] = '\0';
    SetLastError(name.size() >= size ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
    return n;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    PosixUiLog& ui = St().ui;
    ++ui.messageBoxes;
    snprintf(ui.text, sizeof ui.text, "%s", text ? text : "");
    snprintf(ui.caption, sizeof ui.caption, "%s", caption ? caption : "");
    ui.style = style;
    if ((style & 0xFu) == MB_RETRYCANCEL) {
        int answer = ui.retryAnswers[0];
        memmove(ui.retryAnswers, ui.retryAnswers + 1, sizeof ui.retryAnswers - sizeof ui.retryAnswers[0]);
        ui.retryAnswers[7] = 0;
        return answer == IDRETRY ? IDRETRY : IDCANCEL;
    }
    return (style & MB_YESNO) ? IDYES : IDOK;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM, LPARAM) {
    PosixUiLog& ui = St().ui;
    ++ui.messagesSent;
    ui.lastWindow = window;
    ui.lastMessage = message;
    return 0;
}

int _access(const char* path, int mode) {
    return access(PosixUnixPath(path).c_str(), mode == 0 ? F_OK : mode);
}

void PosixSetModuleFileName(const char* path) { St().moduleName = path ? path : ""; }

void PosixSetTickCount(DWORD ticks, DWORD step) {
    St().tickSet = true;
    St().tick = ticks;
    St().tickStep = step;
}

PosixUiLog* PosixUi(void) { return &St().ui; }

LONG RegOpenKeyExA(HKEY root, LPCSTR key, DWORD, REGSAM, HKEY* result) {
    *result = nullptr;
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    if (root != HKEY_LOCAL_MACHINE || !key)
        return ERROR_INVALID_PARAMETER;
    std::string name = Lower(key);
    auto it = St().registry.lower_bound(name + std::string(1, '\0'));
    if (it == St().registry.end() || it->first.compare(0, name.size() + 1, name + std::string(1, '\0')) != 0)
        return ERROR_FILE_NOT_FOUND;
    *result = reinterpret_cast<HKEY>(new KeyObject{kPosixKey, name});
    PosixHandleOpened();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, BYTE* data, LPDWORD size) {
    if (PosixInjectedFault())
        return ERROR_WRITE_FAULT;
    KeyObject* k = reinterpret_cast<KeyObject*>(key);
    if (!k || k->kind != kPosixKey)
        return ERROR_INVALID_HANDLE;
    auto it = St().registry.find(k->key + std::string(1, '\0') + Lower(name));
    if (it == St().registry.end())
        return ERROR_FILE_NOT_FOUND;
    DWORD need = static_cast<DWORD>(it->second.size() + 1);
    if (type)
        *type = REG_SZ;
    if (!size)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD room = *size;
    *size = need;
    if (!data)
        return ERROR_SUCCESS;
    if (room < need)
        return ERROR_MORE_DATA;
    memcpy(data, it->second.c_str(), need);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    KeyObject* k = reinterpret_cast<KeyObject*>(key);
    if (!k || k->kind != kPosixKey)
        return ERROR_INVALID_HANDLE;
    k->kind = 0;
    delete k;
    PosixHandleClosed();
    return ERROR_SUCCESS;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    LPDWORD id) {
    if (PosixInjectedFault())
        return nullptr;
    ThreadObject* t = new ThreadObject{kPosixThread, {}, false, start, parameter};
    if (pthread_create(&t->thread, nullptr, RunThread, t) != 0) {
        delete t;
        PosixFail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (id)
        *id = 0;
    PosixHandleOpened();
    return t;
}

DWORD WaitForSingleObject(HANDLE object, DWORD) {
    ThreadObject* t = static_cast<ThreadObject*>(object);
    if (!t || object == INVALID_HANDLE_VALUE || t->kind != kPosixThread || t->joined) {
        PosixFail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    pthread_join(t->thread, nullptr);
    t->joined = true;
    return WAIT_OBJECT_0;
}

void AcquireSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_lock(&lock->mutex); }

void ReleaseSRWLockExclusive(SRWLOCK* lock) { pthread_mutex_unlock(&lock->mutex); }

BOOL SleepConditionVariableSRW(CONDITION_VARIABLE* variable, SRWLOCK* lock, DWORD, DWORD) {
    return pthread_cond_wait(&variable->cond, &lock->mutex) == 0 ? TRUE : FALSE;
}

void WakeConditionVariable(CONDITION_VARIABLE* variable) { pthread_cond_signal(&variable->cond); }

void WakeAllConditionVariable(CONDITION_VARIABLE* variable) { pthread_cond_broadcast(&variable->cond); }

void PosixSetRegistryValue(const char* key, const char* name, const char* text) {
    std::string at = Lower(key) + std::string(1, '\0') + Lower(name);
    if (text)
        St().registry[at] = text;
    else
        St().registry.erase(at);
}
