// Process entry: every refusal exits with 0 before anything is created; a run
// that reached the wizard exits with 1 after its clean-up. Started with
// switches, the run may be silent instead and answers with its own codes.
// A run for every user started with a user's rights is the user's half: it
// returns the exit code of the elevated half it starts (shell/halves.h).
#include <windows.h>

#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "finish/finish.h"
#include "pages/flow.h"
#include "pages/language.h"
#include "shell/halves.h"
#include "shell/silent.h"
#include "shell/startup.h"
#include "trust/codepage.h"
#include "trust/dllsearch.h"
#include "trust/leftovers.h"

namespace {

void RunFinish(const FinishOptions& options) { ZakonczInstalace(options); }

// The scratch folders that runs which did not end left in the temporary
// folder this run will use, removed before it makes its own.
void RemoveDeadRunsFolders() {
    char temp[MAX_PATH];
    if (UsableTempFolder(temp, sizeof temp) != kTempNone)
        RemoveDeadScratchFolders(temp);
}

// The elevated half reports its exit code to its user's half, then logs it.
int End(int code) {
    AnswerUserHalf(code);
    return EndRun(code);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    RestrictDllSearch();
    int code = 0;
    if (TakeSwitches(arguments, &code))
        return code;
    if (RunAsUserHalf(arguments, &code))
        return EndRun(code);
    JoinUserHalf();
    if (Unattended())
        return End(InstallSilently());
    if (WinWer() || WinSemaphore())
        return End(0);
    RemoveDeadRunsFolders();
    if (!ScopeBeforeWizard(&code))
        return End(code);
    *OnFinish() = RunFinish;
    StartMain(DialogProc, IDD_LANGUAGE, nullptr);
    MainMsgLoop();
    KoniecProgramu();
    return End(tmp_dir()[0] != '\0' ? 1 : 0);
}
