// The part of the thread calls that another file of the stand-in needs:
// closing a thread's handle (CloseHandle in handles_posix picks the kind).
// Never included by the portable code.
#ifndef BRONDALE_PLATFORM_POSIX_THREADS_POSIX_H
#define BRONDALE_PLATFORM_POSIX_THREADS_POSIX_H
#include "posix/win32_posix.h"

// Closes the thread handle h; the thread runs on, detached, if no one waited
// for it. FALSE (last error ERROR_INVALID_HANDLE) when h is no thread.
BOOL PosixCloseThread(HANDLE h);

#endif
