// The example product's program: a window that says it has been installed,
// and where from.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char exe[MAX_PATH], text[MAX_PATH + 64];
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    snprintf(text, sizeof text, "Brondale Demo is installed.\n\n%s", exe);
    MessageBoxA(nullptr, text, "Brondale Demo", MB_ICONINFORMATION);
    return 0;
}
