// The page flow (Windows only): the modal-dialog runner, the cancel
// question, the end of the wizard and the clean-up of a cancelled
// installation.
#ifndef BRONDALE_PAGES_FLOW_H
#define BRONDALE_PAGES_FLOW_H

#include <windows.h>

// Runs dialog template id modally with proc, owned by owner; returns its
// result (-1 when the page cannot be created).
INT_PTR StartMain(DLGPROC proc, int id, HWND owner);

// Asks whether to abandon the installation, unless a package failure, an
// earlier Yes or the finish sequence already decided. True means the close
// request is dropped and the installation goes on.
bool CancelInstall();
// Ends every open page, innermost first, and clears the page table.
void ZakonczWszystko();
// Removes what a cancelled installation wrote into the destination: the
// files the program section wrote, the folders that leaves empty, then the
// destination folder itself (scratch key 10) if it is empty. Stops the
// worker first. Nothing once the finish sequence has begun.
void KasujZainstalowane();
// The close request of a page: unless the cancel question keeps the
// installation going, ends every page, removing what was installed first
// when cleanUp (the progress and options pages). Answers TRUE.
INT_PTR OnPageClose(bool cleanUp);
// The end of the Windows session (ending true): what the installation wrote
// so far is taken back, as a confirmed cancel would.
INT_PTR OnEndSession(WPARAM ending);
// A page's destruction posts the quit message. Answers TRUE.
INT_PTR OnPageDestroy();
// Hides page, then runs template id with proc, owned by page. A page that
// cannot be created ends the wizard, so the user is never left with nothing.
void NextPage(HWND page, DLGPROC proc, int id);

#endif
