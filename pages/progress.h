// The progress page (template 53, Windows only): starts the extraction
// worker and, on its completion command, opens the options page.
#ifndef BRONDALE_PAGES_PROGRESS_H
#define BRONDALE_PAGES_PROGRESS_H

#include <windows.h>

INT_PTR CALLBACK DialogProc6(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

#endif
