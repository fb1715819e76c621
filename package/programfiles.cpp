// The Program Files folder as the shell names it, and the proposal below it.
#include "package/programfiles.h"

#include <windows.h>

#include <cstdio>
#include <shlobj.h>

#include "base/state.h"
#include "config/config.h"

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
}
