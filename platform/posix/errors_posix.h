// The stand-in's last error, fault injection and the Win32 error of an errno.
// The bottom of the stand-in: every other file of it may call this one, and
// this one calls none of them.
#ifndef BRONDALE_PLATFORM_POSIX_ERRORS_POSIX_H
#define BRONDALE_PLATFORM_POSIX_ERRORS_POSIX_H

#include <string>

#include "posix/win32_posix.h"

// Counts a call; true (last error ERROR_WRITE_FAULT) when fault injection
// picked it.
bool PosixInjectedFault();
// Sets the last error and returns FALSE.
BOOL PosixFail(DWORD error);
// The Win32 error for errno e met on path: a missing file tells a missing
// folder on its way from a missing last name, as Windows does.
DWORD PosixErrorFromErrno(int e, const std::string& path);

#endif
