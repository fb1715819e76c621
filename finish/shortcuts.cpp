// Shortcuts in the common desktop and the product's folder of the common
// Start-menu programs, or the user's own for an installation for one user.
// Each is recorded before it is made.
#include <cstdio>
#include <cstring>
#include <shlobj.h>

#include "config/config.h"
#include "finish/shortcuts.h"
#include "finish/record.h"
#include "base/files.h"
#include "base/switches.h"

namespace {

bool SpecialFolder(int csidl, char* path) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return false;
    LPITEMIDLIST list = nullptr;
    bool ok = false;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &list))) {
        ok = SHGetPathFromIDListA(list, path) != FALSE;
        allocator->Free(list);
    }
    allocator->Release();
    return ok;
}

}  // namespace

void DodajSkrot(const char* target, bool menu, const char* product, InstallScope scope) {
    // An installation for one user puts them in that user's own folders.
    static const int kFolders[2][2] = {{CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_PROGRAMS},
                                       {CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS}};
    char folder[MAX_PATH];
    if (!SpecialFolder(kFolders[scope == kScopeUser][menu], folder))
        return;
    if (menu) {
        size_t length = strlen(folder);
        snprintf(folder + length, sizeof folder - length, "\\%s", product);
    }
    const char* slash = strrchr(target, '\\');
    const char* fileName = slash ? slash + 1 : target;
    char directory[MAX_PATH];
    size_t directoryLength = slash ? static_cast<size_t>(slash - target) : 0;
    memcpy(directory, target, directoryLength);
    directory[directoryLength] = '\0';
    char shortcut[MAX_PATH];
    // A shortcut path that does not fit names no file; it is neither
    // recorded nor made.
    if (snprintf(shortcut, sizeof shortcut, "%s\\%s.lnk", folder, fileName) >= static_cast<int>(sizeof shortcut))
        return;

    CoInitialize(nullptr);
    IClassFactory* factory = nullptr;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoGetClassObject(CLSID_ShellLink, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)))) {
        factory->CreateInstance(nullptr, IID_IShellLinkA, reinterpret_cast<void**>(&link));
        factory->Release();
    }
    if (link) {
        WriteToUnInstall(false, shortcut, nullptr);
        if (menu)
            CreateBaseDirectory(shortcut);
        link->SetPath(target);
        link->SetArguments("");
        link->SetDescription(fileName);
        link->SetWorkingDirectory(directory);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            WCHAR wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, shortcut, -1, wide, MAX_PATH);
            HRESULT saved = file->Save(wide, TRUE);
            LogLine("shortcut %s -> %s: %s", shortcut, target, SUCCEEDED(saved) ? "made" : "failed");
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
}

void MakeShortcut(short kind, const Installation& installation) {
    int end = CfgListEnd(static_cast<short>(kSecIndex1 + kind), kLnkCfg);
    const char* destination = installation.destination;
    for (int i = 1; i < end; ++i) {
        char number[16];
        char entry[kCfgValueSize];
        snprintf(number, sizeof number, "%d", i);
        GetFromCfg(number, entry, static_cast<short>(kSecDesktop + kind), kLnkCfg);
        if (entry[0] == '\0')
            continue;
        char target[MAX_PATH];
        if (snprintf(target, sizeof target, "%s\\%s", destination, entry) >= static_cast<int>(sizeof target))
            continue;
        DodajSkrot(target, kind != 0, installation.product, installation.scope);
    }
}
