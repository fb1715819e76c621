// The folder calls: creating one (private when its descriptor says so, the
// text kept by security_posix), removing one and listing one. A listing is
// read whole and sorted by FindFirstFileA; its handle counts in the table.
#include "posix/win32_posix.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "posix/errors_posix.h"
#include "posix/handletable_posix.h"
#include "posix/names_posix.h"
#include "posix/paths_posix.h"
#include "posix/security_posix.h"

namespace {

struct FindObject {
    int kind;
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next;
};

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

}  // namespace

BOOL CreateDirectoryA(LPCSTR name, LPSECURITY_ATTRIBUTES sa) {
    if (PosixInjectedFault())
        return FALSE;
    std::string path = PosixUnixName(name);
    mode_t mode = sa && PosixDescriptorIsPrivate(sa->lpSecurityDescriptor) ? 0700 : 0755;
    if (path.empty() || mkdir(path.c_str(), mode) != 0)
        return PosixFail(path.empty() ? ERROR_PATH_NOT_FOUND : PosixErrorFromErrno(errno, path));
    PosixKeepDescriptor(name, sa ? sa->lpSecurityDescriptor : nullptr);
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR name) {
    std::string path;
    struct stat st;
    if (!PosixLookUpName(name, &path, &st))
        return FALSE;
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
    PosixForgetFile(st);
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
        if (PosixFindData(dir, n.c_str(), &entry))
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
    if (PosixKindOf(find) != kPosixFind)
        return PosixFail(ERROR_INVALID_HANDLE);
    FindObject* f = static_cast<FindObject*>(find);
    if (f->next >= f->entries.size())
        return PosixFail(ERROR_NO_MORE_FILES);
    *data = f->entries[f->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    if (PosixKindOf(find) != kPosixFind)
        return PosixFail(ERROR_INVALID_HANDLE);
    FindObject* f = static_cast<FindObject*>(find);
    f->kind = 0;
    delete f;
    PosixHandleClosed();
    return TRUE;
}
