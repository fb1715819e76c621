// The progress page (template 53): starts the extraction worker and, on its
// completion command, opens the options page.
#include <windows.h>

#include "lang/pagetexts.h"
#include "pages/pages.h"
#include "pages/worker.h"

INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[5] = hwnd;
        InitLang4(hwnd);
        RozpakujProgram();
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case 107:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        case 112:
            // A completion that arrives while the wizard is ending opens
            // nothing.
            if (HwndMain()[5] == hwnd)
                NextPage(hwnd, DialogProc7, 56);
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
