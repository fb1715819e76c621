// The language page (template 50): prepares the run while it initialises,
// then records the chosen language and leads on.
#include "pages/language.h"

#include <cstring>

#include "base/files.h"
#include "base/names.h"
#include "base/state.h"
#include "base/switches.h"
#include "lang/languages.h"
#include "package/extract.h"
#include "pages/confirm.h"
#include "pages/flow.h"
#include "trust/codepage.h"
#include "trust/scratch.h"

namespace {

BOOL OnInit(HWND hwnd) {
    char temp[MAX_PATH];
    bool refused = UsableTempFolder(temp, sizeof temp) == kTempNone || ustawtmp(temp);
    if (!refused) {
        GetCfg();
        refused = !ScratchFoldersHeld();
    }
    if (refused) {
        if (tmp_dir()[0] != '\0')
            EmptyScratch();
        tmp_dir()[0] = '\0';
        Tell("The temporary folder cannot be used.", Brondale(), MB_ICONERROR, IDOK);
        EndDialog(hwnd, 0);
        return FALSE;
    }
    LogLine("scratch folder: %s", tmp_dir());
    HwndMain()[PAGE_LANGUAGE] = hwnd;
    RozpakujJezyki();
    WypelnijCombo();
    // Every page shares the dialog class, so this is the icon of them all.
    SetClassLongA(hwnd, GCL_HICON,
                  static_cast<LONG>(reinterpret_cast<LONG_PTR>(LoadIconA(GetModuleHandleA(nullptr),
                                                                         MAKEINTRESOURCEA(IDI_LANGUAGE)))));
    return FALSE;
}

BOOL OnCommand(HWND hwnd, WORD id) {
    switch (id) {
    case IDC_LANGUAGE_OK:
        ZapiszJezyk();
        NextPage(hwnd, DialogProc2, IDD_CONFIRM);
        return TRUE;
    case IDC_LANGUAGE_CANCEL:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInit(hwnd);
    case WM_COMMAND:
        return OnCommand(hwnd, LOWORD(wparam));
    case WM_CLOSE:
        return OnPageClose(false);
    case WM_DESTROY:
        return OnPageDestroy();
    default:
        return FALSE;
    }
}
