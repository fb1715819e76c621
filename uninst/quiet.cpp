// The uninstaller's switches and its log; the command line is taken and the
// log written by the installer's own code (base/switches.h, base/log.h), so
// both programs read a command line and write a log the same way.
#include "uninst/quiet.h"

#include <windows.h>

#include "base/switches.h"

namespace {

const char kUsage[] =
    "Switches (with / or -, in any case):\r\n"
    "/S\tremove silently: no question, no message\r\n"
    "/LOG=file\twrite a log of the removal\r\n"
    "/?\tthis list";

}  // namespace

bool TakeUninstallSwitches(const char* arguments, int* exitCode) {
    static const SwitchProgram kUninstaller = {false, "uninstaller", kUsage, kUnknownSwitch};
    if (TakeCommandLine(arguments, kUninstaller, exitCode)) {
        *exitCode = EndUninstall(*exitCode);
        return true;
    }
    if (Unattended())
        LogLine("silent removal");
    return false;
}

int RemovalExitCode(int code, const Outcome& outcome) {
    if (code == 0 && Unattended() && (!outcome.kept.empty() || outcome.folderKept))
        return kUserFilesStay;
    return code;
}

int EndUninstall(int code) {
    LogLine("exit code: %d", code);
    LogClose();
    return code;
}
