// The destination page (template 54): proposes Program Files\<product>, lets
// the user browse or type another folder, and on 109 checks the path's form
// and length and whose its folders are, creates and holds them (remembered,
// so that a cancel removes them) and records it under key 10; a refusal
// names the folder and why.
#include "pages/destination.h"

#include <cstdio>
#include <cstring>
#include <ole2.h>
#include <shlobj.h>

#include "base/names.h"
#include "base/state.h"
#include "base/switches.h"
#include "lang/pagetexts.h"
#include "lang/texts.h"
#include "package/destination.h"
#include "package/programfiles.h"
#include "pages/flow.h"
#include "pages/progress.h"
#include "trust/codepage.h"

char* Wybierzfolderwktrymzostaniezainstalowanyprogram() { return DefaultText(7); }

void PobiezFolder(char* buffer) {
    if (buffer) {
        ProgramFilesFolder(buffer);
        return;
    }
    HWND page = HwndMain()[PAGE_DESTINATION];
    // The new dialog style needs COM in this thread.
    HRESULT ole = OleInitialize(nullptr);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
        char chosen[MAX_PATH];
        BROWSEINFOA info;
        memset(&info, 0, sizeof info);
        info.hwndOwner = page;
        info.pszDisplayName = chosen;
        info.lpszTitle = GetLang(7, Wybierzfolderwktrymzostaniezainstalowanyprogram());
        info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        LPITEMIDLIST result = SHBrowseForFolderA(&info);
        if (result) {
            // The folder's own name, letter for letter: the check of the
            // forward button tells whether the code page can write it.
            WCHAR wide[MAX_PATH];
            if (SHGetPathFromIDListW(result, wide))
                SetDlgItemTextW(page, IDC_DESTINATION_PATH, wide);
            allocator->Free(result);
        }
        allocator->Release();
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
}

void SciezkaInstalacyjna() {
    char proposal[MAX_PATH];
    ProposeDestination(proposal, *RunScope());
    SetDlgItemTextA(HwndMain()[PAGE_DESTINATION], IDC_DESTINATION_PATH, proposal);
}

bool SprawdzSciezke() {
    // Read as typed: the code page's own reading would put "?" or a
    // look-alike (another folder) for a letter it cannot write.
    WCHAR typed[MAX_PATH];
    char path[MAX_PATH];
    GetDlgItemTextW(HwndMain()[PAGE_DESTINATION], IDC_DESTINATION_PATH, typed, MAX_PATH);
    if (!ExactInCodePage(typed, path, sizeof path)) {
        LogLine("destination: the chosen folder has letters that the code page %u cannot write", GetACP());
        Tell(GetLang(47, DefaultText(47)), Brondale(), MB_ICONERROR, IDOK);
        return true;
    }
    DestinationCheck check = AcceptDestination(path, *RunScope());
    if (check.verdict == kDestinationAccepted)
        return false;
    if (check.verdict == kDestinationBusy) {
        Tell(GetLang(55, DefaultText(55)), Brondale(), MB_ICONWARNING, IDOK);
        return true;
    }
    unsigned id = DestinationTextId(check.verdict);
    // A folder along the path is at fault: the text names it and why.
    char text[256 + MAX_PATH + 2];
    snprintf(text, sizeof text, "%s%s%s", GetLang(id, DefaultText(id)), check.folder[0] ? "\r\n" : "", check.folder);
    Tell(text, Brondale(), MB_ICONERROR, IDOK);
    return true;
}

void EnableBtn() {
    HWND page = HwndMain()[PAGE_DESTINATION];
    char path[MAX_PATH];
    GetDlgItemTextA(page, IDC_DESTINATION_PATH, path, sizeof path);
    EnableWindow(GetDlgItem(page, IDC_DESTINATION_NEXT), path[0] != '\0');
}

INT_PTR CALLBACK DialogProc5(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[PAGE_DESTINATION] = hwnd;
        InitLang3(hwnd);
        SciezkaInstalacyjna();
        if (RunSwitches()->destination[0] != '\0')
            SetDlgItemTextA(hwnd, IDC_DESTINATION_PATH, RunSwitches()->destination);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_DESTINATION_BROWSE:
            PobiezFolder(nullptr);
            return TRUE;
        case IDC_DESTINATION_NEXT:
            if (!SprawdzSciezke())
                NextPage(hwnd, DialogProc6, IDD_PROGRESS);
            return TRUE;
        case IDC_DESTINATION_CANCEL:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        case IDC_DESTINATION_PATH:
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
