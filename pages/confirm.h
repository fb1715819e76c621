// The confirmation page (template 51, Windows only).
#ifndef BRONDALE_PAGES_CONFIRM_H
#define BRONDALE_PAGES_CONFIRM_H

#include <windows.h>

INT_PTR CALLBACK DialogProc2(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Opens the licence page, or the destination page when init.cfg names no
// licence file, owned by the confirmation page; returns StartMain's result.
INT_PTR DialogLicencji();

#endif
