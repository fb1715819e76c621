// The uninstaller's switches and its log; the parser and the log are the
// installer's own (shell/switches), so both programs read a command line
// and write a log the same way.
#include "uninst/quiet.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "base/format.h"
#include "base/switches.h"

namespace {

const char kUsage[] =
    "Switches (with / or -, in any case):\r\n"
    "/S\tremove silently: no question, no message\r\n"
    "/LOG=file\twrite a log of the removal\r\n"
    "/?\tthis list";

} // namespace

bool TakeUninstallSwitches(const char* arguments, int* exitCode) {
    if (!arguments || arguments[strspn(arguments, " \t")] == '\0')
        return false;
    bool understood = ParseSwitches(arguments, false, RunSwitches());
    if (RunSwitches()->log[0] != '\0' && LogOpen(RunSwitches()->log)) {
        char self[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
        LogLine("%s uninstaller %s", kInstallerName, n > 0 && n < sizeof self ? self : "");
        LogLine("arguments: %s", arguments);
    }
    if (!understood) {
        std::string text = std::string("Unknown switch: ") + RunSwitches()->unknown + "\r\n\r\n" + kUsage;
        Tell(text.c_str(), kInstallerName, MB_ICONERROR, IDOK);
        *exitCode = EndUninstall(kUnknownSwitch);
        return true;
    }
    if (RunSwitches()->help) {
        Tell(kUsage, kInstallerName, MB_ICONINFORMATION, IDOK);
        *exitCode = EndUninstall(0);
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
