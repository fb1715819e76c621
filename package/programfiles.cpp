// The Program Files folder as the shell names it, and the proposal below it,
// or the folder where the product is installed already.
#include "package/programfiles.h"

#include <windows.h>

#include <cstdio>
#include <shlobj.h>

#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "package/registered.h"

void ProgramFilesFolder(char* buffer) {
    buffer[0] = '\0';
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return;
    LPITEMIDLIST programFiles = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES, &programFiles))) {
        if (!SHGetPathFromIDListA(programFiles, buffer))
            buffer[0] = '\0';
        allocator->Free(programFiles);
    }
    allocator->Release();
}

void ProposeDestination(char* proposal) {
    ProgramFilesFolder(ProgramFiles());
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    snprintf(NazwaProgramu(), 64, "%s", name);
    snprintf(proposal, MAX_PATH, "%s\\%s", ProgramFiles(), NazwaProgramu());
    // An upgrade follows the product to wherever it was installed.
    char key[MAX_PATH];
    ProductKeyFor(name, key, sizeof key);
    RegisteredInstallation registered;
    if (ReadRegistered(key, &registered)) {
        snprintf(proposal, MAX_PATH, "%s", registered.folder);
        LogLine("destination proposed: %s, where the product is installed", proposal);
    }
}
