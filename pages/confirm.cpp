// The confirmation page (template 51): asks whether to install the product.
#include "pages/confirm.h"

#include "base/state.h"
#include "config/config.h"
#include "lang/pagetexts.h"
#include "pages/destination.h"
#include "pages/flow.h"
#include "pages/licence.h"

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
