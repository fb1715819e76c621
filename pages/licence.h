// The licence page (template 52, Windows only).
#ifndef BRONDALE_PAGES_LICENCE_H
#define BRONDALE_PAGES_LICENCE_H

#include <windows.h>

INT_PTR CALLBACK DialogProc3(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// The licence text into edit 500 of page.
void WypelniaOknoLicencji(HWND page);
// Button 104 follows check box 300.
void CheckButton();

#endif
