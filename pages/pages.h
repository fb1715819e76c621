// The wizard's pages: dialog procedures, the page flow, the cancel question
// and the end of the wizard (Windows only).
#ifndef BRONDALE_PAGES_PAGES_H
#define BRONDALE_PAGES_PAGES_H

#include <windows.h>

#include "base/state.h"

// Dialog procedures of the pages, in page order: language (template 50),
// confirmation (51), licence (52), destination (54), progress (53).
INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK DialogProc2(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK DialogProc3(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK DialogProc5(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK DialogProc7(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Runs dialog template id modally with proc, owned by owner; returns its
// result (-1 when the page cannot be created).
INT_PTR StartMain(DLGPROC proc, int id, HWND owner);

// Opens the licence page, or the destination page when init.cfg names no
// licence file, owned by the confirmation page; returns StartMain's result.
INT_PTR DialogLicencji();

// Licence page: the licence text into edit 500 of page; button 104 follows
// check box 300.
void WypelniaOknoLicencji(HWND page);
void CheckButton();

// Destination page.
// Default of text ID 7, the page's label and the folder browser's title.
char* Wybierzfolderwktrymzostaniezainstalowanyprogram();
// Proposes Program Files\product in edit 402.
void SciezkaInstalacyjna();
// With a buffer: the Program Files path into it. Without: the folder browser,
// whose choice replaces edit 402.
void PobiezFolder(char* buffer);
// Accepts a path whose second and third characters are ":\" and under
// which every path of the program section and of the uninstall record fits
// in 259 characters: creates its folders and records it under key 10
// (false). Otherwise reports it and returns true; the page stays.
bool SprawdzSciezke();
// Button 109 is enabled while edit 402 is not empty.
void EnableBtn();

// Options page: ticks the four boxes and enables those the configuration
// provides something for.
void OdznaczCheckBoxy(HWND page);
void CheckInFile(const char* file, const char* section, int control, const char* key);
void CheckRunPrograms();
// The four choices as the boxes stand: each counts when enabled and ticked.
FinishOptions ChosenOptions(HWND page);

// Asks whether to abandon the installation, unless a package failure, an
// earlier Yes or the finish sequence already decided. True means the close
// request is dropped and the installation goes on.
bool CancelInstall();
// Ends every open page, innermost first, and clears the page table.
void ZakonczWszystko();
// Removes what a cancelled installation wrote into the destination: the
// files the program section wrote, the folders that leaves empty, then the
// destination folder itself if it is empty. Stops the worker first. Nothing
// once the finish sequence has begun.
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
