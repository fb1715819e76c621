// Process entry: every refusal exits with 0 before anything is created; a run
// that reached the wizard exits with 1 after its clean-up. Started with
// switches, the run may be silent instead and answers with its own codes.
#include <windows.h>

#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "finish/finish.h"
#include "pages/flow.h"
#include "pages/language.h"
#include "shell/silent.h"
#include "shell/startup.h"
#include "trust/dllsearch.h"
#include "trust/leftovers.h"

namespace {

void RunFinish(const FinishOptions& options) { ZakonczInstalace(options); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    RestrictDllSearch();
    int code = 0;
    if (TakeSwitches(arguments, &code))
        return code;
    if (Unattended())
        return EndRun(InstallSilently());
    if (WinWer() || WinSemaphore())
        return EndRun(0);
    RemoveDeadScratchFolders();
    *OnFinish() = RunFinish;
    StartMain(DialogProc, IDD_LANGUAGE, nullptr);
    MainMsgLoop();
    KoniecProgramu();
    return EndRun(tmp_dir()[0] != '\0' ? 1 : 0);
}
