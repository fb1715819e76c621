// The wizard's pages: dialog procedures, the page flow, the cancel question
// and the end of the wizard (Windows only).
#ifndef BRONDALE_PAGES_PAGES_H
#define BRONDALE_PAGES_PAGES_H

#include <windows.h>

#include "pages/state.h"

// Language page, template 50.
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Asks whether to abandon the installation, unless a package failure, an
// earlier Yes or the finish sequence already decided. True means the close
// request is dropped and the installation goes on.
bool CancelInstall();
// Ends every open page, innermost first, and clears the page table.
void ZakonczWszystko();
// Hides page, then runs template id with proc, owned by page. A page that
// cannot be created ends the wizard, so the user is never left with nothing.
void NextPage(HWND page, DLGPROC proc, int id);

#endif
