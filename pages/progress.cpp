// The progress page (template 53): starts the extraction worker and, on its
// completion command, opens the options page.
#include <windows.h>

#include "lang/pagetexts.h"
#include "pages/pages.h"
#include "pages/worker.h"

INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[PAGE_PROGRESS] = hwnd;
        InitLang4(hwnd);
        RozpakujProgram();
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_PROGRESS_CANCEL:
            SendMessageA(hwnd, WM_CLOSE, 0, 0);
            return TRUE;
        case IDC_PROGRESS_DONE:
            // A completion that arrives while the wizard is ending opens
            // nothing.
            if (HwndMain()[PAGE_PROGRESS] == hwnd)
                NextPage(hwnd, DialogProc7, IDD_OPTIONS);
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
