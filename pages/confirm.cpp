// The confirmation page (template 51): asks whether to install the product.
#include "config/config.h"
#include "lang/pagetexts.h"
#include "pages/pages.h"

INT_PTR DialogLicencji() {
    char licence[kCfgValueSize];
    GetFromCfg("2", licence, kSecCfg, kInitCfg);
    if (licence[0] != '\0')
        return StartMain(DialogProc3, 52, HwndMain()[1]);
    return StartMain(DialogProc5, 54, HwndMain()[1]);
}

INT_PTR CALLBACK DialogProc2(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        InitLang1(hwnd);
        HwndMain()[1] = hwnd;
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case 102:
            ShowWindow(hwnd, SW_HIDE);
            if (DialogLicencji() == -1)
                ZakonczWszystko();
            return TRUE;
        case 103:
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
