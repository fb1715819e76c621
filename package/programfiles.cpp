// The Program Files folder as the shell names it, and the proposal below it
// or below the user's own programs folder, or the folder where the product
// is installed already.
#include "package/programfiles.h"

#include <windows.h>

#include <cstdio>
#include <shlobj.h>

#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "package/registered.h"

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
    } else {
        // Where programs for one user go (the folder the system itself names
        // UserProgramFiles): the user's local application data, Programs.
        char local[MAX_PATH];
        ShellFolder(CSIDL_LOCAL_APPDATA, local);
        snprintf(proposal, MAX_PATH, "%s\\Programs\\%s", local, NazwaProgramu());
    }
    // An upgrade follows the product to wherever it was installed.
    char key[MAX_PATH];
    ProductKeyFor(name, key, sizeof key);
    RegisteredInstallation registered;
    if (ReadRegistered(UninstallRoot(scope), key, &registered)) {
        snprintf(proposal, MAX_PATH, "%s", registered.folder);
        LogLine("destination proposed: %s, where the product is installed", proposal);
    }
}
