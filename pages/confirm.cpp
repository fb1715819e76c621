// The confirmation page (template 51): asks whether to install the product,
// and once more when it is an older version than the one installed.
#include "pages/confirm.h"

#include <cstdio>

#include "base/log.h"
#include "base/names.h"
#include "base/state.h"
#include "base/switches.h"
#include "config/config.h"
#include "lang/pagetexts.h"
#include "lang/texts.h"
#include "package/registered.h"
#include "pages/destination.h"
#include "pages/flow.h"
#include "pages/licence.h"

namespace {

// An older version over a newer one goes on only when the user says so
// (No is the default), or when /ALLOWDOWNGRADE did. The question names the
// installed version, then this one.
bool DowngradeAccepted() {
    char ours[kCfgValueSize], installed[64];
    if (RunSwitches()->allowDowngrade || PackageAgainstRegistered(UninstallRoot(*RunScope()), ours, installed) != kOlderThanInstalled)
        return true;
    char newer[256], text[2 * 256 + kCfgValueSize + 64 + 8];
    snprintf(newer, sizeof newer, "%s", GetLang(45, DefaultText(45)));
    snprintf(text, sizeof text, "%s\r\n%s\r\n\r\n%s\r\n%s", newer, installed, GetLang(46, DefaultText(46)), ours);
    bool yes = Tell(text, Brondale(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, IDNO) == IDYES;
    LogLine("version %s over the installed version %s: an older version over a newer one, %s", ours, installed,
            yes ? "the user chose to install it" : "the user chose not to, nothing was changed");
    return yes;
}

}  // namespace

INT_PTR DialogLicencji() {
    char licence[kCfgValueSize];
    GetFromCfg("2", licence, kSecCfg, kInitCfg);
    if (licence[0] != '\0')
        return StartMain(DialogProc3, IDD_LICENCE, HwndMain()[PAGE_CONFIRM]);
    return StartMain(DialogProc5, IDD_DESTINATION, HwndMain()[PAGE_CONFIRM]);
}

INT_PTR CALLBACK DialogProc2(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitLang1(hwnd);
        HwndMain()[PAGE_CONFIRM] = hwnd;
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_CONFIRM_INSTALL:
            if (!DowngradeAccepted()) {
                ZakonczWszystko();
                return TRUE;
            }
            ShowWindow(hwnd, SW_HIDE);
            if (DialogLicencji() == -1)
                ZakonczWszystko();
            return TRUE;
        case IDC_CONFIRM_CANCEL:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
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
