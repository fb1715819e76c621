// The options page (template 56, Windows only): four final choices, and the
// finish sequence on its finish button.
#ifndef BRONDALE_PAGES_OPTIONS_H
#define BRONDALE_PAGES_OPTIONS_H

#include <windows.h>

#include "base/state.h"

INT_PTR CALLBACK DialogProc7(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// Ticks the four boxes and enables those the configuration provides
// something for.
void OdznaczCheckBoxy(HWND page);
void CheckInFile(const char* file, const char* section, int control, const char* key);
void CheckRunPrograms();
// The four choices as the boxes stand: each counts when enabled and ticked.
FinishOptions ChosenOptions(HWND page);

#endif
