// Finds the package in the installer's own file and keeps the package handle,
// positioned on the first byte after the signature, for the section reader.
#ifndef BRONDALE_PACKAGE_LOCATOR_H
#define BRONDALE_PACKAGE_LOCATOR_H

#include <cstdint>

#include "platform/win32api.h"

// The package handle: null until the locator runs, then the installer's own
// file until shutdown closes it.
HANDLE* HandleToGzc();

// One matcher step for signature position j: when *state == j it becomes
// j + 1 on a matching byte and 0 on any other; otherwise nothing happens.
void Sygnatura(unsigned short* state, unsigned short j, unsigned char expected, unsigned char byte);

// Opens name for reading (shared for reading) or, with write, creates or
// truncates it. Returns INVALID_HANDLE_VALUE on failure.
HANDLE winfopen(const char* name, bool write);
// Reads exactly size bytes; false on an error or a short read.
bool winfread(void* data, HANDLE file, DWORD size = 1);
// Writes exactly size bytes; false when not all of them were written.
bool winfwrite(const void* data, HANDLE file, DWORD size = 1);

// The file position of a handle as 64 bits, and a move to one.
bool FilePosition(HANDLE file, uint64_t* position);
bool SeekTo(HANDLE file, uint64_t position);

// Opens path into *slot (whatever the open returns) and looks for the
// signature at or after kPackageStart. Returns true when found, with the
// handle standing on the first byte after it; false when not found.
bool FindPackageIn(const char* path, HANDLE* slot);

// True when file is open on the file this program runs from. The name it
// was started by may since have gone to another file (Windows lets anyone
// who may rename files in its folder rename a running program); the name of
// the file mapped as the program's image follows that file. While file is
// held without delete sharing its own name cannot move either, so the two
// names agree only when they name one file. (Wine keeps the name a program
// was started by, so there the check cannot see a rename.)
bool IsRunningImage(HANDLE file);
// Opens the installer's own file with read sharing only, so that it cannot
// be written, renamed, deleted or replaced while the handle is open, and
// checks it with IsRunningImage. INVALID_HANDLE_VALUE (logged) when it
// cannot be opened or is another file.
HANDLE OpenRunningImage();
// The package search on the installer's own file, through OpenRunningImage;
// the handle (held until shutdown) goes into *slot either way. As the
// start-up expects it: false when found, true when not.
bool WyszukajRc(HANDLE* slot);

#endif
