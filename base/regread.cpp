// One reader of a machine key's text value, for the installer and the
// uninstaller alike.
#include "base/regread.h"

#include "platform/win32api.h"

bool ReadMachineString(const char* key, const char* name, char* out, size_t size) {
    out[0] = '\0';
    HKEY h;
    if (size < 2 || RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, got = static_cast<DWORD>(size - 1);
    LONG status = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &got);
    RegCloseKey(h);
    bool ok = status == ERROR_SUCCESS && type == REG_SZ && got < size;
    out[ok ? got : 0] = '\0';
    return ok;
}
