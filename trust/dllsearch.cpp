// One restriction for both elevated programs; Windows only.
#include "trust/dllsearch.h"

#include <windows.h>

void RestrictDllSearch() {
    // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623);
    // where it is missing, at least take the current folder out of the path.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    SetDefaultDllDirectoriesFn restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!restrict || !restrict(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */))
        SetDllDirectoryA("");
}
