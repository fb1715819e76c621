// POSIX stand-in for the calls that ask a handle what it is open on (tests
// only): its attributes and identity, its path now (Linux keeps it up to date
// across renames, as Windows does), and the program's own image.
#include "posix/win32_posix.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/paths_posix.h"

namespace {

std::string& MappedName() {
    static std::string name;
    return name;
}

} // namespace

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
    info->dwFileAttributes = attributes;
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    info->nFileSizeLow = static_cast<DWORD>(st.st_size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
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

DWORD GetFullPathNameA(LPCSTR name, DWORD size, LPSTR out, LPSTR* filePart) {
    std::string path = PosixWindowsPath(name ? name : "");
    if (path.empty()) {
        PosixFail(ERROR_INVALID_NAME);
        return 0;
    }
    bool rooted = path[0] == '\\' || (path.size() >= 2 && path[1] == ':');
    if (!rooted) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) {
            PosixFail(ERROR_PATH_NOT_FOUND);
            return 0;
        }
        path = PosixWindowsPath(cwd) + "\\" + path;
    }
    // "." and ".." steps are taken, repeated backslashes fold into one.
    size_t root = path[0] == '\\' ? 1 : 3;
    std::vector<std::string> parts;
    size_t at = root;
    while (at <= path.size()) {
        size_t end = path.find('\\', at);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string full = path.substr(0, root);
    for (size_t i = 0; i < parts.size(); ++i)
        full += (i ? "\\" : "") + parts[i];
    if (!path.empty() && path.back() == '\\' && !parts.empty())
        full += "\\";
    DWORD n = PosixCopyPath(full, out, size);
    if (filePart && n < size) {
        char* last = strrchr(out, '\\');
        *filePart = last && last[1] ? last + 1 : nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return n;
}

HMODULE GetModuleHandleA(LPCSTR name) {
    static char image;
    if (name) {
        PosixFail(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return &image;
}

DWORD GetMappedFileNameA(HANDLE, LPVOID address, LPSTR out, DWORD size) {
    if (address != GetModuleHandleA(nullptr) || size == 0) {
        PosixFail(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name = MappedName();
    if (name.empty()) {
        char module[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
        name.assign(module, n);
    }
    name = "\\??\\" + PosixWindowsPath(name);
    DWORD n = static_cast<DWORD>(std::min<size_t>(name.size(), size - 1));
    memcpy(out, name.data(), n);
    out[n] = '\0';
    SetLastError(ERROR_SUCCESS);
    return n;
}

void PosixSetMappedFileName(const char* path) { MappedName() = path ? path : ""; }
