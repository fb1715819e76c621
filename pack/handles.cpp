// The tool's held handles: POSIX descriptors opened relative to the folder
// that holds them (openat, O_NOFOLLOW), or Windows handles opened without
// delete sharing below folders held the same way and checked on the handle.
#include "pack/handles.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32

HeldItem::~HeldItem() {
    if (handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle));
}

namespace {

std::wstring Wide(const std::string& utf8) { return fs::u8path(utf8).wstring(); }

// The path Windows gives for an open handle ("\\?\C:\..."), UTF-8; "" when
// it cannot.
std::string FinalPath(HANDLE h) {
    std::wstring path(1024, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &path[0], static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    }
    if (n == 0 || n >= path.size())
        return "";
    path.resize(n);
    return fs::path(path).u8string();
}

bool SamePathText(const std::string& a, const std::string& b) {
    std::wstring x = Wide(a), y = Wide(b);
    return CompareStringOrdinal(x.data(), static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()), TRUE) ==
           CSTR_EQUAL;
}

// Opens path; without delete sharing, so that nobody renames, deletes or
// replaces it while the tool holds it. FILE_FLAG_OPEN_REPARSE_POINT opens a
// link as itself.
Held OpenPath(const std::string& path, bool asItself, DWORD* error) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (asItself ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           flags, nullptr);
    *error = GetLastError();
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    auto item = std::make_shared<HeldItem>();
    item->handle = reinterpret_cast<intptr_t>(h);
    item->path = FinalPath(h);
    item->folder = GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    return item;
}

DWORD Attributes(const Held& item) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(reinterpret_cast<HANDLE>(item->handle), &info) ? info.dwFileAttributes
                                                                                      : INVALID_FILE_ATTRIBUTES;
}

// The print name of a symbolic link or junction, from its reparse data: the
// tag, two lengths, then the name offsets and lengths, a symbolic link's
// flags, and the names.
std::string ReparseTarget(HANDLE h) {
    std::vector<unsigned char> data(16 * 1024);
    DWORD n = 0;
    if (!DeviceIoControl(h, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()), &n,
                         nullptr) ||
        n < 16)
        return "";
    DWORD tag = data[0] | data[1] << 8 | data[2] << 16 | static_cast<DWORD>(data[3]) << 24;
    size_t names = tag == IO_REPARSE_TAG_SYMLINK ? 20 : tag == IO_REPARSE_TAG_MOUNT_POINT ? 16 : 0;
    size_t offset = data[12] | data[13] << 8, length = data[14] | data[15] << 8;
    if (names == 0 || names + offset + length > n)
        return "";
    std::wstring text(length / 2, L'\0');
    memcpy(&text[0], &data[names + offset], length / 2 * 2);
    return fs::path(text).u8string();
}

// A path as the user would write it: without the "\\?\" that final paths
// carry.
std::string Plain(const std::string& path) {
    if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
        return "\\\\" + path.substr(8);
    return path.compare(0, 4, "\\\\?\\") == 0 ? path.substr(4) : path;
}

}  // namespace

Held OpenProductFolder(const std::string& path, std::string* error) {
    DWORD code = 0;
    Held folder = OpenPath(path, false, &code);
    if (!folder || !folder->folder || folder->path.empty()) {
        *error = path + " is not a folder";
        return nullptr;
    }
    return folder;
}

bool ListFolder(const Held& folder, std::vector<std::pair<std::string, ItemKind>>* entries, std::string* error) {
    entries->clear();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(folder->path + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        *error = "cannot be listed (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        DWORD a = data.dwFileAttributes;
        ItemKind kind = (a & FILE_ATTRIBUTE_REPARSE_POINT)  ? ItemKind::Link
                        : (a & FILE_ATTRIBUTE_DIRECTORY) ? ItemKind::Folder
                                                         : ItemKind::File;
        entries->emplace_back(fs::path(name).u8string(), kind);
    } while (FindNextFileW(find, &data));
    DWORD last = GetLastError();
    FindClose(find);
    std::sort(entries->begin(), entries->end());
    *error = "cannot be listed (error " + std::to_string(last) + ")";
    return last == ERROR_NO_MORE_FILES;
}

ItemKind KindOf(const Held& folder, const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(folder->path + "\\" + name).c_str(), GetFileExInfoStandard, &data))
        return ItemKind::Missing;
    DWORD a = data.dwFileAttributes;
    return (a & FILE_ATTRIBUTE_REPARSE_POINT) ? ItemKind::Link
           : (a & FILE_ATTRIBUTE_DIRECTORY)   ? ItemKind::Folder
                                              : ItemKind::File;
}

