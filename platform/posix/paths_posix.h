// Paths between their Windows and Unix forms, and the two ways a Win32 call
// hands a text back (never included by the portable code). Keeps no state and
// calls only errors_posix.
#ifndef BRONDALE_PLATFORM_POSIX_PATHS_POSIX_H
#define BRONDALE_PLATFORM_POSIX_PATHS_POSIX_H

#include <string>

#include "posix/win32_posix.h"

// The Unix form of a Windows-style path: every backslash a slash.
std::string PosixUnixPath(const char* path);
// The same without trailing slashes ("/" stays): the name of a file or
// folder as the stand-in keeps it.
std::string PosixUnixName(const char* path);
// The Windows form of a Unix path: every slash a backslash.
std::string PosixWindowsPath(std::string path);
// Copies text to out as the Win32 path calls do: the length without the
// terminator when it fits, else the size it needs with the terminator.
DWORD PosixCopyPath(const std::string& text, LPSTR out, DWORD size);
// Copies as much of text as fits, always terminated; the length copied (0
// when out is null or size is 0).
DWORD PosixCopyCut(const std::string& text, LPSTR out, DWORD size);

#endif
