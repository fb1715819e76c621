// File-system helpers shared by the whole installer: creating a chain of
// folders, emptying a folder recursively, and the path a handle is open on.
// Results of single deletions are not reported; what cannot be deleted stays
// where it is.
#ifndef BRONDALE_BASE_FILES_H
#define BRONDALE_BASE_FILES_H

#include <cstddef>

#include "platform/win32api.h"

// Creates every folder along path up to its last backslash; the text after
// it is never created. When created is given, it is called with each folder
// that this call created (not with those that already existed).
void CreateBaseDirectory(const char* path, void (*created)(const char* folder) = nullptr);

// Deletes everything inside dir and leaves dir itself. Returns 0 when dir
// cannot be listed (a file, or nothing of that name), else 1. A junction or
// symbolic link inside is removed as a link; what it points to is never
// entered.
unsigned short wyliczpliki(const char* dir);

// 1 for the directory entries "." and "..", 2 for every other name.
unsigned short katalog(const char* name);

// The path that file is open on now (after a rename, its new name), as
// GetFinalPathNameByHandleA gives it with its long-path prefix taken off:
// "C:\x" for "\\?\C:\x", "\\server\share\x" for "\\?\UNC\server\share\x".
// False when it cannot be had or does not fit in size bytes.
bool FinalPath(HANDLE file, char* out, size_t size);

// True when a and b are the same path to Windows, whose names are compared
// without regard to case (ASCII letters).
bool SamePath(const char* a, const char* b);

#endif