// The folders above a name are held without delete sharing, so the path
// cannot be redirected; the handle is checked all the same: not a link, of
// the kind asked, and (for a name opened as itself) exactly that name in
// that folder.
OpenVerdict OpenItem(const Held& folder, const std::string& name, OpenAs as, Held* item, std::string* why) {
    DWORD code = 0;
    std::string path = folder->path + "\\" + name;
    Held opened = OpenPath(path, as != OpenAs::ThroughLink, &code);
    if (!opened) {
        *why = "error " + std::to_string(code);
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? OpenVerdict::Missing
               : code == ERROR_CANT_RESOLVE_FILENAME                       ? OpenVerdict::Loops
                                                                           : OpenVerdict::Failed;
    }
    DWORD a = Attributes(opened);
    if (a == INVALID_FILE_ATTRIBUTES || opened->path.empty())
        return OpenVerdict::Failed;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT)
        return as == OpenAs::ThroughLink ? OpenVerdict::Loops : OpenVerdict::Link;
    if ((as == OpenAs::File && opened->folder) || (as == OpenAs::Folder && !opened->folder))
        return OpenVerdict::NotPlain;
    if (as != OpenAs::ThroughLink && !SamePathText(opened->path, path))
        return OpenVerdict::Link;
    *item = opened;
    return OpenVerdict::Opened;
}

// Wine keeps no reparse data for the Unix links it shows as reparse points:
// then the link is named by where it leads, when it leads anywhere.
std::string LinkText(const Held& folder, const std::string& name) {
    DWORD code = 0;
    Held link = OpenPath(folder->path + "\\" + name, true, &code);
    std::string text = link ? ReparseTarget(reinterpret_cast<HANDLE>(link->handle)) : "";
    Held target = text.empty() ? OpenPath(folder->path + "\\" + name, false, &code) : nullptr;
    return target ? Plain(target->path) : text;
}

bool LiesInside(const Held& item, const Held& folder) {
    const std::string &where = item->path, &root = folder->path;
    if (where.size() < root.size() || root.empty() || !SamePathText(where.substr(0, root.size()), root))
        return false;
    return where.size() == root.size() || root.back() == '\\' || where[root.size()] == '\\';
}

bool SameItem(const Held& a, const Held& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(reinterpret_cast<HANDLE>(a->handle), &x) &&
           GetFileInformationByHandle(reinterpret_cast<HANDLE>(b->handle), &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}

bool ReadAt(const Held& item, uint64_t at, void* buffer, size_t size, size_t* got) {
    *got = 0;
    while (*got < size) {
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at + *got);
        where.OffsetHigh = static_cast<DWORD>((at + *got) >> 32);
        DWORD n = 0, want = static_cast<DWORD>(std::min<size_t>(size - *got, 1u << 30));
        if (!ReadFile(reinterpret_cast<HANDLE>(item->handle), static_cast<char*>(buffer) + *got, want, &n, &where))
            return GetLastError() == ERROR_HANDLE_EOF;
        if (n == 0)
            break;
        *got += n;
    }
    return true;
}

bool HeldSize(const Held& item, uint64_t* size) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(item->handle), &n))
        return false;
    *size = static_cast<uint64_t>(n.QuadPart);
    return true;
}

#else

HeldItem::~HeldItem() {
    if (handle >= 0)
        close(static_cast<int>(handle));
}

