// The options page (template 56): four final choices, each ticked from the
// start and enabled only when the configuration provides something for it.
#include "pages/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/scratch.h"
#include "base/switches.h"
#include "config/config.h"
#include "lang/pagetexts.h"
#include "pages/flow.h"

void CheckInFile(const char* file, const char* section, int control, const char* key) {
    char path[MAX_PATH];
    ScratchRead(kScratchInstall, path, sizeof path);
    strncat(path, file, sizeof path - 1 - strlen(path));
    char value[128];
    GetPrivateProfileStringA(section, key, "", value, sizeof value, path);
    if (value[0] != '\0')
        EnableWindow(GetDlgItem(HwndMain()[PAGE_OPTIONS], control), TRUE);
}

void CheckRunPrograms() {
    int end = CfgListEnd(kSecIndex, kInitCfg);
    // The scan includes the count key's own number.
    for (int i = 1; i <= end; ++i) {
        char key[16];
        char silent[kCfgValueSize];
        snprintf(key, sizeof key, "%d", i);
        GetFromCfg(key, silent, kSecSilent, kInitCfg);
        if (silent[0] == '0') {
            EnableWindow(GetDlgItem(HwndMain()[PAGE_OPTIONS], IDC_OPTION_RUN), TRUE);
            return;
        }
    }
}

void OdznaczCheckBoxy(HWND page) {
    for (int id = IDC_OPTION_DESKTOP; id <= IDC_OPTION_RUN; ++id)
        CheckDlgButton(page, id, SwitchUnticks(id) ? BST_UNCHECKED : BST_CHECKED);
    CheckRunPrograms();
    CheckInFile("\\init.cfg", "cfg", IDC_OPTION_INFO, "3");
    CheckInFile("\\lnk.cfg", "index1", IDC_OPTION_DESKTOP, "max");
    CheckInFile("\\lnk.cfg", "index2", IDC_OPTION_MENU, "max");
}

FinishOptions ChosenOptions(HWND page) {
    bool chosen[4];
    for (int i = 0; i < 4; ++i) {
        HWND box = GetDlgItem(page, IDC_OPTION_DESKTOP + i);
        chosen[i] = box && IsWindowEnabled(box) && SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    return FinishOptions{chosen[0], chosen[1], chosen[2], chosen[3]};
}

INT_PTR CALLBACK DialogProc7(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[PAGE_OPTIONS] = hwnd;
        InitLang5(hwnd);
        OdznaczCheckBoxy(hwnd);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_OPTIONS_FINISH) {
            ShowWindow(hwnd, SW_HIDE);
            if (*OnFinish())
                (*OnFinish())(ChosenOptions(hwnd));
            ZakonczWszystko();
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        return OnPageClose(true);
    case WM_ENDSESSION:
        return OnEndSession(wparam);
    case WM_DESTROY:
        return OnPageDestroy();
    default:
        return FALSE;
    }
}
