// The destination page (template 54): proposes Program Files\<product>, lets
// the user browse or type another folder, and on 109 checks the path's form
// and length, creates its folders (remembered, so that a cancel removes
// them) and records it under key 10.
#include <cstdio>
#include <cstring>
#include <ole2.h>
#include <shlobj.h>

#include "config/config.h"
#include "lang/pagetexts.h"
#include "lang/texts.h"
#include "package/extract.h"
#include "package/locator.h"
#include "pages/pages.h"
#include "base/files.h"
#include "base/names.h"
#include "base/scratch.h"
#include "base/switches.h"

char* Wybierzfolderwktrymzostaniezainstalowanyprogram() { return DefaultText(7); }

void PobiezFolder(char* buffer) {
    HWND page = HwndMain()[4];
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator)
        return;
    LPITEMIDLIST programFiles = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(page, CSIDL_PROGRAM_FILES, &programFiles))) {
        if (buffer) {
            if (!SHGetPathFromIDListA(programFiles, buffer))
                buffer[0] = '\0';
        } else {
            // The new dialog style needs COM in this thread.
            HRESULT ole = OleInitialize(nullptr);
            char chosen[MAX_PATH];
            BROWSEINFOA info;
            memset(&info, 0, sizeof info);
            info.hwndOwner = page;
            info.pszDisplayName = chosen;
            info.lpszTitle = GetLang(7, Wybierzfolderwktrymzostaniezainstalowanyprogram());
            info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
            LPITEMIDLIST result = SHBrowseForFolderA(&info);
            if (result) {
                if (SHGetPathFromIDListA(result, chosen))
                    SetDlgItemTextA(page, 402, chosen);
                allocator->Free(result);
            }
            if (SUCCEEDED(ole))
                OleUninitialize();
        }
        allocator->Free(programFiles);
    }
    allocator->Release();
}

void SciezkaInstalacyjna() {
    PobiezFolder(ProgramFiles());
    char name[kCfgValueSize];
    GetFromCfg("1", name, kSecCfg, kInitCfg);
    snprintf(NazwaProgramu(), 64, "%s", name);
    char proposal[MAX_PATH];
    snprintf(proposal, sizeof proposal, "%s\\%s", ProgramFiles(), NazwaProgramu());
    SetDlgItemTextA(HwndMain()[4], 402, proposal);
}

namespace {

// The folders an accepted destination created, parent first.
struct PageFolders {
    char path[32][MAX_PATH];
    int count;
};

PageFolders* FolderyStrony() {
    static PageFolders folders;
    return &folders;
}

void RememberFolder(const char* folder) {
    PageFolders* f = FolderyStrony();
    if (f->count < 32)
        snprintf(f->path[f->count++], MAX_PATH, "%s", folder);
}

// Whether every path of this package fits below destination. The program
// section's path list is read once, from where the package handle stands;
// when it cannot be read the section reader judges each path itself.
bool SciezkiMieszczaSie(const char* destination) {
    static bool known = false;
    static size_t longestPath = 0, longestFolder = 0;
    if (!known && *HandleToGzc() && *HandleToGzc() != INVALID_HANDLE_VALUE) {
        NajdluzszeSciezki(*HandleToGzc(), &longestPath, &longestFolder);
        known = true;
    }
    return MiejsceNaSciezki(strlen(destination), longestPath, longestFolder);
}

} // namespace

void UsunFolderyStrony() {
    PageFolders* f = FolderyStrony();
    while (f->count > 0)
        RemoveDirectoryA(f->path[--f->count]);
}

bool SprawdzSciezke() {
    char path[MAX_PATH];
    GetDlgItemTextA(HwndMain()[4], 402, path, sizeof path);
    if (!PrzyjmijSciezke(path))
        return false;
    Tell(GetLang(8, DefaultText(8)), Brondale(), MB_ICONERROR, IDOK);
    return true;
}

bool PrzyjmijSciezke(const char* path) {
    if (path[0] != '\0' && path[1] == ':' && path[2] == '\\' && SciezkiMieszczaSie(path)) {
        UsunFolderyStrony();
        size_t length = strlen(path);
        bool missing = path[length - 1] != '\\' && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
        CreateBaseDirectory(path, RememberFolder);
        // The chosen folder itself is created with the first file; it is
        // this run's when it is missing now.
        if (missing)
            RememberFolder(path);
        char stored[MAX_PATH];
        snprintf(stored, sizeof stored, "%s", path);
        dircfg("10", stored, 1, static_cast<int>(length));
        LogLine("destination: %s", path);
        return false;
    }
    LogLine("destination: %s: not a folder path of the form X:\\folder, or too long for the package", path);
    return true;
}

void EnableBtn() {
    HWND page = HwndMain()[4];
    char path[MAX_PATH];
    GetDlgItemTextA(page, 402, path, sizeof path);
    EnableWindow(GetDlgItem(page, 109), path[0] != '\0');
}

INT_PTR CALLBACK DialogProc5(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[4] = hwnd;
        InitLang3(hwnd);
        SciezkaInstalacyjna();
        if (RunSwitches()->destination[0] != '\0')
            SetDlgItemTextA(hwnd, 402, RunSwitches()->destination);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case 108:
            PobiezFolder(nullptr);
            return TRUE;
        case 109:
            if (!SprawdzSciezke())
                NextPage(hwnd, DialogProc6, 53);
            return TRUE;
        case 110:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        case 402:
            EnableBtn();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        return OnPageClose(false);
    case WM_DESTROY:
        return OnPageDestroy();
    default:
        return FALSE;
    }
}
