// brondale-launched: a program for the installer to start. It appends its own
// file name, working folder and creation time to the file named by
// BRONDALE_LAUNCH_LOG, one line per start, and ends at once; then, for the
// cases that ask who started it, its parent's process id and its token's
// elevation type. The creation time orders the starts: two programs started
// close together may write their lines the other way round.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

namespace {

DWORD Parent() {
    DWORD parent = 0, self = GetCurrentProcessId();
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

int Elevation() {
    HANDLE token = nullptr;
    TOKEN_ELEVATION_TYPE type = static_cast<TOKEN_ELEVATION_TYPE>(0);
    DWORD got = 0;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        GetTokenInformation(token, TokenElevationType, &type, sizeof type, &got);
        CloseHandle(token);
    }
    return type;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char log[MAX_PATH];
    if (!GetEnvironmentVariableA("BRONDALE_LAUNCH_LOG", log, sizeof log))
        return 1;
    char exe[MAX_PATH], folder[MAX_PATH], line[3 * MAX_PATH];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    GetCurrentDirectoryA(sizeof folder, folder);
    const char* name = strrchr(exe, '\\');
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    unsigned long long when = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    int n = snprintf(line, sizeof line, "%020llu|%s|%s|%lu|%d\r\n", when, name ? name + 1 : exe, folder,
                     static_cast<unsigned long>(Parent()), Elevation());
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD put = 0;
            WriteFile(h, line, static_cast<DWORD>(n), &put, nullptr);
            CloseHandle(h);
            return 0;
        }
        Sleep(10);  // another start is writing
    }
    return 2;
}