namespace {

Held HeldFrom(int fd, const std::string& path, bool folder) {
    auto item = std::make_shared<HeldItem>();
    item->handle = fd;
    item->path = path;
    item->folder = folder;
    return item;
}

ItemKind KindOfMode(mode_t mode) {
    return S_ISLNK(mode) ? ItemKind::Link : S_ISDIR(mode) ? ItemKind::Folder : S_ISREG(mode) ? ItemKind::File
                                                                                          : ItemKind::Other;
}

// Where the kernel says an open file or folder is now; "" when it cannot.
std::string WhereNow(const Held& item) {
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", static_cast<int>(item->handle));
    ssize_t n = readlink(link, path, sizeof path);
    return n > 0 && static_cast<size_t>(n) < sizeof path ? std::string(path, static_cast<size_t>(n)) : "";
}

// A product holds one descriptor per file until it is packed: allow as many
// as the system lets this process have.
void RaiseOpenFileLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? std::max<rlim_t>(limit.rlim_cur, 1 << 20) : limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// What a name followed through its links is, opened as a path only (no
// device is ever opened for real), then opened for reading through that
// very descriptor when it is a plain file or a folder.
OpenVerdict OpenThroughLink(const Held& folder, const std::string& name, Held* item, std::string* why) {
    int at = openat(static_cast<int>(folder->handle), name.c_str(), O_PATH | O_CLOEXEC);
    if (at < 0) {
        *why = strerror(errno);
        return errno == ENOENT ? OpenVerdict::Missing : errno == ELOOP ? OpenVerdict::Loops : OpenVerdict::Failed;
    }
    struct stat st;
    int fd = -1;
    if (fstat(at, &st) == 0 && S_ISDIR(st.st_mode)) {
        fd = openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else if (fstat(at, &st) == 0 && S_ISREG(st.st_mode)) {
        char self[64];
        snprintf(self, sizeof self, "/proc/self/fd/%d", at);
        fd = open(self, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } else {
        *item = HeldFrom(at, folder->path + "/" + name, false);  // to tell where it lies, never read
        return OpenVerdict::NotPlain;
    }
    *why = strerror(errno);
    close(at);
    if (fd < 0)
        return OpenVerdict::Failed;
    *item = HeldFrom(fd, folder->path + "/" + name, S_ISDIR(st.st_mode));
    return OpenVerdict::Opened;
}

}  // namespace

Held OpenProductFolder(const std::string& path, std::string* error) {
    RaiseOpenFileLimit();
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = path + " is not a folder";
        return nullptr;
    }
    return HeldFrom(fd, path, true);
}

bool ListFolder(const Held& folder, std::vector<std::pair<std::string, ItemKind>>* entries, std::string* error) {
    entries->clear();
    // A description of its own, so that listing never depends on a path.
    int fd = openat(static_cast<int>(folder->handle), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : fdopendir(fd);
    if (!dir) {
        *error = strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    errno = 0;
    while (struct dirent* e = readdir(dir)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        ItemKind kind = KindOf(folder, e->d_name);
        if (kind != ItemKind::Missing)
            entries->emplace_back(e->d_name, kind);
        errno = 0;
    }
    bool ok = errno == 0;
    *error = strerror(errno);
    closedir(dir);
    std::sort(entries->begin(), entries->end());
    return ok;
}

ItemKind KindOf(const Held& folder, const std::string& name) {
    struct stat st;
    if (fstatat(static_cast<int>(folder->handle), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return ItemKind::Missing;
    return KindOfMode(st.st_mode);
}

OpenVerdict OpenItem(const Held& folder, const std::string& name, OpenAs as, Held* item, std::string* why) {
    if (as == OpenAs::ThroughLink)
        return OpenThroughLink(folder, name, item, why);
    // O_NOFOLLOW: a link put in the name's place is refused, never followed;
    // O_NONBLOCK: a pipe put there cannot stop the walk.
    int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (as == OpenAs::Folder ? O_DIRECTORY : 0);
    int fd = openat(static_cast<int>(folder->handle), name.c_str(), flags);
    struct stat st;
    if (fd < 0) {
        *why = errno == EMFILE ? "too many files to hold open at once (raise the limit: ulimit -n)" : strerror(errno);
        if (errno == ELOOP || errno == ENOTDIR)
            return KindOf(folder, name) == ItemKind::Link ? OpenVerdict::Link : OpenVerdict::NotPlain;
        return errno == ENOENT ? OpenVerdict::Missing : OpenVerdict::Failed;
    }
    if (fstat(fd, &st) != 0 || KindOfMode(st.st_mode) != (as == OpenAs::Folder ? ItemKind::Folder : ItemKind::File)) {
        close(fd);
        return OpenVerdict::NotPlain;
    }
    *item = HeldFrom(fd, folder->path + "/" + name, as == OpenAs::Folder);
    return OpenVerdict::Opened;
}

std::string LinkText(const Held& folder, const std::string& name) {
    char target[4096];
    ssize_t n = readlinkat(static_cast<int>(folder->handle), name.c_str(), target, sizeof target);
    return n > 0 && static_cast<size_t>(n) < sizeof target ? std::string(target, static_cast<size_t>(n)) : "";
}

bool LiesInside(const Held& item, const Held& folder) {
    std::string where = WhereNow(item), root = WhereNow(folder);
    if (where.empty() || root.empty() || where.compare(0, root.size(), root) != 0)
        return false;
    return where.size() == root.size() || root == "/" || where[root.size()] == '/';
}

bool SameItem(const Held& a, const Held& b) {
    struct stat x, y;
    return fstat(static_cast<int>(a->handle), &x) == 0 && fstat(static_cast<int>(b->handle), &y) == 0 &&
           x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool ReadAt(const Held& item, uint64_t at, void* buffer, size_t size, size_t* got) {
    *got = 0;
    while (*got < size) {
        ssize_t n = pread(static_cast<int>(item->handle), static_cast<char*>(buffer) + *got, size - *got,
                          static_cast<off_t>(at + *got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        *got += static_cast<size_t>(n);
    }
    return true;
}

bool HeldSize(const Held& item, uint64_t* size) {
    struct stat st;
    if (fstat(static_cast<int>(item->handle), &st) != 0)
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

#endif
