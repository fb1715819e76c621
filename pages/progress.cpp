// The progress page (template 53): starts the extraction worker and, on its
// completion command, opens the options page.
#include "pages/progress.h"

#include <windows.h>

#include "base/scratch.h"
#include "base/state.h"
#include "lang/pagetexts.h"
#include "pages/flow.h"
#include "pages/options.h"
#include "pages/worker.h"

namespace {

// The worker extracts into the destination that the destination page
// recorded.
void StartExtraction() {
    char destination[MAX_PATH];
    ScratchRead(kScratchDestination, destination, sizeof destination);
    RozpakujProgram(destination);
}

}  // namespace

INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HwndMain()[PAGE_PROGRESS] = hwnd;
        InitLang4(hwnd);
        StartExtraction();
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
