// The destination's acceptance: form and length checked against the
// package's longest paths, folders created and remembered. A refused path
// creates nothing.
#include "package/destination.h"

#include <cstdio>
#include <cstring>

#include "base/files.h"
#include "base/scratch.h"
#include "base/switches.h"
#include "package/extract.h"
#include "package/locator.h"
#include "platform/win32api.h"

namespace {

// The folders an accepted destination created, parent first.
struct PageFolders {
    char path[32][MAX_PATH];
    int count;
};

PageFolders* DestinationFolders() {
    static PageFolders folders;
    return &folders;
}

void RememberFolder(const char* folder) {
    PageFolders* f = DestinationFolders();
    if (f->count < 32)
        snprintf(f->path[f->count++], MAX_PATH, "%s", folder);
}

// Whether every path of this package fits below destination. The program
// section's path list is read once, from where the package handle stands;
// when it cannot be read the section reader judges each path itself.
bool PathsFitBelow(const char* destination) {
    static bool known = false;
    static size_t longestPath = 0, longestFolder = 0;
    if (!known && *HandleToGzc() && *HandleToGzc() != INVALID_HANDLE_VALUE) {
        LongestPaths(*HandleToGzc(), &longestPath, &longestFolder);
        known = true;
    }
    return RoomForPaths(strlen(destination), longestPath, longestFolder);
}

} // namespace

void RemoveDestinationFolders() {
    PageFolders* f = DestinationFolders();
    while (f->count > 0)
        RemoveDirectoryA(f->path[--f->count]);
}

bool AcceptDestination(const char* path) {
    if (path[0] != '\0' && path[1] == ':' && path[2] == '\\' && PathsFitBelow(path)) {
        RemoveDestinationFolders();
        size_t length = strlen(path);
        bool missing = path[length - 1] != '\\' && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
        CreateBaseDirectory(path, RememberFolder);
        // The chosen folder itself is created with the first file; it is
        // this run's when it is missing now.
        if (missing)
            RememberFolder(path);
        char stored[MAX_PATH];
        snprintf(stored, sizeof stored, "%s", path);
        dircfg("10", stored, 1, static_cast<int>(length));
        LogLine("destination: %s", path);
        return false;
    }
    LogLine("destination: %s: not a folder path of the form X:\\folder, or too long for the package", path);
    return true;
}
