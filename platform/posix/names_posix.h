// What the stand-in tells of a file by its name, shared with the file handle
// and folder calls (never included by the portable code): read-only, hidden
// and system attributes, and a listing's entry.
#ifndef BRONDALE_PLATFORM_POSIX_NAMES_POSIX_H
#define BRONDALE_PLATFORM_POSIX_NAMES_POSIX_H
#include <string>
#include <sys/stat.h>

#include "posix/win32_posix.h"

// The start of a call on a name: counts it for fault injection, takes its
// Unix path and what lstat tells of it; false (last error set) when the
// call was picked to fail or nothing is there.
bool PosixLookUpName(LPCSTR name, std::string* path, struct stat* st);
// True for a file that refuses writing and deletion (no owner write bit).
bool PosixIsReadOnly(const struct stat& st);
// The hidden and system attributes kept for the file st (0 when none), and
// setting them (FILE_ATTRIBUTE_NORMAL or 0 clears them).
DWORD PosixDosAttributes(const struct stat& st);
void PosixSetDosAttributes(const struct stat& st, DWORD attributes);
// Forgets what was kept for a file or folder whose last name is gone.
void PosixForgetFile(const struct stat& st);
// Fills out with what a listing of folder dir tells of its entry name, a
// symbolic link as a reparse point; false when nothing is there.
bool PosixFindData(const std::string& dir, const char* name, WIN32_FIND_DATAA* out);

#endif
