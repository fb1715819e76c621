// Launches at the end of the installation, through the shell, never waited
// for.
#include <cstdio>
#include <cstring>
#include <objbase.h>
#include <shellapi.h>

#include "config/config.h"
#include "finish/finish.h"
#include "shell/scratch.h"
#include "shell/switches.h"

void howtorun(const char* file, const char* directory) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    HINSTANCE result = ShellExecuteA(nullptr, nullptr, file, nullptr, directory, SW_SHOWNORMAL);
    LogLine("launch %s: %s", file, reinterpret_cast<INT_PTR>(result) > 32 ? "started" : "failed");
    CoUninitialize();
}

int runfrominitcfg(char* value, char* path, char* number, char* flag, bool always) {
    int end = CfgListEnd(kSecIndex, kInitCfg);
    char destination[MAX_PATH];
    dircfg("10", destination, 0, sizeof destination);
    int started = 0;
    for (int i = 1; i < end; ++i) {
        snprintf(number, 16, "%d", i);
        GetFromCfg(number, value, kSecRun, kInitCfg);
        GetFromCfg(number, flag, kSecSilent, kInitCfg);
        if (value[0] == '\0' || strlen(flag) != 1)
            continue;
        if (flag[0] != (always ? '1' : '0'))
            continue;
        if (snprintf(path, MAX_PATH, "%s\\%s", destination, value) >= MAX_PATH)
            continue;
        howtorun(path, nullptr);
        ++started;
        Sleep(100);
    }
    return started;
}
