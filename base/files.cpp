// Folder chains, recursive deletion, the folders along a path and the final
// path of a handle.
// Everything here works on ANSI paths of at most 259 characters; longer
// names are passed over, never cut.
#include "base/files.h"

#include <cstdio>
#include <cstring>

#include "platform/win32api.h"

void CreateBaseDirectory(const char* path, void (*created)(const char* folder)) {
    char prefix[MAX_PATH];
    for (size_t end = 0; NextPathFolder(path, false, &end, prefix);)
        if (CreateDirectoryA(prefix, nullptr) && created)
            created(prefix);
}

unsigned short katalog(const char* name) {
    size_t n = strlen(name);
    if ((n == 1 && name[0] == '.') || (n == 2 && strstr(name, "..") != nullptr))
        return 1;
    return 2;
}

unsigned short wyliczpliki(const char* dir) {
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof pattern, "%s\\*.*", dir) >= static_cast<int>(sizeof pattern))
        return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (katalog(entry.cFileName) == 1)
            continue;
        char path[MAX_PATH];
        if (snprintf(path, sizeof path, "%s\\%s", dir, entry.cFileName) >= static_cast<int>(sizeof path))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            // A link to a folder goes with RemoveDirectoryA, a link to a file
            // with DeleteFileA; neither touches the target.
            if (!RemoveDirectoryA(path))
                DeleteFileA(path);
            continue;
        }
        RemoveDirectoryA(path);
        if (wyliczpliki(path) == 0)
            DeleteFileA(path);
        RemoveDirectoryA(path);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return 1;
}

bool NextPathFolder(const char* path, bool whole, size_t* end, char* folder) {
    size_t length = strlen(path);
    for (size_t i = *end; i <= length && i < MAX_PATH; ++i) {
        bool ends = i < length ? path[i] == '\\' : whole;
        if (!ends || i == 0 || path[i - 1] == '\\')
            continue;
        memcpy(folder, path, i);
        folder[i] = '\0';
        *end = i + 1;
        return true;
    }
    *end = length + 1;
    return false;
}

bool IsPlainFolder(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info;
    return folder != INVALID_HANDLE_VALUE && GetFileInformationByHandle(folder, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool FinalPath(HANDLE file, char* out, size_t size) {
    char final[MAX_PATH + 16];
    DWORD n = GetFinalPathNameByHandleA(file, final, sizeof final, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof final)
        return false;
    const char* path = final;
    char unc[MAX_PATH + 16];
    if (strncmp(final, "\\\\?\\UNC\\", 8) == 0) {
        snprintf(unc, sizeof unc, "\\\\%s", final + 8);
        path = unc;
    } else if (strncmp(final, "\\\\?\\", 4) == 0) {
        path = final + 4;
    }
    return snprintf(out, size, "%s", path) < static_cast<int>(size);
}

bool SamePath(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a - 'A' + 'a') : *a;
        char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}
