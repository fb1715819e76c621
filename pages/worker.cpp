// The extraction worker of the progress page and its progress report. The
// worker reaches the interface only through sent messages; the interface
// thread never waits for it without handling those messages, so neither can
// block the other.
#include "pages/worker.h"

#include <commctrl.h>
#include <cstdio>

#include "base/state.h"
#include "package/destination.h"
#include "package/extract.h"
#include "package/locator.h"

namespace {

HANDLE* WorkerThread() {
    static HANDLE thread = nullptr;
    return &thread;
}

// The worker's own copy of its destination, handed to its thread.
char* WorkerDestination() {
    static char destination[MAX_PATH];
    return destination;
}

// 1 while the worker extracts; cleared before it sends its completion.
volatile LONG* WorkerExtracting() {
    static volatile LONG extracting = 0;
    return &extracting;
}

void ReportToPage(short value, bool bar) { Progress(value, bar); }

}  // namespace

int MsgLoop(HWND window) {
    MSG msg;
    if (!PeekMessageA(&msg, window, 0, 0, PM_REMOVE))
        return 0;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return 1;
}

int Progress(short value, bool bar) {
    static short posprev[2] = {100, 100};
    HWND page = HwndMain()[PAGE_PROGRESS];
    SendDlgItemMessageA(page, IDC_PROGRESS_BAR + bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    if (value != posprev[bar]) {
        char label[16];
        snprintf(label, sizeof label, "%d%%", value);
        SetDlgItemTextA(page, IDC_PROGRESS_PERCENT + bar, label);
        posprev[bar] = value;
    }
    return MsgLoop(HwndMain()[PAGE_LANGUAGE]);
}

DWORD WINAPI RozpakujBin(LPVOID parameter) {
    char* destination = static_cast<char*>(parameter);
    *PaczkaZProgramem() = 1;
    *ProgressReporter() = ReportToPage;
    SectionResult result = Rozpakowanie(destination, kModePlain, *HandleToGzc());
    // A failed section has taken back its files and ended the pages; the
    // folders the destination page made for it go too.
    if (result != kSectionOk && result != kSectionStopped)
        RemoveDestinationFolders();
    InterlockedExchange(WorkerExtracting(), 0);
    if (!*StopExtraction())
        SendMessageA(HwndMain()[PAGE_PROGRESS], WM_COMMAND, IDC_PROGRESS_DONE, 0);
    return 1;
}

void RozpakujProgram(const char* destination) {
    snprintf(WorkerDestination(), MAX_PATH, "%s", destination);
    InterlockedExchange(WorkerExtracting(), 1);
    *WorkerThread() = CreateThread(nullptr, 0, RozpakujBin, WorkerDestination(), 0, nullptr);
    if (!*WorkerThread())
        InterlockedExchange(WorkerExtracting(), 0);
}

void StopWorker(bool always) {
    HANDLE thread = *WorkerThread();
    if (!thread || (!always && *WorkerExtracting() == 0))
        return;
    *StopExtraction() = 1;
    // Wait for the thread while handling what it sends us (progress, the
    // close request of a damaged section).
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread);
    *WorkerThread() = nullptr;
}
