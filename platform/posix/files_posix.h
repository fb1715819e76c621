// What the stand-in's own files share about an open file handle (never
// included by the portable code): the object behind a HANDLE, and the
// calls' bookkeeping of last errors and injected faults.
#ifndef BRONDALE_PLATFORM_POSIX_FILES_POSIX_H
#define BRONDALE_PLATFORM_POSIX_FILES_POSIX_H

#include <string>
#include <sys/types.h>

#include "posix/win32_posix.h"

struct PosixFile {
    int kind;
    int fd;
    bool canRead;
    bool canWrite;
    DWORD uses;   // the data access it holds, as FILE_SHARE_* bits: read, write, delete
    DWORD share;  // what it lets other handles do, FILE_SHARE_* bits
    dev_t device;
    ino_t inode;
    bool link;         // a symbolic link opened as itself (FILE_FLAG_OPEN_REPARSE_POINT)
    std::string path;  // the Unix path it was opened by
};

// The file object of h; null for anything else.
PosixFile* PosixFileOf(HANDLE h);
// Counts a call; true (last error set) when fault injection picked it.
bool PosixInjectedFault();
// Sets the last error and returns FALSE.
BOOL PosixFail(DWORD error);
// The Unix form of a Windows-style path.
std::string PosixUnixPath(const char* path);

#endif
