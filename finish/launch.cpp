// Launches at the end of the installation, through the shell, never waited
// for. An elevated installer has the desktop shell start them, so that they
// run with the logged-on user's rights, not the administrator's.
#include <cstdio>
#include <cstring>
#include <objbase.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "config/config.h"
#include "finish/launch.h"
#include "finish/launchas.h"
#include "base/scratch.h"
#include "base/switches.h"

namespace {

// The elevation type of a process's token (0 when it cannot be read) and,
// when isSystem is given, whether it is SYSTEM's.
int ElevationOf(HANDLE process, bool* isSystem) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return 0;
    TOKEN_ELEVATION_TYPE type;
    DWORD got = 0;
    int elevation = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &got) ? type : 0;
    union {
        TOKEN_USER user;
        BYTE bytes[256];
    } info;
    if (isSystem && GetTokenInformation(token, TokenUser, &info, sizeof info, &got))
        *isSystem = IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid) != FALSE;
    CloseHandle(token);
    return elevation;
}

// The elevation type of the desktop shell's process; 0 when there is none.
// Wine reports every process as the elevated half of a split token, the
// shell too, so there the launches stay direct.
int DesktopShellElevation() {
    HWND desktop = GetShellWindow();
    DWORD id = 0;
    if (!desktop || !GetWindowThreadProcessId(desktop, &id) || id == 0)
        return 0;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process)
        return 0;
    int elevation = ElevationOf(process, nullptr);
    CloseHandle(process);
    return elevation;
}

template <typename T> void Release(T** p) {
    if (*p)
        (*p)->Release();
    *p = nullptr;
}

// The shell of the logged-on user's desktop, reached through its window's
// view: a process of the user's, so what it starts gets the user's rights.
// Null when there is no such shell.
IShellDispatch2* DesktopShell() {
    IShellWindows* windows = nullptr;
    IDispatch* found = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    VARIANT empty;
    VariantInit(&empty);
    long window = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows))) &&
        windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &found) == S_OK && found &&
        SUCCEEDED(found->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider))) &&
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background))) &&
        SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView))) &&
        SUCCEEDED(folderView->get_Application(&application)) && application)
        application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell));
    Release(&application);
    Release(&folderView);
    Release(&background);
    Release(&view);
    Release(&browser);
    Release(&provider);
    Release(&found);
    Release(&windows);
    return shell;
}

// Has the desktop shell open file with the working folder directory (or
// none) and SW_SHOWNORMAL. False when the shell refused the call.
bool RunAsDesktopUser(IShellDispatch2* shell, const char* file, const char* directory) {
    WCHAR wide[MAX_PATH], folder[MAX_PATH];
    if (!MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH))
        return false;
    BSTR name = SysAllocString(wide);
    VARIANT args, dir, verb, show;
    VariantInit(&args);
    VariantInit(&dir);
    VariantInit(&verb);
    VariantInit(&show);
    if (directory && MultiByteToWideChar(CP_ACP, 0, directory, -1, folder, MAX_PATH)) {
        dir.vt = VT_BSTR;
        dir.bstrVal = SysAllocString(folder);
    }
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    HRESULT result = name ? shell->ShellExecute(name, args, dir, verb, show) : E_OUTOFMEMORY;
    VariantClear(&dir);
    SysFreeString(name);
    return SUCCEEDED(result);
}

} // namespace

void howtorun(const char* file, const char* directory) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bool isSystem = false;
    int elevation = ElevationOf(GetCurrentProcess(), &isSystem);
    int shellElevation = elevation == kElevationFull ? DesktopShellElevation() : 0;
    bool done = false;
    if (ChooseLaunchRoute(elevation, isSystem, shellElevation) == kLaunchAsDesktopUser) {
        IShellDispatch2* shell = DesktopShell();
        done = shell && RunAsDesktopUser(shell, file, directory);
        Release(&shell);
    }
    // Where the desktop shell cannot start it, the program still starts.
    if (!done)
        done = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, file, nullptr, directory, SW_SHOWNORMAL)) > 32;
    LogLine("launch %s: %s", file, done ? "started" : "failed");
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
