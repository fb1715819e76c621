// The Program Files folder as the shell names it, and the proposal below it
// or below the user's own programs folder.
#include "package/programfiles.h"

#include <windows.h>

#include <cstdio>
#include <shlobj.h>

#include "base/state.h"
#include "config/config.h"

namespace {

void ShellFolder(int csidl, char* buffer) {
    buffer[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return;
    LPITEMIDLIST folder = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &folder))) {
        if (!SHGetPathFromIDListA(folder, buffer))
            buffer[0] = '\0';
        allocator->Free(folder);
    }
    allocator->Release();
}

}  // namespace

void ProgramFilesFolder(char* buffer) { ShellFolder(CSIDL_PROGRAM_FILES, buffer); }

void ProposeDestination(char* proposal, InstallScope scope) {
    ProgramFilesFolder(ProgramFiles());
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    snprintf(NazwaProgramu(), 64, "%s", name);
    if (scope == kScopeMachine) {
        snprintf(proposal, MAX_PATH, "%s\\%s", ProgramFiles(), NazwaProgramu());
        return;
    }
    // Where programs for one user go (the folder the system itself names
    // UserProgramFiles): the user's local application data, Programs.
    char local[MAX_PATH];
    ShellFolder(CSIDL_LOCAL_APPDATA, local);
    snprintf(proposal, MAX_PATH, "%s\\Programs\\%s", local, NazwaProgramu());
}
