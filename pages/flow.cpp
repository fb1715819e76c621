// Page flow: the modal-dialog runner, the cancel question and the end of the
// wizard. The flags are single bytes; the extraction worker's requests reach
// here as sent messages.
#include "pages/flow.h"

#include "base/names.h"
#include "base/scratch.h"
#include "base/state.h"
#include "base/switches.h"
#include "lang/texts.h"
#include "package/destination.h"
#include "package/record.h"
#include "pages/worker.h"

namespace {

unsigned char* CancelEnabled() {
    static unsigned char enable = 1;
    return &enable;
}

}  // namespace

INT_PTR StartMain(DLGPROC proc, int id, HWND owner) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), owner, proc, 0);
}

bool CancelInstall() {
    if (*Error_2()) {
        *CancelEnabled() = 0;
        return false;
    }
    if (!*CancelEnabled() || !*InstalacjaZakonczona())
        return false;
    int answer = Tell(GetLang(9, DefaultText(9)), Brondale(), MB_YESNO | MB_ICONQUESTION, IDYES);
    if (answer == IDYES) {
        *CancelEnabled() = 0;
        return false;
    }
    return answer == IDNO;
}

void ZakonczWszystko() {
    HWND* pages = HwndMain();
    for (int slot = PAGE_SLOTS - 1; slot >= 0; --slot) {
        if (pages[slot]) {
            EndDialog(pages[slot], 1);
            pages[slot] = nullptr;
        }
    }
}

INT_PTR OnPageClose(bool cleanUp) {
    if (!CancelInstall()) {
        if (cleanUp)
            KasujZainstalowane();
        ZakonczWszystko();
    }
    return TRUE;
}

INT_PTR OnEndSession(WPARAM ending) {
    // Windows ends the process after this message: take back now, as a
    // cancel would, without asking.
    if (ending)
        KasujZainstalowane();
    return FALSE;
}

INT_PTR OnPageDestroy() {
    PostQuitMessage(0);
    return TRUE;
}

void NextPage(HWND page, DLGPROC proc, int id) {
    ShowWindow(page, SW_HIDE);
    if (StartMain(proc, id, page) == -1)
        ZakonczWszystko();
}

void KasujZainstalowane() {
    if (!*InstalacjaZakonczona())
        return;
    StopWorker(false);
    WrittenTakeBack();
    char destination[MAX_PATH];
    if (ScratchRead(kScratchDestination, destination, sizeof destination))
        RemoveDirectoryA(destination);
    RemoveDestinationFolders();
}
