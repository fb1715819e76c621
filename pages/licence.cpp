// The licence page (template 52): shows the licence text, which must be
// accepted with check box 300 before button 104 leads on.
#include "pages/licence.h"

#include <cstdio>
#include <cstdlib>

#include "base/scratch.h"
#include "base/state.h"
#include "config/config.h"
#include "lang/pagetexts.h"
#include "pages/destination.h"
#include "pages/flow.h"

void WypelniaOknoLicencji(HWND page) {
    char folder[MAX_PATH];
    char name[kCfgValueSize];
    char path[MAX_PATH];
    ScratchRead(kScratchInstall, folder, sizeof folder);
    GetFromCfg("2", name, kSecCfg, kInitCfg);
    // A path that does not fit names no file the installer could open.
    if (snprintf(path, sizeof path, "%s\\%s", folder, name) >= static_cast<int>(sizeof path))
        return;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if ((size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || size == 0xFFFFFFFFu) {
        CloseHandle(file);
        return;
    }
    char* text = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
    if (text) {
        DWORD got = 0;
        if (ReadFile(file, text, size, &got, nullptr)) {
            text[got] = '\0';
            SetDlgItemTextA(page, IDC_LICENCE_TEXT, text);
        }
        free(text);
    }
    CloseHandle(file);
}

void CheckButton() {
    HWND page = HwndMain()[PAGE_LICENCE];
    EnableWindow(GetDlgItem(page, IDC_LICENCE_NEXT), IsDlgButtonChecked(page, IDC_LICENCE_ACCEPT) != 0);
}

INT_PTR CALLBACK DialogProc3(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[PAGE_LICENCE] = hwnd;
        InitLang2(hwnd);
        WypelniaOknoLicencji(hwnd);
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_LICENCE_NEXT:
            NextPage(hwnd, DialogProc5, IDD_DESTINATION);
            return TRUE;
        case IDC_LICENCE_CANCEL:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        case IDC_LICENCE_ACCEPT:
            CheckButton();
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
