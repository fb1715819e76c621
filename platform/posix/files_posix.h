// The part of the file handle calls that another file of the stand-in needs:
// closing a file object (CloseHandle in handles_posix picks the kind). Never
// included by the portable code.
#ifndef BRONDALE_PLATFORM_POSIX_FILES_POSIX_H
#define BRONDALE_PLATFORM_POSIX_FILES_POSIX_H
#include "posix/win32_posix.h"

// Closes the file handle h and deletes its object; FALSE (last error
// ERROR_INVALID_HANDLE) when h is no open file.
BOOL PosixCloseFile(HANDLE h);

#endif
