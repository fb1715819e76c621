// Reading a text value of a key under HKEY_LOCAL_MACHINE, which only
// administrators can change: the seal digests and the uninstaller's command
// that the installer and the uninstaller both rely on.
#ifndef BRONDALE_BASE_REGREAD_H
#define BRONDALE_BASE_REGREAD_H

#include <cstddef>

// The REG_SZ value name of HKEY_LOCAL_MACHINE\key into out (size bytes, the
// terminator included), up to its first zero. True when it is there, is
// REG_SZ and fits in size - 1 bytes; otherwise out is "" and false.
bool ReadMachineString(const char* key, const char* name, char* out, size_t size);

#endif
