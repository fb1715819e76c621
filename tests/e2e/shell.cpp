// brondale-shell: plays the desktop shell for the end-to-end cases. Wine
// runs no desktop shell of its own, so an installer under Wine sees an
// elevated run with no shell and starts nothing; this program registers a
// window of its own as the shell (SetShellWindow) and waits until it is
// ended. Its token is the installer's user's, with the same rights, as
// Wine gives every process: the route where a program may start directly.
#include <windows.h>

extern "C" __declspec(dllimport) BOOL WINAPI SetShellWindow(HWND window);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HWND window = CreateWindowExA(0, "STATIC", "brondale-shell", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
    if (!window || !SetShellWindow(window))
        return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
