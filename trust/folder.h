// Folders that belong to the elevated programs alone: the installer's scratch
// folder and the uninstaller's copy folder. Nobody but SYSTEM, the
// Administrators group and the account the program runs as may read, plant
// or replace anything in them.
#ifndef BRONDALE_TRUST_FOLDER_H
#define BRONDALE_TRUST_FOLDER_H

#include <cstddef>

#include "platform/win32api.h"

// Writes the descriptor text (SDDL) of such a folder for the account userSid
// ("S-1-..."): a protected DACL (nothing inherited from the folder above)
// granting full access to SYSTEM, Administrators and that account, passed on
// to everything created inside. False when userSid is not a SID's text or the
// result does not fit in size bytes.
bool ProtectedFolderSddl(const char* userSid, char* out, size_t size);

// Security attributes with that descriptor for the default owner of this
// process's token (the account it runs as; for an elevated administrator
// with a split token, the Administrators group), built once and kept for
// the life of the process. Null when the token or the descriptor cannot be
// had.
SECURITY_ATTRIBUTES* ProtectedFolderSecurity();

// Creates the folder path with that descriptor. False when it cannot be
// made, when something of that name exists already (last error
// ERROR_ALREADY_EXISTS) or when there is no descriptor: a protected folder is
// never created unprotected.
bool CreateProtectedFolder(const char* path);

#endif
