// The handle table, shared by the stand-in's files (never included by the
// portable code): what object a HANDLE is, how many are open, the files open
// now with their access and sharing. Calls only errors_posix and paths_posix.
#ifndef BRONDALE_PLATFORM_POSIX_HANDLETABLE_POSIX_H
#define BRONDALE_PLATFORM_POSIX_HANDLETABLE_POSIX_H

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

#include "posix/win32_posix.h"

// The first field of every object behind a HANDLE or HKEY; 0 once closed.
enum PosixObjectKind {
    kPosixFile = 0x46494c45,
    kPosixFind = 0x46494e44,
    kPosixKey = 0x4b455920,
    kPosixThread = 0x54485244
};

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
    // Opened relative to a folder (NtCreateFile): that folder's descriptor
    // (a copy, closed with this handle) and the name in it, as renames
    // through this handle move it; -1 and "" otherwise.
    int parentFd = -1;
    std::string name;
};

// The kind of the object behind h; 0 for null, INVALID_HANDLE_VALUE and the
// token handle, which have none.
int PosixKindOf(const void* h);
// The file object of h; null for anything else.
PosixFile* PosixFileOf(HANDLE h);
// Counts a handle other than a file's opened or closed (PosixOpenHandles).
void PosixHandleOpened();
void PosixHandleClosed();
// Enters a file just opened into the table, or takes one out before it is
// deleted; each counts as a handle.
// A new file object for fd, as the handle table keeps it (not yet entered):
// readable and writable as asked, unless it is a link or a folder, which no
// data call reads or writes.
PosixFile* PosixNewFile(int fd, bool link, bool readable, bool writable, DWORD uses, DWORD share,
                        const std::string& path, int parentFd, const std::string& name);
void PosixEnterFile(PosixFile* f);
void PosixLeaveFile(PosixFile* f);
// True (last error ERROR_SHARING_VIOLATION) when an open of the file st
// that uses and shares as given clashes with a handle open on it: one
// wants what the other does not share.
bool PosixSharingRefuses(const struct stat& st, DWORD uses, DWORD share);
// The same for deleting or renaming, which opens the name for delete.
bool PosixDeleteRefused(const struct stat& st);
// True (last error ERROR_SHARING_VIOLATION) when path is the file a test
// holds open (PosixHoldOpen); each answer uses up one refusal.
bool PosixHeldOpen(const std::string& path);

#endif
