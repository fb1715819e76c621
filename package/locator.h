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
// signature at or after kPackageStart. Returns false when found, with the
// handle standing on the first byte after it; true when not found.
bool FindPackageIn(const char* path, HANDLE* slot);
// The same on the installer's own executable.
bool WyszukajRc(HANDLE* slot);

#endif
