// Scratch folders of dead runs. Each one is opened as itself for deletion
// before anything else: a sharing violation means a live run holds it, and
// the handle kept while it is emptied keeps the name on that folder.
#include "trust/leftovers.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/switches.h"
#include "platform/win32api.h"
#include "trust/folder.h"

namespace {

const size_t kDigits = 16;

bool HexDigits(const char* text) {
    for (size_t i = 0; i < kDigits; ++i)
        if (!((text[i] >= '0' && text[i] <= '9') || (text[i] >= 'a' && text[i] <= 'f')))
            return false;
    return text[kDigits] == '\0';
}

// Empties and removes the dead run's folder at path; false when it is held
// by a live run, is no plain folder, or is not one of ours.
bool RemoveDead(const char* path) {
    HANDLE folder = CreateFileA(path, DELETE | GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        LogLine("scratch folder %s: left, in use (error %lu)", path, static_cast<unsigned long>(GetLastError()));
        return false;
    }
    bool plain = IsPlainFolder(folder), dead = plain && AdministratorsOnlyFolder(path);
    // Wine refuses to remove a folder inside one open for deletion: once no
    // run is seen to hold it, the folder is held without that right while it
    // is emptied.
    HANDLE kept = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    CloseHandle(folder);
    if (dead && !IsPlainFolder(kept))
        plain = dead = false;
    if (dead)
        wyliczpliki(path);
    else
        LogLine("scratch folder %s: left, %s", path,
                plain ? "others than administrators can change it" : "not a plain folder");
    if (kept != INVALID_HANDLE_VALUE)
        CloseHandle(kept);
    if (dead && !RemoveDirectoryA(path)) {
        LogLine("scratch folder %s: left, not emptied (error %lu)", path, static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return dead;
}

}  // namespace

bool IsScratchFolderName(const char* name) {
    const char kInstaller[] = "Brondale", kUninstaller[] = "BrondaleUnInst";
    if (strncmp(name, kUninstaller, sizeof kUninstaller - 1) == 0 && HexDigits(name + sizeof kUninstaller - 1))
        return true;
    return strncmp(name, kInstaller, sizeof kInstaller - 1) == 0 && HexDigits(name + sizeof kInstaller - 1);
}

size_t RemoveDeadScratchFolders(const char* temp) {
    char pattern[MAX_PATH];
    size_t length = strlen(temp);
    if (length == 0 || temp[length - 1] != '\\' ||
        snprintf(pattern, sizeof pattern, "%sBrondale*", temp) >= static_cast<int>(sizeof pattern))
        return 0;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    size_t removed = 0;
    do {
        const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
        char path[MAX_PATH];
        if ((entry.dwFileAttributes & kFolder) != FILE_ATTRIBUTE_DIRECTORY || !IsScratchFolderName(entry.cFileName) ||
            snprintf(path, sizeof path, "%s%s", temp, entry.cFileName) >= static_cast<int>(sizeof path))
            continue;
        if (RemoveDead(path)) {
            ++removed;
            LogLine("scratch folder of a run that did not end: %s: removed", path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return removed;
}
