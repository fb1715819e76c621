// The destination page (template 54, Windows only).
#ifndef BRONDALE_PAGES_DESTINATION_H
#define BRONDALE_PAGES_DESTINATION_H

#include <windows.h>

INT_PTR CALLBACK DialogProc5(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Default of text ID 7, the page's label and the folder browser's title.
char* Wybierzfolderwktrymzostaniezainstalowanyprogram();
// Proposes the product's installed folder, or Program Files\product, in
// edit 402.
void SciezkaInstalacyjna();
// With a buffer: the Program Files path into it. Without: the folder browser,
// whose choice replaces edit 402.
void PobiezFolder(char* buffer);
// Accepts a path that the code page writes letter for letter, whose second
// and third characters are ":\" and under which every path of the program
// section and of the uninstall record fits in 259 characters: creates its
// folders and records it under key 10 (false). Otherwise reports it and
// returns true; the page stays.
bool SprawdzSciezke();
// Button 109 is enabled while edit 402 is not empty.
void EnableBtn();

#endif
