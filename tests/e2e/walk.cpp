// brondale-walk: clicks through an installer the way a user accepting every
// default would, saving a screenshot of each page on the way.
//   brondale-walk INSTALLER.exe OUT_FOLDER
// It starts the installer as a desktop shell does, with the unelevated half
// of its token. Pages are told apart by their controls; each is captured
// once it has been painted, then its forward button is pressed. Message boxes are captured and
// answered with their first button. Exits with the installer's exit code.
#include <windows.h>

#include <cstdio>
#include <set>
#include <vector>
#include <string>

#include "base/resource.h"
#include "harness.h"

namespace {

bool SaveBitmap(HWND window, const std::string& path) {
    RECT r;
    GetWindowRect(window, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
    DWORD size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    std::string data(reinterpret_cast<const char*>(&file), sizeof file);
    data.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    data.append(static_cast<const char*>(bits), size);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return WriteFileText(path, data);
}

// The page's name and the button that leads on, told by its controls.
const char* PageName(HWND page, int* forward) {
    struct Page {
        int marker;
        const char* name;
        int forward;
    } pages[] = {{IDC_LANGUAGE_LIST, "language", IDC_LANGUAGE_OK},
                 {IDC_CONFIRM_TEXT, "confirmation", IDC_CONFIRM_INSTALL},
                 {IDC_LICENCE_TEXT, "licence", IDC_LICENCE_NEXT},
                 {IDC_DESTINATION_PATH, "destination", IDC_DESTINATION_NEXT},
                 {IDC_PROGRESS_BAR, "progress", 0},
                 {IDC_OPTION_RUN, "options", IDC_OPTIONS_FINISH}};
    for (const Page& p : pages) {
        if (GetDlgItem(page, p.marker)) {
            *forward = p.forward;
            return p.name;
        }
    }
    *forward = 0;
    return "page";
}

BOOL CALLBACK CollectLaunched(HWND w, LPARAM p) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    RECT r;
    GetWindowRect(w, &r);
    if (pid != GetCurrentProcessId() && IsWindowVisible(w) && strcmp(cls, "Progman") != 0 &&
        strcmp(cls, "Shell_TrayWnd") != 0 && r.right - r.left < 1000)
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
    return TRUE;
}

// Visible top-level windows of other processes (the desktop's own excepted).
std::vector<HWND> Launched() {
    std::vector<HWND> windows;
    EnumWindows(CollectLaunched, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: brondale-walk INSTALLER.exe OUT_FOLDER\n");
        return 2;
    }
    std::string out = argv[2];
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    Installer run;
    // As the desktop's shell starts what a user opens: with the unelevated
    // half of the token, so that the installer's elevated half installs and
    // its user's half opens what the last page chose.
    if (!StartUnelevated(argv[1], std::string(temp) + "brondale-walk", &run)) {
        fprintf(stderr, "brondale-walk: cannot start %s\n", argv[1]);
        return 2;
    }
    std::set<HWND> seen;
    int shot = 0;
    for (int tick = 0; tick < 6000; ++tick) {
        if (WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        for (HWND w : Dialogs(run.process.dwProcessId)) {
            if (seen.count(w))
                continue;
            seen.insert(w);
            Sleep(120);  // let it paint
            int forward = 0;
            const char* name = IsMessageBox(w) ? "message" : PageName(w, &forward);
            char file[MAX_PATH];
            snprintf(file, sizeof file, "%s\\%02d-%s.bmp", out.c_str(), ++shot, name);
            SaveBitmap(w, file);
            printf("%s: %s\n", file, Text(w).c_str());
            fflush(stdout);
            if (IsMessageBox(w)) {
                Answer(w, GetDlgItem(w, IDOK) ? IDOK : IDYES);
            } else if (strcmp(name, "licence") == 0) {
                Click(w, IDC_LICENCE_ACCEPT);
                Sleep(100);
                Click(w, forward);
            } else if (forward) {
                Click(w, forward);
            }
        }
        Sleep(20);
    }
    DWORD code = 0;
    int result = WaitExit(&run, 10000, &code) ? static_cast<int>(code) : 3;
    if (result == 3)
        fprintf(stderr, "brondale-walk: the installer did not end\n");
    // What the installer started: capture it, then close it.
    Sleep(1500);
    for (HWND w : Launched()) {
        char file[MAX_PATH];
        snprintf(file, sizeof file, "%s\\%02d-started.bmp", out.c_str(), ++shot);
        SaveBitmap(w, file);
        printf("%s: %s\n", file, Text(w).c_str());
        PostMessageA(w, WM_CLOSE, 0, 0);
    }
    fflush(stdout);
    // The caller waits for this file: the virtual desktop itself does not end.
    WriteFileText(out + "\\walk-result.txt", std::to_string(result) + "\n");
    return result;
}
