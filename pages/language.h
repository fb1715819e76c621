// The language page (template 50, Windows only), the first page: it
// prepares the run while it initialises.
#ifndef BRONDALE_PAGES_LANGUAGE_H
#define BRONDALE_PAGES_LANGUAGE_H

#include <windows.h>

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

#endif
