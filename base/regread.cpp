// One reader of a key's text value, for the installer and the uninstaller
// alike.
#include "base/regread.h"

#include "base/installed.h"
#include "platform/win32api.h"

HKEY RegistryRootKey(short root) {
    static const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS};
    return root >= 0 && root < kNoRegistryRoot ? kRoots[root] : nullptr;
}

bool ReadRegistryString(short root, const char* key, const char* name, char* out, size_t size) {
    out[0] = '\0';
    HKEY h;
    if (root < 0 || root >= kNoRegistryRoot || size < 2 ||
        RegOpenKeyExA(RegistryRootKey(root), key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, got = static_cast<DWORD>(size - 1);
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &got);
    RegCloseKey(h);
    bool ok = status == ERROR_SUCCESS && type == REG_SZ && got < size;
    out[ok ? got : 0] = '\0';
    return ok;
}

bool ReadMachineString(const char* key, const char* name, char* out, size_t size) {
    return ReadRegistryString(kLocalMachineRoot, key, name, out, size);
}
