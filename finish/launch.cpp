// Launches at the end of the installation, never waited for. The route of
// each file is ChooseLaunchRoute's (finish/launchas.h): an elevated installer
// has the desktop shell open them, so that they run with the logged-on
// user's rights, or starts a program itself only where that hands nothing
// on; what it does not open, the finish names. The elevated half of a run
// with a user's half opens nothing: it writes each file into its report,
// and the user's half starts them here, with its own rights.
#include <cstdio>
#include <cstring>
#include <objbase.h>
#include <sddl.h>
#include <exdisp.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "base/names.h"
#include "base/switches.h"
#include "config/config.h"
#include "finish/launch.h"
#include "finish/launchas.h"
#include "lang/texts.h"
#include "trust/channel.h"
#include "trust/program.h"

namespace {

// This run as the route's choice needs it: this token, the run's switches
// and whose rights the desktop shell (the process of GetShellWindow) has.
LaunchSituation CurrentSituation() {
    TokenFacts own, shell;
    ReadToken(GetCurrentProcess(), &own);
    LaunchSituation situation = {own.elevation, own.isSystem, Unattended(), kShellMissing};
    HWND desktop = GetShellWindow();
    DWORD id = 0;
    if (!desktop || !GetWindowThreadProcessId(desktop, &id) || id == 0)
        return situation;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process)
        return situation;
    bool read = ReadToken(process, &shell) && own.user[0] != '\0';
    CloseHandle(process);
    situation.shell = CompareShell(true, read, read && strcmp(shell.user, own.user) == 0, shell.elevation,
                                   own.elevation);
    return situation;
}

// The files this run did not open, one a line, for the finish to name.
struct NotStarted {
    char names[2048];
};

NotStarted* Skipped() {
    static NotStarted skipped;
    return &skipped;
}

void Skip(const char* file) {
    NotStarted* s = Skipped();
    size_t used = strlen(s->names);
    snprintf(s->names + used, sizeof s->names - used, "\r\n%s", file);
}

// What the elevated half writes down for its user's half instead of
// opening it.
struct Collected {
    bool on;
    HalfReport report;
};

Collected* ForUserHalf() {
    static Collected collected = {false, {nullptr, 0, 0}};
    return &collected;
}

// One file for the user's half: its role and its name relative to
// destination, which the report names first.
void Collect(const char* role, const char* relative, const char* destination) {
    HalfReport* report = &ForUserHalf()->report;
    bool written = (report->used > 0 || ReportAdd(report, "destination", destination)) &&
                   ReportAdd(report, role, relative);
    LogLine("launch %s: %s", relative, written ? "left to the user's half" : "not started, the report has no room");
}

// Starts the program at path itself, without a shell or a handler, in
// directory (or its own folder), handing it none of this process's handles.
bool StartProgram(const char* path, const char* directory) {
    char folder[MAX_PATH], line[MAX_PATH + 3];
    snprintf(folder, sizeof folder, "%s", directory ? directory : path);
    if (!directory) {
        char* slash = strrchr(folder, '\\');
        if (slash)
            *slash = '\0';
    }
    snprintf(line, sizeof line, "\"%s\"", path);
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(path, line, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
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
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser,
                                         reinterpret_cast<void**>(&browser))) &&
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

// Opens one file by the route ChooseLaunchRoute gives it; file is a full
// path, or a name relative to directory.
void LaunchOne(const char* file, const char* directory, LaunchKind kind) {
    if (ForUserHalf()->on)
        return;
    char path[MAX_PATH];
    if (directory && snprintf(path, sizeof path, "%s\\%s", directory, file) >= static_cast<int>(sizeof path))
        return;
    const char* full = directory ? path : file;
    LaunchSituation situation = CurrentSituation();
    LaunchRoute route = ChooseLaunchRoute(situation, kind, IsProgramPath(full));
    bool done = false;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (route == kLaunchThroughShell) {
        IShellDispatch2* shell = DesktopShell();
        done = shell && RunAsDesktopUser(shell, file, directory);
        Release(&shell);
        // Only a run without elevation may still open it itself.
        if (!done && !RunIsElevated(situation))
            route = kLaunchDirect;
    }
    if (route == kLaunchDirect)
        done = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, file, nullptr, directory, SW_SHOWNORMAL)) > 32;
    if (route == kLaunchProcess)
        done = StartProgram(full, directory);
    CoUninitialize();
    if (route == kLaunchNot || (!done && route == kLaunchThroughShell))
        Skip(full);
    LogLine("launch %s: %s", file,
            route == kLaunchNot ? "not started: this run is elevated and has no way to start it without its rights"
            : done              ? "started"
                                : "failed");
}

}  // namespace

void howtorun(const char* file, const char* directory) {
    if (ForUserHalf()->on)
        Collect("info", file, directory);
    LaunchOne(file, directory, kLaunchInformation);
}

void LaunchesForUserHalf() { ForUserHalf()->on = true; }

const HalfReport& CollectedLaunches() { return ForUserHalf()->report; }

void StartReported(const char* bytes, size_t size, const char* destination) {
    char name[16], value[MAX_PATH], path[MAX_PATH];
    size_t at = 0;
    while (NextReportEntry(bytes, size, &at, name, value)) {
        if (strcmp(name, "info") == 0) {
            LaunchOne(value, destination, kLaunchInformation);
            continue;
        }
        bool always = strcmp(name, "always") == 0;
        if ((!always && strcmp(name, "chosen") != 0) ||
            snprintf(path, sizeof path, "%s\\%s", destination, value) >= static_cast<int>(sizeof path))
            continue;
        LaunchOne(path, nullptr, always ? kLaunchAlways : kLaunchChosen);
        Sleep(100);
    }
}

void ReportNotStarted() {
    NotStarted* s = Skipped();
    if (s->names[0] == '\0')
        return;
    char text[256 + sizeof s->names];
    snprintf(text, sizeof text, "%s%s", GetLang(38, DefaultText(38)), s->names);
    s->names[0] = '\0';
    Tell(text, Brondale(), MB_ICONWARNING, IDOK);
}

int runfrominitcfg(char* value, char* path, char* number, char* flag, bool always, const char* destination) {
    int end = CfgListEnd(kSecIndex, kInitCfg);
    int started = 0;
    for (int i = 1; i < end; ++i) {
        snprintf(number, 16, "%d", i);
        GetFromCfg(number, value, kSecRun, kInitCfg);
        GetFromCfg(number, flag, kSecSilent, kInitCfg);
        if (value[0] == '\0' || strlen(flag) != 1)
            continue;
        if (flag[0] != (always ? '1' : '0'))
            continue;
        if (ForUserHalf()->on) {
            Collect(always ? "always" : "chosen", value, destination);
            ++started;
            continue;
        }
        if (snprintf(path, MAX_PATH, "%s\\%s", destination, value) >= MAX_PATH)
            continue;
        LaunchOne(path, nullptr, always ? kLaunchAlways : kLaunchChosen);
        ++started;
        Sleep(100);
    }
    return started;
}
