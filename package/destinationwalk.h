// The folders along a destination's path, opened one by one as themselves
// (a link is opened, never followed) and held: while a handle is held the
// folder cannot be deleted or renamed, so what was checked stays what is
// used. Windows only.
#ifndef BRONDALE_PACKAGE_DESTINATIONWALK_H
#define BRONDALE_PACKAGE_DESTINATIONWALK_H

#include <windows.h>

#include <cstddef>

#include "package/destinationrule.h"

// One existing folder of the path: its first length characters.
struct PathFolder {
    HANDLE handle;  // held without delete sharing; the caller closes it
    size_t length;
    ReparseKind kind;
    char owner[192];  // the owner's SID text, "" when it cannot be read
};

// Opens each existing folder of path, from the first below the drive's root
// to path itself, into folders (at most max), and stops at the first that
// does not exist. Returns the number of handles opened, which the caller
// closes. *failed is 0, or the length of the first folder that exists but
// could not be opened or read (the walk stopped there).
int OpenPathFolders(const char* path, PathFolder* folders, int max, size_t* failed);

#endif
