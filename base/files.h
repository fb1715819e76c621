// File-system helpers shared by the whole installer: creating a chain of
// folders, emptying a folder recursively, the folders along a path, whether
// a handle is open on a plain folder, and the path a handle is open on.
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

// The folders along path, one a call, for every walk that opens, checks or
// creates them: moves *end on to the end of the next folder, the text before
// a backslash (a doubled or trailing backslash ends none), or with whole the
// end of path itself as its last folder, and copies that folder's path into
// folder (MAX_PATH bytes). Start with *end at the length of what is not
// walked (3 for "X:\"). False when no folder is left, or the next one is
// longer than 259 characters.
bool NextPathFolder(const char* path, bool whole, size_t* end, char* folder);

// True when folder is open on a folder that is not a link, junction or other
// reparse point; false for INVALID_HANDLE_VALUE.
bool IsPlainFolder(HANDLE folder);

// The path that file is open on now (after a rename, its new name), as
// GetFinalPathNameByHandleA gives it with its long-path prefix taken off:
// "C:\x" for "\\?\C:\x", "\\server\share\x" for "\\?\UNC\server\share\x".
// False when it cannot be had or does not fit in size bytes.
bool FinalPath(HANDLE file, char* out, size_t size);

// True when a and b are the same path to Windows, whose names are compared
// without regard to case (ASCII letters).
bool SamePath(const char* a, const char* b);

#endif
