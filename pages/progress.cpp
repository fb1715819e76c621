// The progress page (template 53).
#include "lang/pagetexts.h"
#include "pages/pages.h"

INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[5] = hwnd;
        InitLang4(hwnd);
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wparam) == 107) {
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        if (!CancelInstall())
            ZakonczWszystko();
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}
