// Process entry: every refusal exits with 0 before anything is created; a run
// that reached the wizard exits with 1 after its clean-up.
#include <windows.h>

#include "pages/pages.h"
#include "shell/scratch.h"
#include "shell/startup.h"
#include "trust/dllsearch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    if (WinWer() || WinSemaphore())
        return 0;
    StartMain(DialogProc, 50, nullptr);
    MainMsgLoop();
    KoniecProgramu();
    return tmp_dir()[0] != '\0' ? 1 : 0;
}
