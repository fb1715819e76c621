// The installer's fixed texts come from the shared package header, so the
// packing tool derives the scramble key from exactly the same bytes.
#include "base/names.h"

#include "base/format.h"
#include "platform/win32api.h"

const char* Brondale() { return kInstallerName; }

const char* RegRegister() { return kVendorRegistryPath; }

unsigned long Program(char* buffer) { return GetModuleFileNameA(nullptr, buffer, MAX_PATH); }
