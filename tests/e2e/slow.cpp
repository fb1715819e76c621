// brondale-slow: a program that takes its time, for checking that whoever
// starts it waits for its end. It appends "0|NAME:start|FOLDER" to the file
// named by BRONDALE_LAUNCH_LOG, sleeps 700 ms, then appends
// "0|NAME:end|FOLDER", and ends.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

void Append(const char* log, const char* line) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE h = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            DWORD put = 0;
            WriteFile(h, line, static_cast<DWORD>(strlen(line)), &put, nullptr);
            CloseHandle(h);
            return;
        }
        Sleep(10);  // another start is writing
    }
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
    name = name ? name + 1 : exe;
    snprintf(line, sizeof line, "0|%s:start|%s\r\n", name, folder);
    Append(log, line);
    Sleep(700);
    snprintf(line, sizeof line, "0|%s:end|%s\r\n", name, folder);
    Append(log, line);
    return 0;
}
