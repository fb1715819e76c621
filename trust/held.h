// Folders the elevated programs hold while they use them (the scratch folder,
// its Lang and Install folders, the uninstaller's private folders): made by
// this run under a random name with the protected descriptor, then kept open
// without delete sharing, so nobody can rename, delete or swap them meanwhile.
#ifndef BRONDALE_TRUST_HELD_H
#define BRONDALE_TRUST_HELD_H

#include <cstddef>

#include "platform/win32api.h"

// Writes 2 * bytes lower-case hexadecimal digits from the system's random
// generator (CNG) and a terminator into out (at least 2 * bytes + 1 bytes;
// at most 32 random bytes). False, with out "", when the generator fails.
bool RandomHex(char* out, size_t bytes);

// The sharing a held folder allows: reading and adding files inside, never
// a rename or a deletion of the folder itself.
const DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Creates path as a protected folder (trust/folder.h) and opens it at once
// with kHeldSharing, as itself (a link is opened as a link). Returns the
// handle, which the caller keeps for as long as it uses the folder, or
// INVALID_HANDLE_VALUE when it cannot be made (last error
// ERROR_ALREADY_EXISTS when the name is taken), or when what the name opens
// is not the folder just made: not a plain folder (IsPlainFolder,
// base/files.h), or with an owner or list other than the protected ones
// (HeldFolderIsOurs; last error ERROR_ALREADY_EXISTS too, so that the
// caller tries another name). Something put in its place between the
// creation and the opening is never used, and never touched.
HANDLE CreateHeldFolder(const char* path);

// Whether the descriptor text of a folder is one this process made
// protected: owned by SYSTEM, the Administrators, TrustedInstaller or
// account (the owner this process gives what it creates, trust/folder.h),
// and nobody else may add, delete or rename anything in it or change it.
bool HeldFolderIsOurs(const char* sddl, const char* account);

// Closes *held when it is open and sets it to INVALID_HANDLE_VALUE.
void ReleaseHeld(HANDLE* held);

#endif
