// Reading a text value of a registry key: under HKEY_LOCAL_MACHINE, which
// only administrators can change, the seal digests and the uninstaller's
// command of an installation for every user; under HKEY_CURRENT_USER those
// of an installation for one user. The installer and the uninstaller both
// rely on this one reader.
#ifndef BRONDALE_BASE_REGREAD_H
#define BRONDALE_BASE_REGREAD_H

#include <cstddef>

#include "platform/win32api.h"

// The REG_SZ value name of key under root (an index of kRegistryRoots,
// base/installed.h) into out (size bytes, the terminator included), up to
// its first zero. True when it is there, is REG_SZ and fits in size - 1
// bytes; otherwise out is "" and false (a root outside the table too).
bool ReadRegistryString(short root, const char* key, const char* name, char* out, size_t size);
// The predefined key of root (an index of kRegistryRoots); nullptr for a
// root outside the table.
HKEY RegistryRootKey(short root);
// The same under HKEY_LOCAL_MACHINE.
bool ReadMachineString(const char* key, const char* name, char* out, size_t size);

#endif
