// Process entry of the installer.
#include "package/extract.h"
#include "package/locator.h"
#include "shell/files.h"
#include "shell/scratch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (ustawtmp())
        return 0;
    GetCfg();
    RozpakujJezyki();
    if (*HandleToGzc() != nullptr && *HandleToGzc() != INVALID_HANDLE_VALUE)
        CloseHandle(*HandleToGzc());
    *HandleToGzc() = nullptr;
    wyliczpliki(tmp_dir());
    return 1;
}
